#include "sim/BootLoader.h"

#include <algorithm>

#include "sim/SRecordReader.h"

namespace pelican::sim {
namespace {

// Command codes as the boot loader decodes them.
constexpr uint8_t kSync = 0x00;
constexpr uint8_t kBaudFirst = 0xB0;  // B0 9600 ... B4 115200
constexpr uint8_t kBaudLast = 0xB4;
constexpr uint32_t kRates[] = {9600, 19200, 38400, 57600, 115200};
constexpr uint8_t kReadStatus = 0x70;
constexpr uint8_t kClearStatus = 0x50;
constexpr uint8_t kPreErase = 0x75;
constexpr uint8_t kEraseAll = 0xA7;
constexpr uint8_t kEraseConfirm = 0xD0;
constexpr uint8_t kPageRead = 0xFF;
constexpr uint8_t kPageProgram = 0x41;
constexpr uint8_t kIdCheck = 0xF5;
constexpr uint8_t kDownload = 0xFA;
constexpr uint8_t kVersion = 0xFB;

// Status bits.
constexpr uint8_t kReady = 0x80;
constexpr uint8_t kEraseFailed = 0x20;
constexpr uint8_t kProgramFailed = 0x10;
constexpr uint8_t kChecksumMatch = 0x10;
constexpr uint8_t kDataTimeout = 0x02;
constexpr uint8_t kOverNumber = 0x01;
constexpr uint8_t kIdPassed = 3;
constexpr uint8_t kIdRejected = 1;

constexpr size_t kPage = CSimMemory::kPageSize;
constexpr size_t kIdHeader = 5;        // F5, three address bytes, length
constexpr size_t kDownloadHeader = 4;  // FA, size low, size high, checksum

uint32_t PageAddress(const std::vector<uint8_t>& frame) {
    return uint32_t{frame[1]} << 8 | uint32_t{frame[2]} << 16;
}

}  // namespace

CBootLoader::CBootLoader(BoardConfig config) : m_config(std::move(config)), m_memory(m_config.type) {
    if (!m_config.srecordFile.empty()) {
        CSRecordReader::ReadFile(
            m_config.srecordFile, [this](uint32_t address, uint8_t value) { m_memory.Write(address, value); },
            m_loadError);
    }
    if (m_config.id) {
        for (size_t i = 0; i < CSimMemory::kIdCount; ++i)
            m_memory.Write(CSimMemory::IdAddress(m_config.type, i), (*m_config.id)[i]);
    }
    ConfigureNoise();
}

// ---------------------------------------------------------------- the wire

void CBootLoader::Receive(const uint8_t* data, size_t length, const LineFormat& sender, uint64_t nowUs) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < length; ++i) {
        const uint8_t sent = m_noiseToBoard.Pass(data[i]);
        const LineFormat own = CUartModel::Board(m_baud);
        if (sender == own) {
            TakeByte(sent, nowUs);
            continue;
        }
        // The UART flags what it could not frame and the boot loader drops it.
        for (const UartChar& got : CUartModel::Transfer(sent, sender, own)) {
            if (got.Bad())
                ++m_lineErrors;
            else
                TakeByte(got.value, nowUs);
        }
    }
}

void CBootLoader::Inject(const uint8_t* data, size_t length, uint64_t nowUs) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < length; ++i) TakeByte(data[i], nowUs);
}

std::vector<SimReply> CBootLoader::TakeDue(uint64_t nowUs) {
    std::lock_guard lock(m_mutex);
    return m_transmitter.TakeDue(nowUs);
}

std::optional<uint64_t> CBootLoader::NextDueUs() const {
    std::lock_guard lock(m_mutex);
    return m_transmitter.NextDueUs();
}

std::optional<uint64_t> CBootLoader::LastDueUs() const {
    std::lock_guard lock(m_mutex);
    return m_transmitter.LastDueUs();
}

void CBootLoader::DiscardReplies() {
    std::lock_guard lock(m_mutex);
    m_transmitter.Clear();
}

bool CBootLoader::AttachHost() {
    std::lock_guard lock(m_mutex);
    if (m_hostAttached) return false;
    m_hostAttached = true;
    return true;
}

void CBootLoader::DetachHost() {
    std::lock_guard lock(m_mutex);
    m_hostAttached = false;
}

// ----------------------------------------------------------- taking bytes

