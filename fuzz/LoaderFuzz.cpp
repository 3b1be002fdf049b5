// Feeds arbitrary bytes to the S-record loader as text in memory (the same
// reader and records as a file of those bytes, without the file). The sanitizers
// catch any access outside the image; the checks below catch a second
// message in one load and a line reader that loses or invents text when
// lines cross its read blocks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/MotFile.h"
#include "image/TextLineReader.h"
#include "ui/scripted/ScriptedBackend.h"

namespace {

// The lines as the reader must hand them out: split at "\r\n", "\r" or "\n"
// (one break each, as editors on the three systems write them), each cut to
// the reader's limit, and a last line only when text follows the last break.
std::vector<std::string> ExpectedLines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
            open = false;
        } else {
            if (line.size() < pelican::CTextLineReader::kKeep) line += c;
            open = true;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static pelican::ui::CScriptedBackend backend;
    static pelican::CMotFile image;
    const char* text = reinterpret_cast<const char*>(data);

    backend.m_messages.clear();
    const pelican::LoadOutcome outcome = image.ReadText(text, size);
    if (outcome.result != 0 && outcome.result != 1) std::abort();
    // Nothing to open or read; a damaged record refuses the text whole, with nothing kept.
    if (outcome.refusal == pelican::LoadRefusal::FileError) std::abort();
    if (outcome.refusal == pelican::LoadRefusal::BadChecksum && image.PageCount() != 0) std::abort();
    if (image.PageCount() > pelican::CMotFile::kPageCount) std::abort();
    // A refusal is told in one message.
    outcome.ShowRefusal(backend, "fuzz.mot");
    if (backend.m_messages.size() > 1) std::abort();

    // The same bytes through tiny read blocks give the same lines.
    pelican::CTextLineReader reader(1 + (size > 0 ? data[0] % 17 : 0));
    reader.OpenText(text, size);
    const std::vector<std::string> expected = ExpectedLines(data, size);
    size_t count = 0;
    const char* line = nullptr;
    size_t length = 0;
    while (reader.Next(line, length)) {
        if (count >= expected.size() || expected[count] != std::string(line, length)) std::abort();
        ++count;
    }
    if (count != expected.size() || reader.ReadFailed()) std::abort();
    return 0;
}
