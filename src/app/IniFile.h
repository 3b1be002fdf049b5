#pragma once
// A classic initialisation file: [sections] of key=value lines. Lookups of
// sections and keys ignore case and surrounding spaces. Lines the program
// does not know (other sections, other keys, comments) are kept as they are
// and written back unchanged.
#include <string>
#include <vector>

namespace pelican {

class CIniFile {
public:
    enum class SaveResult { Saved, ReadOnly, Failed };
    // A settings file holds a few short sections; a larger one is not read.
    static constexpr long kMaxFileSize = 1 << 20;

    explicit CIniFile(std::string path);

    // Reads the file; a missing or unreadable file gives an empty one, and
    // so does anything but a regular file (a pipe must not block start-up).
    // A file that is there but was not read is never written over.
    void Load();
    // Decimal value of a key as the profile functions read it: leading sign
    // and digits, anything else reads as 0; defaultValue when the key is absent.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    bool Has(const std::string& section, const std::string& key) const;
    void SetInt(const std::string& section, const std::string& key, int value);
    // Writes aside and renames, so a crash or a full disk never leaves a
    // truncated file. The file keeps its permissions and line ends; through
    // a symbolic link the link's target is replaced, the link stays. A file
    // the user made read-only is left alone (ReadOnly). Termination signals
    // wait until the save is over; a temporary file that a killed save left
    // behind is removed by the next save.
    // With Failed, why (when given) holds the reason. As the superuser a
    // symbolic link out of the user's own files is not followed: Failed.
    SaveResult Save(std::string* why = nullptr) const;
    // The file is there but larger than any settings file (kMaxFileSize):
    // it was not read, and a save leaves it as it is.
    bool TooLarge() const { return m_tooLarge; }
    // Where a save writes: the path with its symbolic links followed.
    std::string TargetPath() const;

    const std::string& Path() const { return m_path; }

private:
    // Index of the first key line, or -1.
    long FindKey(const std::string& section, const std::string& key) const;

    std::string m_path;
    std::vector<std::string> m_lines;
    bool m_crlf = false;    // the file's lines end in CR LF
    bool m_unread = false;  // the file is there but was not read (a pipe, too large)
    bool m_tooLarge = false;
    bool m_folder = false;  // a folder has the file's name
};

}  // namespace pelican
