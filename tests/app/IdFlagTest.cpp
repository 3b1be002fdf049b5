// What the ID flag becomes from the status read after a baud-rate change,
// and "Load (ID)..." in boot-loader mode, against the simulated board with
// scripted windows.
#include <gtest/gtest.h>

#include "app/AppBench.h"
#include "link/DeviceWrapper.h"
#include "commands/SetCommDlg.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

// Answers every Read status, once armed, with the given status byte 2 in
// place of the board's (a boot loader may report the ID bits as 2, which
// has no meaning).
class CStatusByte2 final : public CDeviceWrapper {
public:
    CStatusByte2(std::unique_ptr<ISerialDevice> inner, const bool& armed, uint8_t byte2)
        : CDeviceWrapper(std::move(inner)), m_armed(armed), m_byte2(byte2) {}
    long Write(const uint8_t* data, size_t length) override {
        m_replyByte = length == 1 && data[0] == 0x70 ? 0 : 2;
        return Inner().Write(data, length);
    }
    long Read(uint8_t* data, size_t length) override {
        const long count = Inner().Read(data, length);
        for (long i = 0; i < count && m_replyByte < 2; ++i, ++m_replyByte)
            if (m_replyByte == 1 && m_armed) data[i] = m_byte2;
        return count;
    }

private:
    const bool& m_armed;
    uint8_t m_byte2;
    int m_replyByte = 2;
};

TEST(IdFlag, TheStatusReadAfterABaudRateChangeSetsClearsOrKeepsTheFlag) {
    const struct {
        int before;
        uint8_t byte2;
        int after;
    } cases[] = {
        {1, 0x0C, 1}, {0, 0x0C, 1},  // passed
        {1, 0x04, 0}, {1, 0x00, 0},  // rejected, not yet tried
        {1, 0x08, 1}, {0, 0x08, 0},  // no meaning: the flag stays as it was
        {1, 0x18, 1}, {0, 0x1C, 1},  // other bits do not count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flag " << c.before << ", status byte 2 " << int{c.byte2});
        CAppBench bench;
        bool armed = false;
        bench.m_app = std::make_unique<CPelicanApp>(
            std::make_unique<CStatusByte2>(bench.m_sim.MakeDevice("COM1"), armed, c.byte2), bench.m_sim.Clock());
        bench.SelectProgram();
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
        // "Set baudrate" is taken as it comes, with the flag as the case has it.
        const auto mainWindow = bench.m_ui.m_onIdle;
        bench.m_ui.m_onIdle = [&](ui::CDialog& dialog) {
            if (dialog.Template().id != CSetCommDlg::IDD) return mainWindow(dialog);
            bench.m_app->m_idChecked = c.before;
            armed = true;
            bench.m_sim.ClearReceived();
            bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
        };
        bench.Run();
        EXPECT_EQ(bench.m_app->m_idChecked, c.after);
        // The change to the rate in force (9600 bps) and the status read
        // that decides; then Exit.
        EXPECT_EQ(bench.m_receivedBeforeExit, (Bytes{0xB0, 0xB0, 0xB0, 0x70}));
        EXPECT_TRUE(bench.m_ui.m_messages.empty());
    }
}

TEST(IdFlag, LoadInBootLoaderModeOpensFileSelectAndTakesTheFileWithoutAnExchange) {
    CAppBench bench;
    bench.m_dir.Write("boot.mot", "S2060000001122C6\nS9030000FC\n");
    bench.SelectProgram("COM1", 1);
    bench.m_ui.Press(CSelectDlg::IDD, ui::IDCANCEL);  // the start-up's
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_LOAD);
    bench.m_ui.SetText(CSelectDlg::IDD, CSelectDlg::IDC_FILEPATH, bench.m_dir.File("boot.mot"));
    bench.m_ui.Press(CSelectDlg::IDD, ui::IDOK);
    bench.Run();
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    EXPECT_EQ(bench.m_ui.m_shownDialogs, (std::vector<int>{156, 160, 102, 160}));
    EXPECT_EQ(bench.Messages(), (std::vector<std::pair<std::string, ui::Icon>>{}));
    uint8_t page[256];
    ASSERT_NE(bench.m_app->m_image.GetPage(page, 0), nullptr);
    EXPECT_EQ(page[0], 0x11);
    EXPECT_EQ(page[1], 0x22);
    // Start-up's synchronisation, status read and Clear status, the
    // button's probe; no ID check goes to the board.
    EXPECT_EQ(bench.m_receivedBeforeExit, wire::Cat({wire::Sync(), {0x70, 0x50, 0x70}}));
}

}  // namespace
}  // namespace pelican::test
