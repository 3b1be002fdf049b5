#pragma once
// SHA-256 of a byte stream, for the record that names which program file
// went onto a board: the digest tells two files of the same name apart.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pelican {

class CSha256 {
public:
    CSha256();
    void Update(const void* data, size_t size);
    // The digest of everything given so far, as 64 lower-case hexadecimal
    // digits (as sha256sum prints it). The object is spent afterwards.
    std::string HexDigest();

    // The digest of a file's bytes; false, with the reason in error, when
    // it cannot be read whole.
    static bool OfFile(const std::string& path, std::string& digest, std::string& error);

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
    uint64_t m_length = 0;  // bytes given
};

}  // namespace pelican
