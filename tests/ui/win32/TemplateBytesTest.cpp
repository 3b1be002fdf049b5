// The in-memory dialog template, byte by byte: the extended header, the
// font, every item on a double-word boundary, class atoms and class names,
// and the styles each control kind and template style turn into.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/win32/DialogTemplateBuilder.h"
#include "ui/win32/Win32Backend.h"
#include "ui/win32/Win32FileDialog.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;

class CBytes {
public:
    explicit CBytes(std::vector<std::byte> bytes) : m_bytes(std::move(bytes)) {}
    size_t Size() const { return m_bytes.size(); }
    uint16_t Word(size_t at) const {
        return static_cast<uint16_t>(Byte(at) | (Byte(at + 1) << 8));
    }
    uint32_t DoubleWord(size_t at) const { return Word(at) | (static_cast<uint32_t>(Word(at + 2)) << 16); }
    unsigned Byte(size_t at) const { return at < m_bytes.size() ? std::to_integer<unsigned>(m_bytes[at]) : 0xFFFFu; }
    // The UTF-16 text at at, as ASCII, and the offset after its end.
    std::string Text(size_t at, size_t& end) const {
        std::string text;
        while (at + 1 < m_bytes.size() && Word(at) != 0) {
            text += static_cast<char>(Word(at));
            at += 2;
        }
        end = at + 2;
        return text;
    }

private:
    std::vector<std::byte> m_bytes;
};

DialogTemplate Small() {
    DialogTemplate t;
    t.id = 300;
    t.title = "Ab";
    t.cx = 100;
    t.cy = 50;
    t.style = kSystemMenu | kCentered;
    t.controls = {
        {ControlKind::Static, IDC_STATIC, "Hi!", 1, 2, 3, 4, 0, {}},
        {ControlKind::Button, IDOK, "OK", 10, 20, 50, 14, kDefault, {}},
        {ControlKind::Progress, 1020, "", 8, 14, 170, 15, kBorder, {}},
    };
    return t;
}

TEST(TemplateBytesTest, HeaderFontAndItemsAtTheirOffsets) {
    const CBytes b(CDialogTemplateBuilder::Build(Small()));
    EXPECT_EQ(b.Word(0), 1);        // extended template, version 1
    EXPECT_EQ(b.Word(2), 0xFFFF);
    EXPECT_EQ(b.DoubleWord(4), 0u);  // help id
    EXPECT_EQ(b.DoubleWord(8), 0u);  // extended style
    EXPECT_EQ(b.DoubleWord(12),
              static_cast<uint32_t>(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SHELLFONT | WS_SYSMENU | DS_CENTER));
    EXPECT_EQ(b.Word(16), 3);  // items
    EXPECT_EQ(b.Word(18), 0);
    EXPECT_EQ(b.Word(20), 0);
    EXPECT_EQ(b.Word(22), 100);
    EXPECT_EQ(b.Word(24), 50);
    EXPECT_EQ(b.Word(26), 0);  // no menu resource
    EXPECT_EQ(b.Word(28), 0);  // the dialog class
    size_t at = 0;
    EXPECT_EQ(b.Text(30, at), "Ab");
    ASSERT_EQ(at, 36u);
    EXPECT_EQ(b.Word(36), 8);    // point size
    EXPECT_EQ(b.Word(38), 400);  // weight
    EXPECT_EQ(b.Byte(40), 0u);   // not italic
    EXPECT_EQ(b.Byte(41), static_cast<unsigned>(DEFAULT_CHARSET));
    // The templates' "MS Sans Serif" as Windows' own dialogs name their face.
    EXPECT_EQ(b.Text(42, at), "MS Shell Dlg");
    ASSERT_EQ(at, 68u);
    // On a double word already: the first item starts there.
    size_t item = 68;
    EXPECT_EQ(b.DoubleWord(item), 0u);
    EXPECT_EQ(b.DoubleWord(item + 4), 0u);
    EXPECT_EQ(b.DoubleWord(item + 8), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT));
    EXPECT_EQ(b.Word(item + 12), 1);
    EXPECT_EQ(b.Word(item + 14), 2);
    EXPECT_EQ(b.Word(item + 16), 3);
    EXPECT_EQ(b.Word(item + 18), 4);
    EXPECT_EQ(b.DoubleWord(item + 20), 0xFFFFFFFFu);  // IDC_STATIC
    EXPECT_EQ(b.Word(item + 24), 0xFFFF);             // class by atom:
    EXPECT_EQ(b.Word(item + 26), 0x0082);             // Static
    EXPECT_EQ(b.Text(item + 28, at), "Hi!");
    ASSERT_EQ(at, 104u);
    EXPECT_EQ(b.Word(104), 0);  // no creation data
    EXPECT_EQ(b.Word(106), 0);  // padding
    item = 108;
    EXPECT_EQ(b.DoubleWord(item + 8),
              static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON));
    EXPECT_EQ(b.DoubleWord(item + 20), 1u);
    EXPECT_EQ(b.Word(item + 24), 0xFFFF);
    EXPECT_EQ(b.Word(item + 26), 0x0080);  // Button
    EXPECT_EQ(b.Text(item + 28, at), "OK");
    ASSERT_EQ(at, 142u);
    EXPECT_EQ(b.Word(142), 0);
    item = 144;  // already aligned: no padding
    EXPECT_EQ(b.DoubleWord(item + 8), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | WS_GROUP | WS_BORDER));
    EXPECT_EQ(b.DoubleWord(item + 20), 1020u);
    // A class that has no atom goes by name.
    EXPECT_EQ(b.Text(item + 24, at), "msctls_progress32");
    EXPECT_EQ(b.Text(at, at), "");
    EXPECT_EQ(b.Word(at), 0);
    EXPECT_EQ(b.Size(), at + 2);
}

