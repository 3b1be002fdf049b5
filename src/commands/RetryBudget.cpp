#include "commands/RetryBudget.h"

namespace pelican {

bool CRetryBudget::Take(RetryNote note) {
    if (m_taken >= m_limit) return false;
    ++m_taken;
    note.kind = RetryNote::Kind::Retry;
    note.number = m_taken;
    note.limit = m_limit;
    Tell(note);
    return true;
}

void CRetryBudget::Tell(const RetryNote& note) const {
    if (m_session.events != nullptr) m_session.events->Retry(note);
}

}  // namespace pelican