void CBootLoader::TakeByte(uint8_t byte, uint64_t now) {
    if (m_config.keepLog) m_received.push_back(byte);
    if (m_silent || m_unplugged) return;
    // A frame that stalls is given up, so that a cut transfer does not eat
    // the host's next commands as data.
    if (!m_frame.empty() && m_config.frameTimeoutMs != 0 &&
        now > m_lastByteUs + uint64_t{m_config.frameTimeoutMs} * 1000)
        Abandon(now);
    m_lastByteUs = now;
    if (!m_synchronised) {
        TakeUnsynchronised(byte, now);
        return;
    }
    m_frame.push_back(byte);
    if (m_frame.size() >= FrameLength()) Execute(now);
}

void CBootLoader::TakeUnsynchronised(uint8_t byte, uint64_t now) {
    // Only a run of zeros means anything before synchronisation; it lets the
    // boot loader find the start bits of the host's characters at 9600 bps.
    if (byte != 0) {
        m_zeroRun = 0;
        return;
    }
    if (++m_zeroRun < kSyncZeros) return;
    m_zeroRun = 0;
    m_synchronised = true;
    const unsigned count = ++m_counts[kSync];
    Log(SimFrame{now, std::vector<uint8_t>(kSyncZeros, 0), true});
    if (Stops(kSync, count)) return;
    Answer(kSync, count, {kBaudFirst}, now);
}

size_t CBootLoader::FrameLength() const {
    switch (m_frame[0]) {
        case kEraseAll: return 2;
        case kPageRead: return 3;
        case kPageProgram: return 3 + kPage;
        case kIdCheck: return m_frame.size() < kIdHeader ? kIdHeader : kIdHeader + m_frame[4];
        case kDownload: {
            if (m_frame.size() < kDownloadHeader) return kDownloadHeader;
            // The first page travels with the header, so even a size of 0
            // brings one page.
            const size_t size = size_t{m_frame[1]} | size_t{m_frame[2]} << 8;
            const size_t pages = std::max<size_t>(1, (size + kPage - 1) / kPage);
            return kDownloadHeader + pages * kPage;
        }
        default: return 1;
    }
}

void CBootLoader::Abandon(uint64_t now) {
    if (m_frame[0] == kDownload) m_flags2 |= kDataTimeout;
    Log(SimFrame{now, std::move(m_frame), false});
    m_frame.clear();
}

void CBootLoader::Execute(uint64_t now) {
    const std::vector<uint8_t> frame = std::move(m_frame);
    m_frame.clear();
    const uint8_t code = frame[0];
    const unsigned count = ++m_counts[code];
    Log(SimFrame{now, frame, true});
    if (Stops(code, count)) return;
    // Pre-erase arms only the command that immediately follows it.
    const bool armed = m_eraseArmed;
    m_eraseArmed = code == kPreErase;
    // Commands that come in while the flash is busy wait in the UART.
    const uint64_t at = std::max(now, m_busyUntilUs);

    if (code >= kBaudFirst && code <= kBaudLast) {
        if (kRates[code - kBaudFirst] > m_config.maxBaud) return;  // a rate it cannot make
        // The echo still goes out at the old rate; then the UART moves.
        Answer(code, count, {code}, at);
        m_baud = kRates[code - kBaudFirst];
        return;
    }
    switch (code) {
        case kReadStatus: Answer(code, count, {Byte1(), Byte2()}, at); break;
        case kClearStatus:
            m_errors1 = 0;
            m_flags2 = 0;
            break;
        case kEraseAll: EraseAll(frame, armed, at); break;
        case kPageRead:
            if (MemoryAllowed()) {
                std::vector<uint8_t> page(kPage);
                m_memory.ReadPage(PageAddress(frame), page.data());
                Answer(code, count, std::move(page), at);
            }
            break;
        case kPageProgram: PageProgram(frame, at); break;
        case kIdCheck: IdCheck(frame); break;
        case kDownload: Download(frame, count, at); break;
        case kVersion: {
            std::string text = m_config.version;
            text.resize(kVersionLength, ' ');
            Answer(code, count, std::vector<uint8_t>(text.begin(), text.end()), at);
            break;
        }
        default: break;  // 00 fill, Pre-erase, and codes the boot loader does not know
    }
}

// --------------------------------------------------------------- commands

bool CBootLoader::MemoryAllowed() const {
    return !m_config.requireId || m_idState == kIdPassed;
}

