#include "link/posix/PosixSerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "link/posix/TermiosLine.h"
#include "sys/Clock.h"

namespace pelican {
namespace {

// A write to a stalled port (adapter wedged, terminal not read) must not
// freeze the program for ever: this long without room ends the write.
constexpr uint64_t kWriteStallMs = 5000;
// Waits are cut into slices so that a line condition that wakes nothing is
// still noticed.
constexpr uint64_t kWaitSliceMs = 200;
// Without the wake-up event (the system refused one), a wait while part of
// a reply is queued looks again this often: the reader thread may be the
// one that takes the rest out of the terminal.
constexpr uint64_t kPartialReplyMs = 1;

// Waits until the terminal has room for more output; a signal does not cut
// the wait short. False after kWriteStallMs without room or on a dead line.
bool WaitForRoom(int fd) {
    const uint64_t until = RealClock().NowMs() + kWriteStallMs;
    for (;;) {
        const uint64_t now = RealClock().NowMs();
        if (now >= until) return false;
        pollfd pfd{fd, POLLOUT, 0};
        const int rc = ::poll(&pfd, 1, static_cast<int>(until - now));
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
        return true;
    }
}

}  // namespace

CPosixSerialDevice::CPosixSerialDevice() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CPosixSerialDevice::~CPosixSerialDevice() {
    Close();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

std::string CPosixSerialDevice::DevicePath(const std::string& name) {
    const auto lower = [&name](size_t i) { return std::tolower(static_cast<unsigned char>(name[i])); };
    if (name.size() == 4 && lower(0) == 'c' && lower(1) == 'o' && lower(2) == 'm' && name[3] >= '1' && name[3] <= '4')
        return "/dev/ttyS" + std::string(1, static_cast<char>(name[3] - 1));
    return name;
}

bool CPosixSerialDevice::Open(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        m_openError = EBUSY;
        return false;
    }
    m_openError = ENOENT;
    if (name.empty()) return false;
    const std::string path = DevicePath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_openError = errno;
        return false;
    }
    termios tio{};
    // Only terminals qualify; and only one process at a time may drive the
    // line. Root ignores TIOCEXCL, so the advisory lock is what keeps a second
    // copy off the port in every case.
    if (::tcgetattr(fd, &tio) != 0) {
        m_openError = ENOTTY;
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_openError = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);

    MakeRawLine(tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        m_openError = errno;
        ::close(fd);
        return false;
    }
    m_openError = 0;
    m_fault = 0;
    m_fd = fd;
    m_haveCounters = ::ioctl(fd, TIOCGICOUNT, &m_counters) == 0;
    AskLowLatency(fd);
    m_input.clear();
    m_decoder.Reset();
    m_markErrors = 0;
    return true;
}

bool CPosixSerialDevice::Close() {
    std::lock_guard lock(m_mutex);
    const int fd = m_fd;
    if (fd < 0) return true;
    ::ioctl(fd, TIOCNXCL);
    RestoreLatency(fd);
    // Output still queued here never got out in time (Send gave up on it);
    // close would otherwise wait up to the driver's closing time for it.
    ::tcflush(fd, TCOFLUSH);
    m_fd = -1;
    m_input.clear();
    m_decoder.Reset();
    m_markErrors = 0;
    const int rc = ::close(fd);
    return rc == 0 || errno == EINTR;
}

void CPosixSerialDevice::AskLowLatency(int fd) {
    // USB serial adapters hold the last bytes of a reply back for their
    // latency timer (16 ms on common chips) before passing them on: at
    // 115200 bps that alone costs a page read 40 % of its time. Drivers that
    // offer it hand bytes on at once in low-latency mode. Those that do not
    // (and pseudo-terminals) answer the request with an error; the link
    // works all the same, only slower.
    m_lowLatencySet = false;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    m_lowLatencySet = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void CPosixSerialDevice::RestoreLatency(int fd) {
    // The port is left as the next program expects to find it.
    if (!m_lowLatencySet) return;
    m_lowLatencySet = false;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    serial.flags &= ~ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

void CPosixSerialDevice::NoteFault(int error) {
    int none = 0;
    m_fault.compare_exchange_strong(none, error != 0 ? error : EIO);
}

DeviceFault CPosixSerialDevice::Fault() const {
    const int error = m_fault.load();
    if (error == 0) return {};
    // A USB adapter pulled out fails the calls on its descriptor with EIO,
    // then ENODEV or ENXIO; its device node is gone.
    const bool gone = error == EIO || error == ENODEV || error == ENXIO || error == EPIPE;
    return DeviceFault{gone ? ENODEV : EIO, std::strerror(error)};
}

void CPosixSerialDevice::RaiseDtr() {
    int bits = TIOCM_DTR;
    ::ioctl(m_fd, TIOCMBIS, &bits);
}

int CPosixSerialDevice::SetModemLine(ModemLine line, bool on) {
    if (m_fd < 0) return EBADF;
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

long CPosixSerialDevice::Write(const uint8_t* data, size_t length) {
    const int fd = m_fd;
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        const int why = n < 0 ? errno : 0;
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if ((n == 0 || errno == EAGAIN) && WaitForRoom(fd)) {
            continue;
        } else {
            // Stalled (no room in time), or the device has gone: a hung-up
            // terminal fails its writes with EIO.
            pollfd pfd{fd, POLLOUT, 0};
            if (why != 0 && why != EAGAIN)
                NoteFault(why);
            else if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)))
                NoteFault(EIO);
            break;
        }
    }
    if (done == 0 && length > 0) return -1;
    return static_cast<long>(done);
}

