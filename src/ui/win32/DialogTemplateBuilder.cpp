#include "ui/win32/DialogTemplateBuilder.h"

#include "ui/win32/WindowsApi.h"

#include "sys/win32/WideText.h"

namespace pelican::ui {

namespace {

using Item = CDialogTemplateWriter::Item;
using Name = CDialogTemplateWriter::NameOrOrdinal;

std::u16string Utf16(const std::string& text) {
    const std::wstring wide = Widen(text);
    return std::u16string(wide.begin(), wide.end());
}

int16_t Units(int value) {
    return static_cast<int16_t>(value);
}

uint32_t StaticStyle(uint32_t style) {
    uint32_t result = SS_LEFT;
    // Centred text wraps, as the other back ends draw it: SS_CENTERIMAGE
    // would keep it on one line, cut at the control's edges.
    if (style & kCenter)
        result = SS_CENTER;
    else if (style & kRight)
        result = SS_RIGHT;
    if (style & kNoPrefix) result |= SS_NOPREFIX;
    if (style & kBorder) result |= WS_BORDER;
    return result;
}

uint32_t EditStyle(uint32_t style) {
    uint32_t result = ES_AUTOHSCROLL | WS_TABSTOP;
    result |= (style & kRight) ? ES_RIGHT : ES_LEFT;
    if (!(style & kNoBorder)) result |= WS_BORDER;
    if (style & kReadOnly) result |= ES_READONLY;
    return result;
}

// Class and style by kind; WS_CHILD, WS_VISIBLE, groups and disabling are
// added by the caller.
void KindStyle(const ControlTemplate& control, Item& item) {
    const uint32_t style = control.style;
    switch (control.kind) {
        case ControlKind::Static:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kStaticAtom);
            item.style = StaticStyle(style);
            return;
        case ControlKind::Etched:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kStaticAtom);
            item.style = SS_ETCHEDHORZ;
            return;
        case ControlKind::Icon:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kStaticAtom);
            item.style = SS_ICON;
            item.title = Name::Ordinal(CDialogTemplateBuilder::kIconResource);
            return;
        case ControlKind::Edit:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kEditAtom);
            item.style = EditStyle(style);
            return;
        case ControlKind::Button:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kButtonAtom);
            item.style = ((style & kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
            return;
        case ControlKind::GroupBox:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kButtonAtom);
            item.style = BS_GROUPBOX;
            return;
        case ControlKind::Radio:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kButtonAtom);
            item.style = BS_AUTORADIOBUTTON;
            return;
        case ControlKind::CheckBox:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kButtonAtom);
            item.style = BS_AUTOCHECKBOX | WS_TABSTOP;
            return;
        case ControlKind::ComboBox:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kComboBoxAtom);
            item.style = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            return;
        case ControlKind::ComboList:
            item.windowClass = Name::Ordinal(CDialogTemplateWriter::kComboBoxAtom);
            item.style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
            return;
        case ControlKind::Progress:
            item.windowClass = Name::Name(u"msctls_progress32");
            item.style = (style & kBorder) ? WS_BORDER : 0;
            return;
    }
}

}  // namespace

bool CDialogTemplateBuilder::UsesShellFont(const DialogTemplate& tmpl) {
    return tmpl.font.empty() || tmpl.font == kRasterFace;
}

std::string CDialogTemplateBuilder::Face(const DialogTemplate& tmpl) {
    return UsesShellFont(tmpl) ? std::string(kShellFace) : tmpl.font;
}

uint32_t CDialogTemplateBuilder::WindowStyle(const DialogTemplate& tmpl) {
    uint32_t style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | (UsesShellFont(tmpl) ? DS_SHELLFONT : DS_SETFONT);
    if ((tmpl.style & kSystemMenu) && !(tmpl.style & kNoSystemMenu)) style |= WS_SYSMENU;
    // The minimize box shows only with a system menu.
    if ((tmpl.style & kMinimizeBox) && (style & WS_SYSMENU)) style |= WS_MINIMIZEBOX;
    if (tmpl.style & kCentered) style |= DS_CENTER;
    return style;
}

CDialogTemplateWriter::Item CDialogTemplateBuilder::Control(const ControlTemplate& control,
                                                             const ControlTemplate* previous) {
    Item item;
    item.x = Units(control.x);
    item.y = Units(control.y);
    item.cx = Units(control.cx);
    item.cy = Units(control.cy);
    item.id = static_cast<uint32_t>(control.id);
    item.title = Name::Name(Utf16(control.caption));
    KindStyle(control, item);
    item.style |= WS_CHILD | WS_VISIBLE;
    if (control.kind == ControlKind::Radio) {
        // The first radio of a group is where Tab lands; the arrow keys move
        // inside the group.
        const bool first = (control.style & kGroup) || previous == nullptr || previous->kind != ControlKind::Radio;
        if (first) item.style |= WS_GROUP | WS_TABSTOP;
    } else {
        // Every other control stands alone, so that no group runs on past
        // the radios that form it.
        item.style |= WS_GROUP;
    }
    if (control.style & kDisabled) item.style |= WS_DISABLED;
    return item;
}

std::vector<std::byte> CDialogTemplateBuilder::Build(const DialogTemplate& tmpl) {
    CDialogTemplateWriter writer;
    CDialogTemplateWriter::Header header;
    header.style = WindowStyle(tmpl);
    header.itemCount = static_cast<uint16_t>(tmpl.controls.size());
    header.cx = Units(tmpl.cx);
    header.cy = Units(tmpl.cy);
    header.title = Utf16(tmpl.title);
    header.pointSize = static_cast<uint16_t>(tmpl.pointSize > 0 ? tmpl.pointSize : 8);
    header.weight = FW_NORMAL;
    header.charset = DEFAULT_CHARSET;
    header.face = Utf16(Face(tmpl));
    writer.WriteHeader(header);
    const ControlTemplate* previous = nullptr;
    for (const auto& control : tmpl.controls) {
        writer.WriteItem(Control(control, previous));
        previous = &control;
    }
    return writer.Bytes();
}

}  // namespace pelican::ui
