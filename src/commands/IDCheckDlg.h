#pragma once
// "ID Check": pick the program file, get its ID from the ".id" file beside
// it (or type it), choose the device type, and pass the device's ID check.
#include <array>
#include <string>

#include "commands/AppHost.h"
#include "image/FileError.h"
#include "image/LoadNotice.h"
#include "ui/Dialog.h"

namespace pelican {

class CIDCheckDlg : public ui::CDialog {
public:
    enum {
        IDD = 129,
        IDC_ID1 = 1002,  // ... IDC_ID1 + 6 = 1008
        IDC_REFER = 1010,
        IDC_FILEPATH = 1011,
        IDC_ORCA_SP = 1053,
        IDC_ORCA_W = 1054,
    };
    // The program's own formats follow the S-record entries the dialog has
    // always offered, so that its first entry stays the one shown first.
    static constexpr const char* kFilter =
        "Motlora Hex File (*.s;*.mot)|*.s;*.mot|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|"
        "Intel Hex File (*.hex;*.ihex)|*.hex;*.ihex|Binary File (*.bin)|*.bin|";

    explicit CIDCheckDlg(IAppHost& host);
    static const ui::DialogTemplate& Template129();

    void OnOK() override;
    void OnCommand(int id) override;
    ui::IBackend& Ui() const override { return m_host.Ui(); }
    void OnRefer();
    // A path typed into "FilePath" gets the ID of its ".id" file when the
    // focus leaves it with the ID fields empty.
    void OnFieldLeft(int id) override;

    std::string m_filePath;
    std::array<std::string, 7> m_id;
    int m_mcuType = 0;  // 0 Orca/S P, 1 Orca/W; the session's carries it to the next showing

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    void SetMcuType(int type);
    // The load once the device reports the ID passed; closes with OK when
    // the file was taken.
    void FinishWithLoad();
    // Keeps the ID the device took, for a board that has to be given it
    // again after a reset.
    void NotePassed(const uint8_t id[7]);
    void ShowIdFileError(FileError error, const std::string& idPath);
    // An ID that is not two hexadecimal digits a field: "Do not match ID
    // style.", or, with no ID at all and no ".id" file, where to give one.
    void ShowNoId();
    // Whether the ID is given on the command line (--id) rather than typed.
    bool IdEntered() const;
    // The MCU type the loaded image's range tells (Orca/W when it reaches
    // the top page).
    void TakeMcuTypeFromImage();
    // The file in m_filePath loaded, the MCU type it tells, and the ".id"
    // beside it read (what "Refer..." does once a file is chosen).
    void TakeFile();
    bool IdFieldsEmpty() const;
    // No ".id" file beside the program file.
    bool IdFileMissing() const;
    // The ".id" beside the program file into the ID fields, and the MCU
    // type it names; false, its message shown, when it gives no ID.
    // A missing ".id" is told only when tellMissing.
    bool ReadIdBeside(bool tellMissing = true);
    // The program file whose ".id" was read last.
    std::string m_idReadFor;
    IAppHost& m_host;
    FileIdentity m_loaded;  // the file OK's first load read
    // Seven bytes from the ID fields; false when a field is not two
    // hexadecimal digits.
    bool ParseId(uint8_t id[7]) const;
};

}  // namespace pelican
