#pragma once
// "Program/Download File Select": the program file in boot-loader mode,
// where no ID is exchanged with the device.
#include <string>

#include "commands/AppHost.h"
#include "image/LoadNotice.h"
#include "ui/Dialog.h"

namespace pelican {

class CSelectDlg : public ui::CDialog {
public:
    enum { IDD = 160, IDC_REFER = 1010, IDC_FILEPATH = 1011 };

    explicit CSelectDlg(IAppHost& host);
    static const ui::DialogTemplate& Template160();

    void OnOK() override;
    void OnCommand(int id) override;
    ui::IBackend& Ui() const override { return m_host.Ui(); }
    void OnRefer();
    // The endings "Refer..." takes for a program file, in any letter case;
    // a boot program (".btp") is not one.
    static bool IsProgramFileName(const std::string& path);

    std::string m_filePath;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    IAppHost& m_host;
};

}  // namespace pelican
