#include "image/FlashFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sys/Text.h"

namespace pelican {
namespace {

constexpr size_t kRecordData = 32;

void AppendRecord(std::string& text, char type, uint32_t address, int addressBytes, const uint8_t* data,
                  size_t count) {
    static const char* kDigits = "0123456789ABCDEF";
    uint8_t body[1 + 4 + kRecordData];
    size_t length = 0;
    body[length++] = static_cast<uint8_t>(addressBytes + count + 1);
    for (int i = addressBytes - 1; i >= 0; --i) body[length++] = static_cast<uint8_t>(address >> (8 * i));
    for (size_t i = 0; i < count; ++i) body[length++] = data[i];
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i) sum += body[i];
    text += 'S';
    text += type;
    const auto put = [&text](uint8_t b) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    };
    for (size_t i = 0; i < length; ++i) put(body[i]);
    put(static_cast<uint8_t>(~sum));
    text += '\n';
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = EIO;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

CFlashFileWriter::Format CFlashFileWriter::FormatOf(const std::string& path) {
    if (EndsWith(path, ".mot") || EndsWith(path, ".s") || EndsWith(path, ".srec")) return Format::SRecord;
    if (EndsWith(path, ".bin")) return Format::Binary;
    return Format::None;
}

std::string CFlashFileWriter::SRecordText(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2 + bytes.size() / kRecordData * 16 + 64);
    static const char kHeader[] = "pelican";
    AppendRecord(text, '0', 0, 2, reinterpret_cast<const uint8_t*>(kHeader), sizeof kHeader - 1);
    for (size_t pos = 0; pos < bytes.size(); pos += kRecordData) {
        const size_t count = bytes.size() - pos < kRecordData ? bytes.size() - pos : kRecordData;
        AppendRecord(text, '2', address + static_cast<uint32_t>(pos), 3, bytes.data() + pos, count);
    }
    AppendRecord(text, '8', address, 3, nullptr, 0);
    return text;
}

bool CFlashFileWriter::Write(const std::string& path, uint32_t address, const std::vector<uint8_t>& bytes,
                             std::string& error) {
    const Format format = FormatOf(path);
    if (format == Format::None) {
        error = "the name must end in .mot, .s, .srec or .bin";
        return false;
    }
    // The temporary file lies beside the target so that the rename stays
    // within one file system.
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool written = false;
    if (format == Format::SRecord) {
        const std::string text = SRecordText(address, bytes);
        written = WriteAll(fd, text.data(), text.size());
    } else {
        written = WriteAll(fd, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    int failure = written ? 0 : errno;
    // The data must be on the disk before the name points at them.
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    // mkostemp creates the file 0600; a saved image is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (failure == 0 && ::fchmod(fd, 0666 & ~mask) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) return true;
    ::unlink(temporary.c_str());
    error = std::strerror(failure);
    return false;
}

}  // namespace pelican
