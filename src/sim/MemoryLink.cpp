#include "sim/MemoryLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace pelican::sim {
namespace {

// Something that looks like a small descriptor while the port is open.
constexpr intptr_t kHandle = 64;
// A real-clock wait is cut into slices so that a reply another thread's
// write provoked is not missed for long.
constexpr uint64_t kRealSliceUs = 20000;

}  // namespace

CMemoryLink::CMemoryLink(CBootLoader& board, IClock& clock, std::string portName)
    : m_board(board), m_clock(clock), m_portName(std::move(portName)) {}

CMemoryLink::~CMemoryLink() {
    Close();
}

LineFormat CMemoryLink::FormatOf(const LineSettings& line) {
    return LineFormat{line.baudRate, line.byteSize, line.parity, line.stopBits};
}

bool CMemoryLink::Open(const std::string& name) {
    std::lock_guard lock(m_mutex);
    // A pulled-out adapter's device is gone until it is plugged in again.
    if (m_refuseOpen != 0 || name != m_portName || m_board.Unplugged()) {
        m_openError = m_refuseOpen != 0 ? m_refuseOpen : ENOENT;
        return false;
    }
    if (m_open || !m_board.AttachHost()) {
        m_openError = EBUSY;
        return false;
    }
    m_openError = 0;
    m_faulted = false;
    // Whatever the board said while nobody listened went nowhere.
    m_board.TakeDue(m_clock.NowUs());
    m_queue.clear();
    m_errors = 0;
    m_dtr = false;
    m_open = true;
    return true;
}

bool CMemoryLink::Close() {
    std::lock_guard lock(m_mutex);
    if (!m_open) return true;
    // Closing a terminal waits until its output has gone: what is still on
    // the wire reaches the board.
    m_wire.Deliver(m_board, UINT64_MAX);
    m_open = false;
    m_dtr = false;
    m_queue.clear();
    m_board.DetachHost();
    return true;
}

bool CMemoryLink::Gone() {
    if (!m_board.Unplugged()) return false;
    m_faulted = true;
    return true;
}

DeviceFault CMemoryLink::Fault() const {
    std::lock_guard lock(m_mutex);
    // As Linux fails the calls on a pulled-out USB adapter's descriptor.
    return m_faulted ? DeviceFault{ENODEV, std::strerror(EIO)} : DeviceFault{};
}

int CMemoryLink::OpenError() const {
    std::lock_guard lock(m_mutex);
    return m_openError;
}

void CMemoryLink::RefuseOpen(int error) {
    std::lock_guard lock(m_mutex);
    m_refuseOpen = error;
}

bool CMemoryLink::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

intptr_t CMemoryLink::Handle() const {
    return IsOpen() ? kHandle : -1;
}

void CMemoryLink::RaiseDtr() {
    std::lock_guard lock(m_mutex);
    if (m_open) m_dtr = true;
}

bool CMemoryLink::DtrRaised() const {
    std::lock_guard lock(m_mutex);
    return m_dtr;
}

int CMemoryLink::SetModemLine(ModemLine line, bool on) {
    std::lock_guard lock(m_mutex);
    if (!m_open) return EBADF;
    if (Gone()) return EIO;
    const uint64_t now = m_clock.NowMs();
    // What reached the board before the change was heard as before it.
    Pump(now);
    const CResetPins::Change change = m_pins.Set(line, on, now);
    if (change == CResetPins::Change::BootLoader || change == CResetPins::Change::Application) m_board.Reset();
    return 0;
}

bool CMemoryLink::Pump(uint64_t now) {
    // A part held in RESET, or running its application, neither hears the
    // host nor answers it.
    if (!m_pins.Listening()) {
        m_wire.TakeDue(now * 1000);
        m_board.TakeDue(now);
        return false;
    }
    // The host's characters first: one that has arrived may be the last of a
    // command whose reply is already due as well.
    m_wire.Deliver(m_board, now);
    const std::vector<SimReply> replies = m_board.TakeDue(now);
    const LineFormat host = FormatOf(m_line);
    for (const SimReply& reply : replies) {
        if (reply.lineError) {
            m_errors |= kLineFraming;
            continue;
        }
        for (const UartChar& got : CUartModel::Transfer(reply.byte, CUartModel::Board(reply.baud), host)) {
            // A real UART queues the character it framed badly and reports
            // the error beside it.
            m_queue.push_back(got.value);
            if (got.framingError) m_errors |= kLineFraming;
            if (got.parityError) m_errors |= kLineParity;
        }
    }
    return !replies.empty();
}

