#pragma once
// The record of one board's run (--log) and the board's serial number
// (--serial-number): each run of each board is accounted for, even when a
// signal ends it, and every board gets a number of its own, taken before
// anything is sent to it and written into the image of every action that
// programs. It hears the run's actions and page loops as events.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "station/BatchOptions.h"
#include "station/BoardStore.h"
#include "station/RunEvents.h"
#include "station/RunRecord.h"
#include "station/SerialNumber.h"
#include "sys/LockWait.h"

namespace pelican {

class CPelicanApp;
struct PortInfo;

class CBoardRecord final : public IRunListener {
public:
    // tell: how the record says what it does and what went wrong; clock:
    // the run's, on which the locks of the shared files are waited for.
    CBoardRecord(const BatchOptions& options, IClock& clock, std::function<void(const event::Report&)> tell);

    void OnEvent(const event::RunEvent& event) override;

    // The time and host the record names (the station's own unless replaced).
    std::function<std::string()> m_recordTime;
    std::function<std::string()> m_recordHost;

    // Before the port is opened: the log can be appended to and the counter
    // holds a number that fits; kExitDone, or the run's status once told.
    int Open();
    // The port the run is on, and the adapter it belongs to.
    void NoteAdapter(const std::string& port, const PortInfo* info);
    // Once the main window is up: the file's digest, the board's number
    // (false, told, when it cannot have one).
    bool BeginBoard(CPelicanApp& app);
    // Before an action that programs: the number put into the image.
    bool MergeSerialNumber(const std::string& action, CPelicanApp& app);
    // Whether a range typed into "Input Address" for program or bpr holds
    // the number's place; false, told.
    bool RangeHoldsSerial(const std::string& startText, const std::string& endText);
    // The number the board was given, if any.
    std::optional<uint64_t> SerialValue() const;
    // Appends the record, naming the action and page loop still in hand
    // as interrupted; the exit status, kExitRecordFiles when the record or
    // the board's number could not be had and nothing else went wrong.
    // outcome: the status in a word; nowMs: the port's clock.
    int Write(int status, const std::string& outcome, uint64_t nowMs);

private:
    bool NumberBoard(CPelicanApp& app);
    void Report(const std::string& text);
    // How the log's and the counter's locks are waited for: a signal that
    // comes in the wait ends it, and a long wait is told.
    CLockWait LockWait();

    const BatchOptions& m_options;
    std::function<void(const event::Report&)> m_tell;
    IClock& m_clock;
    CRunRecord m_record;
    std::unique_ptr<IBoardStore> m_store;
    bool m_logUsable = false;  // the store keeps records, and could be opened
    bool m_waitEnded = false;  // a signal ended a wait for a lock
    bool m_written = false;
    std::optional<CSerialNumber> m_serial;
    bool m_filesFailed = false;  // the counter or the log failed mid-run
    bool m_serialOverFileTold = false;
    // The action and the page loop in hand, with the pages it has finished.
    std::optional<event::ActionBegun> m_actionInHand;
    std::optional<CRunRecord::Range> m_phaseInHand;
};

}  // namespace pelican
