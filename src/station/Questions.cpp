#include "station/Questions.h"

namespace pelican {

bool CQuestions::Ask(const std::string& question, std::string& answer, bool echoed) {
    if (m_ask) return m_ask(question, answer);
    if (m_beforePrompt) m_beforePrompt();
    *m_promptOut << question << std::flush;
    const bool answered = static_cast<bool>(std::getline(*m_input, answer));
    // Standard error sent elsewhere (a log), or no answer at all, needs its
    // own line end.
    if (!echoed || !answered) *m_promptOut << '\n' << std::flush;
    return answered;
}

}  // namespace pelican
