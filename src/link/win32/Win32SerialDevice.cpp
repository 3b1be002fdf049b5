#include "link/win32/Win32SerialDevice.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cwctype>

#include "sys/Clock.h"
#include "sys/win32/WideText.h"

namespace pelican {
namespace {

// A write the driver has not taken within its line time and this long
// (adapter wedged, output held by a driver's own flow control) has failed.
constexpr uint64_t kWriteStallMs = 5000;
// Waits are cut into slices so that a line condition that wakes nothing is
// still noticed.
constexpr DWORD kWaitSliceMs = 200;
// Without receive events, a wait looks at the queue again this often. A
// plain Sleep: the port's clock finishes its pauses on the performance
// counter, which would keep a processor busy for much of every look.
constexpr DWORD kPollMs = 1;
// Right after a frame was written or input moved, the reply's bytes are due
// within the frame's line time and the reply's: the queue is looked at every
// 200 us then (a millisecond each time would add one to every exchange;
// at 115200 a page read is 22 ms), for up to this long.
constexpr uint64_t kReplyWindowUs = 50000;
constexpr uint64_t kFinePollUs = 200;
// A read of bytes already queued, or the end of a cancelled operation,
// completes at once; this only bounds a driver that misbehaves.
constexpr DWORD kCompleteMs = 1000;

constexpr DWORD kInputEvents = EV_RXCHAR | EV_ERR | EV_BREAK;

bool IsComName(const std::string& name, size_t& digitsEnd) {
    const auto lower = [&name](size_t i) { return std::tolower(static_cast<unsigned char>(name[i])); };
    if (name.size() < 4 || lower(0) != 'c' || lower(1) != 'o' || lower(2) != 'm') return false;
    size_t end = 3;
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
    if (end == 3 || name[3] == '0') return false;
    // "COM1:" as DOS wrote it.
    if (end != name.size() && !(end + 1 == name.size() && name[end] == ':')) return false;
    digitsEnd = end;
    return true;
}

// The errno value of a failed communications call on an open port.
int LineErrorOf(DWORD error) {
    switch (error) {
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER: return ENOTTY;
        case ERROR_INVALID_HANDLE: return EBADF;
        default: return EIO;
    }
}

uint32_t LineErrorsOf(DWORD word) {
    uint32_t errors = 0;
    if (word & (CE_OVERRUN | CE_RXOVER)) errors |= kLineOverrun;
    if (word & CE_RXPARITY) errors |= kLineParity;
    if (word & CE_FRAME) errors |= kLineFraming;
    if (word & CE_BREAK) errors |= kLineBreak;
    // The driver's I/O error and a port that no longer answers in the mode
    // it was opened in (a removed adapter).
    if (word & (CE_IOE | CE_MODE)) errors |= kLineOther;
    return errors;
}

HANDLE NewEvent() {
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

}  // namespace

CWin32SerialDevice::CWin32SerialDevice() {
    m_readOv.hEvent = NewEvent();
    m_writeOv.hEvent = NewEvent();
    m_waitOv.hEvent = NewEvent();
}

CWin32SerialDevice::~CWin32SerialDevice() {
    Close();
    CloseEvents();
}

void CWin32SerialDevice::CloseEvents() {
    for (OVERLAPPED* ov : {&m_readOv, &m_writeOv, &m_waitOv}) {
        if (ov->hEvent != nullptr) ::CloseHandle(ov->hEvent);
        ov->hEvent = nullptr;
    }
}

std::wstring CWin32SerialDevice::DevicePath(const std::string& name) {
    size_t digitsEnd = 0;
    if (IsComName(name, digitsEnd)) return L"\\\\.\\COM" + Widen(name.substr(3, digitsEnd - 3));
    // Already in the device namespace, or a path: taken as typed. A bare
    // name is a device (a virtual port driver's own names).
    if (name.rfind("\\\\", 0) == 0 || name.find_first_of("\\/:") != std::string::npos) return Widen(name);
    return L"\\\\.\\" + Widen(name);
}

int CWin32SerialDevice::OpenErrorOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED: return ENOENT;
        // Windows refuses a port that another program holds as access denied.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EBUSY;
        default: return EIO;
    }
}

