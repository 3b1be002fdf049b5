#include "ui/Messages.h"

#include <map>

namespace pelican::ui {
namespace {

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = {
        {IDS_TOO_SMALL_START, "Too small start address."},
        // The address text follows the carriage return directly.
        {IDS_NOT_BLANK_AT, "Find not blank at address\r"},
        {IDS_STOP_PROGRAMMING, "Stop programming."},
        {IDS_NOT_MATCH_AT, "Find not match at address\r"},
        {IDS_ERASE_ERROR, "Erase error."},
        {IDS_ERASE_OK, "Erase OK."},
        {IDS_PROGRAM_ERROR, "Program error."},
        {IDS_PROGRAM_OK, "Program OK."},
        {IDS_CAPTION, "Pelican"},

        {IDS_CAN_NOT_COMMUNICATE, "Can not communicate."},
        {IDS_DID_NOT_PASS_ID, "Did not pass ID."},
        {IDS_NOT_AVAILABLE_YET, "This operation is not available yet."},
        {IDS_ALREADY_RUNNING, "This program is already running."},
        {IDS_CAN_NOT_COMMUNICATE_OUTSIDE, "Can not communicate to outside."},
        {IDS_LOCK_FOLDER, "Can not make the lock file in "},
        {IDS_SAVE_NAME, " cannot be written: the name must end in .mot, .s, .srec or .bin."},
        {IDS_SAVE_FAILED, "An unexpected error occurred while writing "},
        {IDS_FLASH_SAVED, "The flash is saved: "},
        {IDS_SAVE_FOLDER, " cannot be written: "},
        {IDS_SAVE_FILTER, "S-record file (*.mot;*.s;*.srec)|*.mot;*.s;*.srec|Binary file (*.bin)|*.bin|"},
        {IDS_PORT_NO_PERMISSION, "You have no permission to use the port "},
        {IDS_SETTINGS_READ_ONLY, "The settings file is read-only; the link settings are not saved.\n"},
        {IDS_PORT_IN_USE, "Another run of this program is using "},

        {IDS_CAN_NOT_SET_LAST_BAUDRATE, "Can not set last baudrate.\nBaudrate is 9600bps now."},
        {IDS_CAN_NOT_SET_NEW_BAUDRATE, "Can not set new baudrate.\nBaudrate is last baudrate now."},
        {IDS_CAN_NOT_SET_9600, "Can not set baudrate to 9600bps."},
        {IDS_TIMEOUT_PUSH_RESET, "Timeout.\nPush RESET."},
        {IDS_COMM_ERROR_PUSH_RESET, "Communication error.\nPush RESET."},
        {IDS_PORT_WENT_AWAY, "%1: the port went away%2.\nPlug it in again."},

        {IDS_CAN_NOT_ACCEPT_FILE, "Can not accept this file."},
        {IDS_ID_FILE_NOT_FOUND, "Can not found the ID file."},
        {IDS_NO_FILENAME, "Did not input filename."},
        {IDS_ID_STYLE, "Do not match ID style."},
        {IDS_NOT_MATCH_ID, "Not match ID."},
        {IDS_ID_ERASED_FIELDS,
         "A board erased since its ID was written (an E.P.R. cut off after its erase) holds FF in all seven ID "
         "bytes: type FF into each ID field to try that ID."},
        {IDS_ID_ERASED_OPTION,
         "A board erased since its ID was written (an E.P.R. cut off after its erase) holds FF in all seven ID "
         "bytes: try --id FF:FF:FF:FF:FF:FF:FF."},
        {IDS_NO_ID_FIELDS,
         "No ID to check: %1 was not found. Type the board's seven ID bytes into the ID fields, two hexadecimal "
         "digits each."},
        {IDS_NO_ID_OPTION,
         "No ID to check: %1 was not found. Give the board's seven ID bytes with --id, e.g. --id "
         "01:02:03:04:05:06:07."},
        {IDS_CHECKSUM_ERROR, "Checksum error in line "},
        {IDS_NOT_HEX_RECORD, "Not an Intel HEX record in line %1 of %2."},
        {IDS_HEX_LENGTH, "The record in line %1 of %2 is not as long as its byte count says."},
        {IDS_HEX_UNKNOWN_TYPE, "Unknown record type %3 in line %1 of %2."},
        {IDS_HEX_BAD_FIELDS, "The record of type %3 in line %1 of %2 has a wrong length or address."},
        {IDS_GIVEN_TWICE, "Address %3 is given a second time in line %1 of %2."},
        {IDS_RECORD_PAST_TOP, "Data past address FFFFFF in line %1 of %2."},
        {IDS_FILE_PAST_TOP, "%2 reaches past address FFFFFF."},
        {IDS_NO_END_RECORD, "The file ends before its end record (line %1 of %2)."},
        {IDS_NOT_S_RECORD, "Not an S-record in line %1 of %2."},
        {IDS_NOT_S_RECORD_FILE, "%2 is not an S-record file."},
        {IDS_NO_TERMINATION_RECORD,
         "No S7, S8 or S9 record ends %1: the file may be cut short. Its records were loaded as they are."},
        {IDS_FILE_HOLDS_NO_DATA, "%1 holds no data."},
        {IDS_NO_FILE_LOADED, "No program file is loaded."},

        {IDS_ADDRESS_TOO_LARGE, "Too large address.\nThe highest address is FFFFFF."},

        {IDS_TOO_HIGH_END, "Too higher end address(0x2A00)"},
        {IDS_STOP_DOWNLOADING, "Stop downloading."},
        {IDS_DOWNLOAD_NOT_COMPLETED, "Download not completed.\nPlease retry Download."},
        {IDS_DOWNLOAD_COMPLETED, "Download Completed."},
        {IDS_READS_DISAGREE, "No two of %2 reads of the page at %1 agree.\nThe line to the board is not reliable."},
        {IDS_DOWNLOAD_TOO_LARGE, "Too large range to download.\nThe largest is FF00 bytes (255 pages)."},
        {IDS_DATA_OUTSIDE_FLASH, "The file holds data at %1 to %2, outside the flash of %3 (%4 to %5)."},
    };
    return table;
}

}  // namespace

const std::string& LoadString(StringId id) {
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it != table.end() ? it->second : empty;
}

std::string FormatString(StringId id, std::initializer_list<std::string> arguments) {
    const std::string& pattern = LoadString(id);
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const size_t n = static_cast<size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && n < arguments.size()) {
            text += arguments.begin()[n];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

int MessageBox(IBackend& ui, StringId id, Icon icon) {
    return ui.MessageBox(LoadString(IDS_CAPTION), LoadString(id), icon);
}

int MessageBox(IBackend& ui, StringId id, const std::string& tail, Icon icon) {
    return ui.MessageBox(LoadString(IDS_CAPTION), LoadString(id) + tail, icon);
}

}  // namespace pelican::ui
