#pragma once
// The dialog base class: a template, data exchange by control id, and
// handlers for the buttons. DoModal hands the dialog to the back end of the
// board it belongs to (real windows, or a script in tests and batch mode).
#include <string>

#include "ui/DialogTemplate.h"
#include "ui/UiBackend.h"

namespace pelican::ui {

// The live controls of a dialog while a back end shows it.
class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    virtual std::string GetText(int id) = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int checked) = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // Progress bars.
    virtual void SetRange(int id, int low, int high) = 0;
    virtual void SetPos(int id, int pos) = 0;
    // Closes the window; a modal run returns result.
    virtual void End(int result) = 0;
    // Enables or disables the whole window (an owner under a progress window).
    virtual void EnableWindow(bool enable) = 0;
    virtual bool IsWindowEnabled() = 0;
};

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool save) : m_dialog(dialog), m_saveAndValidate(save) {}
    CDialog& m_dialog;
    const bool m_saveAndValidate;
};

// Text of an edit field, static text or combo box.
void DDX_Text(CDataExchange& dx, int id, std::string& value);
// The index of the checked radio button in the group that starts at firstId
// (-1 when none is checked).
void DDX_Radio(CDataExchange& dx, int firstId, int& value);

class CDialog {
public:
    explicit CDialog(const DialogTemplate& tmpl);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog modally on ui; IDOK, IDCANCEL or the value given to
    // EndDialog.
    virtual int DoModal(IBackend& ui);
    // Where the dialog's handlers show their messages and file dialogs: the
    // back end it is shown on (the stand-in before that). A dialog of a board
    // goes where the board's application says, which changes when the
    // program ends under it.
    virtual IBackend& Ui() const;

    const DialogTemplate& Template() const { return m_template; }
    IDialogHost* Host() const { return m_host; }
    bool IsShown() const { return m_host != nullptr; }

    // Called by the back end.
    void Attach(IDialogHost* host) { m_host = host; }
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // A button other than OK and Cancel.
    virtual void OnCommand(int id);
    // The focus left an edit field styled kNotifyLeave after its text was typed.
    virtual void OnFieldLeft(int) {}
    // The Enter key: presses the default button, if there is one.
    void OnEnterKey();
    // Whether Enter on a button that has the keyboard focus presses that
    // button, as keyboard users expect of most windows.
    virtual bool EnterPressesFocusedButton() const { return true; }

    bool UpdateData(bool save);
    void EndDialog(int result);

    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text);

protected:
    virtual void DoDataExchange(CDataExchange& dx);

private:
    DialogTemplate m_template;
    IDialogHost* m_host = nullptr;
    IBackend* m_ui = nullptr;
};

}  // namespace pelican::ui