intptr_t CWin32SerialDevice::Handle() const {
    const HANDLE handle = m_handle;
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

bool CWin32SerialDevice::Open(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (m_handle.load() != INVALID_HANDLE_VALUE) {
        m_openError = EBUSY;
        return false;
    }
    m_openError = ENOENT;
    if (name.empty() || m_readOv.hEvent == nullptr || m_writeOv.hEvent == nullptr || m_waitOv.hEvent == nullptr)
        return false;
    const std::wstring path = DevicePath(name);
    // Only one program at a time may drive the line. Windows grants a port
    // to one handle, but Wine lets a second one open it beside the first; a
    // name held for the process keeps a second user off in every case, and
    // is taken before the port is touched (opening can move DTR, the
    // board's RESET on many adapters).
    std::wstring held = L"Local\\PELICAN.serial.";
    for (const wchar_t c : path.substr(path.rfind(L"\\\\.\\", 0) == 0 || path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0))
        held += c == L'\\' || c == L':' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    HANDLE portMutex = ::CreateMutexW(nullptr, FALSE, held.c_str());
    if (portMutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(portMutex);
        m_openError = EBUSY;
        return false;
    }
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_openError = OpenErrorOf(::GetLastError());
        if (portMutex != nullptr) ::CloseHandle(portMutex);
        return false;
    }
    const auto fail = [&](int error) {
        m_openError = error;
        ::CloseHandle(handle);
        if (portMutex != nullptr) ::CloseHandle(portMutex);
        return false;
    };
    // Only communications devices qualify.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return fail(ENOTTY);
    // Raw 8-bit transfer, no flow control either way. The port keeps the
    // settings of its last user, and the boot-loader link has three wires:
    // with CTS or DSR flow on, a write waits for ever for a line nobody
    // drives; with XON/XOFF, a reply byte 11 or 13 would stop the output or
    // vanish; with abort-on-error, the first framing error would fail every
    // read until cleared. Nothing received is replaced or dropped.
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    // RTS stays as the driver has it, unless it is a flow-control line.
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!::SetCommState(handle, &dcb)) return fail(EIO);
    // A read takes what is queued and returns at once; writes have no
    // driver time-out (Write bounds them itself).
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!::SetCommTimeouts(handle, &timeouts) || !::SetCommMask(handle, kInputEvents)) return fail(EIO);
    // Wine cannot wait for receive events on a device without modem status
    // lines: the wait ends at once, cancelled, again and again.
    DWORD modem = 0;
    m_eventWait = ::GetCommModemStatus(handle, &modem) != FALSE;
    // Errors from before this open are not this link's.
    DWORD word = 0;
    ::ClearCommError(handle, &word, nullptr);
    m_errors = 0;
    m_dtrOn = true;
    m_rtsDriven = false;
    m_rtsOn = true;
    m_portMutex = portMutex;
    m_openError = 0;
    m_handle = handle;
    return true;
}

bool CWin32SerialDevice::Close() {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return true;
    // Output still queued here never got out in time (Send gave up on it).
    ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    m_handle = INVALID_HANDLE_VALUE;
    m_errors = 0;
    const bool closed = ::CloseHandle(handle) != FALSE;
    if (m_portMutex != nullptr) ::CloseHandle(m_portMutex);
    m_portMutex = nullptr;
    return closed;
}

void CWin32SerialDevice::RaiseDtr() {
    const HANDLE handle = m_handle;
    if (handle != INVALID_HANDLE_VALUE && ::EscapeCommFunction(handle, SETDTR)) m_dtrOn = true;
}

int CWin32SerialDevice::SetModemLine(ModemLine line, bool on) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return EBADF;
    const DWORD function = line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    if (!::EscapeCommFunction(handle, function)) return LineErrorOf(::GetLastError());
    if (line == ModemLine::Dtr) {
        m_dtrOn = on;
    } else {
        m_rtsDriven = true;
        m_rtsOn = on;
    }
    return 0;
}

bool CWin32SerialDevice::Finish(HANDLE handle, OVERLAPPED& ov, DWORD ms, DWORD& n) {
    n = 0;
    if (::WaitForSingleObject(ov.hEvent, ms) == WAIT_OBJECT_0) return ::GetOverlappedResult(handle, &ov, &n, FALSE) != FALSE;
    ::CancelIoEx(handle, &ov);
    // The operation ends now, cancelled or done; what it moved still counts.
    if (::WaitForSingleObject(ov.hEvent, kCompleteMs) == WAIT_OBJECT_0) ::GetOverlappedResult(handle, &ov, &n, FALSE);
    return false;
}

long CWin32SerialDevice::Write(const uint8_t* data, size_t length) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (length == 0) return 0;
    LineSettings line;
    const uint64_t lineMs = GetLine(line) && line.baudRate != 0 ? uint64_t{length} * 10000 / line.baudRate + 1 : 0;
    const DWORD bound = static_cast<DWORD>(std::min<uint64_t>(lineMs + kWriteStallMs, INFINITE - 1));
    const DWORD count = static_cast<DWORD>(std::min<size_t>(length, MAXDWORD));
    ::ResetEvent(m_writeOv.hEvent);
    DWORD done = 0;
    if (::WriteFile(handle, data, count, &done, &m_writeOv)) {
        ::GetOverlappedResult(handle, &m_writeOv, &done, FALSE);
    } else if (::GetLastError() != ERROR_IO_PENDING) {
        return -1;
    } else {
        Finish(handle, m_writeOv, bound, done);  // a stalled write is cut short
    }
    if (done != 0) m_replyDueUntilUs = RealClock().NowUs() + lineMs * 1000 + kReplyWindowUs;
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
            if (m_handle.load() == INVALID_HANDLE_VALUE || !Poll(inQueue, outQueue)) return DrainResult::Failed;
        }
        if (outQueue == 0) return DrainResult::Drained;
        const uint64_t now = RealClock().NowMs();
        if (now >= deadlineMs) return DrainResult::Pending;
        // Look again when the queued bytes could have gone at the line's
        // rate, but at least every millisecond and never past the deadline.
        LineSettings line;
        uint64_t ms = 1;
        if (GetLine(line) && line.baudRate != 0) ms = std::max<uint64_t>(1, uint64_t{outQueue} * 10000 / line.baudRate);
        ms = std::min<uint64_t>({ms, deadlineMs - now, kWaitSliceMs});
        ::Sleep(static_cast<DWORD>(ms));
    }
}

