#include "image/LoadNotice.h"

#include "ui/Messages.h"

namespace pelican {

bool CLoadNotice::Load(ui::IBackend& ui, CMotFile& image, const std::string& path, FileIdentity* stamp,
                       FileIdentity* unendedTold) {
    const LoadOutcome outcome = image.Read(path);
    outcome.ShowRefusal(ui, path);
    if (stamp != nullptr) *stamp = outcome.stamp;
    if (outcome.Unended() && (unendedTold == nullptr || *unendedTold != outcome.stamp)) {
        // Loaded as the records read, but a copy or transfer cut short at a
        // line boundary looks just like this.
        ui::MessageBox(ui, ui::FormatString(ui::IDS_NO_TERMINATION_RECORD, {path}), ui::Icon::Warning);
        if (unendedTold != nullptr) *unendedTold = outcome.stamp;
    }
    return !outcome.FileRefused();
}

bool CLoadNotice::Reload(ui::IBackend& ui, CMotFile& image, const std::string& path, const FileIdentity& expected) {
    const LoadOutcome outcome = image.Read(path, &expected);
    outcome.ShowRefusal(ui, path);
    return !outcome.FileRefused();
}

}  // namespace pelican
