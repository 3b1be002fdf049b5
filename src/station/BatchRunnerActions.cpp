// The batch runner's actions: which button each presses, what each leaves
// to tell, and the lines that show the board's answers.
#include <signal.h>

#include <map>
#include <set>
#include <vector>

#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "station/BatchRunner.h"
#include "station/DumpAction.h"
#include "station/JsonLine.h"
#include "lifecycle/SignalStop.h"
#include "commands/CheckMemorryCmd.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/SetCommDlg.h"
#include "protocol/Protocol.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

const std::map<std::string, int>& ActionButtons() {
    static const std::map<std::string, int> buttons = {
        {"load", CPelicanDlg::IDC_LOAD},         {"status", CPelicanDlg::IDC_STATUS},
        {"version", CPelicanDlg::IDC_VERSION},   {"setting", CPelicanDlg::IDC_SETTING},
        {"erase", CPelicanDlg::IDC_ERASE},       {"blank", CPelicanDlg::IDC_BLANK},
        {"program", CPelicanDlg::IDC_PROGRAM},   {"read", CPelicanDlg::IDC_READ},
        {"epr", CPelicanDlg::IDC_EPR},           {"bpr", CPelicanDlg::IDC_BPR},
        {"download", CPelicanDlg::IDC_DOWNLOAD},
    };
    return buttons;
}

// The bytes a read check compares over a range: those of the image that
// are not FF.
size_t ComparedBytes(const CMotFile& image, uint32_t start, uint32_t end) {
    size_t count = 0;
    uint8_t page[CCheckMemorryCmd::kPageSize];
    for (uint64_t address = start; address < end; address += CCheckMemorryCmd::kPageSize) {
        if (image.GetPage(page, static_cast<uint32_t>(address / CCheckMemorryCmd::kPageSize)) == nullptr) continue;
        for (const uint8_t byte : page) count += byte != 0xFF ? 1 : 0;
    }
    return count;
}

}  // namespace

