#include "app/StatusLine.h"

#include "app/PelicanDlg.h"
#include "commands/CheckMemorryCmd.h"

namespace pelican {
namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const char* CStatusLine::CommandName(int button) {
    switch (button) {
        case CPelicanDlg::IDC_LOAD: return "Load";
        case CPelicanDlg::IDC_BLANK: return "Blank check";
        case CPelicanDlg::IDC_READ: return "Read check";
        case CPelicanDlg::IDC_STATUS: return "Status";
        case CPelicanDlg::IDC_EPR: return "E. P. R.";
        case CPelicanDlg::IDC_BPR: return "B. P. R.";
        case CPelicanDlg::IDC_PROGRAM: return "Program";
        case CPelicanDlg::IDC_ERASE: return "Erase";
        case CPelicanDlg::IDC_SETTING: return "Setting";
        case CPelicanDlg::IDC_DOWNLOAD: return "Download";
        case CPelicanDlg::IDC_VERSION: return "Version";
        case CPelicanDlg::IDM_SAVEFLASH: return "Save flash";
        default: return "Command";
    }
}

std::string CStatusLine::ResultText(int button, Outcome outcome, uint32_t rangeStart, uint32_t rangeEnd) {
    const std::string name = CommandName(button);
    const std::string range =
        CCheckMemorryCmd::AddressToHex(rangeStart) + "-" + CCheckMemorryCmd::AddressToHex(rangeEnd);
    if (button == CPelicanDlg::IDC_LOAD && outcome != Outcome::Done) return "No file taken";
    switch (outcome) {
        case Outcome::Done: break;
        case Outcome::Refused: return name + " not run";
        case Outcome::Failed: return name + " failed";
        case Outcome::Cancelled: return name + " cancelled";
        case Outcome::LinkLost: return name + ": link lost";
    }
    switch (button) {
        case CPelicanDlg::IDC_READ: return range + " matches the file";
        case CPelicanDlg::IDC_BLANK: return "Blank check: " + range + " blank";
        case CPelicanDlg::IDC_ERASE: return "Erased";
        case CPelicanDlg::IDC_PROGRAM: return "Program OK";
        case CPelicanDlg::IDC_EPR:
        case CPelicanDlg::IDC_BPR: return name + " OK: " + range + " matches the file";
        case CPelicanDlg::IDC_LOAD: return "File taken";
        case CPelicanDlg::IDC_SETTING: return "Baud rate set";
        default: return name + " done";
    }
}

std::string CStatusLine::Text(const State& state) {
    std::string text = "Port " + state.port;
    text += state.linkReady ? ", " + std::to_string(state.baud) + " bps" : ", no link";
    text += state.target == 1 ? ", Orca/W boot loader" : ", Internal flash memory";
    text += "\n";
    text += state.file.empty() ? "No file" : "File " + FileName(state.file);
    // The boot-loader target passes no ID: its flag tells that a file was taken.
    if (state.target != 1) text += state.idChecked ? ", ID passed" : ", ID not passed";
    if (state.lastButton != 0)
        text += "\nLast: " + ResultText(state.lastButton, state.lastOutcome, state.rangeStart, state.rangeEnd);
    return text;
}

}  // namespace pelican
