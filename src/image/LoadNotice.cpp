#include "image/LoadNotice.h"

namespace pelican {

bool CLoadNotice::Load(CMotFile& image, const std::string& path) {
    const LoadOutcome outcome = image.Read(path);
    outcome.ShowRefusal(path);
    return !outcome.FileRefused();
}

}  // namespace pelican
