#include "sys/LockWait.h"

#include "sys/LockedFile.h"

namespace pelican {

namespace {

// Who holds the lock, in words: the process where the system names one.
std::string HolderText(const CLockedFile& file) {
    const std::string holder = file.Holder();
    return holder.empty() ? std::string("another station") : holder;
}

}  // namespace

CLockWait::Result CLockWait::Lock(CLockedFile& file, std::string& error) const {
    const uint64_t start = m_clock.NowMs();
    bool told = false;
    for (;;) {
        switch (file.TryLock(error)) {
            case CLockedFile::Attempt::Locked: return Result::Locked;
            case CLockedFile::Attempt::Failed: return Result::Failed;
            case CLockedFile::Attempt::Busy: break;
        }
        const uint64_t waited = m_clock.NowMs() - start;
        if (waited >= kDeadlineMs) {
            error = HolderText(file) + " held it for " + std::to_string(kDeadlineMs / 1000) + " s";
            return Result::TimedOut;
        }
        if (!told && waited >= kTellAfterMs) {
            told = true;
            if (m_tell)
                m_tell("waiting for the lock on " + file.Path() + " (" + HolderText(file) + " holds it)");
        }
        if (m_ending && m_ending()) {
            error = "the run was stopped while waiting for it";
            return Result::Ended;
        }
        m_clock.Sleep(kRetryMs);
    }
}

}  // namespace pelican
