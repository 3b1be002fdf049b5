#pragma once
// The progress window of the long page loops: a bar, a message line and
// "Cancel". It is modeless: the loop keeps running on this thread and lets
// the window's events through between pages. While it is open its owner is
// disabled, so no second command can start from the main window; closing it
// in any way (Cancel, Escape, the close box, CloseProgress) sets the
// caller's cancel flag and gives the owner back the state it had.
//
// The caller owns the object; the window may go before it (the user
// cancelled), after which SetProgressPos and CloseProgress do nothing.
#include <memory>
#include <string>

#include "ui/Dialog.h"

namespace pelican::ui {

class CProgressDlg final : public CDialog {
public:
    // IDC_NOTE: the line under the message that says how far the run has
    // got (pages, rate, time left).
    enum { IDD = 136, IDC_PROGRESS = 1020, IDC_MESSAGE = 1021, IDC_NOTE = 1022 };
    static const DialogTemplate& Template136();

    // Opens the window on ui over owner (the innermost dialog shown modally
    // when none is given) and disables the owner. None without a cancel flag
    // or when the window cannot be created. The flag must outlive the object.
    static std::unique_ptr<CProgressDlg> OpenProgress(IBackend& ui, int* cancel, CDialog* owner = nullptr);
    // Closes the window if it is still open.
    ~CProgressDlg() override;

    // Message line, window title, bar range (each end 0 to 65535) and position.
    void BeginProgress(const std::string& message, const std::string& title, int low, int high, int pos);
    void SetProgressPos(int pos);
    // The line under the message; nothing once the window is gone.
    void SetProgressNote(const std::string& note);
    // Whether "Cancel" can be pressed: not while the device cannot be
    // stopped (the erase).
    void EnableCancel(bool enable);
    // Closes the window as Cancel does; nothing once it is gone.
    void CloseProgress();
    // Lets waiting window events through: the message step of every long loop.
    void PumpMessages();

    bool IsOpen() const { return IsShown(); }
    const std::string& Message() const { return m_strMessage; }

    // The window has no modal run.
    int DoModal(IBackend&) override { return -1; }
    // Enter does nothing here, not even on the focused "Cancel": a key
    // meant for the window behind must not stop a run.
    void OnOK() override {}
    bool EnterPressesFocusedButton() const override { return false; }
    // "Cancel", Escape and the close box.
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    explicit CProgressDlg(IBackend& ui);
    void Close();

    std::string m_strMessage;
    CDialog* m_pOwner = nullptr;
    int m_ownerWasEnabled = 0;
    int* m_pCancel = nullptr;
    IBackend& m_backend;
};

}  // namespace pelican::ui
