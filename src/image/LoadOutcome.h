#pragma once
// How one load of a program file ended, as a value: the dialogs decide what
// follows from it, and the message for it is made from it.
#include <cstddef>
#include <string>

#include "image/FileError.h"
#include "image/TextLineReader.h"

namespace pelican {

enum class LoadRefusal {
    None,         // every record was taken (a termination record or not)
    BadRecord,    // a record that does not decode: the load stopped there,
                  // the records before it stay in the image
    BadChecksum,  // a record whose checksum does not match its bytes: the
                  // file was damaged, nothing of it stays in the image
    FileError,    // the file could not be opened or read: the image is empty
    WholeFileRefused,  // Intel HEX or raw binary, taken all or nothing: a
                       // record that does not decode, a byte given twice or
                       // data past the 24-bit address space; the image is empty
};

struct LoadOutcome {
    int result = 0;  // 1 when a termination record ended the load (an
                     // end-of-file record, or the whole of a binary file)
    LoadRefusal refusal = LoadRefusal::None;
    FileError fileError = FileError::None;  // with LoadRefusal::FileError
    size_t line = 0;                        // line of the refused record, from 1
    CTextLineReader::Stamp stamp;           // the file that was read

    // Nothing of the file could be used: the step that asked for it ends.
    bool FileRefused() const { return refusal != LoadRefusal::None && refusal != LoadRefusal::BadRecord; }
    // The message box text for the refusal (empty without one).
    std::string MessageText(const std::string& path) const;
    // Shows that message (caption "Pelican"); nothing without a refusal.
    void ShowRefusal(const std::string& path) const;
};

}  // namespace pelican
