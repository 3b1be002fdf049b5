#include "batch/DumpAction.h"

#include "commands/CheckMemorryCmd.h"
#include "image/IdFile.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

bool IsOrcaW(const BatchOptions& options) {
    if (!options.mcu.empty()) return options.mcu == "w";
    std::string idPath;
    bool opened = false;
    return CIdFile::PathFor(options.file, idPath) && CIdFile::NamesOrcaW(idPath, opened);
}

}  // namespace

bool CDumpAction::Range(const BatchOptions& options, uint32_t& start, uint32_t& end) {
    if (options.range.empty()) {
        const bool orcaW = IsOrcaW(options);
        start = orcaW ? 0xF00000 : 0x0C0000;
        end = orcaW ? 0xFFFFFF : 0x0FFFFF;
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
