#include "station/DumpAction.h"

#include <cctype>

#include "commands/CheckMemorryCmd.h"
#include "ui/Messages.h"

namespace pelican {

bool CDumpAction::Range(ui::IBackend& ui, const BatchOptions& options, int mcuType, uint32_t& start, uint32_t& end) {
    if (options.range.empty()) {
        // The type the ID Check dialog settled on: --mcu, or what the file
        // and its ".id" file said.
        CCheckMemorryCmd::FlashOf(mcuType, start, end);
        return true;
    }
    const size_t dash = options.range.find('-');
    const std::string first = options.range.substr(0, dash);
    const std::string last = dash == std::string::npos ? std::string() : options.range.substr(dash + 1);
    if (!CCheckMemorryCmd::IsInAddressSpace(first) || !CCheckMemorryCmd::IsInAddressSpace(last)) {
        ui::MessageBox(ui, ui::IDS_ADDRESS_TOO_LARGE, ui::Icon::Exclamation);
        return false;
    }
    CCheckMemorryCmd::PageRange(first, last, start, end);
    return true;
}

std::string CDumpAction::FileFor(const BatchOptions& options, const std::optional<uint64_t>& serial) {
    if (options.ports.size() <= 1 && !options.loop) return options.output;
    // The port's own name without its folder (/dev/ttyUSB0, \\.\COM5), in
    // characters that every file system takes.
    std::string port = options.port.substr(options.port.find_last_of("/\\") + 1);
    for (char& c : port)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
    // Appended piece by piece: MinGW's GCC 12 at -O3 sees an overlapping
    // copy in a chain of string sums that is not there.
    std::string tag = "-";
    tag += port;
    if (serial) {
        tag += '-';
        tag += std::to_string(*serial);
    }
    const std::string& output = options.output;
    const size_t name = output.find_last_of("/\\") + 1;  // 0 without a folder
    const size_t dot = output.rfind('.');
    const size_t cut = dot == std::string::npos || dot <= name ? output.size() : dot;
    std::string file = output.substr(0, cut);
    file += tag;
    file.append(output, cut, std::string::npos);
    return file;
}

}  // namespace pelican
