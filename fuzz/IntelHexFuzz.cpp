// Feeds arbitrary bytes to the Intel HEX loader as a file. The sanitizers
// catch any access outside the image; the checks below catch a refused file
// that leaves pages behind, a second message in one load, and an accepted
// file whose bytes differ from what its records give.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "image/IntelHexReader.h"
#include "image/MotFile.h"
#include "image/TextLineReader.h"
#include "ui/scripted/ScriptedBackend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static pelican::ui::CScriptedBackend backend;
    static pelican::CMotFile image;
    pelican::ui::SetBackend(&backend);
    const std::string& path = pelican::fuzz::WriteInputFile(data, size, ".hex");

    backend.m_messages.clear();
    const int result = image.Load(path);
    if (result != 0 && result != 1) std::abort();
    if (backend.m_messages.size() > 1) std::abort();
    if (image.FileErrorShown()) std::abort();
    if (!backend.m_messages.empty() && image.PageCount() != 0) std::abort();

    // The reader's runs are exactly what the image holds.
    pelican::CTextLineReader reader;
    if (reader.Open(path) != pelican::FileError::None) std::abort();
    std::vector<pelican::CIntelHexReader::Run> runs;
    const auto read = pelican::CIntelHexReader().Read(reader, runs);
    if ((read == pelican::CIntelHexReader::Result::Refused) != !backend.m_messages.empty()) std::abort();
    uint8_t page[256];
    for (const auto& run : runs) {
        for (size_t i = 0; i < run.bytes.size(); ++i) {
            const uint32_t address = run.address + static_cast<uint32_t>(i);
            if (address >= pelican::CMotFile::kAddressLimit) std::abort();
            if (image.GetPage(page, address / 256) == nullptr || page[address % 256] != run.bytes[i]) std::abort();
        }
    }
    return 0;
}
