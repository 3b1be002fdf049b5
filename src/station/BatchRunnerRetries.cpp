// The batch runner's part in the retries (--retries): telling each, and a
// recovery that goes once more.
#include "app/PelicanApp.h"
#include "station/BatchRunner.h"
#include "station/RetryReport.h"

namespace pelican {

void CBatchRunner::Retry(const RetryNote& note) {
    // The job goes on after a recovery that worked: the next failure's
    // recovery is the first of a new attempt.
    if (note.kind == RetryNote::Kind::Retry) m_job.resetsInAction = 0;
    Emit(event::Retry{note});
}

bool CBatchRunner::CanResetBoard() const {
    return m_boardReset.CanPress() || m_questions.m_interactive;
}

void CBatchRunner::TellRetriesWithoutReset() {
    if (m_options.retries == 0 || CanResetBoard()) return;
    Report("--retries: nothing resets the board here (no --reset, no terminal to press RESET on), so a failure "
           "that needs a reset ends the run; pages read again and an E.P.R. started over still go on");
}

bool CBatchRunner::ResetForRecovery() {
    ++m_job.resetsInAction;
    // The wire presses RESET while the message stands, as a person would.
    if (m_boardReset.ByWire()) {
        m_boardReset.ResetByWire(m_app.m_port);
        return !m_boardReset.WireFailed();
    }
    bool reset = false;
    if (m_questions.m_interactive) {
        std::string ignored;
        // Ctrl-D or Ctrl-C there gives up, as at start-up: nobody reset
        // the board, and trying again would only wait out its time-outs
        // and ask again.
        if (m_boardReset.m_declined || !Ask("Reset the board, then press Enter.", ignored)) {
            m_boardReset.m_declined = true;
            return false;
        }
        reset = true;
    }
    if (m_boardReset.m_onPress) {
        m_boardReset.m_onPress();
        reset = true;
    }
    return reset;
}

bool CBatchRunner::RecoverAgain() {
    // A board nobody reset is no better for a second recovery.
    if (!m_app.BoardReset()) return false;
    RetryNote note;
    note.exchange = "baud-rate change";
    note.failed = m_app.m_port.m_timedOut ? "no reply" : "wrong reply";
    note.next = "recover again";
    if (!m_app.m_retries.Take(note)) return false;
    // This round of the recovery counts; one more failure takes another.
    m_job.resetsInAction = 1;
    return true;
}

}  // namespace pelican
