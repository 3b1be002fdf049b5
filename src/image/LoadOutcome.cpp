#include "image/LoadOutcome.h"

#include "ui/Messages.h"
#include "ui/UiBackend.h"

namespace pelican {

std::string LoadOutcome::MessageText(const std::string& path) const {
    switch (refusal) {
        case LoadRefusal::None: break;
        case LoadRefusal::BadRecord: return ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
        case LoadRefusal::BadChecksum:
            return ui::LoadString(ui::IDS_CHECKSUM_ERROR) + std::to_string(line) + " of " + path + ".\n" +
                   ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
        case LoadRefusal::FileError: return FileErrorText(fileError, path);
    }
    return std::string();
}

void LoadOutcome::ShowRefusal(const std::string& path) const {
    if (refusal == LoadRefusal::None) return;
    // A bad record keeps its plain message; a file refused as a whole is
    // told like a file that cannot be read.
    ui::MessageBox(MessageText(path), refusal == LoadRefusal::BadRecord ? ui::Icon::None : ui::Icon::Exclamation);
}

}  // namespace pelican
