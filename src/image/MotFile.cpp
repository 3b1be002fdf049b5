#include "image/MotFile.h"

#include "image/BinaryFile.h"
#include "image/FileError.h"
#include "image/IntelHexReader.h"
#include "image/SRecordLine.h"
#include "image/TextLineReader.h"
#include "sys/Text.h"

namespace pelican {
namespace {

constexpr uint32_t kPageSize = static_cast<uint32_t>(CLineImage::kSize);

}  // namespace

CMotFile::CMotFile() : m_pages(kPageCount) {}

CMotFile::~CMotFile() = default;

void CMotFile::RemoveAll() {
    // Only the slots that hold a page: a small file is forgotten as fast as it was read.
    for (uint32_t index : m_used) m_pages[index].reset();
    m_used.clear();
    m_pageCount = 0;
}

const CLineImage* CMotFile::LookupPage(uint32_t index) const {
    return index < kPageCount ? m_pages[index].get() : nullptr;
}

CLineImage& CMotFile::CreatePage(uint32_t index) {
    auto& slot = m_pages[index];
    if (!slot) {
        slot = std::make_unique<CLineImage>();
        m_used.push_back(index);
        ++m_pageCount;
    }
    return *slot;
}

const CLineImage* CMotFile::GetPage(uint8_t* buffer, uint32_t index) const {
    const CLineImage* page = LookupPage(index);
    if (page != nullptr) page->Read(buffer);
    return page;
}

bool CMotFile::GetUsedRange(uint32_t& start, uint32_t& end, uint32_t limit) const {
    start = 0;
    end = 0;
    bool found = false;
    for (uint32_t index = 0; index < kPageCount && index * kPageSize < limit; ++index) {
        if (!m_pages[index]) continue;
        const uint32_t first = index * kPageSize;
        // Whether a page was seen is kept apart from the address: page 0
        // starts at 0 too.
        if (!found) start = first;
        found = true;
        end = first + kPageSize - 1;
    }
    return found;
}

bool CMotFile::IsBinaryName(const std::string& path) {
    // Raw bytes have no records to tell them by: only the name can. Files
    // copied from other systems often carry upper-case names.
    return EndsWithNoCase(path, ".bin");
}

void CMotFile::Store(uint32_t address, const uint8_t* data, size_t count) {
    while (count > 0) {
        const size_t offset = address % kPageSize;
        const size_t room = kPageSize - offset;
        const size_t take = count < room ? count : room;
        CreatePage(address / kPageSize).Write(data, address, take);
        address += static_cast<uint32_t>(take);
        data += take;
        count -= take;
    }
}

void CMotFile::ReadIntelHex(CTextLineReader& reader, LoadOutcome& outcome) {
    std::vector<CIntelHexReader::Run> runs;
    CIntelHexReader hex;
    hex.SetVerifyChecksums(m_verifyChecksums);
    const CIntelHexReader::Result result = hex.Read(reader, runs);
    if (result == CIntelHexReader::Result::Refused) {
        outcome.refusal = hex.Refusal();
        outcome.line = hex.Line();
        outcome.value = hex.Value();
        return;
    }
    for (const auto& run : runs) Store(run.address, run.bytes.data(), run.bytes.size());
    outcome.result = 1;
}

void CMotFile::ReadBinary(const std::string& path, LoadOutcome& outcome) {
    std::vector<uint8_t> bytes;
    bool tooLong = false;
    const size_t room = m_binaryOffset < kAddressLimit ? kAddressLimit - m_binaryOffset : 0;
    const FileError read = CBinaryFile::Read(path, room, bytes, tooLong, outcome.stamp);
    if (read != FileError::None) {
        outcome.refusal = LoadRefusal::FileError;
        outcome.fileError = read;
        return;
    }
    if (tooLong) {
        // Bytes past the top of the address space: the file does not fit.
        outcome.refusal = LoadRefusal::PastAddressSpace;
        return;
    }
    Store(m_binaryOffset, bytes.data(), bytes.size());
    outcome.result = 1;
}

int CMotFile::Load(ui::IBackend& ui, const std::string& path) {
    const LoadOutcome outcome = Read(path);
    outcome.ShowRefusal(ui, path);
    return outcome.result;
}

void CMotFile::Forget(LoadOutcome& outcome) {
    // Part of a file, or a damaged one, is no program: leave nothing that
    // could be written to a device. A bad record late in a file is found
    // only after the records before it were stored.
    RemoveAll();
    outcome.result = 0;
}

LoadOutcome CMotFile::Read(const std::string& path, const FileIdentity* expected) {
    // Nothing of an earlier file may survive, whatever happens to this one.
    RemoveAll();
    m_fileErrorShown = false;
    LoadOutcome outcome;
    if (IsBinaryName(path)) {
        ReadBinary(path, outcome);
    } else {
        CTextLineReader reader(m_readBlock);
        reader.SetAfterBlock(m_afterBlock);
        const FileError opened = reader.Open(path);
        if (opened != FileError::None) {
            outcome.refusal = LoadRefusal::FileError;
            outcome.fileError = opened;
        } else {
            outcome.stamp = reader.FileStamp();
            ReadAnyText(reader, outcome);
            if (reader.ReadFailed()) {
                outcome.refusal = LoadRefusal::FileError;
                outcome.fileError = reader.Error();
            } else if (!reader.Unchanged()) {
                // Written while it was read: what was read may be half of
                // the old file and half of the new, whatever its records say.
                outcome.refusal = LoadRefusal::FileError;
                outcome.fileError = FileError::Changed;
            }
        }
    }
    // A file read again must be the one read before (an ID check passed
    // for it in between): another version of it is refused, not taken.
    if (expected != nullptr && !outcome.FileRefused() && outcome.stamp != *expected) {
        outcome.refusal = LoadRefusal::FileError;
        outcome.fileError = FileError::Changed;
    }
    if (outcome.FileRefused()) {
        Forget(outcome);
        m_fileErrorShown = true;
    }
    return outcome;
}

void CMotFile::ReadAnyText(CTextLineReader& reader, LoadOutcome& outcome) {
    // The first line that holds more than blanks names the format; the
    // reader of that format then reads the text from its first line, so that
    // it counts the lines as the file has them.
    bool intelHex = false;
    const char* text = nullptr;
    size_t length = 0;
    while (reader.Next(text, length)) {
        size_t first = 0;
        while (first < length && (text[first] == ' ' || text[first] == '\t')) ++first;
        if (first == length) continue;
        intelHex = text[first] == ':';
        break;
    }
    if (reader.ReadFailed()) return;
    if (!reader.Rewind()) {
        outcome.refusal = LoadRefusal::FileError;
        outcome.fileError = FileError::ReadFailed;
        return;
    }
    if (intelHex)
        ReadIntelHex(reader, outcome);
    else
        ReadRecords(reader, outcome);
}

LoadOutcome CMotFile::ReadFileText(const char* text, size_t size) {
    return ReadInMemory(text, size, &CMotFile::ReadAnyText);
}

LoadOutcome CMotFile::ReadText(const char* text, size_t size) {
    return ReadInMemory(text, size, &CMotFile::ReadRecords);
}

LoadOutcome CMotFile::ReadIntelHexText(const char* text, size_t size) {
    return ReadInMemory(text, size, &CMotFile::ReadIntelHex);
}

LoadOutcome CMotFile::ReadInMemory(const char* text, size_t size,
                                   void (CMotFile::*read)(CTextLineReader&, LoadOutcome&)) {
    RemoveAll();
    m_fileErrorShown = false;
    LoadOutcome outcome;
    CTextLineReader reader;
    reader.OpenText(text, size);
    (this->*read)(reader, outcome);
    if (outcome.FileRefused()) Forget(outcome);
    return outcome;
}

namespace {

// A line of spaces and tabs only is as blank as an empty one.
bool IsBlankLine(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (text[i] != ' ' && text[i] != '\t') return false;
    return true;
}

// Files written on old systems may end in Ctrl-Z; what follows it is not text.
constexpr char kEndOfText = '\x1A';

}  // namespace

void CMotFile::ReadRecords(CTextLineReader& reader, LoadOutcome& outcome) {
    // One bit per address given so far: a byte given again must say the same.
    m_given.assign(size_t{kPageCount} * kGivenWords, 0);
    ReadRecordLines(reader, outcome);
    std::vector<uint64_t>().swap(m_given);
}

void CMotFile::ReadRecordLines(CTextLineReader& reader, LoadOutcome& outcome) {
    const char* text = nullptr;
    size_t length = 0;
    bool recordSeen = false;
    for (size_t line = 1; reader.Next(text, length); ++line) {
        if (IsBlankLine(text, length)) continue;
        if (text[0] == kEndOfText) return;
        if (text[0] != 'S') {
            // A file is taken whole or not at all: an indented record, a
            // damaged block or a merge marker would otherwise cut the
            // program short where it stands.
            outcome.refusal = recordSeen ? LoadRefusal::NotASRecord : LoadRefusal::NotSRecordFile;
            outcome.line = line;
            return;
        }
        recordSeen = true;
        CSRecordLine record(text, length);
        const int type = record.Type();
        if (type >= 1 && type <= 3) {
            const LoadRefusal refusal = StoreDataRecord(record, outcome.value);
            if (refusal != LoadRefusal::None) {
                outcome.refusal = refusal;
                outcome.line = line;
                return;
            }
            continue;
        }
        // The other records carry nothing into the image, but a damaged one
        // says the file was damaged.
        if (m_verifyChecksums && record.ChecksumDamaged()) {
            outcome.refusal = LoadRefusal::BadChecksum;
            outcome.line = line;
            return;
        }
        if (type >= 7 && type <= 9) {
            // The start address of the termination record is of no use here.
            outcome.result = 1;
            return;
        }
        // S0 (header), S4 to S6 (counts) and unknown types carry nothing to store.
    }
}

bool CMotFile::GivenOtherwise(uint32_t address, const uint8_t* data, size_t count, uint32_t& at) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t a = address + static_cast<uint32_t>(i);
        uint64_t& word = m_given[a / 64];
        const uint64_t bit = uint64_t{1} << (a % 64);
        if ((word & bit) != 0) {
            // Given before: the same byte again is harmless (files joined
            // from overlapping parts), another one leaves the program unknown.
            const CLineImage* page = LookupPage(a / kPageSize);
            if (page != nullptr && page->Bytes()[a % kPageSize] != data[i]) {
                at = a;
                return true;
            }
        }
        word |= bit;
    }
    return false;
}

LoadRefusal CMotFile::StoreDataRecord(CSRecordLine& record, uint32_t& givenAt) {
    const LoadRefusal refusal = record.DecodeData(m_verifyChecksums);
    if (refusal != LoadRefusal::None) return refusal;
    const uint32_t address = record.Address();
    const size_t dataLength = record.DataLength();
    if (!m_given.empty() && GivenOtherwise(address, record.Data(), dataLength, givenAt)) return LoadRefusal::GivenTwice;
    // The start page is present from here on, even for a record without data.
    const uint32_t index = address / kPageSize;
    const size_t room = kPageSize - address % kPageSize;
    const size_t head = dataLength < room ? dataLength : room;
    CreatePage(index).Write(record.Data(), address, head);
    if (head < dataLength) CreatePage(index + 1).Write(record.Data() + head, 0, dataLength - head);
    return LoadRefusal::None;
}

}  // namespace pelican