TEST(TemplateBytesTest, TextIsUtf16AndTheIconAnOrdinal) {
    DialogTemplate t = Small();
    t.title = "\xC3\xA9t\xC3\xA9";  // "été"
    t.controls = {{ControlKind::Icon, IDC_STATIC, "", 8, 8, 20, 20, 0, {}}};
    const CBytes b(CDialogTemplateBuilder::Build(t));
    EXPECT_EQ(b.Word(30), 0x00E9);
    EXPECT_EQ(b.Word(32), 't');
    EXPECT_EQ(b.Word(34), 0x00E9);
    EXPECT_EQ(b.Word(36), 0);
    // Header ends at 70 (title 8 bytes, font 32): item at 72.
    EXPECT_EQ(b.DoubleWord(72 + 8), static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_ICON));
    EXPECT_EQ(b.Word(72 + 28), 0xFFFF);
    EXPECT_EQ(b.Word(72 + 30), CDialogTemplateBuilder::kIconResource);
}

TEST(TemplateBytesTest, CentredTextAndRadioGroups) {
    auto style = [](ControlKind kind, uint32_t templateStyle, const ControlTemplate* previous = nullptr) {
        ControlTemplate c{kind, 1000, "x", 0, 0, 10, 10, templateStyle, {}};
        return CDialogTemplateBuilder::Control(c, previous).style & ~static_cast<uint32_t>(WS_CHILD | WS_VISIBLE);
    };
    const uint32_t g = WS_GROUP;
    // Centred text wraps as on Linux (SS_CENTERIMAGE would keep it on one line).
    EXPECT_EQ(style(ControlKind::Static, kCenter | kNoPrefix), g | SS_CENTER | SS_NOPREFIX);
    // A radio group: its first radio starts the group and takes Tab, the
    // radios after it join it, a kGroup radio starts the next one.
    const ControlTemplate radio{ControlKind::Radio, 1001, "a", 0, 0, 10, 10, kGroup, {}};
    const ControlTemplate label{ControlKind::Static, IDC_STATIC, "b", 0, 0, 10, 10, 0, {}};
    EXPECT_EQ(style(ControlKind::Radio, kGroup, &radio), g | WS_TABSTOP | BS_AUTORADIOBUTTON);
    EXPECT_EQ(style(ControlKind::Radio, 0, &radio), static_cast<uint32_t>(BS_AUTORADIOBUTTON));
    EXPECT_EQ(style(ControlKind::Radio, 0, &label), g | WS_TABSTOP | BS_AUTORADIOBUTTON);
    // The combo's height in the template is that of its dropped list.
    const ControlTemplate combo{ControlKind::ComboList, 1003, "", 136, 58, 50, 60, 0, {"9600"}};
    EXPECT_EQ(CDialogTemplateBuilder::Control(combo, nullptr).cy, 60);
}

TEST(TemplateBytesTest, TheShellFaceStandsForTheOldDialogFaceOnly) {
    struct Case {
        const char* face;
        int points;
        const char* written;
        uint32_t fontStyle;
    };
    const Case cases[] = {
        {"MS Sans Serif", 8, "MS Shell Dlg", DS_SHELLFONT},
        {"MS Sans Serif", 9, "MS Shell Dlg", DS_SHELLFONT},  // the Status window's 9 pt stays 9
        {"", 8, "MS Shell Dlg", DS_SHELLFONT},
        {"Courier New", 10, "Courier New", DS_SETFONT},
    };
    for (const Case& c : cases) {
        DialogTemplate t = Small();
        t.title = "";
        t.font = c.face;
        t.pointSize = c.points;
        const CBytes b(CDialogTemplateBuilder::Build(t));
        EXPECT_EQ(b.DoubleWord(12) & (DS_SETFONT | DS_FIXEDSYS), c.fontStyle) << c.face;
        EXPECT_EQ(b.Word(32), c.points) << c.face;  // after the empty title at 30
        size_t end = 0;
        EXPECT_EQ(b.Text(38, end), c.written);
    }
}

TEST(Win32FileFilterTest, PairsBecomeNulSeparatedWithADoubleEnd) {
    const std::wstring filter = Win32FileFilter("Motorola (*.mot;*.s)|*.mot;*.s|All files (*.*)|*.*|");
    const wchar_t expected[] = L"Motorola (*.mot;*.s)\0*.mot;*.s\0All files (*.*)\0*.*\0";
    ASSERT_EQ(filter.size(), sizeof(expected) / sizeof(wchar_t));
    EXPECT_EQ(std::memcmp(filter.c_str(), expected, sizeof(expected)), 0);
    // The closing "|" may be missing; an empty filter stays empty.
    EXPECT_EQ(Win32FileFilter("A|*.a"), std::wstring(L"A\0*.a\0\0", 7));
    EXPECT_TRUE(Win32FileFilter("").empty());
}

TEST(Win32MessageBoxTest, EveryIconHasItsStyle) {
    EXPECT_EQ(CWin32Backend::MessageBoxIconStyle(Icon::Stop), static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(CWin32Backend::MessageBoxIconStyle(Icon::Exclamation), static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(CWin32Backend::MessageBoxIconStyle(Icon::Warning), static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(CWin32Backend::MessageBoxIconStyle(Icon::Information), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(CWin32Backend::MessageBoxIconStyle(Icon::None), 0u);
}

}  // namespace
}  // namespace pelican::test
