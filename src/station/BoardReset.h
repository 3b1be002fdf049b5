#pragma once
// How a board of batch mode is put into boot mode and started afterwards:
// by wire (--reset and --run-after: DTR and RTS changes on the open port),
// or by whoever presses RESET for the user (the simulated board); and what
// the person at the terminal said when asked to reset it.
#include <functional>
#include <string>

#include "link/ResetSequence.h"
#include "link/SerialComm.h"

namespace pelican {

class CBoardReset {
public:
    // reset, runAfter: the sequences as the command line gave them (it has
    // checked them); report: how each one performed is told.
    CBoardReset(const std::string& reset, const std::string& runAfter, std::function<void(const std::string&)> report);

    // Presses the simulated board's RESET (unset: nobody does).
    std::function<void()> m_onPress;

    bool ByWire() const { return !m_reset.Empty(); }
    // Whether anything here resets the board without a person.
    bool CanPress() const { return ByWire() || static_cast<bool>(m_onPress); }
    std::string WireText() const { return m_reset.Text(); }
    // Whether the last reset by wire did not go through.
    bool WireFailed() const { return m_wireFailed; }
    // Performs --reset on the open port and says so.
    void ResetByWire(CSerialComm& port);
    // --reset, or the simulated board's RESET.
    void Press(CSerialComm& port);

    bool WantsRunAfter() const { return !m_runAfter.Empty(); }
    // Performs --run-after on the open port and says so; false when a line
    // change failed.
    bool RunAfter(CSerialComm& port);

    // The terminal was asked to reset the board (once is enough).
    bool m_asked = false;
    // "Reset the board, then press Enter." got Ctrl-D or Ctrl-C: nobody
    // will reset it.
    bool m_declined = false;

private:
    CResetSequence m_reset;
    CResetSequence m_runAfter;
    std::function<void(const std::string&)> m_report;
    bool m_wireFailed = false;
};

}  // namespace pelican