bool CWin32SerialDevice::Poll(DWORD& inQueue, DWORD& outQueue) {
    DWORD word = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_handle.load(), &word, &status)) return false;
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
    // (adapter unplugged): a line failure, as every later call would be.
    if (!Poll(inQueue, outQueue)) m_errors |= kLineOther;
    errors = m_errors;
    m_errors = 0;
    queued = inQueue;
    return true;
}

long CWin32SerialDevice::Read(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return -1;
    // Only what is queued: Wine lets a read of an empty queue wait for the
    // next byte whatever the time-outs say.
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    if (!Poll(inQueue, outQueue)) return -1;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(length, inQueue));
    if (count == 0) return 0;
    ::ResetEvent(m_readOv.hEvent);
    DWORD got = 0;
    if (::ReadFile(handle, data, count, &got, &m_readOv)) {
        ::GetOverlappedResult(handle, &m_readOv, &got, FALSE);
    } else if (::GetLastError() != ERROR_IO_PENDING) {
        return -1;
    } else {
        Finish(handle, m_readOv, kCompleteMs, got);
    }
    return static_cast<long>(got);
}

bool CWin32SerialDevice::PurgeInput() {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return false;
    // Received bytes only: output and pending operations are left alone.
    return ::PurgeComm(handle, PURGE_RXCLEAR) != FALSE;
}

bool CWin32SerialDevice::GetLine(LineSettings& line) {
    const HANDLE handle = m_handle;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle == INVALID_HANDLE_VALUE || !::GetCommState(handle, &dcb)) return false;
    line.baudRate = dcb.BaudRate;
    line.byteSize = dcb.ByteSize;
    line.parity = dcb.Parity;  // NOPARITY to SPACEPARITY are 0 to 4, as in the record
    line.stopBits = dcb.StopBits;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS: 0, 1, 2
    return true;
}

bool CWin32SerialDevice::SetLine(const LineSettings& line) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE || line.baudRate == 0 || line.byteSize < 5 || line.byteSize > 8 ||
        line.parity > SPACEPARITY || line.stopBits > TWOSTOPBITS)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return false;
    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = line.byteSize;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stopBits;
    // The driver sets DTR and RTS from the record: keep them where this
    // program put them, or a rate change would pulse the board's RESET.
    dcb.fDtrControl = m_dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (m_rtsDriven) dcb.fRtsControl = m_rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (!::SetCommState(handle, &dcb)) return false;
    // A driver may take a record and run something else without a word
    // (Wine on a pseudo-terminal keeps 38400 for a rate termios does not
    // know, and eight bits without parity always); the line would then
    // garble every byte: read the settings back.
    LineSettings now;
    return GetLine(now) && now.baudRate == line.baudRate && now.byteSize == line.byteSize &&
           now.parity == line.parity && now.stopBits == line.stopBits;
}

bool CWin32SerialDevice::Changed(size_t seen) {
    std::lock_guard lock(m_mutex);
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    return m_handle.load() == INVALID_HANDLE_VALUE || !Poll(inQueue, outQueue) || inQueue != seen || m_errors != 0;
}

void CWin32SerialDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return;
    const uint64_t now = RealClock().NowMs();
    if (deadlineMs <= now) return;
    const DWORD wait = static_cast<DWORD>(std::min<uint64_t>(deadlineMs - now, kWaitSliceMs));
    // Another thread's query saw input since the caller looked, or a line
    // error waits to be reported.
    if (Changed(seen)) {
        m_replyDueUntilUs = RealClock().NowUs() + kReplyWindowUs;
        return;
    }
    if (m_eventWait) {
        // The driver keeps the events since the last wait ended, so a byte
        // that came after the look above ends this wait at once.
        ::ResetEvent(m_waitOv.hEvent);
        m_eventMask = 0;
        DWORD n = 0;
        bool woke = ::WaitCommEvent(handle, &m_eventMask, &m_waitOv) != FALSE;
        if (!woke && ::GetLastError() == ERROR_IO_PENDING) {
            const uint64_t start = RealClock().NowMs();
            woke = Finish(handle, m_waitOv, wait, n);
            if (!woke && RealClock().NowMs() >= start + wait) return;  // the slice ran out
        }
        if (woke && (m_eventMask & kInputEvents) != 0 && Changed(seen)) return;
    }
    // No event, or woken with nothing new to show (a driver that ends the
    // wait at once; Wine, which reports characters still queued as a new
    // event): rest for the polling interval, so that the caller's loop
    // never spins. While a reply is due the rest is short and exact.
    if (RealClock().NowUs() < m_replyDueUntilUs.load()) {
        RealClock().SleepUs(kFinePollUs);
        return;
    }
    ::Sleep(std::min(wait, kPollMs));
}

}  // namespace pelican
