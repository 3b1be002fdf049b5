// The batch runner's record of the board (--log) and the board's serial
// number (--serial-number): each run of each board is accounted for, and
// every board gets a number of its own.
#include <algorithm>

#include "app/PelicanApp.h"
#include "station/BatchRunner.h"
#include "station/SerialCounter.h"
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

}  // namespace

int CBatchRunner::OpenRecordFiles() {
    m_record.time = m_recordTime ? m_recordTime() : CStation::LocalTime();
    m_record.host = m_recordHost ? m_recordHost() : CStation::HostName();
    std::string error;
    // Told before the port is opened: a run whose record cannot be kept, or
    // whose board cannot be given a number, must not touch the board. The
    // command line was right: the files are not.
    if (!m_options.log.empty() && !m_log.Open(m_options.log, CLockedFile::Mode::Append, error)) {
        Report("the log " + m_options.log + " cannot be opened: " + error);
        return kExitRecordFiles;
    }
    if (m_options.serialNumber.empty()) return kExitDone;
    CSerialNumber serial;
    CSerialNumber::Parse(m_options.serialNumber, serial, error);  // the command line has checked it
    m_serial = serial;
    m_record.numbered = true;
    uint64_t next = 0;
    std::vector<uint8_t> bytes;
    if (!CSerialCounter::Peek(serial.CounterPath(), next, error)) {
        Report(error);
        return kExitRecordFiles;
    }
    if (!serial.Encode(next, bytes, error)) {
        Report("serial number " + error + ": the counter file " + serial.CounterPath() + " is left as it is");
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

void CBatchRunner::NoteAdapter(const PortInfo* port) {
    m_record.port = m_options.port;
    if (port != nullptr && port->usb) m_record.usbSerial = port->serialNumber;
}

bool CBatchRunner::BeginBoard() {
    // The file as it was loaded for the board, before anything is sent.
    std::string error;
    if (m_log.IsOpen() && !m_options.file.empty()) CSha256::OfFile(m_options.file, m_record.sha256, error);
    return NumberBoard();
}

bool CBatchRunner::NumberBoard() {
    if (!m_serial || m_record.serial) return true;
    // A board that did not pass its ID check is programmed by nothing: no
    // number is used up for it.
    if (!m_app.m_linkReady || !m_app.m_idChecked) return true;
    const CSerialNumber& serial = *m_serial;
    const int mcuType = m_app.Session().mcuType;
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
    std::vector<uint8_t> bytes;
    uint64_t value = 0;
    std::string error;
    const auto fits = [&serial, &bytes](uint64_t next, std::string& why) {
        if (serial.Encode(next, bytes, why)) return true;
        why = "serial number " + why + ": the counter file " + serial.CounterPath() + " is left as it is";
        return false;
    };
    // The number's trace: the board that gets it is named in the log before
    // anything is sent to it, so that the counter and the log tell together
    // who got which number even when the process is killed part way.
    const auto trace = [this, &serial, &bytes](uint64_t taken, std::string& why) {
        if (!m_log.IsOpen()) return true;
        const CRunRecord::Serial number{taken, serial.Address(), serial.FormatText(), bytes};
        if (m_log.Lock(why) && m_log.Append(m_record.TakenText(number) + "\n", why) && m_log.Sync(why)) {
            m_log.Unlock();
            return true;
        }
        m_log.Unlock();
        why = "serial number " + std::to_string(taken) + " was taken, but the log " + m_options.log +
              " could not be written: " + why + "; the board is left as it is";
        return false;
    };
    if (!CSerialCounter::Take(serial.CounterPath(), fits, value, error, trace)) {
        m_recordFilesFailed = true;
        Report(error);
        return false;
    }
    m_record.serial = CRunRecord::Serial{value, serial.Address(), serial.FormatText(), bytes};
    Report("serial number " + std::to_string(value) + " at " + Place(serial) + " (" + serial.FormatText() + ": " +
           HexBytes(bytes) + ")");
    return true;
}

bool CBatchRunner::MergeSerialNumber() {
    if (!m_serial || !ProgramsFlash(m_action)) return true;
    if (!NumberBoard()) return false;
    if (!m_record.serial) return true;  // not numbered: the action is refused by the board's state
    const CRunRecord::Serial& serial = *m_record.serial;
    // What the file had there is overwritten; a file that held more than
    // erased flash there is named, once.
    std::vector<uint8_t> before;
    for (uint32_t address = serial.address; address < serial.address + serial.bytes.size(); ++address) {
        uint8_t page[CCheckMemorryCmd::kPageSize];
        const bool present = m_app.m_image.GetPage(page, address / CCheckMemorryCmd::kPageSize) != nullptr;
        before.push_back(present ? page[address % CCheckMemorryCmd::kPageSize] : 0xFF);
    }
    if (before == serial.bytes) return true;
    if (!m_serialOverFileTold &&
        std::any_of(before.begin(), before.end(), [](uint8_t byte) { return byte != 0xFF; })) {
        m_serialOverFileTold = true;
        Report("the serial number replaces the file's bytes " + HexBytes(before) + " at " + Place(*m_serial));
    }
    m_app.m_image.Patch(serial.address, serial.bytes.data(), serial.bytes.size());
    return true;
}

bool CBatchRunner::RangeHoldsSerial(const std::string& startText, const std::string& endText) {
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

void CBatchRunner::RecordAction(Outcome outcome) {
    const uint64_t now = m_app.m_port.Clock().NowMs();
    m_record.actions.push_back({m_action, OutcomeName(outcome), now - std::min(now, m_actionBeganMs)});
}

void CBatchRunner::RecordPhase(const std::string& title, uint32_t start, uint32_t end, uint32_t pages,
                               Outcome outcome) {
    const uint32_t due = m_phaseInHand ? m_phaseInHand->due : pages;
    m_record.ranges.push_back({m_action, title, start, end, pages, due, OutcomeName(outcome)});
}

int CBatchRunner::WriteRecord(int status) {
    // A board that failed for nothing but its number: the counter is what
    // needs mending.
    if (m_recordFilesFailed && status == kExitFailed) status = kExitRecordFiles;
    if (!m_log.IsOpen() || m_recordWritten) return status;
    m_recordWritten = true;
    // A signal ends the run inside an action: what it did to the board so
    // far is recorded as a finished one is, its outcome "interrupted".
    static const char* const kInterrupted = "interrupted";
    if (m_phaseInHand) {
        m_phaseInHand->outcome = kInterrupted;
        m_record.ranges.push_back(*m_phaseInHand);
        m_phaseInHand.reset();
    }
    if (m_actionPressed) {
        const uint64_t now = m_app.m_port.Clock().NowMs();
        m_record.actions.push_back({m_action, kInterrupted, now - std::min(now, m_actionBeganMs)});
    }
    if (m_record.host.empty()) m_record.host = m_recordHost ? m_recordHost() : CStation::HostName();
    if (m_record.port.empty()) m_record.port = m_options.port;
    m_record.file = m_options.file;
    std::string error;
    if (!m_options.file.empty() && m_record.sha256.empty()) CSha256::OfFile(m_options.file, m_record.sha256, error);
    m_record.outcome = ExitOutcome(status);
    m_record.exit = status;
    const bool written = m_log.Lock(error) && m_log.Append(m_record.Text() + "\n", error) && m_log.Sync(error);
    m_log.Close();
    if (written) return status;
    // On standard error whatever --json says: a record lost is a run that
    // cannot be accounted for, so it does not end well.
    Emit(event::Report{"the record could not be written to " + m_options.log + ": " + error, true});
    return status == kExitDone ? kExitRecordFiles : status;
}

}  // namespace pelican
