#include "station/BoardReset.h"

namespace pelican {

CBoardReset::CBoardReset(const std::string& reset, const std::string& runAfter,
                         std::function<void(const std::string&)> report)
    : m_report(std::move(report)) {
    std::string invalid;  // the command line has checked them already
    if (!reset.empty()) CResetSequence::Parse(reset, m_reset, invalid);
    if (!runAfter.empty()) CResetSequence::Parse(runAfter, m_runAfter, invalid);
}

void CBoardReset::ResetByWire(CSerialComm& port) {
    const std::string failure = m_reset.Perform(port);
    m_wireFailed = !failure.empty();
    m_report(failure.empty() ? "reset by wire: " + m_reset.Text() : "reset by wire failed: " + failure);
}

void CBoardReset::Press(CSerialComm& port) {
    if (ByWire())
        ResetByWire(port);
    else if (m_onPress)
        m_onPress();
}

bool CBoardReset::RunAfter(CSerialComm& port) {
    const std::string failure = m_runAfter.Perform(port);
    m_report(failure.empty() ? "run-after by wire: " + m_runAfter.Text() : "run-after by wire failed: " + failure);
    return failure.empty();
}

}  // namespace pelican
