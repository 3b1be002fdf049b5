#pragma once
// The window of one shown dialog: a QDialog built from the dialog's template,
// with its controls found by id for data exchange, and the window's buttons,
// keys and close box turned into calls of the dialog's handlers.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "ui/Dialog.h"
#include "ui/qt/DialogUnits.h"

class QAction;
class QButtonGroup;
class QEventLoop;

namespace pelican::ui {

class CQtDialogHost final : public QDialog, public IDialogHost {
public:
    // Builds the window (hidden) with its controls; parent owns it as a
    // secondary window and it is centred on it.
    CQtDialogHost(CDialog& dialog, QWidget* parent);
    ~CQtDialogHost() override;
    CQtDialogHost(const CQtDialogHost&) = delete;
    CQtDialogHost& operator=(const CQtDialogHost&) = delete;

    // Makes this window the dialog's host, remembering the one it had.
    void Attach();
    // Gives the dialog back its previous host; from then on nothing of the
    // window reaches the dialog any more.
    void Detach();
    CDialog* Dialog() const { return m_dialog; }

    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    // The loop of a modal run, left when the dialog ends.
    void SetModalLoop(QEventLoop* loop) { m_loop = loop; }

    // While set, no window takes a button press, key or close request: the
    // windows only repaint (a wait for the device is running).
    static void BlockInput(bool block) { s_inputBlocked = block; }
    static bool InputBlocked() { return s_inputBlocked; }

    const CDialogUnits& Units() const { return m_units; }
    // The widget of a control by id (nullptr if none), or by its position in
    // the template (labels share one id).
    QWidget* Control(int id) const;
    QWidget* ControlAt(size_t index) const;
    // The widget all controls sit on; disabled with the window.
    QWidget* Client() const { return m_client; }

    // IDialogHost
    std::string GetText(int id) override;
    void SetText(int id, const std::string& text) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int checked) override;
    void EnableControl(int id, bool enable) override;
    void SetTitle(const std::string& title) override;
    void SetRange(int id, int low, int high) override;
    void SetPos(int id, int pos) override;
    void End(int result) override;
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() override { return m_windowEnabled; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Enter on a focused push button presses that button.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Item {
        ControlKind kind = ControlKind::Static;
        uint32_t style = 0;
        QWidget* widget = nullptr;
        std::string text;        // caption as set, '&' included
        int low = 0, high = 100;  // progress range as set
        QButtonGroup* group = nullptr;
    };

    void BuildControls(const DialogTemplate& tmpl);
    void LinkControls(const DialogTemplate& tmpl);
    Item* Find(int id);
    // A press of button id: OK, Cancel or another command of the dialog.
    void Press(int id);
    bool DefaultButtonEnabled() const;
    static bool IsEnterKey(const QKeyEvent& event);
    bool Accepting() const { return m_dialog != nullptr && !m_ended && m_windowEnabled && !s_inputBlocked; }

    static bool s_inputBlocked;

    CDialog* m_dialog;
    IDialogHost* m_previousHost = nullptr;
    bool m_attached = false;
    CDialogUnits m_units;
    QWidget* m_client = nullptr;
    std::vector<QWidget*> m_widgets;
    std::map<int, Item> m_items;
    QEventLoop* m_loop = nullptr;
    bool m_ended = false;
    int m_result = IDCANCEL;
    bool m_windowEnabled = true;
    // The File menu's check item, when the template has it, and its check
    // as the dialog last set it.
    QAction* m_skipPages = nullptr;
    bool m_skipPagesChecked = false;
    QPointer<QWidget> m_focusBeforeDisable;
};

}  // namespace pelican::ui
