// How often Pelican's waits wake on Windows, on the real clock: a plain
// Sleep(1) with the system's own timer tick and with the tick asked to be
// 1 ms (CFineTimer, which main holds for the run), the clock's rests on the
// high-resolution timer, and the serial back end's looks at an empty queue
// when the driver gives no receive events (as Wine on a pseudo-terminal,
// and some virtual port drivers): every 200 us for the 50 ms after a frame,
// every millisecond after that. On current Windows a Sleep(1) without the
// finer tick takes a tick of 15.6 ms; Wine does not model the tick.
//   pelican-bench-waits.exe
#include <windows.h>

#include <cstdio>
#include <functional>

#include "link/win32/Win32SerialDevice.h"
#include "sys/Clock.h"
#include "sys/TimerResolution.h"

namespace {

using namespace pelican;

// A driver with an empty queue and no receive events; every look at the
// queue is counted.
class CEmptyPort final : public ICommApi {
public:
    long m_looks = 0;
    HANDLE Open(const wchar_t*) override { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x77)); }
    BOOL Close(HANDLE) override { return TRUE; }
    BOOL GetState(HANDLE, DCB& dcb) override {
        dcb = DCB{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 115200;
        dcb.ByteSize = 8;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        return TRUE;
    }
    BOOL SetState(HANDLE, DCB&) override { return TRUE; }
    BOOL SetTimeouts(HANDLE, COMMTIMEOUTS&) override { return TRUE; }
    BOOL SetMask(HANDLE, DWORD) override { return TRUE; }
    BOOL ModemStatus(HANDLE, DWORD&) override { return FALSE; }
    BOOL ClearError(HANDLE, DWORD& errors, COMSTAT& status) override {
        ++m_looks;
        errors = 0;
        status = COMSTAT{};
        return TRUE;
    }
    BOOL Escape(HANDLE, DWORD) override { return TRUE; }
    BOOL Purge(HANDLE, DWORD) override { return TRUE; }
    BOOL Write(HANDLE, const void*, DWORD length, DWORD& done, OVERLAPPED& ov) override {
        ov.Internal = 0;
        ov.InternalHigh = length;
        done = length;
        return TRUE;
    }
    BOOL Read(HANDLE, void*, DWORD, DWORD& done, OVERLAPPED&) override {
        done = 0;
        return TRUE;
    }
    BOOL WaitEvent(HANDLE, DWORD&, OVERLAPPED&) override { return FALSE; }
    DWORD Wait(HANDLE event, DWORD ms) override { return ::WaitForSingleObject(event, ms); }
    BOOL Result(HANDLE, OVERLAPPED& ov, DWORD& count) override {
        count = static_cast<DWORD>(ov.InternalHigh);
        return TRUE;
    }
    BOOL Cancel(HANDLE, OVERLAPPED&) override { return TRUE; }
};

// The mean time between the ends of count calls of step, in microseconds.
double MeanUs(int count, const std::function<void()>& step) {
    const uint64_t start = RealClock().NowUs();
    for (int i = 0; i < count; ++i) step();
    return static_cast<double>(RealClock().NowUs() - start) / count;
}

// Looks at the empty queue per millisecond during the first 50 ms after a
// frame was written, and during the 100 ms after that.
void PortLooks(double& fine, double& after) {
    CEmptyPort driver;
    CWin32SerialDevice device(driver);
    if (!device.Open("COM99")) return;
    const uint8_t frame[] = {0x70};
    device.Write(frame, 1);
    const uint64_t start = RealClock().NowMs();
    driver.m_looks = 0;
    while (RealClock().NowMs() < start + 50) device.WaitInput(start + 150, 0);
    fine = driver.m_looks / 50.0;
    driver.m_looks = 0;
    while (RealClock().NowMs() < start + 150) device.WaitInput(start + 150, 0);
    after = driver.m_looks / 100.0;
}

void Row(const char* what, double us, const char* target) {
    std::printf("%-52s %10.1f %12.1f   %s\n", what, us, us > 0 ? 1000.0 / us : 0.0, target);
}

}  // namespace

int main() {
    std::printf("%-52s %10s %12s   %s\n", "wait", "mean us", "per ms", "wanted");
    Row("Sleep(1), the system's own tick", MeanUs(200, [] { ::Sleep(1); }), "(15625 on Windows 10/11)");
    Row("clock rest of 1000 us (high-resolution timer)", MeanUs(500, [] { RealClock().RestUs(1000); }),
        "1000 to 1500");
    Row("clock rest of 200 us (high-resolution timer)", MeanUs(1000, [] { RealClock().RestUs(200); }),
        "200 to 700");
    double fine = 0;
    double after = 0;
    PortLooks(fine, after);
    std::printf("%-52s %10s %12.1f   %s\n", "port looks, 50 ms after a frame", "", fine, "up to 5");
    std::printf("%-52s %10s %12.1f   %s\n", "port looks, later", "", after, "about 1");
    const CFineTimer fineTimer;
    std::printf("timer tick of 1 ms granted: %s\n", fineTimer.Granted() ? "yes" : "no");
    Row("Sleep(1), the tick asked to be 1 ms", MeanUs(200, [] { ::Sleep(1); }), "1000 to 2000");
    PortLooks(fine, after);
    std::printf("%-52s %10s %12.1f   %s\n", "port looks, 50 ms after a frame (1 ms tick)", "", fine, "up to 5");
    std::printf("%-52s %10s %12.1f   %s\n", "port looks, later (1 ms tick)", "", after, "about 1");
    return 0;
}
