// The Windows communications back end against the simulated board on a
// pseudo-terminal that Wine maps to COM5 (tests/wine/serial-test.sh sets it
// up), in real time: the line settings the board sees, a frame's line time,
// purge, queue count and exact reads, held and missing ports, and what a
// port without modem lines does. Kept few and short.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "link/PortOpenError.h"
#include "link/SerialComm.h"
#include "link/win32/Win32PortList.h"
#include "link/win32/Win32SerialDevice.h"
#include "protocol/Protocol.h"

namespace pelican::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string PortName() {
    const char* name = std::getenv("PELICAN_TEST_PORT");
    return name != nullptr && *name != '\0' ? name : "COM5";
}

Bytes Exchange(CSerialComm& port, const Bytes& frame, size_t replyLength) {
    port.PurgeInput();
    if (port.Send(frame.data(), frame.size()) != static_cast<int>(frame.size())) return Bytes{0xEE};
    Bytes reply(replyLength);
    if (replyLength != 0 && port.Receive(reply.data(), replyLength) != static_cast<int>(replyLength)) return Bytes{};
    return reply;
}

// Waits (bounded) until the device holds at least count received bytes.
size_t AwaitQueued(ISerialDevice& device, size_t count, uint64_t boundMs = 2000) {
    const uint64_t until = RealClock().NowMs() + boundMs;
    uint32_t errors = 0;
    size_t queued = 0;
    while (device.QueryInput(errors, queued) && queued < count && RealClock().NowMs() < until)
        device.WaitInput(until, queued);
    return queued;
}

uint64_t CpuMs() {
    FILETIME created{}, ended{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) / 10000;
}

// Runs this program again with only the case named by filter, which sees
// PELICAN_SERIAL_CHILD set; its exit code, or -1 when it did not end within
// the bound.
long RunChild(const std::wstring& filter) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter;
    ::SetEnvironmentVariableW(L"PELICAN_SERIAL_CHILD", L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    const BOOL started =
        ::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableW(L"PELICAN_SERIAL_CHILD", nullptr);
    if (!started) return -1;
    DWORD code = 0;
    if (::WaitForSingleObject(child.hProcess, 20000) != WAIT_OBJECT_0) {
        ::TerminateProcess(child.hProcess, 1);
        code = static_cast<DWORD>(-1);
    } else {
        ::GetExitCodeProcess(child.hProcess, &code);
    }
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return static_cast<long>(static_cast<int>(code));
}

// The other program of the held-port case: exits 0 when it opened the
// port, else 100 + the open's errno.
TEST(Win32SerialChild, OpensThePort) {
    if (std::getenv("PELICAN_SERIAL_CHILD") == nullptr) GTEST_SKIP() << "only run by AHeldPortIsBusy...";
    CWin32SerialDevice device;
    std::exit(device.Open(PortName()) ? 0 : 100 + device.OpenError());
}

class Win32Serial : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<CWin32SerialDevice>();
        m_device = device.get();
        m_port = std::make_unique<CSerialComm>(std::move(device), RealClock());
        ASSERT_EQ(m_port->Open(PortName()), 1) << "no " << PortName() << ": run tests/wine/serial-test.sh";
        ASSERT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 0)), 1);
        m_port->SetReadTimeout(1000);
        // One board serves every case, and its state carries over: it is
        // synchronised once, every case passes the ID check (status byte 2
        // reads 0C from then on), and a case that moves the rate puts it back
        // to 9600 before it ends.
        static bool synchronised = false;
        if (!synchronised) {
            ASSERT_EQ(Exchange(*m_port, Bytes(16, 0x00), 1), Bytes{0xB0});
        }
        synchronised = true;
        PassId();
    }

    void PassId() {
        EXPECT_EQ(Exchange(*m_port, {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x70}, 2),
                  (Bytes{0x80, 0x0C}));
    }

    CWin32SerialDevice* m_device = nullptr;
    std::unique_ptr<CSerialComm> m_port;
};

