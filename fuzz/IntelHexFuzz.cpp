// Feeds arbitrary bytes to the Intel HEX loader as text in memory (the same
// reader and records as a file of those bytes, without the file), and to
// the load that tells the format by the content. The sanitizers catch any
// access outside the image; the checks below catch a refused text that
// leaves pages behind, a second message in one load, an accepted text whose
// bytes differ from what its records give, and a text whose first record
// sends it to the other format's reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/IntelHexReader.h"
#include "image/MotFile.h"
#include "image/TextLineReader.h"
#include "ui/scripted/ScriptedBackend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static pelican::ui::CScriptedBackend backend;
    static pelican::CMotFile image;
    const char* text = reinterpret_cast<const char*>(data);

    // By content: a first non-blank line starting with ':' is Intel HEX,
    // anything else S-records; the load must match that reader's own.
    // (A line is read only up to its first kKeep characters.)
    bool intelHex = false;
    size_t column = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            column = 0;
            continue;
        }
        if (column++ >= pelican::CTextLineReader::kKeep || c == ' ' || c == '\t') continue;
        intelHex = c == ':';
        break;
    }
    backend.m_messages.clear();
    const pelican::LoadOutcome detected = image.ReadFileText(text, size);
    const size_t detectedPages = image.PageCount();
    if (detected.refusal != pelican::LoadRefusal::None && detectedPages != 0) std::abort();
    const pelican::LoadOutcome direct = intelHex ? image.ReadIntelHexText(text, size) : image.ReadText(text, size);
    if (direct.refusal != detected.refusal || direct.result != detected.result || direct.line != detected.line ||
        direct.value != detected.value || image.PageCount() != detectedPages)
        std::abort();

    backend.m_messages.clear();
    const pelican::LoadOutcome outcome = image.ReadIntelHexText(text, size);
    if (outcome.result != 0 && outcome.result != 1) std::abort();
    // Nothing to open or read; an Intel HEX file is taken whole or not at all.
    if (outcome.refusal == pelican::LoadRefusal::FileError || outcome.refusal == pelican::LoadRefusal::BadRecord)
        std::abort();
    // Every refusal names a line, but a text without any line has none to name.
    const bool noLine = outcome.line == 0 && !(outcome.refusal == pelican::LoadRefusal::NoEndRecord && size == 0);
    if (outcome.refusal != pelican::LoadRefusal::None && (image.PageCount() != 0 || noLine)) std::abort();
    // Only an end record makes a text whole.
    if (outcome.refusal == pelican::LoadRefusal::None && outcome.result != 1) std::abort();
    outcome.ShowRefusal(backend, "fuzz.hex");
    if (backend.m_messages.size() > 1) std::abort();

    // The reader's runs are exactly what the image holds, and the same text
    // through tiny read blocks gives the same runs.
    pelican::CTextLineReader reader(1 + (size > 0 ? data[0] % 17 : 0));
    reader.OpenText(text, size);
    std::vector<pelican::CIntelHexReader::Run> runs;
    const auto read = pelican::CIntelHexReader().Read(reader, runs);
    if ((read == pelican::CIntelHexReader::Result::Refused) != (outcome.refusal != pelican::LoadRefusal::None))
        std::abort();
    size_t bytes = 0;
    uint8_t page[256];
    for (const auto& run : runs) {
        for (size_t i = 0; i < run.bytes.size(); ++i) {
            const uint32_t address = run.address + static_cast<uint32_t>(i);
            if (address >= pelican::CMotFile::kAddressLimit) std::abort();
            if (image.GetPage(page, address / 256) == nullptr || page[address % 256] != run.bytes[i]) std::abort();
        }
        bytes += run.bytes.size();
    }
    // Every page holds at least one byte of a run.
    if (image.PageCount() > bytes) std::abort();
    return 0;
}
