#pragma once
// A dialog's template: written once beside its class, like a resource script.
// Positions and sizes are in dialog units of the template's font.
#include <cstdint>
#include <string>
#include <vector>

namespace pelican::ui {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    Static,      // text label
    Edit,        // one-line text field
    Button,      // push button
    GroupBox,    // frame with a caption
    Radio,       // radio button; consecutive radios after a kGroup one form a group
    CheckBox,
    ComboBox,    // drop-down list with an edit field: any text may be typed
    ComboList,   // drop-down list without edit field
    Etched,      // horizontal etched line
    Progress,    // progress bar
    Icon,        // the application icon
};

enum ControlStyle : uint32_t {
    kGroup = 0x01,       // first control of a group (radio groups, tab order)
    kDefault = 0x02,     // default push button
    kReadOnly = 0x04,    // read-only edit field
    kDisabled = 0x08,
    kCenter = 0x10,      // text centred horizontally and vertically
    kNoPrefix = 0x20,    // ampersands shown as they are
    kBorder = 0x40,
    kRight = 0x80,       // text aligned right
    kNoBorder = 0x100,   // edit field drawn without a frame
    // An edit field for one byte in hexadecimal: it takes two characters at
    // most, and the second one typed moves the focus on to the next field.
    kByteField = 0x200,
    // An edit field whose dialog hears (OnFieldLeft) when the keyboard focus
    // leaves it after its text was typed.
    kNotifyLeave = 0x400,
};

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = IDC_STATIC;
    std::string caption;
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0;
    std::vector<std::string> items;  // list entries of combo boxes
};

enum DialogStyle : uint32_t {
    kSystemMenu = 0x01,   // close box in the title bar
    kCentered = 0x02,
    kMinimizeBox = 0x04,
    // The window offers "About Pelican..." where the desktop's users look for
    // it (a Help menu); choosing it sends command 16 to the dialog.
    kAboutMenu = 0x08,
    kNoSystemMenu = 0x10,  // caption without a close box
    // A File menu with "Save flash to file...", which sends kSaveFlashCommand.
    kFileMenu = 0x20,
    // The File menu also holds the check item "Skip pages without data",
    // which sends kSkipEmptyPagesCommand; the dialog sets and reads its
    // check as that of a control with the command's id.
    kSkipPagesItem = 0x40,
};

// The command the "About Pelican..." entry sends.
constexpr int kAboutCommand = 16;
// The command the "Save flash to file..." entry sends.
constexpr int kSaveFlashCommand = 32;
// The command (and check id) of "Skip pages without data".
constexpr int kSkipEmptyPagesCommand = 48;

struct DialogTemplate {
    int id = 0;
    std::string title;
    int cx = 0, cy = 0;
    std::string font = "MS Sans Serif";
    int pointSize = 8;
    uint32_t style = kSystemMenu | kCentered;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* Find(int controlId) const;
};

}  // namespace pelican::ui
