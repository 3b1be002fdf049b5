#pragma once
// A file dialog's loads of the chosen file. A bad record is told once per
// showing of the dialog: the same unchanged file met again by a later step
// ("OK" after "Refer...", the reload once the ID has passed) loads as before
// but is not told again. A file refused as a whole ends every step that asks
// for it, and each such step says why.
#include <string>

#include "image/MotFile.h"

namespace pelican {

class CLoadNotice {
public:
    // Loads path into image and shows a refusal not told yet. False when
    // the file was refused as a whole: the step ends there.
    bool Load(CMotFile& image, const std::string& path);

private:
    bool m_told = false;
    std::string m_path;
    LoadOutcome m_outcome;
};

}  // namespace pelican
