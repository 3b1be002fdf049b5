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
    explicit CIniFile(std::string path);

    // Reads the file; a missing or unreadable file gives an empty one.
    void Load();
    // Decimal value of a key as the profile functions read it: leading sign
    // and digits, anything else reads as 0; defaultValue when the key is absent.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    bool Has(const std::string& section, const std::string& key) const;
    void SetInt(const std::string& section, const std::string& key, int value);
    // Writes aside and renames, so a crash or a full disk never leaves a
    // truncated file. False when the file could not be replaced.
    bool Save() const;

    const std::string& Path() const { return m_path; }

private:
    // Index of the first key line, or -1.
    long FindKey(const std::string& section, const std::string& key) const;

    std::string m_path;
    std::vector<std::string> m_lines;
};

}  // namespace pelican
