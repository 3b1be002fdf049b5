// The system's file dialogs through the Windows back end, answered in the
// real dialog: a name typed into its field, OK clicked; the save dialog's
// default suffix and its question before a file is replaced.
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using namespace pelican::test::win32;

class Win32FileDialogTest : public CWin32WindowTest {
protected:
    CTempDir m_dir;
};

// The dialog's file name field (an edit, or the edit of a combo box).
HWND NameField(HWND box) {
    for (int id : {0x480 /* edt1 */, 0x47C /* cmb13 */}) {
        HWND field = GetDlgItem(box, id);
        if (field == nullptr) continue;
        if (ClassOf(field) == "ComboBox") field = GetWindow(field, GW_CHILD);
        if (field != nullptr) return field;
    }
    return nullptr;
}

void Answer(HWND box, const std::string& name) {
    HWND field = NameField(box);
    ASSERT_NE(field, nullptr);
    SetWindowTextW(field, std::wstring(name.begin(), name.end()).c_str());
    Click(GetDlgItem(box, IDOK));
}

TEST_F(Win32FileDialogTest, OpenTakesTheChosenFileInTheInitialFolder) {
    m_dir.Write("prog.mot", "S9030000FC\n");
    FileOpenRequest request;
    request.filter = "Motorola S-record (*.mot)|*.mot|All files (*.*)|*.*|";
    request.initialPath = m_dir.Path();
    CModalScript script(m_backend);
    script.Then([&](HWND box) { Answer(box, "prog.mot"); });
    std::string path;
    ASSERT_TRUE(m_backend.GetOpenFileName(request, path));
    EXPECT_EQ(path, m_dir.File("prog.mot"));
}

TEST_F(Win32FileDialogTest, CancelChoosesNothing) {
    FileOpenRequest request;
    request.filter = "All files (*.*)|*.*|";
    CModalScript script(m_backend);
    script.Then([&](HWND box) { Click(GetDlgItem(box, IDCANCEL)); });
    std::string path = "unchanged";
    EXPECT_FALSE(m_backend.GetOpenFileName(request, path));
    EXPECT_EQ(path, "unchanged");
}

TEST_F(Win32FileDialogTest, SaveAddsTheSuffixAndAsksBeforeReplacing) {
    FileOpenRequest request;
    request.filter = "S-record file (*.mot;*.s;*.srec)|*.mot;*.s;*.srec|Binary file (*.bin)|*.bin|";
    request.initialPath = m_dir.File("flash");
    request.save = true;
    request.fileMustExist = false;
    request.defaultSuffix = ".mot";
    {
        CModalScript script(m_backend);
        script.Then([&](HWND box) { Answer(box, "flash"); });
        std::string path;
        ASSERT_TRUE(m_backend.GetOpenFileName(request, path));
        EXPECT_EQ(path, m_dir.File("flash.mot"));
    }
    // An existing file: the dialog asks, and Yes takes it.
    m_dir.Write("flash.mot", "old");
    bool asked = false;
    CModalScript script(m_backend);
    script.Then([&](HWND box) { Answer(box, "flash.mot"); })
        .Then([&](HWND question) {
            asked = true;
            Click(GetDlgItem(question, IDYES));
        });
    std::string path;
    ASSERT_TRUE(m_backend.GetOpenFileName(request, path));
    EXPECT_TRUE(asked);
    EXPECT_EQ(path, m_dir.File("flash.mot"));
}

}  // namespace
}  // namespace pelican::test
