// The pauses of the boot-loader protocol, on the virtual clock: when each
// frame goes out, counted from the moment the one before it has left the
// line (its last stop bit), or from the moment the reply before it had come.
// The board gives the boot loader no time to find its feet but these pauses:
// a host that is quicker loses the synchronisation or a baud-rate change.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/AppBench.h"
#include "app/FirstSetDlg.h"
#include "link/DeviceWrapper.h"
#include "commands/SetCommDlg.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

// A device that notes when it was opened, when each frame was handed to it
// (with the line's rate at that moment) and when reply bytes were taken.
class CTimedDevice final : public CDeviceWrapper {
public:
    struct Event {
        char kind;  // 'O' open, 'W' write, 'R' read
        uint64_t us;
        Bytes bytes;
        uint32_t baud = 0;
    };
    CTimedDevice(std::unique_ptr<ISerialDevice> inner, IClock& clock, std::vector<Event>& events)
        : CDeviceWrapper(std::move(inner)), m_clock(clock), m_events(events) {}

    bool Open(const std::string& name) override {
        const bool opened = Inner().Open(name);
        if (opened) m_events.push_back({'O', m_clock.NowUs(), {}});
        return opened;
    }
    long Write(const uint8_t* data, size_t length) override {
        LineSettings line;
        Inner().GetLine(line);
        m_events.push_back({'W', m_clock.NowUs(), Bytes(data, data + length), line.baudRate});
        return Inner().Write(data, length);
    }
    long Read(uint8_t* data, size_t length) override {
        const long count = Inner().Read(data, length);
        if (count > 0) m_events.push_back({'R', m_clock.NowUs(), Bytes(data, data + count)});
        return count;
    }

private:
    IClock& m_clock;
    std::vector<Event>& m_events;
};

std::string Hex(const Bytes& bytes) {
    std::string text;
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += hex;
    }
    return text;
}

// One line per frame written, with the whole milliseconds from the end of
// the event before (a frame's end is its last stop bit on the line: 10 bits
// a byte at the rate it went out at; a reply's is when its last byte was
// taken), and one per reply taken, in however many reads.
std::vector<std::string> Timeline(const std::vector<CTimedDevice::Event>& events) {
    std::vector<std::string> lines;
    double endUs = 0;
    char previous = 0;
    for (const auto& event : events) {
        if (event.kind == 'O') {
            endUs = static_cast<double>(event.us);
            previous = 'O';
            continue;
        }
        if (event.kind == 'R') {
            // When a reply comes is the board's business.
            if (previous == 'R')
                lines.back() += " " + Hex(event.bytes);
            else
                lines.push_back("reply " + Hex(event.bytes));
            endUs = static_cast<double>(event.us);
            previous = 'R';
            continue;
        }
        const long gapMs = static_cast<long>((static_cast<double>(event.us) - endUs) / 1000.0);
        lines.push_back("send " + Hex(event.bytes) + " +" + std::to_string(gapMs));
        endUs = static_cast<double>(event.us);
        if (event.kind == 'W') endUs += static_cast<double>(event.bytes.size()) * 10e6 / event.baud;
        previous = event.kind;
    }
    return lines;
}

struct PausesBench : CAppBench {
    explicit PausesBench(sim::BoardConfig config = {}) : CAppBench(std::move(config)) {
        m_app = std::make_unique<CPelicanApp>(
            std::make_unique<CTimedDevice>(m_sim.MakeDevice("COM1"), m_sim.Clock(), m_events), m_sim.Clock());
        m_link = nullptr;
    }
    std::vector<CTimedDevice::Event> m_events;
};

