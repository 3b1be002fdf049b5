#pragma once
// Reads a text file line by line in large blocks. Lines may be of any length
// (a file of megabytes without a line break included) while memory stays
// bounded: only the first kKeep characters of a line are handed out, which is
// more than any S-record field reaches into.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/FileError.h"

namespace pelican {

class CTextLineReader {
public:
    // The longest S-record field ends at position 6 + 6 + 2 * 255 = 522.
    static constexpr size_t kKeep = 1024;
    static constexpr size_t kBlock = size_t{1} << 20;
    // The whole 16 MB address space written as S-records takes about 45 MB.
    static constexpr uint64_t kMaxFileSize = uint64_t{256} << 20;

    // Which file was read: a file replaced or rewritten since gets another.
    using Stamp = FileIdentity;

    // blockSize: bytes asked of the system per read (small sizes for tests).
    explicit CTextLineReader(size_t blockSize = kBlock) : m_blockSize(blockSize > 0 ? blockSize : 1) {}
    ~CTextLineReader();
    CTextLineReader(const CTextLineReader&) = delete;
    CTextLineReader& operator=(const CTextLineReader&) = delete;

    // Opens a regular file of at most maxBytes for reading. Folders, devices
    // and pipes are refused: a device may never reach its end, a pipe may
    // block the caller.
    FileError Open(const std::string& path, uint64_t maxBytes = kMaxFileSize);
    const Stamp& FileStamp() const { return m_stamp; }
    // Reads text held in memory, in the same blocks as a file of these
    // bytes; the text must outlive the reader's use of it.
    void OpenText(const char* text, size_t size);

    // The next line without its terminator, cut to kKeep characters. "\n",
    // "\r\n" and a lone "\r" each end one line; the pointer is valid until
    // the next call. False at the end of the file or when a read fails.
    bool Next(const char*& text, size_t& length);
    // Starts again at the first line (a file is read anew from its start).
    // False when the file cannot be read from its start again.
    bool Rewind();

    // True when a read failed after the file was opened, or the file grew
    // past its bound while it was read.
    bool ReadFailed() const { return m_readFailed; }
    // ReadFailed or TooLarge after a failed read; None otherwise.
    FileError Error() const;
    // Whether the file is still the one opened: its size and time of last
    // change as they were, and, where its end was reached, as many bytes
    // read as it had. Text held in memory never changes.
    bool Unchanged() const;

    // Called after every block read from a file (tests change the file
    // between two blocks).
    void SetAfterBlock(std::function<void()> afterBlock) { m_afterBlock = std::move(afterBlock); }

private:
    bool Refill();
    void Keep(const char* text, size_t length);

    size_t m_blockSize;
    CInputFile m_file;
    std::unique_ptr<char[]> m_block;
    // The block being split: m_block for a file, a part of the text otherwise.
    const char* m_view = nullptr;
    const char* m_text = nullptr;
    size_t m_textSize = 0;
    size_t m_textPos = 0;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_eof = false;
    bool m_readFailed = false;
    bool m_tooLarge = false;
    uint64_t m_maxBytes = kMaxFileSize;
    uint64_t m_bytesRead = 0;
    Stamp m_stamp;
    std::function<void()> m_afterBlock;
    // A line that runs past the end of a block is gathered here.
    char m_line[kKeep];
    size_t m_lineLength = 0;
    bool m_pending = false;
    // The last line ended in "\r": a "\n" right after it belongs to it.
    bool m_afterCr = false;
};

}  // namespace pelican
