#pragma once
// A dialog's template as the Windows dialog manager takes it: an in-memory
// extended template in dialog units of the template's own font, built from
// the same ui::DialogTemplate that the other back ends draw.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/win32/DialogTemplateWriter.h"

namespace pelican::ui {

class CDialogTemplateBuilder {
public:
    // The resource id of the application icon that Icon controls show.
    static constexpr uint16_t kIconResource = 1;

    // The whole template. A modeless window is created hidden and shown once
    // it has been initialised; a modal run shows its window by itself.
    static std::vector<std::byte> Build(const DialogTemplate& tmpl);

    // The templates are written in the face of the old dialog editors, "MS
    // Sans Serif" 8 pt, a raster font that Windows scales badly and draws
    // without ClearType. Windows' own dialogs name "MS Shell Dlg" with
    // DS_SHELLFONT: the system then uses its dialog face (Tahoma, or what
    // the language needs) at the template's size, with the same dialog
    // units. Any other face is kept as written.
    static constexpr const char* kRasterFace = "MS Sans Serif";
    static constexpr const char* kShellFace = "MS Shell Dlg";
    static bool UsesShellFont(const DialogTemplate& tmpl);
    static std::string Face(const DialogTemplate& tmpl);

    // The window style of the dialog itself.
    static uint32_t WindowStyle(const DialogTemplate& tmpl);
    // One control: class, style, id, caption and rectangle. previous is the
    // control before it in the template (none for the first one): a radio
    // group runs from a kGroup radio over the radios directly after it, so
    // whatever follows a group starts a new one.
    static CDialogTemplateWriter::Item Control(const ControlTemplate& control, const ControlTemplate* previous);
};

}  // namespace pelican::ui
