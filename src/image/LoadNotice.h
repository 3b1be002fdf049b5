#pragma once
// A file dialog's loads of the chosen file. A refused file leaves the image
// empty and ends every step that asks for it ("Refer...", "OK", the reload
// once the ID has passed); each such step says why.
#include <string>

#include "image/MotFile.h"

namespace pelican {

class CLoadNotice {
public:
    // Loads path into image and shows a refusal on ui. False when the file was
    // refused: the step ends there. stamp (when given) receives the file
    // that was read. A file taken without a termination record is warned
    // of once: unendedTold (when given) holds the file last warned of, and
    // the same file loaded again is not warned of twice.
    static bool Load(ui::IBackend& ui, CMotFile& image, const std::string& path, FileIdentity* stamp = nullptr,
                     FileIdentity* unendedTold = nullptr);
    // The same for a second load of the step, which must read the file the
    // first one read: a file rewritten or replaced in between is refused
    // as changed.
    static bool Reload(ui::IBackend& ui, CMotFile& image, const std::string& path, const FileIdentity& expected);
};

}  // namespace pelican
