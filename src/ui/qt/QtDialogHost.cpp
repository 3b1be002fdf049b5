#include "ui/qt/QtDialogHost.h"

#include <algorithm>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>

#include "ui/qt/QtControlFactory.h"

namespace pelican::ui {

namespace {

QFont FontOf(const DialogTemplate& tmpl) {
    return CDialogUnits::TemplateFont(tmpl.font, tmpl.pointSize);
}

bool TakesFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
        case ControlKind::Button:
        case ControlKind::Radio:
        case ControlKind::CheckBox:
        case ControlKind::ComboBox:
        case ControlKind::ComboList: return true;
        default: return false;
    }
}

Qt::WindowFlags FlagsOf(const DialogTemplate& tmpl) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (tmpl.style & kSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & kMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

}  // namespace

bool CQtDialogHost::s_inputBlocked = false;

CQtDialogHost::CQtDialogHost(CDialog& dialog, QWidget* parent)
    : QDialog(parent, FlagsOf(dialog.Template())),
      m_dialog(&dialog),
      m_units(CDialogUnits::FromFont(FontOf(dialog.Template()), this)) {
    const DialogTemplate& tmpl = dialog.Template();
    setFont(FontOf(tmpl));
    setWindowTitle(QString::fromStdString(tmpl.title));
    setSizeGripEnabled(false);
    m_client = new QWidget(this);
    int top = 0;
    if (tmpl.style & (kAboutMenu | kFileMenu)) {
        // The desktop has no system menu to extend; "About" lives in a Help
        // menu above the dialog's own area, beside the File menu.
        auto* bar = new QMenuBar(this);
        if (tmpl.style & kFileMenu) {
            QMenu* file = bar->addMenu(QStringLiteral("&File"));
            QAction* save = file->addAction(QStringLiteral("&Save flash to file..."));
            connect(save, &QAction::triggered, this, [this] { Press(kSaveFlashCommand); });
            if (tmpl.style & kSkipPagesItem) {
                m_skipPages = file->addAction(QStringLiteral("S&kip pages without data"));
                m_skipPages->setCheckable(true);
                connect(m_skipPages, &QAction::triggered, this, [this] {
                    // The dialog decides the check: Qt has toggled it already,
                    // also when the window takes no input.
                    Press(kSkipEmptyPagesCommand);
                    m_skipPages->setChecked(m_skipPagesChecked);
                });
            }
        }
        if (tmpl.style & kAboutMenu) {
            QMenu* help = bar->addMenu(QStringLiteral("&Help"));
            QAction* about = help->addAction(QStringLiteral("&About Pelican..."));
            connect(about, &QAction::triggered, this, [this] { Press(kAboutCommand); });
        }
        top = bar->sizeHint().height();
        bar->setGeometry(0, 0, m_units.Size(tmpl.cx, tmpl.cy).width(), top);
    }
    const QSize client = m_units.Size(tmpl.cx, tmpl.cy);
    setFixedSize(client.width(), client.height() + top);
    m_client->setGeometry(0, top, client.width(), client.height());
    BuildControls(tmpl);
    LinkControls(tmpl);
}

CQtDialogHost::~CQtDialogHost() {
    // Destroyed with its owner while still shown: the dialog must not keep
    // a host that no longer exists, and a modal run must return.
    Detach();
    if (m_loop != nullptr) m_loop->quit();
}

void CQtDialogHost::BuildControls(const DialogTemplate& tmpl) {
    const CQtControlFactory factory(m_client, m_units);
    for (const auto& control : tmpl.controls) {
        QWidget* widget = factory.Create(control);
        m_widgets.push_back(widget);
        if (control.id != IDC_STATIC && m_items.count(control.id) == 0) {
            Item& item = m_items[control.id];
            item.kind = control.kind;
            item.style = control.style;
            item.widget = widget;
            item.text = control.caption;
        }
        if (control.kind == ControlKind::Button && control.id != IDC_STATIC) {
            const int id = control.id;
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                    [this, id] { Press(id); });
            widget->installEventFilter(this);
        }
        if (control.kind == ControlKind::Edit && (control.style & kNotifyLeave)) {
            const int id = control.id;
            auto* edit = static_cast<QLineEdit*>(widget);
            // Typed text only: what the dialog sets leaves the flag clear.
            connect(edit, &QLineEdit::editingFinished, this, [this, edit, id] {
                if (!edit->isModified() || !Accepting()) return;
                edit->setModified(false);
                m_dialog->OnFieldLeft(id);
            });
        }
    }
}

