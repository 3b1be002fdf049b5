#include "image/FileError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ui/UiBackend.h"

namespace pelican {

FileError OpenRegularFile(const std::string& path, int& fd, struct stat& info) {
    fd = -1;
    if (path.empty()) return FileError::NotFound;
    // Non-blocking so that a named pipe without a writer cannot hang the open.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (opened < 0) return FileErrorFromErrno(errno);
    if (::fstat(opened, &info) != 0) {
        const int error = errno;
        ::close(opened);
        return FileErrorFromErrno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(opened);
        return S_ISDIR(info.st_mode) ? FileError::IsDirectory : FileError::NotRegularFile;
    }
    fd = opened;
    return FileError::None;
}

FileError FileErrorFromErrno(int error) {
    switch (error) {
        case 0: return FileError::None;
        case ENOENT:
        case ENOTDIR: return FileError::NotFound;
        case EACCES:
        case EPERM: return FileError::AccessDenied;
        case EISDIR: return FileError::IsDirectory;
        case EMFILE:
        case ENFILE: return FileError::TooManyOpen;
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL: return FileError::BadPath;
        default: return FileError::OpenFailed;
    }
}

std::string FileErrorText(FileError error, const std::string& path) {
    switch (error) {
        case FileError::None: break;
        case FileError::NotFound: return path + " was not found.";
        case FileError::AccessDenied: return "Access to " + path + " was denied.";
        case FileError::IsDirectory: return path + " is a folder, not a file.";
        case FileError::NotRegularFile: return path + " is not a regular file.";
        case FileError::TooLarge: return path + " is too large.";
        case FileError::TooManyOpen:
            return path + " could not be opened because too many files are open.";
        case FileError::BadPath: return path + " contains an invalid path.";
        case FileError::OpenFailed: return "An unexpected error occurred while opening " + path + ".";
        case FileError::ReadFailed: return "An unexpected error occurred while reading " + path + ".";
    }
    return std::string();
}

void ReportFileError(FileError error, const std::string& path) {
    ui::MessageBox(FileErrorText(error, path), ui::Icon::Exclamation);
}

}  // namespace pelican
