#pragma once
// Why a file could not be opened or read, and the standard message that tells
// the user so, naming the file.
#include <string>

#include "sys/InputFile.h"
#include "ui/UiBackend.h"

namespace pelican {

// The message text, "<path> was not found." and the like.
std::string FileErrorText(FileError error, const std::string& path);
// Shows the message (caption "Pelican", exclamation icon).
void ReportFileError(ui::IBackend& ui, FileError error, const std::string& path);

}  // namespace pelican