void CBatchRunner::PrintStatus(ui::CDialog& dialog) {
    static const std::pair<int, const char*> kFields[] = {
        {CStatesDlg::IDC_READY, "Ready"},
        {CStatesDlg::IDC_IDCHECK, "ID Check"},
        {CStatesDlg::IDC_ERASE, "Erase"},
        {CStatesDlg::IDC_PROGRAM, "Program"},
        {CStatesDlg::IDC_AFTERBLOCK, "After block"},
        {CStatesDlg::IDC_CHECKSUM, "Check sum"},
        {CStatesDlg::IDC_TIMEOUT, "Data receive timeout"},
        {CStatesDlg::IDC_OVER, "Over number of data"},
    };
    const auto& states = static_cast<CStatesDlg&>(dialog);
    event::StatusRead status;
    for (const auto& [control, label] : kFields) status.fields.emplace_back(label, dialog.GetItemText(control));
    status.status1 = static_cast<uint8_t>(states.m_status1);
    status.status2 = static_cast<uint8_t>(states.m_status2);
    Emit(status);
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::PrintVersion(ui::CDialog& dialog) {
    Emit(event::VersionRead{static_cast<CVersionDlg&>(dialog).m_strVersion});
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::ReportLink() {
    CSerialCommState state;
    m_app.m_port.GetState(state);
    if (state.m_baudRate != m_linkTold.rate || m_app.m_linkReady != m_linkTold.ready) {
        Report(m_app.m_linkReady ? "link up at " + std::to_string(state.m_baudRate) + " bps"
                                 : std::string("no link to the board"));
        m_linkTold.rate = state.m_baudRate;
        m_linkTold.ready = m_app.m_linkReady;
    }
}

void CBatchRunner::PressNextButton(CPelicanDlg& mainWindow) {
    // The button pressed last has finished: its outcome, not the messages it
    // showed, says whether it did what was asked.
    if (m_job.actionPressed) {
        m_job.actionPressed = false;
        if (mainWindow.LastOutcome() != Outcome::Done) m_standing.failed = true;
        if (mainWindow.LastOutcome() == Outcome::LinkLost) m_standing.linkLost = true;
        ReportAction(mainWindow.LastOutcome());
        Emit(event::ActionEnded{m_job.action, mainWindow.LastOutcome(), m_app.m_port.Clock().NowMs()});
    }
    m_job.resetsInAction = 0;
    m_job.messagesInAction = 0;
    ReportLink();
    if (m_job.settingPressed) {
        m_job.settingPressed = false;
        ReportRateRefused();
    }
    // The board is up and has passed its ID check: before its first action
    // it is given its number, or none of its actions runs.
    if (!m_job.boardBegun) {
        m_job.boardBegun = true;
        if (!m_boardRecord.BeginBoard(m_app)) {
            m_standing.failed = true;
            m_job.settingDone = true;
            m_job.nextAction = m_options.actions.size();
        }
    }
    if (!m_job.settingDone) {
        m_job.settingDone = true;
        CSerialCommState state;
        m_app.m_port.GetState(state);
        const bool otherRate = m_options.baud != 0 && state.m_baudRate != m_options.baud;
        const bool otherInterval = m_options.interval >= 0 && m_options.interval != m_app.Session().programInterval;
        if (m_app.m_linkReady && (otherRate || otherInterval)) {
            m_job.settingPressed = true;
            m_backend.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
            return;
        }
    }
    if ((CSignalStop::Interrupts() > 0 && !m_line.finishOnInterrupt) || m_standing.outputLost)
        m_job.nextAction = m_options.actions.size();
    // A refused file has emptied the image: no action may work on what is
    // left of it, whatever the device's ID state lets through.
    if (m_app.m_image.FileErrorShown() && m_job.nextAction < m_options.actions.size()) {
        m_standing.failed = true;
        m_job.nextAction = m_options.actions.size();
    }
    if (m_job.nextAction < m_options.actions.size()) {
        // Without a link every button is refused; press them anyway so
        // that each reports, as the window would.
        m_job.action = m_options.actions[m_job.nextAction++];
        m_job.actionPressed = true;
        PressAction(mainWindow);
        return;
    }
    m_job.exitPressed = true;
    m_backend.Press(mainWindow.Template().id, ui::IDCANCEL);
}

void CBatchRunner::ReportRateRefused() {
    CSerialCommState state;
    m_app.m_port.GetState(state);
    if (!m_app.m_linkReady || m_options.baud == 0 || state.m_baudRate == m_options.baud) return;
    // The boot loader knows five rates; which of them a board takes is its
    // clock's to say, and only a rate asked for tells. Those below the one
    // refused are what is left to try.
    std::vector<std::string> lower;
    for (const uint32_t rate : protocol::kBaudRates)
        if (rate < m_options.baud && rate != state.m_baudRate) lower.push_back(std::to_string(rate));
    std::string text = "the board on " + m_options.port + " did not take -b " + std::to_string(m_options.baud) +
                       ": going on at " + std::to_string(state.m_baudRate) + " bps";
    if (lower.empty()) {
        Report(text + ", the one rate below it");
        return;
    }
    text += "; below it the board may take ";
    for (size_t i = 0; i < lower.size(); ++i)
        text += (i == 0 ? "" : i + 1 == lower.size() ? " or " : ", ") + lower[i];
    Report(text + " bps, as its clock allows");
}

bool CBatchRunner::ImageHoldsData() {
    static const std::set<std::string> kUsesFile = {"program", "read", "epr", "bpr", "download"};
    if (kUsesFile.count(m_job.action) == 0 || m_app.m_image.PageCount() != 0) return true;
    // The window program would write 0xFF over the whole range, compare
    // nothing or send an empty boot program and call it done: a script
    // that named the wrong file is told instead.
    if (m_options.file.empty())
        ui::MessageBox(m_backend, ui::IDS_NO_FILE_LOADED, ui::Icon::Exclamation);
    else
        ui::MessageBox(m_backend, ui::FormatString(ui::IDS_FILE_HOLDS_NO_DATA, {m_options.file}), ui::Icon::Exclamation);
    return false;
}

void CBatchRunner::PressAction(CPelicanDlg& mainWindow) {
    Emit(event::ActionBegun{m_job.action, m_app.m_port.Clock().NowMs()});
    if (!ImageHoldsData() || !m_boardRecord.MergeSerialNumber(m_job.action, m_app)) {
        m_job.actionPressed = false;
        m_standing.failed = true;
        Emit(event::ActionEnded{m_job.action, Outcome::Refused, m_app.m_port.Clock().NowMs()});
        PressNextButton(mainWindow);
        return;
    }
    if (m_job.action != "dump") {
        m_backend.Press(CPelicanDlg::IDD, ActionButtons().at(m_job.action));
        return;
    }
    // No button saves the flash: the main window runs it directly, and its
    // outcome is taken like a button's.
    uint32_t start = 0;
    uint32_t end = 0;
    if (CDumpAction::Range(m_backend, m_options, m_app.Session().mcuType, start, end)) {
        m_job.dumpFile = CDumpAction::FileFor(m_options, m_boardRecord.SerialValue());
        mainWindow.SaveFlash(start, end, m_job.dumpFile);
    } else {
        m_job.actionPressed = false;
        m_standing.failed = true;
        Emit(event::ActionEnded{m_job.action, Outcome::Refused, m_app.m_port.Clock().NowMs()});
    }
    // Nothing was pressed: go on at once, as after a button.
    PressNextButton(mainWindow);
}

void CBatchRunner::ReportAction(Outcome outcome) {
    if (m_job.action == "dump" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CDumpAction::Range(m_backend, m_options, m_app.Session().mcuType, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) + " saved to " +
               m_job.dumpFile);
    }
    // A blank range shows no message at all: say which range was checked.
    if (m_job.action == "blank" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CCheckMemorryCmd::PageRange(m_answered.rangeStart, m_answered.rangeEnd, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) + " is blank");
    }
    // The boot loader answered with a second byte that means neither taken
    // nor refused: the window program shows nothing then.
    if (m_job.action == "download" && outcome == Outcome::Done && m_job.messagesInAction == 0)
        Report("the board answered the download with neither \"completed\" nor \"not completed\"");
    // Nor does a read check without a difference: say what was compared.
    if (m_job.action == "read" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CCheckMemorryCmd::PageRange(m_answered.rangeStart, m_answered.rangeEnd, start, end);
        const size_t compared = ComparedBytes(m_app.m_image, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) +
               " matches the file (" + std::to_string(compared) + " byte" + (compared == 1 ? "" : "s") +
               " of data compared)");
    }
}


std::string CBatchRunner::ExitOutcome(int status) const { return ExitWord(status, m_standing.closeFailed, PortWentAway()); }

void CBatchRunner::PrintExit(int status) {
    Emit(event::RunEnded{status, ExitOutcome(status)});
}

}  // namespace pelican
