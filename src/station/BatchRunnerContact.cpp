// Batch mode's first contact with the board: which port --port names, and a
// board that does not answer told in one line that says what was tried and
// what to check. Nobody is there to press RESET unless standard input is a
// terminal: then the board is reset once, and tried once more.
#include <cstdio>
#include <cstring>

#include "app/PelicanApp.h"
#include "station/BatchRunner.h"
#include "link/PortNotes.h"
#include "link/PortSelector.h"

namespace pelican {
namespace {

std::string Hex(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    return text;
}

// A board left at another rate by a run that ended without returning it
// to 9600 bps answers the synchronisation with garbage.
constexpr const char* kBootModeOrOtherRate =
    ": is it started in boot mode, and not left at another rate by an earlier run (it then needs a RESET)?";

// The survey's entry for the port as named (COM1 stands for /dev/ttyS0 on
// Linux, a link for the device it points to).
const PortInfo* PortOf(const PortSurvey& survey, const std::string& name) {
    const PortInfo* port = FindPort(survey, name);
    return port != nullptr ? port : FindPort(survey, CanonicalPortName(name));
}

}  // namespace

bool CBatchRunner::ResolvePort() {
    CPortSelector selector;
    std::string error;
    CPortSelector::Parse(m_options.port, selector, error);  // the command line has checked it
    const PortSurvey survey = m_survey();
    if (!selector.IsName()) {
        std::string path;
        std::string why;
        if (!selector.Resolve(survey, path, why)) {
            Report(why);
            for (const std::string& note : PortlessNotes(survey)) Report(note);
            return false;
        }
        m_options.port = path;
    }
    Report("port " + m_options.port + (selector.IsName() ? std::string() : " (" + selector.Text() + ")"));
    m_boardRecord.NoteAdapter(m_options.port, PortOf(survey, m_options.port));
    // Said once a run, before the first exchange: an adapter setting that
    // slows every page read.
    if (const PortInfo* port = PortOf(survey, m_options.port); port != nullptr)
        if (const std::string note = LatencyNote(*port); !note.empty()) Report(note);
    return true;
}

void CBatchRunner::ReportPortNotes() {
    const PortSurvey survey = m_survey();
    if (const PortInfo* port = PortOf(survey, m_options.port); port != nullptr) {
        for (const std::string& note : {HoldersNote(*port), ModemManagerNote(*port, survey)})
            if (!note.empty()) Report(note);
    }
    for (const std::string& note : PortlessNotes(survey)) Report(note);
}

std::string CBatchRunner::NoAnswerText(const SyncResult& result) const {
    const std::string board = "the board on " + m_options.port;
    switch (result.read) {
        case ReadResult::Ok:
            return board + " answered the synchronisation at 9600 bps with " + Hex(result.answer) + ", not B0" +
                   kBootModeOrOtherRate;
        case ReadResult::LineError:
            return board + " answered the synchronisation at 9600 bps with a damaged character" +
                   kBootModeOrOtherRate;
        case ReadResult::PortGone:
            return "the port " + m_options.port + " failed during the synchronisation: is the adapter still plugged in?";
        case ReadResult::TimedOut: break;
    }
    if (m_boardReset.ByWire() && !m_boardReset.WireFailed())
        return "no answer from " + board + " at 9600 bps after the reset by wire (" + m_boardReset.WireText() +
               "): is it powered, wired TX to RX, and do DTR and RTS reach its RESET and boot mode pins?";
    return "no answer from " + board + " at 9600 bps: is it powered, wired TX to RX, and started in boot mode?";
}

bool CBatchRunner::NoAnswer(const SyncResult& result) {
    Report(NoAnswerText(result));
    if (m_boardReset.m_asked) return false;
    ReportPortNotes();
    if (!m_questions.m_interactive || m_line.looksAgainOnNoAnswer) return false;
    m_boardReset.m_asked = true;
    return AskForReset("Reset the board in boot mode, then press Enter to try once more (Ctrl-D gives up). ");
}

std::string CBatchRunner::PortWentAwayText() {
    // The system's own words for the call that failed; without them, why
    // the port does not open again.
    std::string why = m_app.m_port.Fault().text;
    if (why.empty()) {
        why = "its calls failed";
        if (m_app.m_port.Open(m_options.port))
            m_app.m_port.Close();
        else if (m_app.m_port.OpenError() != 0)
            why = std::strerror(m_app.m_port.OpenError());
    }
    // Whatever rate the board was at when its port went, it still is.
    return "the port " + m_options.port + " went away (" + why + "): the board was left as it was; " +
           CSignalEnding::kNeedsReset;
}

void CBatchRunner::StoredRateRefused(uint32_t rate) {
    Report("the board on " + m_options.port + " did not take the stored rate of " + std::to_string(rate) +
           " bps: going on at 9600 bps");
}

bool CBatchRunner::StoredRateLost(uint32_t rate, bool taken) {
    const std::string text = "the board on " + m_options.port +
                             (taken ? " took the stored rate of " + std::to_string(rate) + " bps but does not answer at it"
                                    : " stopped answering when asked for the stored rate of " + std::to_string(rate) +
                                          " bps");
    if (m_questions.m_interactive && !m_boardReset.m_asked) {
        m_boardReset.m_asked = true;
        Report(text);
        return AskForReset("Reset the board in boot mode, then press Enter to go on at 9600 bps (Ctrl-D gives up). ");
    }
    if (m_boardReset.CanPress()) {
        Report(text + ": reset to go on at 9600 bps");
        m_boardReset.Press(m_app.m_port);
        return true;
    }
    Report(text + ": it needs a RESET (in boot mode) before the next run, which starts at 9600 bps");
    return false;
}

bool CBatchRunner::AskForReset(const std::string& question) {
    std::string ignored;
    if (!Ask(question, ignored)) return false;
    m_boardReset.Press(m_app.m_port);
    return true;
}

}  // namespace pelican
