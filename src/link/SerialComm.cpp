#include "link/SerialComm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>

namespace pelican {
namespace {

// How much sooner than the line allows a read wakes from its sleep through
// a reply (see Read).
constexpr uint64_t kEarlyUs = 1000;

}  // namespace

CSerialComm::CSerialComm(std::unique_ptr<ISerialDevice> device, IClock& clock)
    : CIoController(std::move(device)), m_clock(clock) {}

CSerialComm::~CSerialComm() {
    // A running reader uses this object; it must end before the object does.
    if (m_hReader.joinable()) {
        m_readerStopped = 1;
        m_hReader.join();
    }
}

int CSerialComm::Open(const std::string& name) {
    if (!CIoController::Open(name)) return 0;
    m_deviceFailed = false;
    m_closedFault = DeviceFault{};
    Device().RaiseDtr();
    return 1;
}

int CSerialComm::SetModemLine(ModemLine line, bool on) {
    if (!IsOpen()) return EBADF;
    return Device().SetModemLine(line, on);
}

int CSerialComm::Close() {
    StopReader();
    if (IsOpen()) m_closedFault = Device().Fault();
    return CIoController::Close();
}

DeviceFault CSerialComm::Fault() const {
    return IsOpen() ? m_device->Fault() : m_closedFault;
}

void CSerialComm::BeginPause(uint32_t ms) {
    if (m_activity != Activity::Idle) return;
    m_activity = Activity::Pausing;
    m_activityUntilMs = m_clock.NowMs() + ms;
    m_pauseCut = false;
}

void CSerialComm::EndPause() {
    if (m_activity != Activity::Pausing) return;
    m_activity = Activity::Idle;
    m_activityUntilMs = 0;
    m_pauseCut = false;
}

int CSerialComm::Send(const uint8_t* buffer, size_t length) {
    if (!IsOpen() || length == 0) return 0;
    if (m_framesSinceRead.size() < 64) m_framesSinceRead.push_back(buffer[0]);
    const uint64_t start = m_clock.NowUs();
    m_activity = Activity::Sending;
    // A frame needs its line time to leave; beyond that the stall bound.
    LineSettings line;
    const uint64_t lineMs =
        Device().GetLine(line) && line.baudRate != 0 ? uint64_t{length} * 10000 / line.baudRate + 1 : 0;
    m_activityUntilMs = m_clock.NowMs() + lineMs + kDrainStallMs;
    const long written = Device().Write(buffer, length);
    // A frame cut short is not a frame: the board would take the next
    // command's bytes as the rest of it.
    if (written < 0) m_deviceFailed = true;
    const bool sent = written >= 0 && static_cast<size_t>(written) == length && WaitFrameSent(start, length);
    m_activity = Activity::Idle;
    m_activityUntilMs = 0;
    return sent ? static_cast<int>(length) : 0;
}

bool CSerialComm::WaitFrameSent(uint64_t startUs, size_t length) {
    // Every pause the protocol prescribes after a frame (the program
    // interval, a reply time-out) counts from the moment the frame is on the
    // wire, not from when the kernel took it. Draining is not enough on its
    // own: a USB adapter reports the bytes drained when they reach the
    // adapter, with the whole frame still to go out at the line's rate.
    // A frame that has not left within the bound is a failed send: the
    // board cannot have taken it whole.
    const DrainResult drained = Device().Drain(m_activityUntilMs);
    if (drained == DrainResult::Failed) m_deviceFailed = true;
    if (drained != DrainResult::Drained) return false;
    LineSettings line;
    if (!Device().GetLine(line) || line.baudRate == 0) return true;
    // Counted in microseconds: a one-byte command is 87 us on the line at
    // 115200 bps, and whole milliseconds would add most of one to every
    // exchange (or end the wait before the last bit of a longer frame).
    const uint64_t lineUs = (uint64_t{length} * 10 * 1000000 + line.baudRate - 1) / line.baudRate;
    const uint64_t until = startUs + lineUs;
    for (uint64_t now = m_clock.NowUs(); now < until; now = m_clock.NowUs()) m_clock.SleepUs(until - now);
    return true;
}

int CSerialComm::Receive(uint8_t* buffer, size_t length) {
    return Read(buffer, length) == ReadResult::Ok ? static_cast<int>(length) : 0;
}

ReadResult CSerialComm::Read(uint8_t* buffer, size_t length) {
    m_activity = Activity::Awaiting;
    m_activityUntilMs = m_readTimeout != 0 ? m_clock.NowMs() + static_cast<uint32_t>(m_readTimeout) : 0;
    const ReadResult result = ReadReply(buffer, length);
    if (result == ReadResult::PortGone && IsOpen()) m_deviceFailed = true;
    m_activity = Activity::Idle;
    m_activityUntilMs = 0;
    m_framesSinceRead.clear();
    if (m_readEndHook) m_readEndHook();
    return result;
}

ReadResult CSerialComm::ReadReply(uint8_t* buffer, size_t length) {
    m_timedOut = 0;
    const uint64_t start = m_clock.NowMs();
    const bool limited = m_readTimeout != 0;
    // "Later than start + time-out" is strict, so the first instant that
    // counts as expired is one millisecond past it.
    const uint64_t expiry = limited ? start + static_cast<uint32_t>(m_readTimeout) + 1
                                    : std::numeric_limits<uint64_t>::max();
    const uint64_t charUs = CharUs();
    bool slept = false;  // the one sleep through the reply's line time is over
    for (;;) {
        uint32_t errors = 0;
        size_t queued = 0;
        if (!IsOpen() || !Device().QueryInput(errors, queued)) return ReadResult::PortGone;
        if ((errors & kLineOther) != 0) return ReadResult::PortGone;
        if (errors != 0) return ReadResult::LineError;
        if (queued >= length) {
            const long got = length == 0 ? 0 : Device().Read(buffer, length);
            return got == static_cast<long>(length) ? ReadResult::Ok : ReadResult::PortGone;
        }
        if (limited && m_clock.NowMs() >= expiry) {
            m_timedOut = 1;
            return ReadResult::TimedOut;
        }
        // Once the reply is coming, the rest of it cannot come faster than
        // the line carries it, so sleep through most of that instead of
        // waking for every piece, then wait on the port for the rest. Once
        // only: the count seen later may lag the line (a USB adapter hands
        // on what it received in packets, every millisecond at best), and a
        // second sleep computed from it would overshoot the last character.
        // The sleep ends a millisecond early for the same reason.
        if (charUs != 0 && !slept && queued > 0 && length - queued >= 2) {
            slept = true;
            uint64_t sleepUs = (length - queued - 1) * charUs;
            sleepUs = sleepUs > kEarlyUs ? sleepUs - kEarlyUs : 0;
            const uint64_t now = m_clock.NowMs();
            if (limited) sleepUs = std::min(sleepUs, (expiry - now) * 1000);
            if (m_waitHook) sleepUs = std::min<uint64_t>(sleepUs, uint64_t{m_waitSliceMs} * 1000);
            if (sleepUs != 0) {
                m_clock.SleepUs(sleepUs);
                if (m_waitHook) m_waitHook();
                continue;
            }
        }
        if (!m_waitHook) {
            Device().WaitInput(expiry, queued);
            continue;
        }
        Device().WaitInput(std::min(expiry, m_clock.NowMs() + m_waitSliceMs), queued);
        m_waitHook();
    }
}

uint64_t CSerialComm::CharUs() {
    // The virtual clock jumps to the next character anyway.
    if (m_clock.IsVirtual() || !IsOpen()) return 0;
    LineSettings line;
    if (!Device().GetLine(line) || line.baudRate == 0) return 0;
    return uint64_t{10} * 1000000 / line.baudRate;
}

void CSerialComm::SetWaitHook(std::function<void()> hook, uint32_t sliceMs) {
    m_waitHook = std::move(hook);
    m_waitSliceMs = sliceMs == 0 ? 1 : sliceMs;
}

int CSerialComm::SetReadTimeout(int32_t milliseconds) {
    // Reads never wait inside the driver; all waiting happens in Receive.
    m_readTimeout = milliseconds;
    return IsOpen();
}

int CSerialComm::SetState(const CIoState& state) {
    const auto* serial = dynamic_cast<const CSerialCommState*>(&state);
    if (serial == nullptr || !IsOpen()) return 0;
    LineSettings line;
    if (!Device().GetLine(line)) return 0;
    line.baudRate = serial->m_baudRate;
    line.byteSize = serial->m_byteSize;
    line.parity = serial->m_parity;
    line.stopBits = serial->m_stopBits;
    return Device().SetLine(line) ? 1 : 0;
}

int CSerialComm::GetState(CIoState& state) {
    auto* serial = dynamic_cast<CSerialCommState*>(&state);
    if (serial == nullptr) return 0;
    LineSettings line;
    if (!IsOpen() || !Device().GetLine(line)) {
        *serial = CSerialCommState(0, 0, 0, 0);
        return 0;
    }
    *serial = CSerialCommState(line.baudRate, line.byteSize, line.parity, line.stopBits);
    return 1;
}

int CSerialComm::PurgeInput() {
    if (IsOpen()) {
        uint32_t errors = 0;
        size_t queued = 0;
        Device().QueryInput(errors, queued);
        Device().PurgeInput();
    }
    return 0;
}

int CSerialComm::StartReader(ReaderCallback callback, void* userData, size_t threshold) {
    if (m_readerStopped == 0) return 0;
    if (m_hReader.joinable()) m_hReader.join();  // a reader that was told to stop earlier
    try {
        m_readerStopped = 0;
        m_hReader = std::thread(&CSerialComm::ReaderLoop, this, callback, userData, threshold);
    } catch (...) {
        m_readerStopped = 1;
        return 0;
    }
    return 1;
}

int CSerialComm::StopReader() {
    // Nothing to wait for, or a callback asking to stop its own thread: the
    // wait cannot succeed.
    if (!m_hReader.joinable()) return 0;
    if (m_hReader.get_id() == std::this_thread::get_id()) return 0;
    m_readerStopped = 1;
    m_hReader.join();
    return 1;
}

void CSerialComm::OnReceive(void*, uint32_t) {}

void CSerialComm::ReaderLoop(ReaderCallback callback, void* userData, size_t threshold) {
    while (m_readerStopped == 0) {
        uint32_t errors = 0;
        size_t queued = 0;
        // The device answers for itself whether it is open (under its own
        // lock); the port's handle belongs to the user-interface thread.
        const bool ok = Device().QueryInput(errors, queued);
        if (ok && (errors != 0 || queued >= threshold)) {
            if (callback != nullptr)
                callback(userData, errors);
            else
                OnReceive(userData, errors);
        }
        // The notification repeats while bytes stay queued; a short rest
        // keeps that from eating a whole core.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace pelican
