#pragma once
// A file opened for reading only when it is a regular file: folders, devices
// and pipes are refused (a device may never reach its end, a pipe may block
// the caller), and the open itself never blocks.
#include <cstddef>
#include <cstdint>
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
    Changed,         // written to, cut short or grown while it was read
};

// What tells one version of a file from another: the file (device and
// number), its size and its time of last change.
struct FileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified = 0;  // nanoseconds since the system's epoch
    bool operator==(const FileIdentity&) const = default;
};

class CInputFile {
public:
    CInputFile() = default;
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    FileError Open(const std::string& path);
    bool IsOpen() const { return m_handle != -1; }
    // Of the file as it was opened.
    const FileIdentity& Stamp() const { return m_stamp; }
    uint64_t Size() const { return m_stamp.size; }
    // Up to length bytes: the count, 0 at the end, -1 when reading failed.
    long Read(void* data, size_t length);
    // Back to the first byte, for a second pass over the file.
    bool Rewind();
    // Whether the open file is still as it was opened: same size and time
    // of last change. A writer that cut the file short and wrote it anew
    // while it was read changes both.
    bool Unchanged() const;
    void Close();

private:
    intptr_t m_handle = -1;
    FileIdentity m_stamp;
};

}  // namespace pelican
