#include "ui/win32/DialogTemplateWriter.h"

namespace pelican::ui {

namespace {
constexpr uint32_t kSetFont = 0x40L;  // DS_SETFONT
}  // namespace

void CDialogTemplateWriter::Word(uint16_t value) {
    m_bytes.push_back(static_cast<std::byte>(value & 0xFF));
    m_bytes.push_back(static_cast<std::byte>(value >> 8));
}

void CDialogTemplateWriter::DoubleWord(uint32_t value) {
    Word(static_cast<uint16_t>(value & 0xFFFF));
    Word(static_cast<uint16_t>(value >> 16));
}

void CDialogTemplateWriter::Text(const std::u16string& text) {
    for (char16_t unit : text) Word(static_cast<uint16_t>(unit));
    Word(0);
}

void CDialogTemplateWriter::NameOrOrd(const NameOrOrdinal& value) {
    if (value.isOrdinal) {
        Word(0xFFFF);
        Word(value.ordinal);
    } else {
        Text(value.name);
    }
}

void CDialogTemplateWriter::AlignToDoubleWord() {
    while (m_bytes.size() % 4 != 0) m_bytes.push_back(std::byte{0});
}

void CDialogTemplateWriter::WriteHeader(const Header& header) {
    m_bytes.clear();
    Word(1);       // dlgVer
    Word(0xFFFF);  // signature: the extended form
    DoubleWord(0);  // helpID
    DoubleWord(header.exStyle);
    DoubleWord(header.style);
    Word(header.itemCount);
    Word(static_cast<uint16_t>(header.x));
    Word(static_cast<uint16_t>(header.y));
    Word(static_cast<uint16_t>(header.cx));
    Word(static_cast<uint16_t>(header.cy));
    Word(0);  // no menu resource: the menu is built at run time
    Word(0);  // the predefined dialog class
    Text(header.title);
    if (header.style & kSetFont) {
        Word(header.pointSize);
        Word(header.weight);
        m_bytes.push_back(static_cast<std::byte>(header.italic));
        m_bytes.push_back(static_cast<std::byte>(header.charset));
        Text(header.face);
    }
}

void CDialogTemplateWriter::WriteItem(const Item& item) {
    AlignToDoubleWord();
    DoubleWord(0);  // helpID
    DoubleWord(item.exStyle);
    DoubleWord(item.style);
    Word(static_cast<uint16_t>(item.x));
    Word(static_cast<uint16_t>(item.y));
    Word(static_cast<uint16_t>(item.cx));
    Word(static_cast<uint16_t>(item.cy));
    DoubleWord(item.id);
    NameOrOrd(item.windowClass);
    NameOrOrd(item.title);
    Word(0);  // no creation data
}

}  // namespace pelican::ui
