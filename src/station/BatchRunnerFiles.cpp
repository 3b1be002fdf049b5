// What the command line gives that can be judged without the board: the
// program file and the range. A file that cannot be read or does not decode,
// or a range that runs backwards, would otherwise be found only after the
// port was opened, the board synchronised and moved to the stored rate.
#include <set>
#include <string>

#include "app/PelicanApp.h"
#include "commands/CheckMemorryCmd.h"
#include "station/BatchRunner.h"
#include "ui/Messages.h"

namespace pelican {

bool CBatchRunner::FileAndRangeUsable() {
    if (!m_options.file.empty()) {
        // Loaded whole, as the ID Check and File Select dialogs will load it
        // again: the same refusal, told with the same message.
        const LoadOutcome outcome = m_app.m_image.Read(m_options.file);
        if (outcome.FileRefused()) {
            outcome.ShowRefusal(m_backend, m_options.file);
            return false;
        }
    }
    // The actions that ask "Input Address" refuse a range whose start page
    // lies past its end page; no other action reads -r.
    static const std::set<std::string> kAsksRange = {"blank", "program", "read", "epr", "bpr", "download", "dump"};
    bool asksRange = false;
    for (const std::string& action : m_options.actions) asksRange = asksRange || kAsksRange.count(action) > 0;
    if (!asksRange || m_options.range.empty()) return true;
    const size_t dash = m_options.range.find('-');
    const std::string startText = m_options.range.substr(0, dash);
    const std::string endText = m_options.range.substr(dash + 1);
    // An address past the address space is the dialog's to refuse first,
    // with its own message.
    if (!CCheckMemorryCmd::IsInAddressSpace(startText) || !CCheckMemorryCmd::IsInAddressSpace(endText)) return true;
    uint32_t start = 0;
    uint32_t end = 0;
    CCheckMemorryCmd::PageRange(startText, endText, start, end);
    if (CCheckMemorryCmd::IsRangeValid(start, end)) return true;
    ui::MessageBox(m_backend, ui::IDS_TOO_SMALL_START, ui::Icon::Exclamation);
    return false;
}

}  // namespace pelican