void CQtDialogHost::LinkControls(const DialogTemplate& tmpl) {
    const auto& controls = tmpl.controls;
    QButtonGroup* group = nullptr;
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate& control = controls[i];
        // A group of radio buttons: from one marked kGroup over the radio
        // buttons that follow it directly.
        if (control.kind != ControlKind::Radio) {
            group = nullptr;
        } else {
            if (group == nullptr || (control.style & kGroup)) {
                group = new QButtonGroup(this);
                group->setExclusive(true);
            }
            group->addButton(static_cast<QAbstractButton*>(m_widgets[i]));
            if (Item* item = Find(control.id); item != nullptr && item->widget == m_widgets[i])
                item->group = group;
        }
        // A label's mnemonic moves the focus to the next control that takes it.
        if (control.kind == ControlKind::Static && !(control.style & kNoPrefix) &&
            control.caption.find('&') != std::string::npos) {
            for (size_t j = i + 1; j < controls.size(); ++j) {
                if (!TakesFocus(controls[j].kind)) continue;
                auto* label = static_cast<QLabel*>(m_widgets[i]);
                label->setBuddy(m_widgets[j]);
                CQtControlFactory::SetLabelText(*label, control.caption, control.style);
                break;
            }
        }
    }
}

void CQtDialogHost::Attach() {
    if (m_attached || m_dialog == nullptr) return;
    m_previousHost = m_dialog->Host();
    m_dialog->Attach(this);
    m_attached = true;
}

void CQtDialogHost::Detach() {
    if (m_attached && m_dialog != nullptr && m_dialog->Host() == this) m_dialog->Attach(m_previousHost);
    m_attached = false;
    m_dialog = nullptr;
}

QWidget* CQtDialogHost::Control(int id) const {
    auto it = m_items.find(id);
    return it != m_items.end() ? it->second.widget : nullptr;
}

QWidget* CQtDialogHost::ControlAt(size_t index) const {
    return index < m_widgets.size() ? m_widgets[index] : nullptr;
}

CQtDialogHost::Item* CQtDialogHost::Find(int id) {
    auto it = m_items.find(id);
    return it != m_items.end() ? &it->second : nullptr;
}

std::string CQtDialogHost::GetText(int id) {
    Item* item = Find(id);
    if (item == nullptr) return {};
    switch (item->kind) {
        case ControlKind::Edit: return static_cast<QLineEdit*>(item->widget)->text().toStdString();
        case ControlKind::ComboBox:
        case ControlKind::ComboList:
            return static_cast<QComboBox*>(item->widget)->currentText().toStdString();
        default: return item->text;
    }
}

void CQtDialogHost::SetText(int id, const std::string& text) {
    Item* item = Find(id);
    if (item == nullptr) return;
    const QString value = QString::fromStdString(text);
    switch (item->kind) {
        case ControlKind::Edit: static_cast<QLineEdit*>(item->widget)->setText(value); return;
        case ControlKind::ComboBox: static_cast<QComboBox*>(item->widget)->setEditText(value); return;
        case ControlKind::ComboList: {
            // Selects the matching entry (whole text first, then the first
            // entry starting with it); without one the selection stays.
            auto* combo = static_cast<QComboBox*>(item->widget);
            int index = combo->findText(value, Qt::MatchFixedString);
            if (index < 0 && !value.isEmpty()) index = combo->findText(value, Qt::MatchStartsWith);
            if (index >= 0) combo->setCurrentIndex(index);
            return;
        }
        case ControlKind::Static:
            item->text = text;
            CQtControlFactory::SetLabelText(*static_cast<QLabel*>(item->widget), text, item->style);
            return;
        case ControlKind::Button:
        case ControlKind::Radio:
        case ControlKind::CheckBox:
            item->text = text;
            static_cast<QAbstractButton*>(item->widget)->setText(value);
            return;
        case ControlKind::GroupBox:
            item->text = text;
            static_cast<QGroupBox*>(item->widget)->setTitle(value);
            return;
        default: item->text = text; return;
    }
}

int CQtDialogHost::GetCheck(int id) {
    if (id == kSkipEmptyPagesCommand && m_skipPages != nullptr) return m_skipPagesChecked ? 1 : 0;
    Item* item = Find(id);
    if (item == nullptr || (item->kind != ControlKind::Radio && item->kind != ControlKind::CheckBox)) return 0;
    return static_cast<QAbstractButton*>(item->widget)->isChecked() ? 1 : 0;
}

void CQtDialogHost::SetCheck(int id, int checked) {
    if (id == kSkipEmptyPagesCommand && m_skipPages != nullptr) {
        m_skipPagesChecked = checked != 0;
        m_skipPages->setChecked(m_skipPagesChecked);
        return;
    }
    Item* item = Find(id);
    if (item == nullptr || (item->kind != ControlKind::Radio && item->kind != ControlKind::CheckBox)) return;
    auto* button = static_cast<QAbstractButton*>(item->widget);
    if (checked != 0 || item->group == nullptr) {
        button->setChecked(checked != 0);
        return;
    }
    // An exclusive group refuses to uncheck its checked button, but a
    // group with no button checked is a valid state of the template.
    item->group->setExclusive(false);
    button->setChecked(false);
    item->group->setExclusive(true);
}