void CBootLoader::EraseAll(const std::vector<uint8_t>& frame, bool armed, uint64_t at) {
    if (frame[1] != kEraseConfirm || !MemoryAllowed()) return;
    if (!armed) {
        // Without Pre-erase the flash sequencer refuses the erase.
        m_errors1 |= kEraseFailed;
        return;
    }
    if (!m_memory.EraseFlash(m_config.faults.eraseFailPage)) m_errors1 |= kEraseFailed;
    m_busyUntilUs = at + uint64_t{m_config.eraseMs} * 1000;
}

void CBootLoader::PageProgram(const std::vector<uint8_t>& frame, uint64_t at) {
    if (!MemoryAllowed()) return;
    const uint32_t page = PageAddress(frame);
    const auto& failPage = m_config.faults.programFailPage;
    const bool stuck = failPage && (*failPage & ~uint32_t{0xFF}) == page;
    if (!m_memory.ProgramPage(page, frame.data() + 3, stuck)) m_errors1 |= kProgramFailed;
    m_busyUntilUs = at + uint64_t{m_config.programMs} * 1000;
}

void CBootLoader::IdCheck(const std::vector<uint8_t>& frame) {
    const uint32_t area = uint32_t{frame[1]} | uint32_t{frame[2]} << 8 | uint32_t{frame[3]} << 16;
    bool passed = !m_config.faults.rejectId && area == CSimMemory::IdArea(m_config.type) &&
                  frame[4] == CSimMemory::kIdCount;
    for (size_t i = 0; passed && i < CSimMemory::kIdCount; ++i)
        passed = frame[kIdHeader + i] == m_memory.Read(CSimMemory::IdAddress(m_config.type, i));
    m_idState = passed ? kIdPassed : kIdRejected;
}

void CBootLoader::Download(const std::vector<uint8_t>& frame, unsigned count, uint64_t at) {
    if (!MemoryAllowed()) return;
    const MemoryArea ram = CSimMemory::Ram();
    uint8_t sum = 0;
    for (size_t i = kDownloadHeader; i < frame.size(); ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
        const size_t offset = i - kDownloadHeader;
        if (offset < ram.Size()) m_memory.Write(static_cast<uint32_t>(ram.first + offset), frame[i]);
    }
    const bool over = frame.size() - kDownloadHeader > ram.Size();
    const bool match = sum == frame[3];
    m_flags2 &= static_cast<uint8_t>(~(kChecksumMatch | kOverNumber | kDataTimeout));
    if (match) m_flags2 |= kChecksumMatch;
    if (over) m_flags2 |= kOverNumber;
    Answer(kDownload, count, {0x00, static_cast<uint8_t>(match && !over ? 0 : 1)}, at);
}

void CBootLoader::Answer(uint8_t code, unsigned count, std::vector<uint8_t> bytes, uint64_t at) {
    const SimFaults& faults = m_config.faults;
    at += uint64_t{m_config.replyDelayMs} * 1000;
    if (faults.lateReply.Matches(code, count)) at += uint64_t{faults.lateMs} * 1000;
    if (faults.lineError.Matches(code, count)) {
        m_transmitter.SendLineError(m_baud, at);
        return;
    }
    if (faults.wrongReply.Matches(code, count) && faults.wrongIndex < bytes.size())
        bytes[faults.wrongIndex] = faults.wrongValue;
    if (faults.shortReply.Matches(code, count) && !bytes.empty()) bytes.pop_back();
    for (uint8_t& byte : bytes) byte = m_noiseToHost.Pass(byte);
    m_transmitter.Send(bytes, m_baud, at);
}

bool CBootLoader::Stops(uint8_t code, unsigned count) {
    if (m_config.faults.unplug.Matches(code, count)) {
        m_unplugged = true;
        return true;
    }
    if (m_config.faults.silentFrom.Matches(code, count)) {
        m_silent = true;
        return true;
    }
    return false;
}

void CBootLoader::Log(SimFrame frame) {
    if (m_observer) m_observer(frame);
    if (m_config.keepLog) m_frames.push_back(std::move(frame));
}

void CBootLoader::ConfigureNoise() {
    const SimFaults& faults = m_config.faults;
    // Each direction has its own draws, so that what the host sends does
    // not change which of the board's characters are hit.
    m_noiseToBoard.Configure(faults.noiseRate, faults.noiseSeed);
    m_noiseToHost.Configure(faults.noiseRate, faults.noiseSeed ^ 0x9E3779B97F4A7C15u);
}

uint8_t CBootLoader::Byte1() const {
    return static_cast<uint8_t>(kReady | m_errors1);
}

uint8_t CBootLoader::Byte2() const {
    return static_cast<uint8_t>(m_idState << 2 | m_flags2);
}

}  // namespace pelican::sim
