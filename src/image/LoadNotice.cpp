#include "image/LoadNotice.h"

namespace pelican {

bool CLoadNotice::Load(ui::IBackend& ui, CMotFile& image, const std::string& path, FileIdentity* stamp) {
    const LoadOutcome outcome = image.Read(path);
    outcome.ShowRefusal(ui, path);
    if (stamp != nullptr) *stamp = outcome.stamp;
    return !outcome.FileRefused();
}

bool CLoadNotice::Reload(ui::IBackend& ui, CMotFile& image, const std::string& path, const FileIdentity& expected) {
    const LoadOutcome outcome = image.Read(path, &expected);
    outcome.ShowRefusal(ui, path);
    return !outcome.FileRefused();
}

}  // namespace pelican
