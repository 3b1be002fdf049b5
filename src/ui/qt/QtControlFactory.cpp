#include "ui/qt/QtControlFactory.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QStyle>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace pelican::ui {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QWidget* CreateLabel(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (control.style & kCenter)
        label->setAlignment(Qt::AlignCenter);
    else if (control.style & kRight)
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    else
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (control.style & kBorder) label->setFrameStyle(QFrame::Box | QFrame::Plain);
    CQtControlFactory::SetLabelText(*label, control.caption, control.style);
    // Labels take no clicks, like the platform's static controls.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QWidget* CreateCombo(const ControlTemplate& control, QWidget* parent, bool editable) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(editable);
    if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& item : control.items) combo->addItem(Text(item));
    // An entry longer than the box (a port with its adapter's names) shows
    // whole in the open list, which may be wider than the box.
    combo->view()->setTextElideMode(Qt::ElideNone);
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) +
                                   combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    // Nothing is selected until the dialog's data exchange sets a text.
    combo->setCurrentIndex(-1);
    if (editable) combo->clearEditText();
    return combo;
}

}  // namespace

CQtControlFactory::CQtControlFactory(QWidget* parent, const CDialogUnits& units)
    : m_parent(parent), m_units(units) {}

QString CQtControlFactory::WithoutMnemonics(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) shown += QLatin1Char('&');
            ++i;
            if (i < text.size() && text[i] != QLatin1Char('&')) shown += text[i];
            continue;
        }
        shown += text[i];
    }
    return shown;
}

void CQtControlFactory::SetLabelText(QLabel& label, const std::string& raw, uint32_t style) {
    const QString text = Text(raw);
    if ((style & kNoPrefix) || label.buddy() != nullptr)
        label.setText(text);
    else
        label.setText(WithoutMnemonics(text));
}

QWidget* CQtControlFactory::Create(const ControlTemplate& control) const {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case ControlKind::Static: widget = CreateLabel(control, m_parent); break;
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(m_parent);
            edit->setReadOnly((control.style & kReadOnly) != 0);
            if (control.style & kRight) edit->setAlignment(Qt::AlignRight);
            if (control.style & kNoBorder) edit->setFrame(false);
            if (control.style & kByteField) {
                edit->setMaxLength(2);
                // Typed full, the field hands the focus on, so that an ID
                // is typed in one go; texts the dialog sets do not.
                QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
                    if (text.size() < 2) return;
                    QWidget* next = edit->nextInFocusChain();
                    while (next != edit && (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled()))
                        next = next->nextInFocusChain();
                    next->setFocus(Qt::TabFocusReason);
                });
            }
            if (control.style & kReadOnly) {
                // A read-only field shows on the dialog's own background.
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                edit->setPalette(palette);
            }
            widget = edit;
            break;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(Text(control.caption), m_parent);
            // Enter is the dialog host's: it presses the focused button, or
            // else the template's default button; Qt's own default-button
            // handling would press a second one.
            button->setAutoDefault(false);
            button->setDefault((control.style & kDefault) != 0);
            widget = button;
            break;
        }
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(Text(control.caption), m_parent);
            // A frame drawn behind its neighbours; it takes no clicks.
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            group->lower();
            widget = group;
            break;
        }
        case ControlKind::Radio: {
            auto* radio = new QRadioButton(Text(control.caption), m_parent);
            // Exclusivity comes from the template's groups, not the parent.
            radio->setAutoExclusive(false);
            widget = radio;
            break;
        }
        case ControlKind::CheckBox: widget = new QCheckBox(Text(control.caption), m_parent); break;
        case ControlKind::ComboBox: widget = CreateCombo(control, m_parent, true); break;
        case ControlKind::ComboList: widget = CreateCombo(control, m_parent, false); break;
        case ControlKind::Etched: {
            auto* line = new QFrame(m_parent);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            line->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = line;
            break;
        }
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(m_parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case ControlKind::Icon: {
            auto* icon = new QLabel(m_parent);
            icon->setPixmap(QApplication::windowIcon().pixmap(kIconSize, kIconSize));
            icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            icon->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = icon;
            break;
        }
    }
    if (control.style & kDisabled) widget->setEnabled(false);
    widget->setGeometry(Geometry(control, widget));
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The template's height below the closed box is the dropped list.
        const int listHeight = m_units.Y(control.cy) - widget->height();
        const int itemHeight = std::max(1, combo->fontMetrics().height());
        combo->setMaxVisibleItems(std::max(1, listHeight / itemHeight));
    }
    return widget;
}

QRect CQtControlFactory::Geometry(const ControlTemplate& control, const QWidget* widget) const {
    QRect rect = m_units.Rect(control.x, control.y, control.cx, control.cy);
    switch (control.kind) {
        case ControlKind::ComboBox:
        case ControlKind::ComboList:
            if (widget != nullptr) rect.setHeight(widget->sizeHint().height());
            break;
        case ControlKind::Icon: rect.setSize(QSize(kIconSize, kIconSize)); break;
        case ControlKind::Etched: rect.setHeight(std::max(rect.height(), 2)); break;
        default: break;
    }
    return rect;
}

}  // namespace pelican::ui
