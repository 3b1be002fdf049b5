#include "image/FlashFileWriter.h"

#include "sys/FileWriter.h"
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

}  // namespace

CFlashFileWriter::Format CFlashFileWriter::FormatOf(const std::string& path) {
    // Names made on other systems come in capitals.
    if (EndsWithNoCase(path, ".mot") || EndsWithNoCase(path, ".s") || EndsWithNoCase(path, ".srec"))
        return Format::SRecord;
    if (EndsWithNoCase(path, ".bin")) return Format::Binary;
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
    if (format == Format::SRecord) {
        const std::string text = SRecordText(address, bytes);
        return CFileWriter::Write(path, text.data(), text.size(), error);
    }
    return CFileWriter::Write(path, bytes.data(), bytes.size(), error);
}

bool CFlashFileWriter::CheckFolder(const std::string& path, std::string& error) {
    return CFileWriter::CheckFolder(path, error);
}

}  // namespace pelican
