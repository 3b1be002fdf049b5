#pragma once
// A fresh folder under the system's temporary directory, removed afterwards.
#include <string>

namespace pelican::test {

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + kSeparator + name; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

    // The system's own separator, so that paths read as its users write them.
#ifdef _WIN32
    static constexpr const char* kSeparator = "\\";
#else
    static constexpr const char* kSeparator = "/";
#endif

private:
    std::string m_path;
};

}  // namespace pelican::test
