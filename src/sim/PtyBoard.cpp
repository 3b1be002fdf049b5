#include "sim/PtyBoard.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "sys/Clock.h"

namespace pelican::sim {
namespace {

constexpr std::pair<speed_t, uint32_t> kSpeeds[] = {
    {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
    {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},
    {B1800, 1800},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400},   {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    {B921600, 921600},
};

uint32_t RateOf(speed_t speed) {
    for (const auto& [code, rate] : kSpeeds)
        if (code == speed) return rate;
    return 0;
}

// Longest single wait of the serving thread; a RESET or Stop wakes it anyway.
constexpr uint64_t kMaxWaitUs = 1000000;
// While the terminal has no room for reply bytes, look again this often.
constexpr uint64_t kRetryWriteUs = 10000;
constexpr int kRetryWriteMs = 10;
// A character in the middle of a burst may be handled this long after it is
// due, so that the thread does not wake for every one of them (11500 times a
// second at 115200 bps); the last character of every burst is handled when
// it is due, and the time each one arrived is kept exact whatever happens.
constexpr uint64_t kBatchUs = 1000;

// When to wake for a stream of characters due from `next` to `last`.
uint64_t WakeFor(std::optional<uint64_t> next, std::optional<uint64_t> last) {
    if (!next) return UINT64_MAX;
    return std::min(last.value_or(*next), *next + kBatchUs);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

CPtyBoard::CPtyBoard(CBootLoader& board) : m_board(board) {}

CPtyBoard::CPtyBoard(BoardConfig config)
    : m_owned(std::make_unique<CBootLoader>(std::move(config))), m_board(*m_owned) {}

CPtyBoard::~CPtyBoard() {
    Stop();
}

bool CPtyBoard::Start(std::string* error) {
    auto fail = [&](const char* what) {
        if (error != nullptr) *error = Reason(what);
        CloseFd(m_slave);
        CloseFd(m_master);
        CloseFd(m_wake[0]);
        CloseFd(m_wake[1]);
        return false;
    };
    if (Running()) {
        if (error != nullptr) *error = "already running";
        return false;
    }
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) return fail("posix_openpt");
    if (::grantpt(m_master) != 0) return fail("grantpt");
    if (::unlockpt(m_master) != 0) return fail("unlockpt");
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) return fail("ptsname");
    m_path = name;
    // Our own descriptor keeps the line up while no host has it open, and
    // lets us read the host's settings.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) return fail("open terminal");
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) return fail("tcgetattr");
    // Raw from the start: an echoing terminal would hand the board's replies
    // straight back to it before a host has set the line up.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0) return fail("tcsetattr");
    if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0) return fail("fcntl");
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    m_stop = false;
    m_pending.clear();
    m_wire = CSimWire{};
    try {
        m_thread = std::thread(&CPtyBoard::Serve, this);
    } catch (...) {
        errno = EAGAIN;
        return fail("thread");
    }
    return true;
}

void CPtyBoard::Stop() {
    if (m_thread.joinable()) {
        m_stop = true;
        Wake();
        m_thread.join();
    }
    // The master first: every host descriptor of the terminal is hung up.
    CloseFd(m_master);
    CloseFd(m_slave);
    CloseFd(m_wake[0]);
    CloseFd(m_wake[1]);
}

void CPtyBoard::Reset() {
    m_board.Reset();
    Wake();
}

void CPtyBoard::SetModemLine(ModemLine line, bool on) {
    std::lock_guard lock(m_pinsMutex);
    const CResetPins::Change change = m_pins.Set(line, on, RealClock().NowMs());
    m_listening = m_pins.Listening();
    if (change == CResetPins::Change::BootLoader || change == CResetPins::Change::Application) m_resetRequested = true;
    Wake();
}

unsigned CPtyBoard::RestartsByWire() const {
    std::lock_guard lock(m_pinsMutex);
    return m_pins.Restarts();
}

void CPtyBoard::RequestReset() {
    m_resetRequested = true;
    Wake();
}

