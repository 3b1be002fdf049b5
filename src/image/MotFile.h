#pragma once
// The program image: the device's 24-bit address space as 65,536 pages of
// 256 bytes, filled from a Motorola S-record file. Only the pages that the
// file touches are allocated; every other slot answers "no data" at once.
// Intel HEX (".hex", ".ihex") and raw binary (".bin") files load too.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/LineImage.h"
#include "image/LoadOutcome.h"
#include "image/TextLineReader.h"
#include "protocol/Protocol.h"

namespace pelican {

class CSRecordLine;

class CMotFile {
public:
    static constexpr uint32_t kPageCount = 0x10000;
    static constexpr uint32_t kAddressLimit = 0x1000000;  // first address past the image

    CMotFile();
    virtual ~CMotFile();
    CMotFile(const CMotFile&) = delete;
    CMotFile& operator=(const CMotFile&) = delete;

    // Replaces the image with the contents of a program file and shows the
    // message of a refusal. Returns 1 when a termination record (S7, S8, S9,
    // or Intel HEX 01) ended the load, or a binary file was taken whole; 0
    // otherwise. A refused file leaves the image empty: a record that does
    // not decode or whose checksum does not match, a file that cannot be
    // opened or read, an Intel HEX file with a bad record, a byte given twice
    // or no end record, data past the 24-bit address space.
    //
    // The content tells the format, whatever the name: a first record that
    // begins with ':' is Intel HEX, any other text is read as S-records. A
    // file named ".bin" (in any letter case) is raw bytes placed from the
    // binary offset on.
    int Load(ui::IBackend& ui, const std::string& path);
    // The same load without any message: how it ended, for the caller to
    // tell. With expected, a file that is no longer the one of that stamp
    // (rewritten or replaced since) is refused as changed.
    LoadOutcome Read(const std::string& path, const FileIdentity* expected = nullptr);
    // The same for the text of a file held in memory (not named ".bin"):
    // nothing to open or read, so no file error.
    LoadOutcome ReadFileText(const char* text, size_t size);
    // The text of an S-record file, or of an Intel HEX file, held in memory.
    LoadOutcome ReadText(const char* text, size_t size);
    LoadOutcome ReadIntelHexText(const char* text, size_t size);

    // Whether a path names a raw binary file.
    static bool IsBinaryName(const std::string& path);

    // Where a raw binary file's first byte goes; 0C0000 unless set.
    static constexpr uint32_t kDefaultBinaryOffset = protocol::kMcuMaps[0].flashStart;
    void SetBinaryOffset(uint32_t offset) { m_binaryOffset = offset; }
    uint32_t BinaryOffset() const { return m_binaryOffset; }

    // True when the last Load refused the file: its message has been shown,
    // the image is empty, and the step that asked for the load ends there.
    bool FileErrorShown() const { return m_fileErrorShown; }

    // The size of the blocks a text file is read in, and what is done after
    // each block (tests change the file between two).
    void SetReadBlock(size_t bytes, std::function<void()> afterBlock = {}) {
        m_readBlock = bytes;
        m_afterBlock = std::move(afterBlock);
    }

    // Whether record checksums are verified (the default). Without it a
    // damaged file loads as its records read.
    void SetVerifyChecksums(bool verify) { m_verifyChecksums = verify; }
    bool VerifiesChecksums() const { return m_verifyChecksums; }

    // Copies page index into buffer (256 bytes) and returns the page when it
    // is present. An absent page or an index past 0xFFFF answers nullptr and
    // leaves the buffer untouched.
    const CLineImage* GetPage(uint8_t* buffer, uint32_t index) const;

    // The used range over the pages whose first address lies below limit:
    // start is the first address of the lowest present page, end the last
    // address of the highest. True when a page was found; false leaves both
    // at 0. Page 0 is a page like any other: data only there give 000000 to
    // 0000FF, so a start of 0 does not by itself mean "no data".
    bool GetUsedRange(uint32_t& start, uint32_t& end, uint32_t limit = kAddressLimit) const;

    // Puts count bytes into the image from address on, over whatever the
    // file gave there (a page it did not touch is made, FF around them):
    // what a run adds to the file, such as a board's serial number. False,
    // with nothing changed, when they do not fit the address space.
    bool Patch(uint32_t address, const uint8_t* data, size_t count) {
        if (address >= kAddressLimit || count > kAddressLimit - address) return false;
        Store(address, data, count);
        return true;
    }

    // Deletes every page and empties every slot.
    void RemoveAll();
    // The page at index, or nullptr when absent or past the table.
    const CLineImage* LookupPage(uint32_t index) const;
    // Number of pages allocated.
    size_t PageCount() const { return m_pageCount; }
    // Bytes held by the image: its pages and its slot table.
    size_t MemoryUsed() const {
        return m_pageCount * sizeof(CLineImage) + m_pages.size() * sizeof(m_pages[0]);
    }

private:
    // The existing page at index, or a new blank one. The index is in range.
    CLineImage& CreatePage(uint32_t index);
    // Text in memory through one of the two record readers below.
    LoadOutcome ReadInMemory(const char* text, size_t size, void (CMotFile::*read)(CTextLineReader&, LoadOutcome&));
    // Tells the format by the first record, then reads the text in it.
    void ReadAnyText(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadRecords(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadRecordLines(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadIntelHex(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadBinary(const std::string& path, LoadOutcome& outcome);
    // Empties a refused image and makes the outcome say nothing was loaded.
    void Forget(LoadOutcome& outcome);
    // Copies count bytes into the image from address on; the caller keeps
    // them within the address space.
    void Store(uint32_t address, const uint8_t* data, size_t count);
    // Stores one S1/S2/S3 record; the refusal when it cannot be taken
    // (givenAt: the address a byte given before differs at).
    LoadRefusal StoreDataRecord(CSRecordLine& record, uint32_t& givenAt);
    // Marks count bytes from address on as given; true, with the address in
    // at, when one of them was given before with another value.
    bool GivenOtherwise(uint32_t address, const uint8_t* data, size_t count, uint32_t& at);

    std::vector<std::unique_ptr<CLineImage>> m_pages;
    std::vector<uint32_t> m_used;  // the slots that hold a page, in the order they were filled
    // While S-records are read: one bit per address of the address space.
    static constexpr size_t kGivenWords = CLineImage::kSize / 64;  // words per page
    std::vector<uint64_t> m_given;
    size_t m_pageCount = 0;
    bool m_fileErrorShown = false;
    bool m_verifyChecksums = true;
    uint32_t m_binaryOffset = kDefaultBinaryOffset;
    size_t m_readBlock = CTextLineReader::kBlock;
    std::function<void()> m_afterBlock;
};

}  // namespace pelican