TEST_F(Win32Serial, TheBoardHearsTheRateSetAndNotAMismatchedOne) {
    EXPECT_EQ(Exchange(*m_port, {0xB4}, 1), Bytes{0xB4});  // the echo at the old rate
    ASSERT_EQ(m_port->SetState(CSerialCommState(115200, 8, 0, 0)), 1);
    CSerialCommState state(0, 0, 0, 0);
    ASSERT_EQ(m_port->GetState(state), 1);
    EXPECT_EQ(state.m_baudRate, 115200u);
    EXPECT_EQ(state.m_byteSize, 8);
    EXPECT_EQ(state.m_parity, 0);
    EXPECT_EQ(state.m_stopBits, 0);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
    // The host at 57600, the board at 115200: what arrives is garbage or
    // nothing, never the status.
    ASSERT_EQ(m_port->SetState(CSerialCommState(57600, 8, 0, 0)), 1);
    m_port->SetReadTimeout(300);
    EXPECT_NE(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
    ASSERT_EQ(m_port->SetState(CSerialCommState(115200, 8, 0, 0)), 1);
    m_port->SetReadTimeout(1000);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
    EXPECT_EQ(Exchange(*m_port, {0xB0}, 1), Bytes{0xB0});
    EXPECT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 0)), 1);
}

