// The batch runner's part in the retries (--retries): telling each, and a
// recovery that goes once more.
#include "app/PelicanApp.h"
#include "batch/BatchRunner.h"
#include "batch/RetryReport.h"

namespace pelican {

void CBatchRunner::TellRetry(const RetryNote& note) {
    // The job goes on after a recovery that worked: the next failure's
    // recovery is the first of a new attempt.
    if (note.kind == RetryNote::Kind::Retry) m_resetsInAction = 0;
    if (m_options.json)
        Print(CRetryReport::Json(note));
    else if (m_report)
        m_report(CRetryReport::Text(note));
}

bool CBatchRunner::RecoverAgain() {
    RetryNote note;
    note.exchange = "baud-rate change";
    note.failed = m_app.m_port.m_timedOut ? "no reply" : "wrong reply";
    note.next = "recover again";
    if (!m_app.m_retries.Take(note)) return false;
    // This round of the recovery counts; one more failure takes another.
    m_resetsInAction = 1;
    return true;
}

}  // namespace pelican