void CPtyBoard::Wake() {
    if (m_wake[1] < 0) return;
    // May run inside a signal handler: write(2) only, and errno kept.
    const int savedErrno = errno;
    const uint8_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(m_wake[1], &one, 1);
    errno = savedErrno;
}

LineFormat CPtyBoard::HostFormat() const {
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) return CUartModel::Board(m_board.BaudRate());
    LineFormat format;
    format.baud = RateOf(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
        case CS5: format.dataBits = 5; break;
        case CS6: format.dataBits = 6; break;
        case CS7: format.dataBits = 7; break;
        default: format.dataBits = 8; break;
    }
    if (!(tio.c_cflag & PARENB))
        format.parity = 0;
    else if (tio.c_cflag & CMSPAR)
        format.parity = (tio.c_cflag & PARODD) ? 3 : 4;
    else
        format.parity = (tio.c_cflag & PARODD) ? 1 : 2;
    format.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return format;
}

void CPtyBoard::Deliver(uint64_t nowUs) {
    // A part held in RESET, or running its application, neither hears the
    // host nor answers it.
    if (!m_listening) {
        m_wire.TakeDue(nowUs);
        m_board.TakeDue(nowUs);
        Flush();
        return;
    }
    m_wire.Deliver(m_board, nowUs);
    const std::vector<SimReply> replies = m_board.TakeDue(nowUs);
    if (!replies.empty()) {
        const LineFormat host = HostFormat();
        for (const SimReply& reply : replies) {
            if (reply.lineError) {
                m_pending.push_back(0x00);
                continue;
            }
            for (const UartChar& got : CUartModel::Transfer(reply.byte, CUartModel::Board(reply.baud), host))
                m_pending.push_back(got.value);
        }
    }
    Flush();
}

void CPtyBoard::Flush() {
    while (!m_pending.empty()) {
        const ssize_t n = ::write(m_master, m_pending.data(), m_pending.size());
        if (n > 0) {
            m_pending.erase(m_pending.begin(), m_pending.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN) m_pending.clear();  // the terminal is gone
            return;
        }
    }
}

void CPtyBoard::Serve() {
    // The board's own pacing is what the host is measured against: ask the
    // kernel to wake this thread when its time-outs end, not up to 50 us
    // later.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    uint8_t buffer[4096];
    while (!m_stop) {
        if (m_resetRequested.exchange(false)) m_board.Reset();
        const uint64_t now = RealClock().NowUs();
        Deliver(now);
        uint64_t wake = WakeFor(m_board.NextDueUs(), m_board.LastDueUs());
        wake = std::min(wake, WakeFor(m_wire.NextDueUs(), m_wire.FreeUs()));
        if (!m_pending.empty()) wake = std::min(wake, now + kRetryWriteUs);
        timespec timeout{};
        const timespec* wait = nullptr;
        if (wake != UINT64_MAX) {
            const uint64_t us = wake > now ? std::min(wake - now, kMaxWaitUs) : 0;
            timeout.tv_sec = static_cast<time_t>(us / 1000000);
            timeout.tv_nsec = static_cast<long>(us % 1000000 * 1000);
            wait = &timeout;
        }

        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (!m_pending.empty()) fds[0].events |= POLLOUT;
        const int rc = ::ppoll(fds, 2, wait, nullptr);
        if (rc < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            while (::read(m_wake[0], buffer, sizeof buffer) > 0) {
            }
        }
        // A RESET pressed before the host wrote must come before its bytes.
        if (m_resetRequested.exchange(false)) m_board.Reset();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                m_wire.Send(buffer, static_cast<size_t>(n), HostFormat(), RealClock().NowUs());
            else if (n == 0 || errno != EAGAIN)
                ::poll(nullptr, 0, kRetryWriteMs);
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the terminal; that cannot last while our own
            // descriptor is open, but never spin on it.
            ::poll(nullptr, 0, kRetryWriteMs);
        }
    }
}

}  // namespace pelican::sim
