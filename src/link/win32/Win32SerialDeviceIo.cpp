#include <algorithm>

#include "link/win32/CommErrors.h"
#include "link/win32/Win32SerialDevice.h"

// The port's input and output: writes bounded by the line time, the drain,
// the queue's count and exact reads, and the waits for input.
namespace pelican {
namespace {

// A write the driver has not taken within its line time and this long
// (adapter wedged, output held by a driver's own flow control) has failed.
constexpr uint64_t kWriteStallMs = 5000;
// Waits are cut into slices so that a line condition that wakes nothing is
// still noticed.
constexpr DWORD kWaitSliceMs = 200;
// A read of bytes already queued completes at once; this only bounds a
// driver that misbehaves.
constexpr DWORD kReadBoundMs = 1000;

constexpr DWORD kInputEvents = EV_RXCHAR | EV_ERR | EV_BREAK;

}  // namespace

uint64_t CWin32SerialDevice::LineTimeUs(size_t bytes) {
    uint32_t rate = m_baudRate.load();
    if (rate == 0) {
        LineSettings line;
        if (!GetLine(line)) return 0;
        rate = line.baudRate;
        m_baudRate = rate;
    }
    return rate != 0 ? uint64_t{bytes} * 10000000 / rate : 0;
}

bool CWin32SerialDevice::Ended(COverlappedOp::End end) {
    if (end == COverlappedOp::End::GivenUp) m_failed = true;
    return end == COverlappedOp::End::Completed;
}

long CWin32SerialDevice::Write(const uint8_t* data, size_t length) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE || m_failed || !m_writeOp.Usable()) return -1;
    if (length == 0) return 0;
    const uint64_t lineUs = LineTimeUs(length);
    const DWORD bound = static_cast<DWORD>(std::min<uint64_t>(lineUs / 1000 + 1 + kWriteStallMs, INFINITE - 1));
    const DWORD count = static_cast<DWORD>(std::min<size_t>(length, MAXDWORD));
    // The bytes the driver works on are the slot's: a write it never ends
    // does not hold on to the caller's buffer.
    OVERLAPPED& ov = m_writeOp.Start(count);
    std::copy(data, data + count, m_writeOp.Bytes());
    DWORD done = 0;
    const BOOL started = m_api.Write(handle, m_writeOp.Bytes(), count, done, ov);
    // A stalled write is cut short; what it moved still counts.
    const COverlappedOp::End end = m_writeOp.Finish(handle, started, bound, done);
    if (end == COverlappedOp::End::Failed) NoteFault(::GetLastError());
    Ended(end);
    if (done != 0) m_replyDueUntilUs = m_clock.NowUs() + lineUs + kReplyWindowUs;
    return done == 0 ? -1 : static_cast<long>(done);
}

DrainResult CWin32SerialDevice::Drain(uint64_t deadlineMs) {
    // FlushFileBuffers cannot be given a deadline: on an adapter that took
    // a frame but never sends it, it would hold the program for ever. The
    // driver's count of bytes not yet sent can be watched with one. It does
    // not count the UART's own FIFO, nor a USB adapter's buffer (many USB
    // drivers report 0 at once); the port waits for the frame's line time
    // after this anyway.
    for (;;) {
        DWORD inQueue = 0;
        DWORD outQueue = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_handle.load() == INVALID_HANDLE_VALUE || m_failed || !Poll(inQueue, outQueue))
                return DrainResult::Failed;
        }
        if (outQueue == 0) return DrainResult::Drained;
        const uint64_t now = m_clock.NowMs();
        if (now >= deadlineMs) return DrainResult::Pending;
        // Look again when the queued bytes could have gone at the line's
        // rate, but at least every millisecond and never past the deadline.
        const uint64_t us = std::max<uint64_t>(kPollUs, LineTimeUs(outQueue));
        m_clock.RestUs(std::min<uint64_t>({us, (deadlineMs - now) * 1000, uint64_t{kWaitSliceMs} * 1000}));
    }
}

bool CWin32SerialDevice::Poll(DWORD& inQueue, DWORD& outQueue) {
    DWORD word = 0;
    COMSTAT status{};
    if (!m_api.ClearError(m_handle.load(), word, status)) {
        NoteFault(::GetLastError());
        return false;
    }
    m_errors |= LineErrorsOf(word);
    inQueue = status.cbInQue;
    outQueue = status.cbOutQue;
    return true;
}

bool CWin32SerialDevice::QueryInput(uint32_t& errors, size_t& queued) {
    std::lock_guard lock(m_mutex);
    errors = 0;
    queued = 0;
    if (m_handle.load() == INVALID_HANDLE_VALUE) return false;
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    // An open port whose driver no longer answers has gone away under us
    // (adapter unplugged), and so has one whose driver kept an operation:
    // a line failure, as every later call would be.
    if (m_failed || !Poll(inQueue, outQueue)) m_errors |= kLineOther;
    errors = m_errors;
    m_errors = 0;
    queued = inQueue;
    return true;
}

