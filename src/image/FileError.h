#pragma once
// Why a file could not be opened or read, and the standard message that tells
// the user so, naming the file.
#include <sys/stat.h>

#include <string>

namespace pelican {

enum class FileError {
    None,
    NotFound,        // no such file, or a folder on the way is missing
    AccessDenied,    // no read permission
    IsDirectory,     // the path names a folder
    NotRegularFile,  // a device, pipe or socket: it may never end or may block
    TooLarge,        // far larger than any file of its kind
    TooManyOpen,     // the process or the system is out of file handles
    BadPath,         // too long, a loop of links, or otherwise unusable
    OpenFailed,      // any other reason the open was refused
    ReadFailed,      // opened, but reading it failed part way
};

// Maps the errno of a failed open(2) to the error shown to the user.
FileError FileErrorFromErrno(int error);

// Opens path for reading when it is a regular file: fd and info are set on
// None. Folders, devices and pipes are refused (a device may never reach its
// end, a pipe may block the caller); the open itself never blocks.
FileError OpenRegularFile(const std::string& path, int& fd, struct stat& info);
// The message text, "<path> was not found." and the like.
std::string FileErrorText(FileError error, const std::string& path);
// Shows the message (caption "Pelican", exclamation icon).
void ReportFileError(FileError error, const std::string& path);

}  // namespace pelican
