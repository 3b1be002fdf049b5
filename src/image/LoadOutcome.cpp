#include "image/LoadOutcome.h"

#include <cstdio>

#include "ui/Messages.h"
#include "ui/UiBackend.h"

namespace pelican {
namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string LoadOutcome::MessageText(const std::string& path) const {
    const std::string n = std::to_string(line);
    std::string why;
    switch (refusal) {
        case LoadRefusal::None: return std::string();
        case LoadRefusal::BadRecord: return ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
        case LoadRefusal::FileError: return FileErrorText(fileError, path);
        case LoadRefusal::BadChecksum: why = ui::LoadString(ui::IDS_CHECKSUM_ERROR) + n + " of " + path + "."; break;
        case LoadRefusal::NotARecord: why = ui::FormatString(ui::IDS_NOT_HEX_RECORD, {n, path}); break;
        case LoadRefusal::BadLength: why = ui::FormatString(ui::IDS_HEX_LENGTH, {n, path}); break;
        case LoadRefusal::UnknownType: why = ui::FormatString(ui::IDS_HEX_UNKNOWN_TYPE, {n, path, Hex(value, 2)}); break;
        case LoadRefusal::BadFields: why = ui::FormatString(ui::IDS_HEX_BAD_FIELDS, {n, path, Hex(value, 2)}); break;
        case LoadRefusal::GivenTwice: why = ui::FormatString(ui::IDS_GIVEN_TWICE, {n, path, Hex(value, 6)}); break;
        case LoadRefusal::PastAddressSpace:
            why = ui::FormatString(line == 0 ? ui::IDS_FILE_PAST_TOP : ui::IDS_RECORD_PAST_TOP, {n, path});
            break;
        case LoadRefusal::NoEndRecord: why = ui::FormatString(ui::IDS_NO_END_RECORD, {n, path}); break;
        case LoadRefusal::NotASRecord: why = ui::FormatString(ui::IDS_NOT_S_RECORD, {n, path}); break;
        case LoadRefusal::NotSRecordFile: why = ui::FormatString(ui::IDS_NOT_S_RECORD_FILE, {n, path}); break;
    }
    return why + "\n" + ui::LoadString(ui::IDS_CAN_NOT_ACCEPT_FILE);
}

void LoadOutcome::ShowRefusal(ui::IBackend& ui, const std::string& path) const {
    if (refusal == LoadRefusal::None) return;
    // A bad S-record keeps the loader's plain message; a damaged file, or
    // one that is not what its format requires, is told like a file that
    // cannot be read.
    ui::MessageBox(ui, MessageText(path), refusal == LoadRefusal::BadRecord ? ui::Icon::None : ui::Icon::Exclamation);
}

}  // namespace pelican
