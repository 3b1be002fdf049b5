#include "image/LoadOutcome.h"

#include "ui/Messages.h"
#include "ui/UiBackend.h"

namespace pelican {

std::string LoadOutcome::MessageText(const std::string& path) const {
    switch (refusal) {
        case LoadRefusal::None: break;
        case LoadRefusal::BadRecord:
        case LoadRefusal::WholeFileRefused: return ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
        case LoadRefusal::BadChecksum:
            return ui::LoadString(ui::IDS_CHECKSUM_ERROR) + std::to_string(line) + " of " + path + ".\n" +
                   ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
        case LoadRefusal::FileError: return FileErrorText(fileError, path);
    }
    return std::string();
}

void LoadOutcome::ShowRefusal(const std::string& path) const {
    if (refusal == LoadRefusal::None) return;
    // A bad record keeps the loader's plain message, in whichever format;
    // a damaged file is told like a file that cannot be read.
    const bool plain = refusal == LoadRefusal::BadRecord || refusal == LoadRefusal::WholeFileRefused;
    ui::MessageBox(MessageText(path), plain ? ui::Icon::None : ui::Icon::Exclamation);
}

}  // namespace pelican
