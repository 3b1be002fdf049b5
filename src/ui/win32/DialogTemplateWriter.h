#pragma once
// The byte layout of an in-memory extended dialog template (DLGTEMPLATEEX and
// its DLGITEMTEMPLATEEX items), as DialogBoxIndirectParamW and
// CreateDialogIndirectParamW read it: little-endian words and double words,
// UTF-16 strings ended by a zero word, a class or caption given either as a
// string or as 0xFFFF followed by an ordinal, and every item starting on a
// double-word boundary. Only the layout lives here; which styles a control
// gets is the template builder's business.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelican::ui {

class CDialogTemplateWriter {
public:
    struct Header {
        uint32_t style = 0;
        uint32_t exStyle = 0;
        uint16_t itemCount = 0;
        int16_t x = 0, y = 0, cx = 0, cy = 0;
        std::u16string title;
        // Written when style has DS_SETFONT.
        uint16_t pointSize = 8;
        uint16_t weight = 400;
        uint8_t italic = 0;
        uint8_t charset = 1;  // DEFAULT_CHARSET
        std::u16string face;
    };

    // A string or an ordinal (class atoms, resource ids).
    struct NameOrOrdinal {
        std::u16string name;
        uint16_t ordinal = 0;
        bool isOrdinal = false;
        static NameOrOrdinal Name(std::u16string text) { return {std::move(text), 0, false}; }
        static NameOrOrdinal Ordinal(uint16_t value) { return {{}, value, true}; }
    };

    struct Item {
        uint32_t style = 0;
        uint32_t exStyle = 0;
        int16_t x = 0, y = 0, cx = 0, cy = 0;
        uint32_t id = 0;
        NameOrOrdinal windowClass;
        NameOrOrdinal title;
    };

    // The predefined window classes by atom.
    static constexpr uint16_t kButtonAtom = 0x0080;
    static constexpr uint16_t kEditAtom = 0x0081;
    static constexpr uint16_t kStaticAtom = 0x0082;
    static constexpr uint16_t kComboBoxAtom = 0x0085;

    // The header comes first, once; then each item.
    void WriteHeader(const Header& header);
    void WriteItem(const Item& item);

    // The template so far; its data start is aligned for the API (the vector
    // itself is, as operator new aligns for every fundamental type).
    const std::vector<std::byte>& Bytes() const { return m_bytes; }

private:
    void Word(uint16_t value);
    void DoubleWord(uint32_t value);
    void Text(const std::u16string& text);
    void NameOrOrd(const NameOrOrdinal& value);
    void AlignToDoubleWord();

    std::vector<std::byte> m_bytes;
};

}  // namespace pelican::ui
