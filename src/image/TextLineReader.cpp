#include "image/TextLineReader.h"

#include <cstring>

namespace pelican {
namespace {

// Offset of the first "\r" or "\n" in text, or length when there is none.
size_t FindLineEnd(const char* text, size_t length) {
    const void* lf = std::memchr(text, '\n', length);
    const size_t end = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - text) : length;
    const void* cr = std::memchr(text, '\r', end);
    return cr != nullptr ? static_cast<size_t>(static_cast<const char*>(cr) - text) : end;
}

}  // namespace

CTextLineReader::~CTextLineReader() = default;

FileError CTextLineReader::Open(const std::string& path, uint64_t maxBytes) {
    m_file.Close();
    if (const FileError opened = m_file.Open(path); opened != FileError::None) return opened;
    if (m_file.Size() > maxBytes) {
        m_file.Close();
        return FileError::TooLarge;
    }
    m_maxBytes = maxBytes;
    m_bytesRead = 0;
    m_tooLarge = false;
    m_stamp = m_file.Stamp();
    m_block.reset(new char[m_blockSize]);  // no need to clear what read(2) fills
    m_view = m_block.get();
    m_text = nullptr;
    m_pos = m_end = 0;
    m_eof = m_readFailed = m_pending = m_afterCr = false;
    m_lineLength = 0;
    return FileError::None;
}

FileError CTextLineReader::Error() const {
    if (m_tooLarge) return FileError::TooLarge;
    return m_readFailed ? FileError::ReadFailed : FileError::None;
}

bool CTextLineReader::Unchanged() const {
    if (m_text != nullptr || !m_file.IsOpen()) return true;
    // A file cut short ends early; one grown or written anew says so in its
    // size or time.
    if (m_eof && !m_readFailed && m_bytesRead != m_stamp.size) return false;
    return m_file.Unchanged();
}

void CTextLineReader::OpenText(const char* text, size_t size) {
    m_file.Close();
    m_block.reset();
    m_text = text != nullptr ? text : "";
    m_textSize = text != nullptr ? size : 0;
    m_textPos = 0;
    m_view = m_text;
    m_pos = m_end = 0;
    m_eof = m_readFailed = m_pending = m_tooLarge = m_afterCr = false;
    m_lineLength = 0;
    m_stamp = Stamp{};
}

bool CTextLineReader::Rewind() {
    if (m_text != nullptr) {
        m_textPos = 0;
        m_view = m_text;
    } else {
        if (!m_file.IsOpen() || !m_file.Rewind()) return false;
        m_bytesRead = 0;
    }
    m_pos = m_end = 0;
    m_eof = m_readFailed = m_pending = m_tooLarge = m_afterCr = false;
    m_lineLength = 0;
    return true;
}

bool CTextLineReader::Refill() {
    m_pos = m_end = 0;
    if (m_text != nullptr) {
        const size_t rest = m_textSize - m_textPos;
        m_view = m_text + m_textPos;
        m_end = rest < m_blockSize ? rest : m_blockSize;
        m_textPos += m_end;
        m_eof = m_end == 0;
        return !m_eof;
    }
    for (;;) {
        const long got = m_file.Read(m_block.get(), m_blockSize);
        if (got > 0) {
            m_bytesRead += static_cast<uint64_t>(got);
            if (m_bytesRead > m_maxBytes) {
                // Grown while being read, or a file whose size says nothing
                // (some of /proc): no end in sight.
                m_tooLarge = m_readFailed = m_eof = true;
                return false;
            }
            m_end = static_cast<size_t>(got);
            if (m_afterBlock) m_afterBlock();
            return true;
        }
        if (got < 0) m_readFailed = true;
        m_eof = true;
        return false;
    }
}

void CTextLineReader::Keep(const char* text, size_t length) {
    if (!m_pending) m_lineLength = 0;
    m_pending = true;
    const size_t room = kKeep - m_lineLength;
    if (length > room) length = room;
    std::memcpy(m_line + m_lineLength, text, length);
    m_lineLength += length;
}

bool CTextLineReader::Next(const char*& text, size_t& length) {
    if (!m_file.IsOpen() && m_text == nullptr) return false;
    for (;;) {
        if (m_pos < m_end && m_afterCr) {
            // Files made on other systems end their lines in "\r\n": one
            // line end, not a "\r" and an empty line. The pair may be split
            // between two blocks.
            m_afterCr = false;
            if (m_view[m_pos] == '\n') ++m_pos;
            continue;
        }
        if (m_pos < m_end) {
            const char* rest = m_view + m_pos;
            const size_t available = m_end - m_pos;
            const size_t lineEnd = FindLineEnd(rest, available);
            if (lineEnd < available) {
                m_afterCr = rest[lineEnd] == '\r';
                m_pos += lineEnd + 1;
                if (!m_pending) {
                    text = rest;
                    length = lineEnd < kKeep ? lineEnd : kKeep;
                    return true;
                }
                Keep(rest, lineEnd);
                m_pending = false;
                text = m_line;
                length = m_lineLength;
                return true;
            }
            // The line goes on in the next block.
            Keep(rest, available);
            m_pos = m_end;
        }
        if (m_eof || !Refill()) {
            if (m_readFailed || !m_pending) return false;
            // The last line of a file that does not end with a line break.
            m_pending = false;
            text = m_line;
            length = m_lineLength;
            return true;
        }
    }
}

}  // namespace pelican
