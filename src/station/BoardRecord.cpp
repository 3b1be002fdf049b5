#include "station/BoardRecord.h"

#include <algorithm>
#include <random>

#include "app/PelicanApp.h"
#include "lifecycle/SignalStop.h"
#include "link/PortInfo.h"
#include "station/DatabaseStore.h"
#include "station/FileStore.h"
#include "commands/CheckMemorryCmd.h"
#include "commands/DeviceId.h"
#include "commands/IDCheckDlg.h"
#include "sys/Sha256.h"
#include "sys/Station.h"
#include "protocol/Protocol.h"

namespace pelican {
namespace {

bool ProgramsFlash(const std::string& action) {
    return action == "program" || action == "epr" || action == "bpr";
}

std::string Place(const CSerialNumber& serial) {
    return CCheckMemorryCmd::AddressToHex(serial.Address()) + "-" + CCheckMemorryCmd::AddressToHex(serial.LastAddress());
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

// 128 random bits in hexadecimal: the run's own id, the same on no two
// stations.
std::string RandomRunId() {
    std::random_device random;
    static const char kDigits[] = "0123456789abcdef";
    std::string id;
    for (int word = 0; word < 4; ++word) {
        const uint32_t bits = random();
        for (int shift = 28; shift >= 0; shift -= 4) id += kDigits[(bits >> shift) & 0xF];
    }
    return id;
}

// Every signal the program has noted so far, counted together.
int SignalsNoted() {
    return CSignalStop::Interrupts() + CSignalStop::Again() + (CSignalStop::EndingSignal() != 0 ? 1 : 0);
}

}  // namespace

CBoardRecord::CBoardRecord(const BatchOptions& options, IClock& clock, std::function<void(const event::Report&)> tell)
    : m_options(options), m_tell(std::move(tell)), m_clock(clock) {}

void CBoardRecord::Report(const std::string& text) {
    m_tell(event::Report{text});
}

CLockWait CBoardRecord::LockWait() {
    CLockWait wait(m_clock);
    // Only a signal that comes in the wait ends it: a run already on its way
    // out still waits for the log to write its record.
    const int before = SignalsNoted();
    wait.m_ending = [this, before] {
        if (SignalsNoted() == before) return false;
        m_waitEnded = true;
        return true;
    };
    wait.m_tell = [this](const std::string& line) { Report(line); };
    return wait;
}

void CBoardRecord::OnEvent(const event::RunEvent& event) {
    if (const auto* begun = std::get_if<event::ActionBegun>(&event)) {
        m_actionInHand = *begun;
    } else if (const auto* ended = std::get_if<event::ActionEnded>(&event)) {
        const uint64_t began = m_actionInHand ? m_actionInHand->atMs : ended->atMs;
        m_record.actions.push_back({ended->name, OutcomeName(ended->outcome), ended->atMs - std::min(ended->atMs, began)});
        m_actionInHand.reset();
    } else if (const auto* phase = std::get_if<event::PhaseBegun>(&event)) {
        const PhaseRecord& p = phase->phase;
        m_phaseInHand = CRunRecord::Range{phase->action, p.title, p.start, p.end, 0, p.pages, ""};
    } else if (const auto* moved = std::get_if<event::PhaseMoved>(&event)) {
        if (m_phaseInHand) m_phaseInHand->pages = static_cast<uint32_t>(moved->pages);
    } else if (const auto* done = std::get_if<event::PhaseEnded>(&event)) {
        const PhaseRecord& p = done->phase;
        const uint32_t due = m_phaseInHand ? m_phaseInHand->due : p.pages;
        m_record.ranges.push_back({done->action, p.title, p.start, p.end, p.pages, due, OutcomeName(p.outcome)});
        m_phaseInHand.reset();
    } else if (const auto* status = std::get_if<event::StatusRead>(&event)) {
        m_record.status = {status->status1, status->status2};
    } else if (const auto* version = std::get_if<event::VersionRead>(&event)) {
        m_record.version = version->text;
    }
}

std::optional<uint64_t> CBoardRecord::SerialValue() const {
    return m_record.serial ? std::optional<uint64_t>(m_record.serial->value) : std::nullopt;
}

int CBoardRecord::Open() {
    m_record.time = m_recordTime ? m_recordTime() : CStation::LocalTime();
    m_record.host = m_recordHost ? m_recordHost() : CStation::HostName();
    m_record.runId = RandomRunId();
    CStoreUrl url;
    std::string why;
    CStoreUrl::Parse(m_options.store.empty() ? "file:" : m_options.store, url, why);  // checked by the command line
    // The databases are reached through ODBC on Linux and Windows alike
    // (unixODBC, odbc32): one route to SQLite and PostgreSQL, with no
    // client library of either built in.
    if (url.GetKind() == CStoreUrl::Kind::File)
        m_store = std::make_unique<CFileStore>(m_options.log, [this] { return LockWait(); });
    else
        m_store = std::make_unique<CDatabaseStore>(
            url, CRecordSpool(CRecordSpool::DefaultPath(), [this] { return LockWait(); }),
            [this](const std::string& line) { Report(line); });
    std::string error;
    // Told before the port is opened: a run whose record cannot be kept, or
    // whose board cannot be given a number, must not touch the board. The
    // command line was right: the files are not.
    if (!m_store->Open(error)) {
        Report(error);
        return kExitRecordFiles;
    }
    m_logUsable = m_store->KeepsRecords();
    if (m_options.serialNumber.empty()) return kExitDone;
    CSerialNumber serial;
    CSerialNumber::Parse(m_options.serialNumber, serial, error);  // the command line has checked it
    m_serial = serial;
    m_record.numbered = true;
    if (!m_store->Check(serial, error)) {
        Report(error);
        return kExitRecordFiles;
    }
    // program and bpr work on the range of -r: it must hold the number.
    const bool ranged = std::any_of(m_options.actions.begin(), m_options.actions.end(),
                                    [](const std::string& action) { return action == "program" || action == "bpr"; });
    if (ranged && !m_options.range.empty()) {
        const size_t dash = m_options.range.find('-');
        if (!RangeHoldsSerial(m_options.range.substr(0, dash), m_options.range.substr(dash + 1))) return kExitUsage;
    }
    return kExitDone;
}

void CBoardRecord::NoteAdapter(const std::string& port, const PortInfo* info) {
    m_record.port = port;
    if (info != nullptr && info->usb) m_record.usbSerial = info->serialNumber;
}

bool CBoardRecord::BeginBoard(CPelicanApp& app) {
    // The file as it was loaded for the board, before anything is sent.
    std::string error;
    if (m_logUsable && !m_options.file.empty()) CSha256::OfFile(m_options.file, m_record.sha256, error);
    return NumberBoard(app);
}

bool CBoardRecord::NumberBoard(CPelicanApp& app) {
    if (!m_serial || m_record.serial) return true;
    // A board that did not pass its ID check is programmed by nothing: no
    // number is used up for it.
    if (!app.m_linkReady || !app.m_idChecked) return true;
    const CSerialNumber& serial = *m_serial;
    const int mcuType = app.Session().mcuType;
    const char* mcuName = protocol::McuMapOf(mcuType).name;
    uint32_t flashStart = 0;
    uint32_t flashEnd = 0;
    CCheckMemorryCmd::FlashOf(mcuType, flashStart, flashEnd);
    if (serial.Address() < flashStart || serial.LastAddress() > flashEnd) {
        Report("the serial number's place " + Place(serial) + " lies outside the flash of " + mcuName + " (" +
               CCheckMemorryCmd::AddressToHex(flashStart) + " to " + CCheckMemorryCmd::AddressToHex(flashEnd) + ")");
        return false;
    }
    // The number must not change the ID the board is checked with next time.
    for (const uint32_t idAddress : protocol::McuMapOf(mcuType).idAddresses) {
        if (idAddress >= serial.Address() && idAddress <= serial.LastAddress()) {
            Report("the serial number's place " + Place(serial) + " covers the ID location " +
                   CCheckMemorryCmd::AddressToHex(idAddress) + " of " + mcuName);
            return false;
        }
    }
    CRunRecord::Serial taken;
    std::string error;
    if (!m_store->Take(serial, m_record, taken, error)) {
        // A board stopped by a signal is the signal's, not the files'.
        m_filesFailed = !m_waitEnded;
        Report(error);
        return false;
    }
    m_record.serial = taken;
    Report("serial number " + std::to_string(taken.value) + " at " + Place(serial) + " (" + serial.FormatText() +
           ": " + HexBytes(taken.bytes) + ")");
    return true;
}

bool CBoardRecord::MergeSerialNumber(const std::string& action, CPelicanApp& app) {
    if (!m_serial || !ProgramsFlash(action)) return true;
    if (!NumberBoard(app)) return false;
    if (!m_record.serial) return true;  // not numbered: the action is refused by the board's state
    const CRunRecord::Serial& serial = *m_record.serial;
    // What the file had there is overwritten; a file that held more than
    // erased flash there is named, once.
    std::vector<uint8_t> before;
    for (uint32_t address = serial.address; address < serial.address + serial.bytes.size(); ++address) {
        uint8_t page[CCheckMemorryCmd::kPageSize];
        const bool present = app.m_image.GetPage(page, address / CCheckMemorryCmd::kPageSize) != nullptr;
        before.push_back(present ? page[address % CCheckMemorryCmd::kPageSize] : 0xFF);
    }
    if (before == serial.bytes) return true;
    if (!m_serialOverFileTold &&
        std::any_of(before.begin(), before.end(), [](uint8_t byte) { return byte != 0xFF; })) {
        m_serialOverFileTold = true;
        Report("the serial number replaces the file's bytes " + HexBytes(before) + " at " + Place(*m_serial));
    }
    app.m_image.Patch(serial.address, serial.bytes.data(), serial.bytes.size());
    return true;
}

bool CBoardRecord::RangeHoldsSerial(const std::string& startText, const std::string& endText) {
    if (!m_serial) return true;
    uint32_t start = 0;
    uint32_t end = 0;
    CCheckMemorryCmd::PageRange(startText, endText, start, end);
    if (m_serial->Address() >= start && m_serial->LastAddress() <= end) return true;
    // Programmed elsewhere, the board would go out without the number its
    // record gives it.
    Report("the range " + CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) +
           " does not hold the serial number's place " + Place(*m_serial));
    return false;
}

int CBoardRecord::Write(int status, const std::string& outcome, uint64_t nowMs) {
    // A board that failed for nothing but its number: the counter is what
    // needs mending.
    if (m_filesFailed && status == kExitFailed) status = kExitRecordFiles;
    if (!m_logUsable || m_written) return status;
    m_written = true;
    // A signal ends the run inside an action: what it did to the board so
    // far is recorded as a finished one is, its outcome "interrupted".
    static const char* const kInterrupted = "interrupted";
    if (m_phaseInHand) {
        m_phaseInHand->outcome = kInterrupted;
        m_record.ranges.push_back(*m_phaseInHand);
        m_phaseInHand.reset();
    }
    if (m_actionInHand) {
        const uint64_t began = m_actionInHand->atMs;
        m_record.actions.push_back({m_actionInHand->name, kInterrupted, nowMs - std::min(nowMs, began)});
        m_actionInHand.reset();
    }
    if (m_record.host.empty()) m_record.host = m_recordHost ? m_recordHost() : CStation::HostName();
    if (m_record.port.empty()) m_record.port = m_options.port;
    m_record.file = m_options.file;
    std::string error;
    if (!m_options.file.empty() && m_record.sha256.empty()) CSha256::OfFile(m_options.file, m_record.sha256, error);
    m_record.outcome = outcome;
    m_record.exit = status;
    m_record.finished = m_recordTime ? m_recordTime() : CStation::LocalTime();
    if (m_store->Finish(m_record, error)) return status;
    // On standard error whatever --json says: a record lost is a run that
    // cannot be accounted for, so it does not end well.
    m_tell(event::Report{error, true});
    return status == kExitDone ? kExitRecordFiles : status;
}

}  // namespace pelican