void CQtDialogHost::EnableControl(int id, bool enable) {
    if (Item* item = Find(id)) item->widget->setEnabled(enable);
}

void CQtDialogHost::SetTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void CQtDialogHost::SetRange(int id, int low, int high) {
    Item* item = Find(id);
    if (item == nullptr || item->kind != ControlKind::Progress) return;
    item->low = low;
    item->high = std::max(low, high);
    // Qt shows an equal minimum and maximum as a busy animation; the
    // platform shows an empty bar, so an empty range gets one step.
    auto* bar = static_cast<QProgressBar*>(item->widget);
    bar->setRange(item->low, item->high > item->low ? item->high : item->low + 1);
    bar->setValue(item->low);
}

void CQtDialogHost::SetPos(int id, int pos) {
    Item* item = Find(id);
    if (item == nullptr || item->kind != ControlKind::Progress) return;
    // Out-of-range positions stop at the ends, as on the platform (Qt would
    // ignore them).
    static_cast<QProgressBar*>(item->widget)->setValue(std::clamp(pos, item->low, item->high));
}

void CQtDialogHost::End(int result) {
    m_ended = true;
    m_result = result;
    hide();
    if (m_loop != nullptr) m_loop->quit();
}

void CQtDialogHost::EnableWindow(bool enable) {
    // Only the controls are disabled: windows owned by this one (the
    // progress window over the main window) stay usable.
    m_windowEnabled = enable;
    // Disabling takes the focus off the buttons; it comes back with the
    // window, so that the keyboard goes on where it was.
    if (!enable && m_client->isEnabled()) m_focusBeforeDisable = m_client->focusWidget();
    m_client->setEnabled(enable);
    if (enable && m_focusBeforeDisable) {
        m_focusBeforeDisable->setFocus();
        m_focusBeforeDisable = nullptr;
    }
}

bool CQtDialogHost::DefaultButtonEnabled() const {
    for (const auto& [id, item] : m_items) {
        if (item.kind == ControlKind::Button && (item.style & kDefault)) return item.widget->isEnabled();
    }
    return false;
}

void CQtDialogHost::Press(int id) {
    if (!Accepting()) return;
    // The handler may destroy this window (deferred) and the dialog itself;
    // nothing of either is touched after it.
    CDialog* dialog = m_dialog;
    if (id == IDOK)
        dialog->OnOK();
    else if (id == IDCANCEL)
        dialog->OnCancel();
    else
        dialog->OnCommand(id);
}

bool CQtDialogHost::IsEnterKey(const QKeyEvent& event) {
    const auto modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

bool CQtDialogHost::eventFilter(QObject* watched, QEvent* event) {
    // A key reaches a push button only when it has the focus: Enter there
    // presses that button, whichever is the default, as keyboard users
    // expect. The button's own handling (the default button clicking
    // itself) is not used, so that a press is never counted twice.
    if (event->type() != QEvent::KeyPress || !IsEnterKey(*static_cast<QKeyEvent*>(event)))
        return QDialog::eventFilter(watched, event);
    event->accept();
    const auto pressed = std::find_if(m_items.begin(), m_items.end(),
                                      [watched](const auto& entry) { return entry.second.widget == watched; });
    if (pressed != m_items.end() && pressed->second.widget->isEnabled() && m_dialog != nullptr &&
        m_dialog->EnterPressesFocusedButton())
        Press(pressed->first);
    return true;
}

void CQtDialogHost::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool cancel = event->matches(QKeySequence::Cancel) ||
                        (key == Qt::Key_Escape && modifiers == Qt::NoModifier);
    const bool enter = IsEnterKey(*event);
    // QDialog's own handling (reject, its default button) is not used: the
    // dialog class decides what Escape and Enter do.
    if (!cancel && !enter) {
        event->ignore();
        return;
    }
    event->accept();
    if (!Accepting()) return;
    CDialog* dialog = m_dialog;
    if (cancel)
        dialog->OnCancel();
    else if (DefaultButtonEnabled())
        dialog->OnEnterKey();
}

void CQtDialogHost::closeEvent(QCloseEvent* event) {
    // The dialog decides whether it closes: its handler calls End.
    event->ignore();
    if (!Accepting()) return;
    CDialog* dialog = m_dialog;
    dialog->OnCancel();
}

}  // namespace pelican::ui
