#include "image/IdFile.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "image/TextLineReader.h"
#include "protocol/Protocol.h"
#include "sys/Text.h"

namespace pelican {

bool CIdFile::PathFor(const std::string& programPath, std::string& idPath) {
    // Every kind of file the program reads or writes, in any letter case:
    // names made on other systems often come in capitals.
    static const char* const kExtensions[] = {".mot", ".s", ".srec", ".btp", ".hex", ".ihex", ".bin"};
    for (const char* extension : kExtensions) {
        const std::string ending(extension);
        if (EndsWithNoCase(programPath, ending)) {
            idPath = programPath.substr(0, programPath.size() - ending.size()) + ".id";
            return true;
        }
    }
    return false;
}

std::array<std::string, 7> CIdFile::Addresses(int mcuType) {
    std::array<std::string, 7> texts;
    const auto& addresses = protocol::McuMapOf(mcuType).idAddresses;
    for (size_t i = 0; i < texts.size(); ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(addresses[i]));
        texts[i] = text;
    }
    return texts;
}

FileError CIdFile::NamesOrcaW(const std::string& idPath, bool& orcaW) {
    orcaW = false;
    CTextLineReader reader;
    const FileError opened = reader.Open(idPath, kMaxFileSize);
    if (opened != FileError::None) return opened;
    const bool found = NamesOrcaW(reader);
    if (reader.ReadFailed()) return reader.Error();
    orcaW = found;
    return FileError::None;
}

FileError CIdFile::Fill(const std::string& idPath, int mcuType, Fields& fields) {
    CTextLineReader reader;
    const FileError opened = reader.Open(idPath, kMaxFileSize);
    if (opened != FileError::None) return opened;
    Fields filled = fields;
    Fill(reader, mcuType, filled);
    if (reader.ReadFailed()) return reader.Error();
    fields = filled;
    return FileError::None;
}

bool CIdFile::NamesOrcaWText(std::string_view text) {
    CTextLineReader reader;
    reader.OpenText(text.data(), text.size());
    return NamesOrcaW(reader);
}

void CIdFile::FillText(std::string_view text, int mcuType, Fields& fields) {
    CTextLineReader reader;
    reader.OpenText(text.data(), text.size());
    Fill(reader, mcuType, fields);
}

bool CIdFile::NamesOrcaW(CTextLineReader& reader) {
    const std::string orcaW = Addresses(1)[0];
    bool found = false;
    const char* text = nullptr;
    size_t length = 0;
    while (reader.Next(text, length)) {
        if (std::string_view(text, length).substr(0, orcaW.size()) == orcaW) found = true;
    }
    return found;
}

void CIdFile::Fill(CTextLineReader& reader, int mcuType, Fields& fields) {
    const auto addresses = Addresses(mcuType);
    const size_t width = addresses[0].size();
    const char* text = nullptr;
    size_t length = 0;
    while (reader.Next(text, length)) {
        if (length < width) continue;
        for (size_t i = 0; i < addresses.size(); ++i) {
            if (std::memcmp(text, addresses[i].data(), width) == 0) fields[i].assign(text + length - 2, 2);
        }
    }
}

}  // namespace pelican