DrainResult CPosixSerialDevice::Drain(uint64_t deadlineMs) {
    const int fd = m_fd;
    if (fd < 0) return DrainResult::Failed;
    // tcdrain cannot be given a deadline and goes on waiting through every
    // signal: on an adapter that took a frame but never sends it (wedged
    // firmware, a stalled USB endpoint) it would hold the program for ever.
    // The driver's count of bytes not yet sent can be watched with one.
    // It does not count the transmitter's own FIFO, nor a USB adapter's
    // buffer; the port waits for the frame's line time after this anyway.
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
            if (errno == EINTR) continue;
            NoteFault(errno);
            return DrainResult::Failed;
        }
        if (queued <= 0) return DrainResult::Drained;
        const uint64_t now = RealClock().NowMs();
        if (now >= deadlineMs) return DrainResult::Pending;
        // Look again when the queued bytes could have gone at the line's
        // rate, but at least every millisecond and never past the deadline.
        LineSettings line;
        uint64_t ms = 1;
        if (GetLine(line) && line.baudRate != 0) ms = std::max<uint64_t>(1, uint64_t(queued) * 10000 / line.baudRate);
        ms = std::min({ms, deadlineMs - now, kWaitSliceMs});
        ::poll(nullptr, 0, static_cast<int>(ms));
    }
}

uint32_t CPosixSerialDevice::CounterErrors() {
    if (!m_haveCounters) return 0;
    serial_icounter_struct now{};
    if (::ioctl(m_fd, TIOCGICOUNT, &now) != 0) return 0;
    uint32_t errors = 0;
    if (now.overrun != m_counters.overrun || now.buf_overrun != m_counters.buf_overrun)
        errors |= kLineOverrun;
    if (now.parity != m_counters.parity) errors |= kLineParity;
    if (now.frame != m_counters.frame) errors |= kLineFraming;
    if (now.brk != m_counters.brk) errors |= kLineBreak;
    m_counters = now;
    return errors;
}

void CPosixSerialDevice::Pull() {
    uint8_t raw[1024];
    const size_t before = m_input.size();
    for (;;) {
        const ssize_t n = ::read(m_fd, raw, sizeof raw);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) NoteFault(errno);
        if (n <= 0) break;
        m_markErrors |= m_decoder.Decode(raw, static_cast<size_t>(n), m_input);
        if (static_cast<size_t>(n) < sizeof raw) break;
    }
    if (m_waiting > 0 && m_input.size() != before && m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wakeFd, &one, sizeof one);
    }
}

bool CPosixSerialDevice::QueryInput(uint32_t& errors, size_t& queued) {
    std::lock_guard lock(m_mutex);
    errors = 0;
    queued = 0;
    if (m_fd < 0) return false;
    errors = CounterErrors();
    int count = 0;
    if (::ioctl(m_fd, FIONREAD, &count) != 0) {
        // The device has gone away under us (adapter unplugged).
        NoteFault(errno);
        errors |= kLineOther;
        return true;
    }
    Pull();
    errors |= m_markErrors;
    m_markErrors = 0;
    queued = m_input.size();
    if (queued == 0) {
        // A hung-up line (the far end of a pseudo-terminal closed, a USB
        // adapter removed) never delivers another byte.
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            // What a read or write on a hung-up terminal gives.
            NoteFault(EIO);
            errors |= kLineOther;
        }
    }
    return true;
}

long CPosixSerialDevice::Read(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return -1;
    Pull();
    const size_t count = std::min(length, m_input.size());
    std::copy_n(m_input.begin(), count, data);
    m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
    return static_cast<long>(count);
}

bool CPosixSerialDevice::PurgeInput() {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return false;
    m_input.clear();
    m_decoder.Reset();
    return ::tcflush(m_fd, TCIFLUSH) == 0;
}

bool CPosixSerialDevice::GetLine(LineSettings& line) {
    termios tio{};
    if (m_fd < 0 || ::tcgetattr(m_fd, &tio) != 0) return false;
    line = LineFromTermios(tio);
    return true;
}

bool CPosixSerialDevice::SetLine(const LineSettings& line) {
    const int fd = m_fd;
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0 || !LineToTermios(line, tio)) return false;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    // tcsetattr succeeds when any one of the changes took. A driver that
    // cannot run a rate or a character format keeps its old one without a
    // word (a pseudo-terminal always runs eight bits without parity), and
    // the line would then garble every byte: read the settings back.
    termios now{};
    return ::tcgetattr(fd, &now) == 0 && LineTook(tio, now);
}

void CPosixSerialDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    const int fd = m_fd;
    if (fd < 0) return;
    const uint64_t now = RealClock().NowMs();
    if (deadlineMs <= now) return;
    uint64_t wait = std::min(deadlineMs - now, kWaitSliceMs);
    {
        std::lock_guard lock(m_mutex);
        // Another thread's query took input in since the caller looked.
        if (m_input.size() != seen) return;
        if (m_wakeFd < 0 && !m_input.empty()) wait = std::min(wait, kPartialReplyMs);
        ++m_waiting;
    }
    // The decoded queue holds everything the terminal had, so poll sleeps
    // until the next byte arrives rather than reporting the old ones again;
    // bytes another thread moves into the queue meanwhile raise the event.
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    ::poll(fds, m_wakeFd >= 0 ? 2 : 1, static_cast<int>(wait));
    std::lock_guard lock(m_mutex);
    if (--m_waiting == 0 && m_wakeFd >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(m_wakeFd, &count, sizeof count);
    }
}

}  // namespace pelican
