#pragma once
// The program image: the device's 24-bit address space as 65,536 pages of
// 256 bytes, filled from a Motorola S-record file. Only the pages that the
// file touches are allocated; every other slot answers "no data" at once.
// Intel HEX (".hex", ".ihex") and raw binary (".bin") files load too.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/LineImage.h"
#include "image/LoadOutcome.h"

namespace pelican {

class CTextLineReader;

class CMotFile {
public:
    static constexpr uint32_t kPageCount = 0x10000;
    static constexpr uint32_t kAddressLimit = 0x1000000;  // first address past the image

    CMotFile();
    virtual ~CMotFile();
    CMotFile(const CMotFile&) = delete;
    CMotFile& operator=(const CMotFile&) = delete;

    // Replaces the image with the contents of a program file and shows the
    // message of a refusal. Returns 1 when a termination record (S7, S8, S9)
    // ended the load, 0 otherwise. A record that does not decode shows
    // "Can not accept this file." and ends the load with what was stored
    // before it. A record whose checksum does not match, and a file that
    // cannot be opened or read, show a message naming the file and leave the
    // image empty.
    //
    // A file named ".hex" or ".ihex" is read as Intel HEX, one named ".bin"
    // as raw bytes placed from the binary offset on. Their loads are all or
    // nothing: a bad record, a byte given twice, or data past the 24-bit
    // address space shows "Can not accept this file." and leaves the image
    // empty; a checksum is told as for S-records. Both return 1 when the
    // whole file was taken (an Intel HEX file up to its end-of-file record),
    // 0 otherwise.
    int Load(const std::string& path);
    // The same load without any message: how it ended, for the caller to tell.
    LoadOutcome Read(const std::string& path);
    // The same for the text of an S-record file held in memory: nothing to
    // open or read, so no file error.
    LoadOutcome ReadText(const char* text, size_t size);
    // The same for the text of an Intel HEX file held in memory.
    LoadOutcome ReadIntelHexText(const char* text, size_t size);

    // Where a raw binary file's first byte goes; 0C0000 unless set.
    static constexpr uint32_t kDefaultBinaryOffset = 0x0C0000;
    void SetBinaryOffset(uint32_t offset) { m_binaryOffset = offset; }
    uint32_t BinaryOffset() const { return m_binaryOffset; }

    // The format Load picks for a path, by its name.
    enum class Format { SRecord, IntelHex, Binary };
    static Format FormatOf(const std::string& path);

    // True when the last Load refused the file as a whole (it could not be
    // opened or read, a checksum did not match, or an Intel HEX or binary
    // file had a record or byte it cannot take). Its message has been
    // shown; the step that asked for the load ends there.
    bool FileErrorShown() const { return m_fileErrorShown; }

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
    void ReadRecords(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadIntelHex(CTextLineReader& reader, LoadOutcome& outcome);
    void ReadBinary(const std::string& path, LoadOutcome& outcome);
    // Empties a refused image and makes the outcome say nothing was loaded.
    void Forget(LoadOutcome& outcome);
    // Copies count bytes into the image from address on; the caller keeps
    // them within the address space.
    void Store(uint32_t address, const uint8_t* data, size_t count);
    // Stores one S1/S2/S3 record; the refusal when it cannot be taken.
    LoadRefusal StoreDataRecord(const char* text, size_t length, unsigned type);

    std::vector<std::unique_ptr<CLineImage>> m_pages;
    std::vector<uint32_t> m_used;  // the slots that hold a page, in the order they were filled
    size_t m_pageCount = 0;
    bool m_fileErrorShown = false;
    bool m_verifyChecksums = true;
    uint32_t m_binaryOffset = kDefaultBinaryOffset;
};

}  // namespace pelican
