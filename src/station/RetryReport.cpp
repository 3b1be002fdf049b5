#include "station/RetryReport.h"

#include "station/JsonLine.h"
#include "commands/CheckMemorryCmd.h"

namespace pelican {
namespace {

std::string Where(const RetryNote& note) {
    return note.hasAddress ? " at " + CCheckMemorryCmd::AddressToHex(note.address) : std::string();
}

}  // namespace

std::string CRetryReport::Text(const RetryNote& note) {
    const std::string count = std::to_string(note.number) + " of " + std::to_string(note.limit);
    switch (note.kind) {
        case RetryNote::Kind::Retry:
            return "retry " + count + ": " + note.exchange + Where(note) + ": " + note.failed + "; " + note.next;
        case RetryNote::Kind::Reread:
            return note.exchange + Where(note) + ": " + note.failed + "; read " + count;
        case RetryNote::Kind::ReadBack:
            return "page " + CCheckMemorryCmd::AddressToHex(note.address) + " read back: " + note.failed + "; " +
                   note.next;
        case RetryNote::Kind::Found: return note.exchange + ": " + note.failed + "; " + note.next;
    }
    return note.exchange;
}

std::string CRetryReport::Json(const RetryNote& note) {
    const auto number = static_cast<int64_t>(note.number);
    const auto limit = static_cast<int64_t>(note.limit);
    const std::string address = note.hasAddress ? CCheckMemorryCmd::AddressToHex(note.address) : std::string();
    switch (note.kind) {
        case RetryNote::Kind::Retry: {
            CJsonLine line("retry");
            line.Add("retry", number).Add("of", limit).Add("exchange", note.exchange);
            if (note.hasAddress) line.Add("address", address);
            return line.Add("failed", note.failed).Add("next", note.next).Text();
        }
        case RetryNote::Kind::Reread:
            return CJsonLine("reread")
                .Add("exchange", note.exchange)
                .Add("address", address)
                .Add("failed", note.failed)
                .Add("read", number)
                .Add("of", limit)
                .Text();
        case RetryNote::Kind::ReadBack:
            return CJsonLine("read_back").Add("address", address).Add("found", note.failed).Add("next", note.next).Text();
        case RetryNote::Kind::Found:
            return CJsonLine("found").Add("exchange", note.exchange).Add("found", note.failed).Add("next", note.next).Text();
    }
    return CJsonLine("retry").Text();
}

}  // namespace pelican
