#pragma once
// The platform layer that every window, message and pause of the user
// interface goes through: real windows (ui/qt, ui/win32) or a script
// (ui/scripted, for tests and batch mode). Each board's application holds
// the back end its dialogs and messages go to; in a gang every board has
// its own script.
#include <string>

namespace pelican::ui {

class CDialog;

enum class Icon { None, Stop, Exclamation, Warning, Information };
const char* IconWord(Icon icon);

struct FileOpenRequest {
    // Filter pairs in the form "Name (*.a;*.b)|*.a;*.b|...|".
    std::string filter;
    std::string initialPath;
    bool fileMustExist = true;
    bool hideReadOnly = true;
    // A file to be written: the dialog asks before an existing one is
    // replaced, and a name typed without an ending gets defaultSuffix.
    bool save = false;
    std::string defaultSuffix;
};

class IBackend {
public:
    virtual ~IBackend() = default;

    // Shows a dialog modally and returns how it ended.
    virtual int RunModal(CDialog& dialog) = 0;
    // A modal message box with one OK button.
    virtual int MessageBox(const std::string& caption, const std::string& text, Icon icon) = 0;
    // The system's file-open (or, for request.save, file-save) dialog;
    // false when cancelled.
    virtual bool GetOpenFileName(const FileOpenRequest& request, std::string& path) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Modeless windows (the progress window). The back end calls the dialog's
    // OnCancel when the user closes it; the dialog calls DestroyModeless.
    virtual bool CreateModeless(CDialog& dialog) = 0;
    virtual void DestroyModeless(CDialog& dialog) = 0;
    // The innermost dialog currently shown modally, or none.
    virtual CDialog* ActiveDialog() = 0;

    // Lets waiting window events through (between pages of a long loop).
    virtual void PumpMessages() = 0;
    // Lets the windows repaint and answer the desktop while the program
    // waits for the device; no user input reaches them.
    virtual void RepaintWindows() = 0;
};

// A back end that cancels every dialog and takes every message: what a
// dialog that is not shown, or an application given no back end, reaches.
// It holds no state, so one serves every thread.
IBackend& StandInBackend();

// Every message of the program: caption "Pelican", one OK button.
int MessageBox(IBackend& ui, const std::string& text, Icon icon);

// The wait cursor for the lifetime of the object.
class CWaitCursor {
public:
    explicit CWaitCursor(IBackend& ui);
    ~CWaitCursor();
    void Restore();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IBackend& m_ui;
    bool m_active = true;
};

}  // namespace pelican::ui
