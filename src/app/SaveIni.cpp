#include "app/SaveIni.h"

#include "app/IniFile.h"
#include "sys/Clock.h"
#include "sys/FileReplacer.h"
#include "sys/LockedFile.h"
#include "sys/Paths.h"

namespace pelican {
namespace {

constexpr const char* kCommSection = "Last Comm State";
constexpr const char* kBaudKey = "Baundrate";
constexpr const char* kByteKey = "Byte";
constexpr const char* kParityKey = "Stop Bit";
constexpr const char* kStopBitsKey = "Parity";
constexpr const char* kTimeoutSection = "timeout";
constexpr const char* kPageReadKey = "pageread";
constexpr const char* kPagesSection = "Pages";
constexpr const char* kSkipEmptyKey = "SkipEmpty";

CSaveIni::SaveResult ResultOf(CIniFile::SaveResult result) {
    switch (result) {
        case CIniFile::SaveResult::Saved: return CSaveIni::SaveResult::Saved;
        case CIniFile::SaveResult::ReadOnly: return CSaveIni::SaveResult::ReadOnly;
        case CIniFile::SaveResult::Failed: break;
    }
    return CSaveIni::SaveResult::Failed;
}

// How often a waiting save looks at the lock again.
constexpr uint32_t kLockPollMs = 10;

// Takes the lock for a save of the file at path, waiting for another save
// at most CSaveIni::kLockWaitMs. A save that will not write the file (read-
// only, a folder in its place, a link the superuser may not follow) makes
// no lock file; where the lock file cannot be made (a read-only folder) the
// save goes on as it would without one, and the file tells the user why.
void LockForSave(CLockedFile& lock, const std::string& path, IClock& clock) {
    std::string why;
    if (!CFileReplacer::MayFollow(path, why) || !CFileReplacer::MayReplace(path)) return;
    const std::string target = CFileReplacer::FollowLinks(path);
    CFileReplacer::MakeParentFolders(target);
    if (!lock.Open(CSaveIni::LockPath(target), CLockedFile::Mode::Append, why)) return;
    const uint64_t start = clock.NowMs();
    for (bool told = false;;) {
        const CLockedFile::Attempt attempt = lock.TryLock(why);
        if (attempt != CLockedFile::Attempt::Busy) return;
        if (!told && CSaveIni::s_lockBusy != nullptr) CSaveIni::s_lockBusy();
        told = true;
        if (clock.NowMs() - start >= CSaveIni::kLockWaitMs) return;
        clock.Sleep(kLockPollMs);
    }
}

}  // namespace

CSaveIni::CSaveIni() : CSaveIni(SettingsFilePath()) {}

CSaveIni::CSaveIni(std::string path) : CSaveIni(std::move(path), RealClock()) {}

CSaveIni::CSaveIni(std::string path, IClock& clock) : m_path(std::move(path)), m_clock(&clock) {}

CSaveIni::SaveResult CSaveIni::Change(const std::function<void(CIniFile&)>& change, std::string* why) const {
    CLockedFile lock;  // given back as the save ends, its file renamed into place
    LockForSave(lock, m_path, *m_clock);
    CIniFile file(m_path);
    file.Load();
    change(file);
    return ResultOf(file.Save(why));
}

void CSaveIni::SetValues(int32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits) {
    m_baudRate = baud;
    m_byteSize = byteSize;
    m_parity = parity;
    m_stopBits = stopBits;
}

void CSaveIni::GetValues(int32_t& baud, uint8_t& byteSize, uint8_t& parity, uint8_t& stopBits) const {
    baud = m_baudRate;
    byteSize = m_byteSize;
    parity = m_parity;
    stopBits = m_stopBits;
}

bool CSaveIni::LoadCommState() {
    CIniFile file(m_path);
    file.Load();
    m_baudRate = file.GetInt(kCommSection, kBaudKey, 0);
    if (m_baudRate == 0) return false;
    m_byteSize = static_cast<uint8_t>(file.GetInt(kCommSection, kByteKey, 0) & 0xFF);
    if (m_byteSize == 0) return false;
    const int parity = file.GetInt(kCommSection, kParityKey, -1);
    m_parity = static_cast<uint8_t>(parity & 0xFF);
    if (parity == -1) return false;
    const int stopBits = file.GetInt(kCommSection, kStopBitsKey, -1);
    m_stopBits = static_cast<uint8_t>(stopBits & 0xFF);
    if (stopBits == -1) return false;
    return true;
}

bool CSaveIni::TooLarge() const {
    CIniFile file(m_path);
    file.Load();
    return file.TooLarge();
}

CSaveIni::SaveResult CSaveIni::SaveCommState(std::string* why) {
    return Change(
        [this](CIniFile& file) {
            file.SetInt(kCommSection, kBaudKey, m_baudRate);
            file.SetInt(kCommSection, kByteKey, m_byteSize);
            file.SetInt(kCommSection, kParityKey, m_parity);
            file.SetInt(kCommSection, kStopBitsKey, m_stopBits);
        },
        why);
}

std::string CSaveIni::TargetPath() const {
    return CIniFile(m_path).TargetPath();
}

int CSaveIni::PageReadTimeout(int defaultValue) const {
    CIniFile file(m_path);
    file.Load();
    return file.GetInt(kTimeoutSection, kPageReadKey, defaultValue);
}

bool CSaveIni::LoadSkipEmptyPages() const {
    CIniFile file(m_path);
    file.Load();
    return file.GetInt(kPagesSection, kSkipEmptyKey, 0) != 0;
}

CSaveIni::SaveResult CSaveIni::SaveSkipEmptyPages(bool skip, std::string* why) const {
    return Change([skip](CIniFile& file) { file.SetInt(kPagesSection, kSkipEmptyKey, skip ? 1 : 0); }, why);
}

}  // namespace pelican
