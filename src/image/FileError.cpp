#include "image/FileError.h"

#include "ui/UiBackend.h"

namespace pelican {

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
        case FileError::Changed: return path + " changed while it was read.";
    }
    return std::string();
}

void ReportFileError(ui::IBackend& ui, FileError error, const std::string& path) {
    ui::MessageBox(ui, FileErrorText(error, path), ui::Icon::Exclamation);
}

}  // namespace pelican
