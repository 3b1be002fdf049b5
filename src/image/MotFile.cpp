#include "image/MotFile.h"

#include <array>
#include <cstring>

#include "image/BinaryFile.h"
#include "image/FileError.h"
#include "image/IntelHexReader.h"
#include "image/TextLineReader.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

constexpr uint32_t kPageSize = static_cast<uint32_t>(CLineImage::kSize);

// Value of each character as a hexadecimal digit, -1 for any other.
constexpr std::array<int8_t, 256> kHexValue = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = static_cast<int8_t>(10 + c);
        table['a' + c] = static_cast<int8_t>(10 + c);
    }
    return table;
}();

// One line seen as a row of characters; a position past its end is not a
// hexadecimal digit.
class CRecordText {
public:
    CRecordText(const char* text, size_t length) : m_text(text), m_length(length) {}
    int Digit(size_t pos) const {
        return pos < m_length ? kHexValue[static_cast<uint8_t>(m_text[pos])] : -1;
    }
    // The byte written as two digits from pos on, or -1.
    int Byte(size_t pos) const {
        const int high = Digit(pos);
        const int low = Digit(pos + 1);
        return (high | low) < 0 ? -1 : (high << 4) | low;
    }

private:
    const char* m_text;
    size_t m_length;
};

}  // namespace

CMotFile::CMotFile() : m_pages(kPageCount) {}

CMotFile::~CMotFile() = default;

void CMotFile::RemoveAll() {
    if (m_pageCount == 0) return;
    for (auto& page : m_pages) page.reset();
    m_pageCount = 0;
}

const CLineImage* CMotFile::LookupPage(uint32_t index) const {
    return index < kPageCount ? m_pages[index].get() : nullptr;
}

CLineImage& CMotFile::CreatePage(uint32_t index) {
    auto& slot = m_pages[index];
    if (!slot) {
        slot = std::make_unique<CLineImage>();
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

CMotFile::Format CMotFile::FormatOf(const std::string& path) {
    // Named as the ".id" file beside it is found: case matters.
    if (EndsWith(path, ".hex") || EndsWith(path, ".ihex")) return Format::IntelHex;
    if (EndsWith(path, ".bin")) return Format::Binary;
    return Format::SRecord;
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

int CMotFile::LoadIntelHex(const std::string& path) {
    CTextLineReader reader;
    const FileError opened = reader.Open(path);
    if (opened != FileError::None) {
        m_fileErrorShown = true;
        ReportFileError(opened, path);
        return 0;
    }
    std::vector<CIntelHexReader::Run> runs;
    const CIntelHexReader::Result result = CIntelHexReader().Read(reader, runs);
    if (reader.ReadFailed()) {
        m_fileErrorShown = true;
        ReportFileError(FileError::ReadFailed, path);
        return 0;
    }
    if (result == CIntelHexReader::Result::Refused) {
        m_loadRefused = true;
        ui::MessageBox(ui::IDS_CAN_NOT_ACCEPT_FILE, ui::Icon::None);
        return 0;
    }
    for (const auto& run : runs) Store(run.address, run.bytes.data(), run.bytes.size());
    return result == CIntelHexReader::Result::Ended ? 1 : 0;
}

int CMotFile::LoadBinary(const std::string& path) {
    std::vector<uint8_t> bytes;
    bool tooLong = false;
    const size_t room = m_binaryOffset < kAddressLimit ? kAddressLimit - m_binaryOffset : 0;
    const FileError read = CBinaryFile::Read(path, room, bytes, tooLong);
    if (read != FileError::None) {
        m_fileErrorShown = true;
        ReportFileError(read, path);
        return 0;
    }
    if (tooLong) {
        // Bytes past the top of the address space: the file does not fit.
        m_loadRefused = true;
        ui::MessageBox(ui::IDS_CAN_NOT_ACCEPT_FILE, ui::Icon::None);
        return 0;
    }
    Store(m_binaryOffset, bytes.data(), bytes.size());
    return 1;
}

int CMotFile::Load(const std::string& path) {
    // Nothing of an earlier file may survive, whatever happens to this one.
    RemoveAll();
    m_fileErrorShown = false;
    m_loadRefused = false;
    switch (FormatOf(path)) {
    case Format::IntelHex:
        return LoadIntelHex(path);
    case Format::Binary:
        return LoadBinary(path);
    case Format::SRecord:
        break;
    }

    CTextLineReader reader;
    const FileError opened = reader.Open(path);
    if (opened != FileError::None) {
        m_fileErrorShown = true;
        ReportFileError(opened, path);
        return 0;
    }
    const int result = ReadRecords(reader);
    if (reader.ReadFailed()) {
        // Part of a file is no program: leave nothing that could be written to a device.
        RemoveAll();
        m_fileErrorShown = true;
        ReportFileError(FileError::ReadFailed, path);
        return 0;
    }
    return result;
}

int CMotFile::ReadRecords(CTextLineReader& reader) {
    const char* text = nullptr;
    size_t length = 0;
    while (reader.Next(text, length)) {
        if (length == 0) continue;
        if (text[0] != 'S') return 0;
        const int type = CRecordText(text, length).Digit(1);
        if (type >= 1 && type <= 3) {
            if (!StoreDataRecord(text, length, static_cast<unsigned>(type))) {
                ui::MessageBox(ui::IDS_CAN_NOT_ACCEPT_FILE, ui::Icon::None);
                return 0;
            }
        } else if (type >= 7 && type <= 9) {
            // The start address of the termination record is of no use here.
            return 1;
        }
        // S0 (header), S4 to S6 (counts) and unknown types carry nothing to store.
    }
    return 0;
}

bool CMotFile::StoreDataRecord(const char* text, size_t length, unsigned type) {
    const CRecordText record(text, length);
    const int count = record.Byte(2);
    if (count < 0) return false;
    // S1, S2, S3 carry 2, 3, 4 address bytes, most significant first.
    uint32_t address = 0;
    for (unsigned i = 0; i <= type; ++i) {
        const int value = record.Byte(4 + 2 * i);
        if (value < 0) return false;
        address = (address << 8) | static_cast<uint32_t>(value);
    }
    // The count covers address, data and checksum; a count too small for
    // the address wraps to a long record, which the line must then carry.
    const size_t dataLength = static_cast<size_t>((count - static_cast<int>(type) - 2) & 0xFF);
    // The device has 24 address bits: a record reaching past them has no
    // place in the image and is refused as a whole.
    if (address >= kAddressLimit || dataLength > kAddressLimit - address) return false;

    const uint32_t index = address / kPageSize;
    const size_t offset = address % kPageSize;
    // The start page is present from here on, even if the data turn out bad.
    CLineImage& first = CreatePage(index);

    uint8_t data[256];
    const size_t dataPos = 2 * type + 6;
    for (size_t i = 0; i < dataLength; ++i) {
        const int value = record.Byte(dataPos + 2 * i);
        if (value < 0) return false;
        data[i] = static_cast<uint8_t>(value);
    }
    const size_t room = kPageSize - offset;
    const size_t head = dataLength < room ? dataLength : room;
    first.Write(data, address, head);
    if (head < dataLength) CreatePage(index + 1).Write(data + head, 0, dataLength - head);
    return true;
}

}  // namespace pelican
