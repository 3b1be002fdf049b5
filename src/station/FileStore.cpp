#include "station/FileStore.h"

#include "station/SerialCounter.h"
#include "station/SerialNumber.h"
#include "sys/LockedFile.h"

namespace pelican {

CFileStore::CFileStore(std::string log, std::function<CLockWait()> lockWait)
    : m_log(std::move(log)), m_lockWait(std::move(lockWait)) {}

bool CFileStore::Open(std::string& error) {
    if (m_log.empty()) return true;
    CLockedFile log;
    std::string why;
    if (log.Open(m_log, CLockedFile::Mode::Append, why)) return true;
    error = "the log " + m_log + " cannot be opened: " + why;
    return false;
}

bool CFileStore::Check(const CSerialNumber& serial, std::string& error) {
    uint64_t next = 0;
    std::vector<uint8_t> bytes;
    if (!CSerialCounter::Peek(serial.CounterPath(), m_lockWait(), next, error)) return false;
    if (serial.Encode(next, bytes, error)) return true;
    error = "serial number " + error + ": the counter file " + serial.CounterPath() + " is left as it is";
    return false;
}

bool CFileStore::Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
                      std::string& error) {
    std::vector<uint8_t> bytes;
    const auto fits = [&serial, &bytes](uint64_t next, std::string& why) {
        if (serial.Encode(next, bytes, why)) return true;
        why = "serial number " + why + ": the counter file " + serial.CounterPath() + " is left as it is";
        return false;
    };
    // The number's trace: the board that gets it is named in the log before
    // anything is sent to it, so that the counter and the log tell together
    // who got which number even when the process is killed part way.
    const auto trace = [this, &serial, &bytes, &record](uint64_t value, std::string& why) {
        if (m_log.empty()) return true;
        const CRunRecord::Serial number{value, serial.Address(), serial.FormatText(), bytes};
        if (AppendToLog(record.TakenText(number) + "\n", why)) return true;
        why = "serial number " + std::to_string(value) + " was taken, but the log " + m_log +
              " could not be written: " + why + "; the board is left as it is";
        return false;
    };
    uint64_t value = 0;
    if (!CSerialCounter::Take(serial.CounterPath(), m_lockWait(), fits, value, error, trace)) return false;
    taken = CRunRecord::Serial{value, serial.Address(), serial.FormatText(), bytes};
    return true;
}

bool CFileStore::Finish(const CRunRecord& record, std::string& error) {
    std::string why;
    if (AppendToLog(record.Text() + "\n", why)) return true;
    error = "the record could not be written to " + m_log + ": " + why;
    return false;
}

bool CFileStore::AppendToLog(const std::string& text, std::string& error) {
    CLockedFile log;
    return log.Open(m_log, CLockedFile::Mode::Append, error) &&
           m_lockWait().Lock(log, error) == CLockWait::Result::Locked && log.Append(text, error) && log.Sync(error);
}

}  // namespace pelican
