#include "PhaseTimer.h"

#include <time.h>

#include <chrono>
#include <cstdio>

#include "commands/SetAddressDlg.h"

namespace pelican::bench {

uint64_t WallUs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint64_t ProcessCpuNs() {
    return CpuNs(CLOCK_PROCESS_CPUTIME_ID);
}

uint64_t CpuNs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

CPhaseTimer::CPhaseTimer() {
    m_onIdle = [this](ui::CDialog& dialog) {
        if (dialog.Template().id == CSetAddressDlg::IDD) {
            SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, m_start);
            SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, m_end);
        }
        Press(dialog.Template().id, ui::IDOK);
    };
}

void CPhaseTimer::Answer(uint32_t start, uint32_t end) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(start));
    m_start = text;
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(end));
    m_end = text;
}

bool CPhaseTimer::CreateModeless(ui::CDialog& dialog) {
    m_openCpuNs = ProcessCpuNs();
    if (m_haveOther) m_openOtherNs = CpuNs(m_otherThread);
    m_openUs = WallUs();
    return ui::CScriptedBackend::CreateModeless(dialog);
}

void CPhaseTimer::DestroyModeless(ui::CDialog& dialog) {
    m_closeUs = WallUs();
    m_closeCpuNs = ProcessCpuNs();
    if (m_haveOther) m_closeOtherNs = CpuNs(m_otherThread);
    m_spans.push_back({m_closeUs - m_openUs, m_closeCpuNs - m_openCpuNs, m_closeOtherNs - m_openOtherNs});
    ui::CScriptedBackend::DestroyModeless(dialog);
}

}  // namespace pelican::bench
