#include "image/LoadNotice.h"

namespace pelican {

bool CLoadNotice::Load(CMotFile& image, const std::string& path) {
    const LoadOutcome outcome = image.Read(path);
    const bool toldBefore = m_told && outcome.refusal == LoadRefusal::BadRecord && path == m_path &&
                            outcome.refusal == m_outcome.refusal && outcome.line == m_outcome.line &&
                            outcome.stamp == m_outcome.stamp;
    if (!toldBefore) outcome.ShowRefusal(path);
    if (outcome.refusal == LoadRefusal::BadRecord) {
        m_told = true;
        m_path = path;
        m_outcome = outcome;
    }
    return !outcome.FileRefused();
}

}  // namespace pelican
