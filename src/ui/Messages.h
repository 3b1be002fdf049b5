#pragma once
// The program's message texts, one table for every layer, by string id.
// The ids below 2000 are the string table's own; the others number the
// texts that have no id of their own, so that none is written twice.
#include <initializer_list>
#include <string>

#include "ui/UiBackend.h"

namespace pelican::ui {

enum StringId : int {
    // Memory commands.
    IDS_TOO_SMALL_START = 1009,   // "Too small start address."
    IDS_NOT_BLANK_AT = 1012,      // followed by the address text
    IDS_STOP_PROGRAMMING = 1013,
    IDS_NOT_MATCH_AT = 1014,      // followed by the address text
    IDS_ERASE_ERROR = 1021,
    IDS_ERASE_OK = 1022,
    IDS_PROGRAM_ERROR = 1023,
    IDS_PROGRAM_OK = 1024,
    IDS_CAPTION = 1034,           // the caption of every message box

    // Main window and start-up.
    IDS_CAN_NOT_COMMUNICATE = 2001,
    IDS_DID_NOT_PASS_ID,
    IDS_NOT_AVAILABLE_YET,
    IDS_ALREADY_RUNNING,
    IDS_CAN_NOT_COMMUNICATE_OUTSIDE,
    IDS_LOCK_FOLDER,              // followed by the folder and the reason
    IDS_SETTINGS_READ_ONLY,       // followed by the file's path
    IDS_PORT_NO_PERMISSION,       // followed by the port and what to do
    IDS_PORT_IN_USE,              // followed by the port

    // Link.
    IDS_CAN_NOT_SET_LAST_BAUDRATE = 2101,
    IDS_CAN_NOT_SET_NEW_BAUDRATE,
    IDS_CAN_NOT_SET_9600,
    IDS_TIMEOUT_PUSH_RESET,
    IDS_COMM_ERROR_PUSH_RESET,
    IDS_PORT_WENT_AWAY,           // %1 the port, %2 " (" the system's words ")" or nothing

    // Files and ID.
    IDS_CAN_NOT_ACCEPT_FILE = 2201,
    IDS_ID_FILE_NOT_FOUND,
    IDS_NO_FILENAME,
    IDS_ID_STYLE,
    IDS_NOT_MATCH_ID,
    // Beside "Not match ID.": an ID that is not FF x 7 was refused.
    IDS_ID_ERASED_FIELDS,
    IDS_ID_ERASED_OPTION,
    // In the place of "Do not match ID style." when every ID field is empty
    // and no ".id" file is there (%1 its path).
    IDS_NO_ID_FIELDS,
    IDS_NO_ID_OPTION,
    IDS_CHECKSUM_ERROR,           // followed by the line, the file and IDS_CAN_NOT_ACCEPT_FILE
    // Intel HEX and binary refusals: %1 the line, %2 the file, %3 the record
    // type or address; IDS_CAN_NOT_ACCEPT_FILE follows on its own line.
    IDS_NOT_HEX_RECORD,
    IDS_HEX_LENGTH,
    IDS_HEX_UNKNOWN_TYPE,
    IDS_HEX_BAD_FIELDS,
    IDS_GIVEN_TWICE,
    IDS_RECORD_PAST_TOP,
    IDS_FILE_PAST_TOP,
    IDS_NO_END_RECORD,
    IDS_NOT_S_RECORD,             // %1 the line, %2 the file
    IDS_NOT_S_RECORD_FILE,        // %2 the file
    IDS_NO_TERMINATION_RECORD,    // %1 the file, loaded without S7, S8 or S9
    // Batch mode: an action that writes, compares or sends the file.
    IDS_FILE_HOLDS_NO_DATA,       // %1 the file
    IDS_NO_FILE_LOADED,

    // Address texts past the 24-bit address space.
    IDS_ADDRESS_TOO_LARGE = 2301,

    // Download of a boot program.
    IDS_TOO_HIGH_END = 2401,            // "Too higher end address(0x2A00)"
    IDS_STOP_DOWNLOADING,
    IDS_DOWNLOAD_NOT_COMPLETED,
    IDS_DOWNLOAD_COMPLETED,
    IDS_DOWNLOAD_TOO_LARGE,             // a size the 16-bit header cannot carry

    // A file with data outside the MCU type's flash: %1-%2 the data, %3 the
    // type, %4-%5 its flash.
    IDS_DATA_OUTSIDE_FLASH = 2451,

    // Saving the flash to a file.
    IDS_SAVE_NAME = 2501,               // preceded by the path
    IDS_SAVE_FAILED,                    // followed by the path and the reason
    IDS_FLASH_SAVED,                    // followed by the range and the path
    IDS_SAVE_FILTER,                    // the file-save dialog's filter
    IDS_SAVE_FOLDER,                    // preceded by the path, followed by the reason

    // Reads that do not agree.
    IDS_READS_DISAGREE = 2601,          // %1 the page, %2 how many reads
};

// The text of an id; empty for an id the table does not hold.
const std::string& LoadString(StringId id);
// The text of an id with %1, %2, ... replaced by the arguments in order.
std::string FormatString(StringId id, std::initializer_list<std::string> arguments);

// A message box with the text of id (and what follows it, for the texts
// that end in the address they report).
int MessageBox(IBackend& ui, StringId id, Icon icon);
int MessageBox(IBackend& ui, StringId id, const std::string& tail, Icon icon);

}  // namespace pelican::ui
