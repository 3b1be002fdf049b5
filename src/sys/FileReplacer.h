#pragma once
// Replacing a small file the user owns (the settings file) so that it is
// either the old file or the new one, never a mix, and stays the user's file:
// its permissions, its owner and the symbolic link that may lead to it.
#include <string>

namespace pelican {

class CFileReplacer {
public:
    enum class Result { Replaced, ReadOnly, Failed };

    // The path with its symbolic links followed; a dangling link gives the
    // path it points to, so that the file is made where the link expects it.
    static std::string FollowLinks(const std::string& path);

    // Writes text beside the file and renames it over the file (after
    // following links). A file without any write permission, or one this
    // user may not write, is left as it is: ReadOnly. A new file is made
    // readable and writable by its owner only. Termination signals wait
    // until the file is whole.
    static Result Replace(const std::string& path, const std::string& text);
    // The same; with Failed, why holds the system's reason.
    static Result Replace(const std::string& path, const std::string& text, std::string& why);
    // Whether Replace would write the file at path at all: false for a
    // folder, a device, or a file the user made read-only or may not write
    // (Replace tells why); a missing file may be made.
    static bool MayReplace(const std::string& path);
    // Called, when set, once the new text is whole in the temporary file and
    // before it is renamed over the file: where a second save or a crash
    // would hurt most. A seam for the tests; the program leaves it null.
    using BeforeRename = void (*)(const std::string& temporary, const std::string& target);
    static inline BeforeRename s_beforeRename = nullptr;

    // Whether a save to path may follow its symbolic links. As the
    // superuser a link could lead to any file of the system (a settings
    // folder the user can write, run with sudo): it is followed only to a
    // file inside the folder path lies in or the user's home folder. False,
    // with why naming the link's target, otherwise.
    static bool MayFollow(const std::string& path, std::string& why);

    // Makes the folder that is to hold path, and those above it, where they
    // are missing; a folder that cannot be made shows when the file is
    // written.
    static void MakeParentFolders(const std::string& path);

    // The temporary name pattern beside target: "<name>.saving-XXXXXX".
    static std::string TemporaryPattern(const std::string& target);
    // Removes temporary files beside target that a replacement killed part
    // way (power lost, SIGKILL) left behind, once they are older than
    // staleSeconds.
    static void RemoveStale(const std::string& target, long staleSeconds = kStaleSeconds);
    static constexpr long kStaleSeconds = 60;
};

}  // namespace pelican
