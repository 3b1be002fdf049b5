#include "link/win32/Win32SerialDevice.h"

#include <cctype>
#include <cerrno>
#include <cwctype>

#include "link/win32/CommErrors.h"
#include "sys/win32/SystemError.h"
#include "sys/win32/WideText.h"

// The port's opening, its lines and its settings; its input and output are
// in Win32SerialDeviceIo.cpp.
namespace pelican {
namespace {

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

// The name held for the process while it has the port: one for every way
// of writing the port's path.
std::wstring HeldName(const std::wstring& path) {
    std::wstring held = L"Local\\PELICAN.serial.";
    for (const wchar_t c : path.substr(path.rfind(L"\\\\.\\", 0) == 0 || path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0))
        held += c == L'\\' || c == L':' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    return held;
}

}  // namespace

CWin32SerialDevice::CWin32SerialDevice(ICommApi& api, IClock& clock)
    : m_api(api), m_clock(clock), m_readOp(api), m_writeOp(api), m_waitOp(api) {}

CWin32SerialDevice::~CWin32SerialDevice() {
    Close();
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
    return OpenErrnoOf(error);
}

intptr_t CWin32SerialDevice::Handle() const {
    const HANDLE handle = m_handle;
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle);
}

void CWin32SerialDevice::Sanitise(DCB& dcb) {
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
    // SetCommState refuses a record whose XON and XOFF characters are the
    // same, even with XON/XOFF off; some drivers report both as 0.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
}

bool CWin32SerialDevice::Open(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (m_handle.load() != INVALID_HANDLE_VALUE) {
        m_openError = EBUSY;
        return false;
    }
    m_openError = ENOENT;
    // Operations a driver never ended belonged to the last handle: this
    // one gets slots of its own.
    m_readOp.Renew();
    m_writeOp.Renew();
    m_waitOp.Renew();
    if (name.empty() || !m_readOp.Usable() || !m_writeOp.Usable() || !m_waitOp.Usable()) return false;
    const std::wstring path = DevicePath(name);
    // Only one program at a time may drive the line. Windows grants a port
    // to one handle, but Wine lets a second one open it beside the first; a
    // name held for the process keeps a second user off in every case, and
    // is taken before the port is touched (opening can move DTR, the
    // board's RESET on many adapters).
    HANDLE portMutex = ::CreateMutexW(nullptr, FALSE, HeldName(path).c_str());
    if (portMutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(portMutex);
        m_openError = EBUSY;
        return false;
    }
    const HANDLE handle = m_api.Open(path.c_str());
    if (handle == INVALID_HANDLE_VALUE) {
        m_openError = OpenErrnoOf(::GetLastError());
        if (portMutex != nullptr) ::CloseHandle(portMutex);
        return false;
    }
    const auto fail = [&](DWORD error) {
        m_openError = CommErrnoOf(error);
        m_api.Close(handle);
        if (portMutex != nullptr) ::CloseHandle(portMutex);
        return false;
    };
    // Only communications devices qualify; a driver's own failure is told
    // as such.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!m_api.GetState(handle, dcb)) return fail(::GetLastError());
    Sanitise(dcb);
    // DTR and RTS on, as Linux raises both when it opens a port: a board
    // whose RESET or boot-mode pin hangs on either line starts out the same
    // on both systems.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!m_api.SetState(handle, dcb)) return fail(::GetLastError());
    // A read takes what is queued and returns at once; writes have no
    // driver time-out (Write bounds them itself).
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!m_api.SetTimeouts(handle, timeouts)) return fail(::GetLastError());
    // Wine cannot wait for receive events on a device without modem status
    // lines: the wait ends at once, cancelled, again and again. A driver
    // that refuses the event mask is polled.
    DWORD modem = 0;
    m_eventWait = m_api.ModemStatus(handle, modem) != FALSE;
    m_path = path;
    if (!m_api.SetMask(handle, kInputEvents)) EventsUnreliable();
    // Errors from before this open are not this link's.
    DWORD word = 0;
    COMSTAT status{};
    m_api.ClearError(handle, word, status);
    m_errors = 0;
    m_failed = false;
    m_fault = 0;
    m_dtrOn = true;
    m_rtsOn = true;
    m_portMutex = portMutex;
    m_openError = 0;
    m_handle = handle;
    m_baudRate = 0;
    return true;
}

bool CWin32SerialDevice::Close() {
    std::lock_guard lock(m_mutex);
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return true;
    // Output still queued here never got out in time (Send gave up on it).
    m_api.Purge(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    m_handle = INVALID_HANDLE_VALUE;
    m_baudRate = 0;
    m_errors = 0;
    const bool closed = m_api.Close(handle) != FALSE;
    if (m_portMutex != nullptr) ::CloseHandle(m_portMutex);
    m_portMutex = nullptr;
    return closed;
}

void CWin32SerialDevice::NoteFault(DWORD error) {
    DWORD none = 0;
    m_fault.compare_exchange_strong(none, error != 0 ? error : ERROR_GEN_FAILURE);
}

DeviceFault CWin32SerialDevice::Fault() const {
    const DWORD error = m_fault.load();
    if (error == 0) return {};
    return DeviceFault{FaultErrnoOf(error), SystemErrorText(error)};
}

void CWin32SerialDevice::RaiseDtr() {
    SetModemLine(ModemLine::Dtr, true);
}

int CWin32SerialDevice::SetModemLine(ModemLine line, bool on) {
    const HANDLE handle = m_handle;
    if (handle == INVALID_HANDLE_VALUE) return EBADF;
    const DWORD function = line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    if (!m_api.Escape(handle, function)) return FaultErrnoOf(::GetLastError());
    if (line == ModemLine::Dtr) {
        m_dtrOn = on;
        return 0;
    }
    m_rtsOn = on;
    // Windows' own CDC-ACM driver (usbser.sys) tells the adapter the line
    // state only when DTR is set: an RTS change alone never reaches the
    // board. DTR set again as it is carries the new RTS along.
    if (!m_api.Escape(handle, m_dtrOn ? SETDTR : CLRDTR)) return FaultErrnoOf(::GetLastError());
    return 0;
}

bool CWin32SerialDevice::GetLine(LineSettings& line) {
    const HANDLE handle = m_handle;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (!m_api.GetState(handle, dcb)) {
        NoteFault(::GetLastError());
        return false;
    }
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
    if (!m_api.GetState(handle, dcb)) return false;
    Sanitise(dcb);
    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = line.byteSize;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stopBits;
    // The driver sets DTR and RTS from the record: keep them where this
    // program put them, or a rate change would pulse the board's RESET.
    dcb.fDtrControl = m_dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = m_rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    m_baudRate = 0;
    if (!m_api.SetState(handle, dcb)) return false;
    // A driver may take a record and run something else without a word
    // (Wine on a pseudo-terminal keeps 38400 for a rate termios does not
    // know, and eight bits without parity always); the line would then
    // garble every byte: read the settings back.
    LineSettings now;
    if (!GetLine(now)) return false;
    m_baudRate = now.baudRate;
    return now.baudRate == line.baudRate && now.byteSize == line.byteSize && now.parity == line.parity &&
           now.stopBits == line.stopBits;
}

}  // namespace pelican