TEST(Pauses, StartUpIdCheckAndExitKeepTheProtocolsPauses) {
    PausesBench bench;
    bench.StoreRate(38400);
    bench.m_dir.Write("prog.mot", kProgramRecords);
    bench.SelectProgram();
    bench.m_ui.SetText(CIDCheckDlg::IDD, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("prog.mot"));
    for (int i = 0; i < 7; ++i)
        bench.m_ui.SetText(CIDCheckDlg::IDD, CIDCheckDlg::IDC_ID1 + i, "0" + std::to_string(i + 1));
    bench.m_ui.Press(CIDCheckDlg::IDD, ui::IDOK);
    bench.Run();
    ASSERT_EQ(bench.m_app->m_idChecked, 1);

    std::vector<std::string> expected = {
        "send B0 +50",  // 50 ms after the port is set to 9600 bps
        "send 00 +50",
    };
    for (int i = 1; i < 16; ++i) expected.push_back("send 00 +20");
    const std::vector<std::string> rest = {
        "reply B0",
        // 1000 ms after the synchronisation's answer; the change to the
        // stored rate begins 50 ms after its purge.
        "send B0 +1050",
        "reply B0",
        "send B2 +1000",  // each step of the change 1000 ms after the echo before
        "reply B2",
        "send B2 +1000",  // at 38400 bps now
        "reply B2",
        "send 70 +0",
        "reply 80 00",
        "send 50 +0",  // Clear status ...
        "send 70 +50",  // ... and 50 ms before the ID Check dialog's status read
        "reply 80 00",
        "send F5 DF FF 0F 07 01 02 03 04 05 06 07 +0",
        "send 70 +50",  // 50 ms after the ID check
        "reply 80 0C",
        // Exit: back to 9600 bps, the same steps.
        "send B2 +50",
        "reply B2",
        "send B0 +1000",
        "reply B0",
        "send B0 +1000",  // at 9600 bps now
        "reply B0",
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(Timeline(bench.m_events), expected);
    // The synchronisation's answer is looked for 20 ms after the last 00 and
    // 50 ms more (the board has sent it long before).
    ASSERT_GT(bench.m_events.size(), 18u);
    const auto& lastZero = bench.m_events[17];
    const auto& answer = bench.m_events[18];
    ASSERT_EQ(lastZero.kind, 'W');
    ASSERT_EQ(answer.kind, 'R');
    EXPECT_EQ(static_cast<long>((static_cast<double>(answer.us - lastZero.us) - 10e6 / 9600) / 1000), 70);
}

TEST(Pauses, TheRecoverysSynchronisationPausesFifteenMillisecondsAfterEachZero) {
    // The board does not answer the main window's probe; "Push RESET." is
    // pressed for it, the recovery synchronises without waiting for a reply
    // and "Set baudrate" is taken as it comes (the stored 9600 bps).
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 2};
    PausesBench bench(config);
    bench.SelectProgram();
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) { bench.m_sim.Board().Reset(); };
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
    bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
    bench.m_ui.Press(CPelicanDlg::IDD, ui::IDCANCEL);
    bench.Run();
    ASSERT_EQ(bench.Messages(), (std::vector<std::pair<std::string, ui::Icon>>{{"Timeout.\nPush RESET.", ui::Icon::Stop}}));

    const std::vector<std::string> lines = Timeline(bench.m_events);
    // The probe that got no answer, then the recovery's synchronisation.
    size_t at = 0;
    while (at < lines.size() && lines[at].rfind("send 70", 0) != 0) ++at;
    while (++at < lines.size() && lines[at].rfind("send 70", 0) != 0) {
    }
    ASSERT_LT(at + 1, lines.size());
    std::vector<std::string> expected = {"send B0"};  // after the time-out and the message: not a pause
    expected.push_back("send 00 +50");
    for (int i = 1; i < 16; ++i) expected.push_back("send 00 +15");
    // 15 ms after the last 00 and 50 ms more; the change to 9600 bps then
    // begins 50 ms after its purge.
    expected.push_back("send B0 +115");
    std::vector<std::string> got(lines.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                 lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), at + 1 + expected.size())));
    if (!got.empty()) got[0] = got[0].substr(0, got[0].find(" +"));
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace pelican::test