TEST_F(Win32Serial, SettingsTheDriverDidNotTakeFail) {
    // A pseudo-terminal runs eight bits without parity whatever it is told,
    // and Wine keeps 38400 for a rate termios has no code for.
    EXPECT_EQ(m_port->SetState(CSerialCommState(9600, 7, 2, 0)), 0);
    EXPECT_EQ(m_port->SetState(CSerialCommState(12345, 8, 0, 0)), 0);
    EXPECT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 9)), 0);
    ASSERT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST_F(Win32Serial, OpenTurnsFlowControlOffThatTheLastUserLeftOn) {
    ASSERT_EQ(m_port->Close(), 1);
    const std::wstring path = CWin32SerialDevice::DevicePath(PortName());
    const HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(::GetCommState(raw, &dcb));
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fAbortOnError = TRUE;
    dcb.ByteSize = 8;
    ASSERT_TRUE(::SetCommState(raw, &dcb));
    ::CloseHandle(raw);
    ASSERT_EQ(m_port->Open(PortName()), 1);
    ASSERT_TRUE(::GetCommState(reinterpret_cast<HANDLE>(m_device->Handle()), &dcb));
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_FALSE(dcb.fDsrSensitivity);
    EXPECT_FALSE(dcb.fAbortOnError);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    ASSERT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    // XON (11) and XOFF (13) go out and come back as data.
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST_F(Win32Serial, APageFrameTakesItsLineTimeToLeave) {
    Bytes frame{0x41, 0x00, 0x0C};
    frame.resize(protocol::kPageProgramFrameLength, 0x00);
    m_port->SetReadTimeout(150);
    const auto start = Clock::now();
    EXPECT_EQ(m_port->Send(frame.data(), frame.size()), 259);
    const long long sent = MsSince(start);
    EXPECT_GE(sent, 269);  // 259 bytes of ten bits at 9600: 270 ms
    EXPECT_LT(sent, 1500);
    RealClock().Sleep(40);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST_F(Win32Serial, QueueCountAndReadOfExactlyTheQueuedBytes) {
    const uint8_t version = 0xFB;
    ASSERT_EQ(m_port->Send(&version, 1), 1);
    ASSERT_EQ(AwaitQueued(*m_device, 8), 8u);
    uint32_t errors = 0;
    size_t queued = 0;
    ASSERT_TRUE(m_device->QueryInput(errors, queued));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(queued, 8u);
    uint8_t text[16] = {};
    EXPECT_EQ(m_device->Read(text, 5), 5);
    EXPECT_EQ(std::string(text, text + 5), "VER.1");
    ASSERT_TRUE(m_device->QueryInput(errors, queued));
    EXPECT_EQ(queued, 3u);
    EXPECT_EQ(m_device->Read(text, sizeof text), 3);
    EXPECT_EQ(std::string(text, text + 3), ".00");
    // An empty queue: the read returns at once with nothing.
    const auto start = Clock::now();
    EXPECT_EQ(m_device->Read(text, 1), 0);
    EXPECT_LT(MsSince(start), 100);
}

TEST_F(Win32Serial, PurgeDropsWhatArrivedAndLeavesTheOutput) {
    const uint8_t version = 0xFB;
    ASSERT_EQ(m_port->Send(&version, 1), 1);
    ASSERT_EQ(AwaitQueued(*m_device, 8), 8u);
    // The ID check and a status read written, and the input purged while
    // they are on their way: the board still gets all of them.
    const Bytes frame{0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x70};
    ASSERT_EQ(m_device->Write(frame.data(), frame.size()), static_cast<long>(frame.size()));
    ASSERT_TRUE(m_device->PurgeInput());
    uint32_t errors = 0;
    size_t queued = 99;
    ASSERT_TRUE(m_device->QueryInput(errors, queued));
    EXPECT_EQ(queued, 0u);
    m_port->SetReadTimeout(1000);
    uint8_t status[2] = {};
    ASSERT_EQ(m_port->Receive(status, 2), 2);
    EXPECT_EQ(Bytes(status, status + 2), (Bytes{0x80, 0x0C}));
}

TEST_F(Win32Serial, ATimedOutReadWaitsWithoutSpinning) {
    m_port->SetReadTimeout(500);
    const uint64_t cpuBefore = CpuMs();
    const auto start = Clock::now();
    uint8_t byte = 0;
    EXPECT_EQ(m_port->Receive(&byte, 1), 0);
    const long long elapsed = MsSince(start);
    EXPECT_EQ(m_port->m_timedOut, 1);
    EXPECT_GE(elapsed, 500);
    EXPECT_LT(elapsed, 2500);
    EXPECT_LT(CpuMs() - cpuBefore, 250u) << "the wait ran the processor";
}

TEST_F(Win32Serial, AnEventWaitThatEndsAtOnceDoesNotSpinEither) {
    // Wine ends every receive-event wait on a pseudo-terminal at once,
    // cancelled; a driver may as well. The event wait must then rest as
    // the polling wait does, and still take the replies.
    m_device->UseEventWait(true);
    EXPECT_EQ(Exchange(*m_port, {0xFB}, 8), (Bytes{'V', 'E', 'R', '.', '1', '.', '0', '0'}));
    m_port->SetReadTimeout(500);
    const uint64_t cpuBefore = CpuMs();
    const auto start = Clock::now();
    uint8_t byte = 0;
    EXPECT_EQ(m_port->Receive(&byte, 1), 0);
    EXPECT_GE(MsSince(start), 500);
    EXPECT_LT(CpuMs() - cpuBefore, 250u) << "the wait ran the processor";
    m_port->SetReadTimeout(1000);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST_F(Win32Serial, ReaderThreadQueriesBesideTheExchanges) {
    std::atomic<int> calls{0};
    const auto count = [](void* seen, uint32_t) { ++*static_cast<std::atomic<int>*>(seen); };
    ASSERT_EQ(m_port->StartReader(count, &calls, 1), 1);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
        EXPECT_EQ(Exchange(*m_port, {0xFB}, 8), (Bytes{'V', 'E', 'R', '.', '1', '.', '0', '0'}));
    }
    EXPECT_GT(calls.load(), 0);
    EXPECT_EQ(m_port->Close(), 1);
    EXPECT_EQ(m_port->StopReader(), 0);
}

TEST_F(Win32Serial, AHeldPortIsBusyUnderEveryNameUntilClosed) {
    for (const std::string& name : {PortName(), std::string("com5"), std::string("\\\\.\\COM5")}) {
        CWin32SerialDevice other;
        EXPECT_FALSE(other.Open(name)) << name;
        EXPECT_EQ(other.OpenError(), EBUSY) << name;
    }
    EXPECT_EQ(DescribePortOpenError("COM5", EBUSY), "cannot open COM5: in use by another program (a terminal "
                                                    "program, another copy of this one); close it and try again");
    EXPECT_FALSE(IsPortPermissionError(EBUSY));
    // Another program, and after the close the other program again.
    EXPECT_EQ(RunChild(L"Win32SerialChild.OpensThePort"), 100 + EBUSY);
    ASSERT_EQ(m_port->Close(), 1);
    EXPECT_EQ(RunChild(L"Win32SerialChild.OpensThePort"), 0);
    CWin32SerialDevice other;
    ASSERT_TRUE(other.Open("com5"));
    EXPECT_FALSE(m_device->Open(PortName()));
    EXPECT_EQ(m_device->OpenError(), EBUSY);
}

TEST_F(Win32Serial, MissingPortsAndOtherDevices) {
    CWin32SerialDevice other;
    EXPECT_FALSE(other.Open("COM9"));
    EXPECT_EQ(other.OpenError(), ENOENT);
    EXPECT_EQ(DescribePortOpenError("COM9", ENOENT),
              "cannot open COM9: no such port; Device Manager lists this computer's ports under \"Ports (COM & "
              "LPT)\"");
    EXPECT_FALSE(other.Open(""));
    EXPECT_EQ(other.OpenError(), ENOENT);
    EXPECT_FALSE(other.Open("NUL"));  // a device, but no serial port
    EXPECT_EQ(other.OpenError(), ENOTTY);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.Handle(), -1);
    uint32_t errors = 0;
    size_t queued = 0;
    EXPECT_FALSE(other.QueryInput(errors, queued));
    EXPECT_EQ(other.SetModemLine(ModemLine::Dtr, true), EBADF);
    EXPECT_EQ(other.Drain(0), DrainResult::Failed);
}

TEST_F(Win32Serial, APortWithoutModemLinesSaysSoAndStaysUsable) {
    // A pseudo-terminal has no modem lines: the failure is told, and the
    // receive events are not relied on.
    EXPECT_FALSE(m_device->WaitsOnEvents());
    EXPECT_EQ(m_port->SetModemLine(ModemLine::Dtr, false), ENOTTY);
    EXPECT_EQ(m_port->SetModemLine(ModemLine::Rts, true), ENOTTY);
    ASSERT_EQ(m_port->SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    EXPECT_EQ(Exchange(*m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST(Win32SerialNames, PortNamesAndTheirDevicePaths) {
    EXPECT_EQ(CWin32SerialDevice::DevicePath("COM5"), L"\\\\.\\COM5");
    EXPECT_EQ(CWin32SerialDevice::DevicePath("com12"), L"\\\\.\\COM12");
    EXPECT_EQ(CWin32SerialDevice::DevicePath("Com3:"), L"\\\\.\\COM3");
    EXPECT_EQ(CWin32SerialDevice::DevicePath("\\\\.\\COM12"), L"\\\\.\\COM12");
    EXPECT_EQ(CWin32SerialDevice::DevicePath("CNCA0"), L"\\\\.\\CNCA0");
    EXPECT_EQ(CWin32SerialDevice::DevicePath("COM"), L"\\\\.\\COM");
    EXPECT_EQ(CWin32SerialDevice::OpenErrorOf(ERROR_ACCESS_DENIED), EBUSY);
    EXPECT_EQ(CWin32SerialDevice::OpenErrorOf(ERROR_SHARING_VIOLATION), EBUSY);
    EXPECT_EQ(CWin32SerialDevice::OpenErrorOf(ERROR_FILE_NOT_FOUND), ENOENT);
    EXPECT_EQ(CWin32SerialDevice::OpenErrorOf(ERROR_PATH_NOT_FOUND), ENOENT);
}

TEST(Win32SerialNames, PortListFromTheDeviceMap) {
    EXPECT_EQ(PortListOf({}), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(PortListOf({"COM12", "COM3", "com7", "COM12", "CNCA0", "COM10"}),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM7", "COM10", "COM12", "CNCA0"}));
    const std::vector<std::string> ports = Win32PortList();
    ASSERT_GE(ports.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(ports.begin(), ports.begin() + 4),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
}

}  // namespace
}  // namespace pelican::test
