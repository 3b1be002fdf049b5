#pragma once
// The scripted window back end with a stopwatch on the progress window: a
// memory command's page loop opens it before its first frame and closes it
// after its last page, so the time between the two is the phase itself.
// Every dialog is answered OK; "Input Address" gets the range it is given.
#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/scripted/ScriptedBackend.h"

namespace pelican::bench {

class CPhaseTimer : public ui::CScriptedBackend {
public:
    CPhaseTimer();

    // The range "Input Address" answers with, and which dialogs get OK.
    void Answer(uint32_t start, uint32_t end);

    bool CreateModeless(ui::CDialog& dialog) override;
    void DestroyModeless(ui::CDialog& dialog) override;

    // Wall time (microseconds) and CPU time of the process (nanoseconds)
    // when the progress window opened and closed.
    uint64_t m_openUs = 0, m_closeUs = 0;
    uint64_t m_openCpuNs = 0, m_closeCpuNs = 0;
    // The same for one other thread of the process (the simulated board's),
    // when m_otherThread is set.
    bool m_haveOther = false;
    clockid_t m_otherThread{};
    uint64_t m_openOtherNs = 0, m_closeOtherNs = 0;

    // Every progress window so far, in order: a run of several phases
    // (E.P.R.) opens one for each.
    struct Span {
        uint64_t wallUs = 0;
        uint64_t cpuNs = 0;
        uint64_t otherNs = 0;
    };
    std::vector<Span> m_spans;

private:
    std::string m_start, m_end;
};

// Wall time on the steady clock, in microseconds; CPU time of the process
// so far, in nanoseconds.
uint64_t WallUs();
uint64_t ProcessCpuNs();
uint64_t CpuNs(clockid_t clock);

}  // namespace pelican::bench
