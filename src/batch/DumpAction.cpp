#include "batch/DumpAction.h"

#include "commands/CheckMemorryCmd.h"
#include "image/IDCheckDlg.h"
#include "ui/Messages.h"

namespace pelican {

bool CDumpAction::Range(const BatchOptions& options, uint32_t& start, uint32_t& end) {
    if (options.range.empty()) {
        // The type the ID Check dialog settled on: --mcu, or what the file
        // and its ".id" file said.
        CCheckMemorryCmd::FlashOf(CIDCheckDlg::RememberedMcuType(), start, end);
        return true;
    }
    const size_t dash = options.range.find('-');
    const std::string first = options.range.substr(0, dash);
    const std::string last = dash == std::string::npos ? std::string() : options.range.substr(dash + 1);
    if (!CCheckMemorryCmd::IsInAddressSpace(first) || !CCheckMemorryCmd::IsInAddressSpace(last)) {
        ui::MessageBox(ui::IDS_ADDRESS_TOO_LARGE, ui::Icon::Exclamation);
        return false;
    }
    CCheckMemorryCmd::PageRange(first, last, start, end);
    return true;
}

}  // namespace pelican
