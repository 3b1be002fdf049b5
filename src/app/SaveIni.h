#pragma once
// The last working link settings in the settings file, and the hand-set
// page-read time-out. The key names are the file's own and stay as they are:
// "Stop Bit" carries the parity code and "Parity" the stop-bits code.
#include <cstdint>
#include <functional>
#include <string>

namespace pelican {

class CIniFile;
class IClock;

class CSaveIni {
public:
    CSaveIni();
    explicit CSaveIni(std::string path);
    // Waits for another save of the file on clock (tests: a virtual one).
    CSaveIni(std::string path, IClock& clock);

    void SetValues(int32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits);
    void GetValues(int32_t& baud, uint8_t& byteSize, uint8_t& parity, uint8_t& stopBits) const;
    // True only when all four keys are usable.
    bool LoadCommState();
    // Saved, ReadOnly (the user made the file read-only: left alone) or Failed.
    enum class SaveResult { Saved, ReadOnly, Failed };
    // With Failed, why (when given) holds the reason.
    SaveResult SaveCommState(std::string* why = nullptr);
    // The file is there but too large to be a settings file: not read, kept.
    bool TooLarge() const;
    // The file a save writes (symbolic links followed).
    std::string TargetPath() const;
    int PageReadTimeout(int defaultValue) const;
    // Whether the window program leaves out the pages without file data
    // (false when the file does not say), and saving that choice. It has a
    // section of its own: the link settings' keys are not touched.
    bool LoadSkipEmptyPages() const;
    SaveResult SaveSkipEmptyPages(bool skip, std::string* why = nullptr) const;

    // Two programs that share the file (stations of a line, the window
    // program and a batch run) each read it, change their keys and put the
    // whole text in its place: a save takes the lock of "<file>.lock",
    // beside the file, from its reading to its renaming, so that neither
    // drops the other's change. A lock held longer than kLockWaitMs (a
    // program stopped in a save) is waited out no further: the save goes on
    // without it. Reading never waits.
    static constexpr uint32_t kLockWaitMs = 5000;
    static std::string LockPath(const std::string& target) { return target + ".lock"; }
    // Called, when set, when a save finds the lock held and begins to wait.
    // A seam for the tests; the program leaves it null.
    using LockBusy = void (*)();
    static inline LockBusy s_lockBusy = nullptr;

    int32_t m_baudRate = 0;
    uint8_t m_byteSize = 0;
    uint8_t m_parity = 0;
    uint8_t m_stopBits = 0;

private:
    // Loads the file, applies change and saves it, under the lock.
    SaveResult Change(const std::function<void(CIniFile&)>& change, std::string* why) const;

    std::string m_path;
    IClock* m_clock;
};

}  // namespace pelican
