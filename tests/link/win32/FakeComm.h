#pragma once
// A driver for the Windows serial back end that a test scripts: what it
// reports, what it refuses as the documentation says drivers do, how its
// operations end, when received bytes arrive on the test's clock and
// whether its receive events tell them, and every call it was given.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <set>
#include <utility>
#include <vector>

#include "link/win32/CommApi.h"
#include "sys/Clock.h"

namespace pelican::test {

// A clock that counts microseconds and jumps: every pause and rest is
// recorded.
class CMicroClock final : public IClock {
public:
    uint64_t NowMs() const override { return m_nowUs / 1000; }
    void Sleep(uint32_t ms) override { m_nowUs += uint64_t{ms} * 1000; }
    uint64_t NowUs() const override { return m_nowUs; }
    void SleepUs(uint64_t us) override { RestUs(us); }
    void RestUs(uint64_t us) override {
        m_rests.push_back(us);
        m_nowUs += us;
    }
    bool IsVirtual() const override { return true; }
    const std::vector<uint64_t>& Rests() const { return m_rests; }

private:
    uint64_t m_nowUs = 1000000000;
    std::vector<uint64_t> m_rests;
};

class CFakeComm final : public ICommApi {
public:
    enum class Ending {
        AtOnce,          // the call completes the operation
        CancelEnds,      // pending until cancelled, then completes cancelled
        NeverEnds,       // pending, and the cancel does not end it either
    };
    // How the driver reports received bytes to WaitCommEvent.
    enum class RxEvents {
        AtOnce,     // every wait completes at once with EV_RXCHAR
        OnArrival,  // a wait completes when bytes arrive, or at once for bytes
                    // that came while none was pending
        Never,      // a wait is pending until cancelled, whatever arrives
        Refused,    // the call fails
    };

    // What GetCommState reports; DTR and RTS as the driver has them.
    DCB m_state{};
    DWORD m_getStateError = 0;  // GetCommState fails with it
    // Once set, every call on the open handle fails with it, as on an
    // adapter pulled out under its handle.
    DWORD m_goneError = 0;
    bool m_modemStatus = false;
    Ending m_writes = Ending::AtOnce;
    DWORD m_inQueue = 0;
    RxEvents m_rxEvents = RxEvents::AtOnce;
    bool m_maskRefused = false;  // SetCommMask fails
    // With a clock, a wait that times out takes its time, and bytes arrive
    // on it: at a time (us), the bytes then queued.
    CMicroClock* m_clock = nullptr;
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> m_arrivals;
    int m_eventWaits = 0;  // WaitCommEvent calls

    std::vector<DWORD> m_escapes;   // EscapeCommFunction's functions, in order
    std::vector<DCB> m_statesSet;   // the records SetCommState took
    int m_writesStarted = 0;
    int m_statesRead = 0;  // GetCommState calls
    DWORD* m_eventsAt = nullptr;  // where the last WaitCommEvent reports
    // An operation started with an OVERLAPPED the driver still holds.
    int m_reusedWhileHeld = 0;

    CFakeComm() {
        m_state.DCBlength = sizeof m_state;
        m_state.BaudRate = 9600;
        m_state.ByteSize = 8;
        // As some drivers report them, which SetCommState then refuses.
        m_state.XonChar = 0;
        m_state.XoffChar = 0;
        m_state.fRtsControl = RTS_CONTROL_DISABLE;
    }

