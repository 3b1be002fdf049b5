#include "image/LoadNotice.h"

namespace pelican {

bool CLoadNotice::Load(CMotFile& image, const std::string& path, FileIdentity* stamp) {
    const LoadOutcome outcome = image.Read(path);
    outcome.ShowRefusal(path);
    if (stamp != nullptr) *stamp = outcome.stamp;
    return !outcome.FileRefused();
}

bool CLoadNotice::Reload(CMotFile& image, const std::string& path, const FileIdentity& expected) {
    const LoadOutcome outcome = image.Read(path, &expected);
    outcome.ShowRefusal(path);
    return !outcome.FileRefused();
}

}  // namespace pelican
