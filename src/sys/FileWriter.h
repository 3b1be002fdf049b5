#pragma once
// Writing a whole file so that its name shows the old file or the new one,
// never a part: the bytes go to a temporary file beside the target, are
// flushed to the disk and only then renamed over it. A symbolic link's
// target is replaced, not the link; an existing file keeps its permissions.
#include <cstddef>
#include <string>

namespace pelican {

class CFileWriter {
public:
    // True on success. On failure error holds the system's reason and no
    // file of that name was created or changed (unless only the folder's
    // sync after the rename failed).
    static bool Write(const std::string& path, const void* data, size_t size, std::string& error);

    // Whether a file can be made where Write would make it; false with the
    // system's reason, or "it is a folder" when a folder has the name. Lets
    // a caller find out before it spends minutes reading the flash.
    static bool CheckFolder(const std::string& path, std::string& error);
};

}  // namespace pelican