long CWin32SerialDevice::Read(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE || m_failed || !m_readOp.Usable()) return -1;
    // Only what is queued: Wine lets a read of an empty queue wait for the
    // next byte whatever the time-outs say.
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    if (!Poll(inQueue, outQueue)) return -1;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(length, inQueue));
    if (count == 0) return 0;
    OVERLAPPED& ov = m_readOp.Start(count);
    DWORD got = 0;
    const BOOL started = m_api.Read(handle, m_readOp.Bytes(), count, got, ov);
    const COverlappedOp::End end = m_readOp.Finish(handle, started, kReadBoundMs, got);
    if (end == COverlappedOp::End::Failed) NoteFault(::GetLastError());
    if (end == COverlappedOp::End::Failed && got == 0) return -1;
    // A slot given up is the driver's: what it had delivered was copied
    // before (got counts only bytes that are there).
    if (end != COverlappedOp::End::GivenUp) std::copy(m_readOp.Bytes(), m_readOp.Bytes() + got, data);
    Ended(end);
    return end == COverlappedOp::End::GivenUp ? -1 : static_cast<long>(got);
}

bool CWin32SerialDevice::PurgeInput() {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE || m_failed) return false;
    // Received bytes only: output and pending operations are left alone.
    if (m_api.Purge(handle, PURGE_RXCLEAR)) return true;
    NoteFault(::GetLastError());
    return false;
}

COverlappedOp::End CWin32SerialDevice::WaitEvent(HANDLE handle, DWORD ms) {
    OVERLAPPED& ov = m_waitOp.Start();
    DWORD& events = m_waitOp.Events();
    events = 0;
    DWORD n = 0;
    const BOOL started = m_api.WaitEvent(handle, events, ov);
    return m_waitOp.Finish(handle, started, ms, n);
}

bool CWin32SerialDevice::Unannounced(HANDLE handle, size_t seen) {
    DWORD inQueue = 0;
    {
        std::lock_guard lock(m_mutex);
        DWORD outQueue = 0;
        if (m_handle.load() == INVALID_HANDLE_VALUE || m_failed || !Poll(inQueue, outQueue)) return false;
    }
    if (inQueue <= seen || !m_waitOp.Usable()) return false;
    // Bytes may have come between the end of the wait and its cancel. A
    // driver that signals keeps that event for the next wait, which then
    // ends at once; one that did not signal them will not now either.
    const COverlappedOp::End end = WaitEvent(handle, 0);
    return end != COverlappedOp::End::GivenUp && !(Ended(end) && (m_waitOp.Events() & EV_RXCHAR) != 0);
}

void CWin32SerialDevice::EventsUnreliable() {
    if (!m_eventWait) return;
    m_eventWait = false;
    // Once for the port, where a debugger or DebugView shows it.
    const std::wstring note = m_path + L": the driver does not report received bytes as they come "
                                       L"(EV_RXCHAR); the port's input queue is polled instead\n";
    ::OutputDebugStringW(note.c_str());
}

bool CWin32SerialDevice::Changed(size_t seen) {
    std::lock_guard lock(m_mutex);
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    return m_handle.load() == INVALID_HANDLE_VALUE || m_failed || !Poll(inQueue, outQueue) || inQueue != seen ||
           m_errors != 0;
}

void CWin32SerialDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return;
    const uint64_t now = m_clock.NowMs();
    if (deadlineMs <= now) return;
    const DWORD wait = static_cast<DWORD>(std::min<uint64_t>(deadlineMs - now, kWaitSliceMs));
    // Another thread's query saw input since the caller looked, or a line
    // error waits to be reported.
    if (Changed(seen)) {
        m_replyDueUntilUs = m_clock.NowUs() + kReplyWindowUs;
        return;
    }
    if (m_eventWait && m_waitOp.Usable()) {
        // The driver keeps the events since the last wait ended, so a byte
        // that came after the look above ends this wait at once.
        const uint64_t start = m_clock.NowMs();
        const COverlappedOp::End end = WaitEvent(handle, wait);
        if (Ended(end) && (m_waitOp.Events() & kInputEvents) != 0 && Changed(seen)) return;
        if (end == COverlappedOp::End::GivenUp) return;
        // A driver that refuses the wait cannot be waited on at all.
        if (end == COverlappedOp::End::Failed) EventsUnreliable();
        // The slice ran out. Bytes the driver never announced may lie in
        // the queue all the same: the caller's next look takes them.
        if (end == COverlappedOp::End::Cancelled && m_clock.NowMs() >= start + wait) {
            if (Unannounced(handle, seen)) EventsUnreliable();
            return;
        }
    }
    // No event, or woken with nothing new to show (a driver that ends the
    // wait at once; Wine, which reports characters still queued as a new
    // event): rest before the caller looks again, so that its loop never
    // spins. While a reply is due the pause is short and exact (the clock
    // waits out its end on the counter: no timer wakes within 200 us); after
    // that a rest of a millisecond, which costs the processor nothing.
    const uint64_t nowUs = m_clock.NowUs();
    const uint64_t leftUs = deadlineMs * 1000 > nowUs ? deadlineMs * 1000 - nowUs : 0;
    if (nowUs < m_replyDueUntilUs.load())
        m_clock.SleepUs(std::min(kFinePollUs, leftUs));
    else
        m_clock.RestUs(std::min(kPollUs, leftUs));
}

}  // namespace pelican
