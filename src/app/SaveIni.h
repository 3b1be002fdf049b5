#pragma once
// The last working link settings in the settings file, and the hand-set
// page-read time-out. The key names are the file's own and stay as they are:
// "Stop Bit" carries the parity code and "Parity" the stop-bits code.
#include <cstdint>
#include <string>

namespace pelican {

class CSaveIni {
public:
    CSaveIni();
    explicit CSaveIni(std::string path);

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

    int32_t m_baudRate = 0;
    uint8_t m_byteSize = 0;
    uint8_t m_parity = 0;
    uint8_t m_stopBits = 0;

private:
    std::string m_path;
};

}  // namespace pelican
