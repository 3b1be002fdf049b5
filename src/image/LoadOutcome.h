#pragma once
// How one load of a program file ended, as a value: the dialogs decide what
// follows from it, and the message for it is made from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/FileError.h"
#include "image/TextLineReader.h"

namespace pelican {

// Every refusal leaves the image empty: part of a file is no program.
enum class LoadRefusal {
    None,              // every record was taken (a termination record or not)
    BadRecord,         // an S-record that does not decode
    BadChecksum,       // a record whose checksum does not match its bytes
    FileError,         // the file could not be opened or read
    // Intel HEX and raw binary files.
    NotARecord,        // a line that is not ':' and pairs of hexadecimal digits
    BadLength,         // more or fewer bytes than the record's count gives
    UnknownType,       // a record type no Intel HEX file has (value: the type)
    BadFields,         // an address or end record of the wrong length or with
                       // an address field (value: the type)
    GivenTwice,        // a byte that an earlier record gave (value: its address;
                       // S-records: only when the two differ)
    PastAddressSpace,  // data past FFFFFF (line 0: a binary file too long)
    NoEndRecord,       // the file ends before its end-of-file record (line: its last)
    // S-record files.
    NotASRecord,       // a line amid the records that is not one (an indented
                       // record, a damaged block, a merge marker)
    NotSRecordFile,    // the first line that holds anything is no record
};

struct LoadOutcome {
    int result = 0;  // 1 when a termination record ended the load (an
                     // end-of-file record, or the whole of a binary file)
    LoadRefusal refusal = LoadRefusal::None;
    FileError fileError = FileError::None;  // with LoadRefusal::FileError
    size_t line = 0;                        // line of the refused record, from 1
    uint32_t value = 0;                     // the record type or address a refusal names
    CTextLineReader::Stamp stamp;           // the file that was read

    // Nothing of the file could be used: the step that asked for it ends.
    bool FileRefused() const { return refusal != LoadRefusal::None; }
    // Taken, but no termination record ended it: a file cut at a line
    // boundary reads as whole records, only its missing end tells.
    bool Unended() const { return refusal == LoadRefusal::None && result == 0; }
    // The message box text for the refusal (empty without one).
    std::string MessageText(const std::string& path) const;
    // Shows that message (caption "Pelican"); nothing without a refusal.
    void ShowRefusal(ui::IBackend& ui, const std::string& path) const;
};

}  // namespace pelican