    HANDLE Open(const wchar_t*) override { return kHandle; }
    BOOL Close(HANDLE) override { return TRUE; }
    BOOL GetState(HANDLE, DCB& dcb) override {
        ++m_statesRead;
        if (m_getStateError != 0) return Fail(m_getStateError);
        if (m_goneError != 0) return Fail(m_goneError);
        dcb = m_state;
        return TRUE;
    }
    BOOL SetState(HANDLE, DCB& dcb) override {
        // As the documentation says of SetCommState.
        if (dcb.XonChar == dcb.XoffChar) return Fail(ERROR_INVALID_PARAMETER);
        m_statesSet.push_back(dcb);
        m_state = dcb;
        return TRUE;
    }
    BOOL SetTimeouts(HANDLE, COMMTIMEOUTS&) override { return TRUE; }
    BOOL SetMask(HANDLE, DWORD) override { return m_maskRefused ? Fail(ERROR_INVALID_FUNCTION) : TRUE; }
    BOOL ModemStatus(HANDLE, DWORD& status) override {
        status = 0;
        return m_modemStatus ? TRUE : Fail(ERROR_INVALID_FUNCTION);
    }
    BOOL ClearError(HANDLE, DWORD& errors, COMSTAT& status) override {
        if (m_goneError != 0) return Fail(m_goneError);
        errors = 0;
        status = COMSTAT{};
        Arrive();
        status.cbInQue = m_inQueue + static_cast<DWORD>(m_rx.size());
        return TRUE;
    }
    BOOL Escape(HANDLE, DWORD function) override {
        if (m_goneError != 0) return Fail(m_goneError);
        m_escapes.push_back(function);
        return TRUE;
    }
    BOOL Purge(HANDLE, DWORD) override { return m_goneError != 0 ? Fail(m_goneError) : TRUE; }
    BOOL Write(HANDLE, const void*, DWORD length, DWORD& done, OVERLAPPED& ov) override {
        ++m_writesStarted;
        if (m_goneError != 0) return Fail(m_goneError);
        return Start(ov, length, m_writes, done);
    }
    BOOL Read(HANDLE, void* data, DWORD length, DWORD& done, OVERLAPPED& ov) override {
        for (DWORD i = 0; i < length && !m_rx.empty(); ++i) {
            static_cast<uint8_t*>(data)[i] = m_rx.front();
            m_rx.pop_front();
        }
        return Start(ov, length, Ending::AtOnce, done);
    }
    BOOL WaitEvent(HANDLE, DWORD& events, OVERLAPPED& ov) override {
        DWORD done = 0;
        ++m_eventWaits;
        m_eventsAt = &events;
        events = 0;
        if (m_rxEvents == RxEvents::Refused) return Fail(ERROR_INVALID_FUNCTION);
        Arrive();
        if (m_rxEvents == RxEvents::AtOnce || (m_rxEvents == RxEvents::OnArrival && m_unannounced)) {
            m_unannounced = false;
            events = EV_RXCHAR;
            return Start(ov, 0, Ending::AtOnce, done);
        }
        m_pendingWait = &ov;
        return Start(ov, 0, Ending::CancelEnds, done);
    }
    DWORD Wait(HANDLE event, DWORD ms) override {
        const DWORD signalled = ::WaitForSingleObject(event, 0);
        if (signalled == WAIT_OBJECT_0 || m_clock == nullptr) return signalled;
        const uint64_t end = m_clock->NowUs() + uint64_t{ms} * 1000;
        if (m_rxEvents == RxEvents::OnArrival && m_pendingWait != nullptr && m_pendingWait->hEvent == event &&
            !m_arrivals.empty() && m_arrivals.front().first < end) {
            // The bytes arrive within the wait, and the driver says so.
            m_clock->RestUs(m_arrivals.front().first - m_clock->NowUs());
            Arrive();
            m_unannounced = false;
            *m_eventsAt = EV_RXCHAR;
            m_held.erase(m_pendingWait);
            m_pendingWait->Internal = 0;
            m_pendingWait->InternalHigh = 0;
            m_pendingWait = nullptr;
            ::SetEvent(event);
            return WAIT_OBJECT_0;
        }
        if (ms != 0) m_clock->RestUs(end - m_clock->NowUs());
        return WAIT_TIMEOUT;
    }
    BOOL Result(HANDLE, OVERLAPPED& ov, DWORD& count) override {
        count = static_cast<DWORD>(ov.InternalHigh);
        return ov.Internal == 0 ? TRUE : Fail(ERROR_OPERATION_ABORTED);
    }
    BOOL Cancel(HANDLE, OVERLAPPED& ov) override {
        const auto held = m_held.find(&ov);
        if (held == m_held.end() || m_cancelEnds.count(&ov) == 0) return TRUE;
        m_held.erase(held);
        if (m_pendingWait == &ov) m_pendingWait = nullptr;
        ov.Internal = 0xC0000120;  // STATUS_CANCELLED
        ov.InternalHigh = 0;
        ::SetEvent(ov.hEvent);
        return TRUE;
    }

private:
    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x4321));

    static BOOL Fail(DWORD error) {
        ::SetLastError(error);
        return FALSE;
    }

    BOOL Start(OVERLAPPED& ov, DWORD length, Ending ending, DWORD& done) {
        if (m_held.count(&ov) != 0) ++m_reusedWhileHeld;
        if (ending == Ending::AtOnce) {
            ov.Internal = 0;
            ov.InternalHigh = length;
            done = length;
            return TRUE;
        }
        m_held.insert(&ov);
        if (ending == Ending::CancelEnds) m_cancelEnds.insert(&ov);
        return Fail(ERROR_IO_PENDING);
    }

    // Bytes whose time has come join the queue; unannounced until a wait
    // reports them.
    void Arrive() {
        while (m_clock != nullptr && !m_arrivals.empty() && m_arrivals.front().first <= m_clock->NowUs()) {
            m_rx.insert(m_rx.end(), m_arrivals.front().second.begin(), m_arrivals.front().second.end());
            m_arrivals.erase(m_arrivals.begin());
            m_unannounced = true;
        }
    }

    std::deque<uint8_t> m_rx;     // bytes arrived, not yet read
    bool m_unannounced = false;   // bytes arrived that no wait reported
    OVERLAPPED* m_pendingWait = nullptr;
    std::set<OVERLAPPED*> m_held;        // operations the driver has not ended
    std::set<OVERLAPPED*> m_cancelEnds;  // ... of which a cancel ends
};

}  // namespace pelican::test