long CMemoryLink::Write(const uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_open || Gone()) return -1;
    const uint64_t now = m_clock.NowUs();
    Pump(now);
    if (Gone()) return -1;
    m_wire.Send(data, length, FormatOf(m_line), now);
    return static_cast<long>(length);
}

DrainResult CMemoryLink::Drain(uint64_t deadlineMs) {
    for (;;) {
        uint64_t now = 0;
        uint64_t until = 0;
        {
            std::lock_guard lock(m_mutex);
            if (!m_open) return DrainResult::Failed;
            now = m_clock.NowUs();
            Pump(now);
            if (m_wire.Empty()) return DrainResult::Drained;
            if (now / 1000 >= deadlineMs) return DrainResult::Pending;
            until = std::min(m_wire.FreeUs(), deadlineMs > UINT64_MAX / 1000 ? UINT64_MAX : deadlineMs * 1000);
        }
        uint64_t wait = until > now ? until - now : 1;
        if (!m_clock.IsVirtual()) wait = std::min(wait, kRealSliceUs);
        m_clock.SleepUs(wait);
    }
}

std::optional<uint64_t> CMemoryLink::NextEvent() const {
    std::optional<uint64_t> next = m_board.NextDueUs();
    if (const auto wire = m_wire.NextDueUs()) next = std::min(next.value_or(UINT64_MAX), *wire);
    return next;
}

bool CMemoryLink::QueryInput(uint32_t& errors, size_t& queued) {
    std::lock_guard lock(m_mutex);
    errors = 0;
    queued = 0;
    if (!m_open || Gone()) return false;
    Pump(m_clock.NowUs());
    if (Gone()) return false;
    errors = m_errors;
    m_errors = 0;
    queued = m_queue.size();
    return true;
}

long CMemoryLink::Read(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_open || Gone()) return -1;
    Pump(m_clock.NowUs());
    const size_t count = std::min(length, m_queue.size());
    std::copy_n(m_queue.begin(), count, data);
    m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(count));
    return static_cast<long>(count);
}

bool CMemoryLink::PurgeInput() {
    std::lock_guard lock(m_mutex);
    if (!m_open || Gone()) return false;
    Pump(m_clock.NowUs());
    m_queue.clear();
    return true;
}

bool CMemoryLink::GetLine(LineSettings& line) {
    std::lock_guard lock(m_mutex);
    if (!m_open || Gone()) return false;
    line = m_line;
    return true;
}

bool CMemoryLink::SetLine(const LineSettings& line) {
    std::lock_guard lock(m_mutex);
    if (!m_open || Gone() || line.baudRate == 0 || line.byteSize < 5 || line.byteSize > 8 || line.parity > 4 ||
        line.stopBits > 2)
        return false;
    // Characters already on the wire were taken at the old settings.
    Pump(m_clock.NowUs());
    m_line = line;
    return true;
}

void CMemoryLink::WaitInput(uint64_t deadlineMs, size_t seen) {
    uint64_t now = 0;
    uint64_t until = deadlineMs > UINT64_MAX / 1000 ? UINT64_MAX : deadlineMs * 1000;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return;
        now = m_clock.NowUs();
        if (Pump(now) || m_errors != 0 || m_queue.size() != seen) return;
        // Only a reply from the board can bring input, and only a character
        // of ours that reaches it can make one; wait for the next of either.
        if (const auto next = NextEvent()) until = std::min(until, *next);
    }
    if (until <= now) return;
    uint64_t wait = until - now;
    if (!m_clock.IsVirtual()) wait = std::min(wait, kRealSliceUs);
    // A clock that counts whole milliseconds moves to the millisecond in
    // which the character has arrived.
    m_clock.SleepUs(wait);
}

}  // namespace pelican::sim
