#include "support/TempDir.h"

#include <cstdlib>
#ifdef _WIN32
#include <process.h>
#endif
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pelican::test {

CTempDir::CTempDir() {
#ifdef _WIN32
    // A name of the process and a counter, made with create_directory,
    // which fails on a name that exists.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000 && m_path.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("pelican-test-" + std::to_string(::_getpid()) + "-" + std::to_string(counter++));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) m_path = candidate.string();
    }
    if (m_path.empty()) throw std::runtime_error("cannot make a temporary folder");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "pelican-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
#endif
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void CTempDir::Write(const std::string& name, const std::string& content) const {
    std::ofstream out(File(name), std::ios::binary);
    out << content;
}

std::string CTempDir::Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace pelican::test
