// Batch mode with a person at the terminal: the pelican executable with its
// standard input, output and error on a pseudo-terminal of its own (its
// controlling terminal), against pelican-sim on another, in real time. The
// keys are typed on the terminal: y, n, Enter, and Ctrl-D and Ctrl-C as the
// line discipline makes them (end of input, SIGINT). Each board's frames
// are the lines pelican-sim --verbose writes on its terminal. Runs on
// boards of their own go side by side.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/PtyProcess.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"
#include "support/SideBySide.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

constexpr const char* kClosed = "pelican: link returned to 9600 bps; port closed\n";
constexpr const char* kCtrlC = "\x03";
constexpr const char* kCtrlD = "\x04";

// A program file of the given size (from 0C0000, or a boot program from
// 0000) with its ID beside it.
std::string ProgramFile(const CTempDir& dir, size_t bytes, uint32_t start = 0x0C0000) {
    dir.Write("prog.mot", SRecordText(start, PatternBytes(bytes)));
    dir.Write("prog.id", kIdFile);
    return dir.File("prog.mot");
}

// pelican-sim on a terminal of its own, every frame it takes written there;
// Enter typed on it presses the board's RESET.
class CBoard {
public:
    CBoard(const CTempDir& dir, std::vector<std::string> options) : m_sim(WithVerbose(std::move(options)), dir.Path()) {
        if (m_sim.WaitFor("\n")) m_path = m_sim.Terminal().substr(0, m_sim.Terminal().find('\n'));
    }
    const std::string& Path() const { return m_path; }
    // The frames the board took so far (pelican-sim's lines without its
    // name), from the given one on.
    std::vector<std::string> Frames(size_t from = 0) {
        std::vector<std::string> frames;
        const std::string text = m_sim.Terminal();
        for (size_t at = text.find("pelican-sim: "); at != std::string::npos; at = text.find("pelican-sim: ", at)) {
            at += 13;
            const std::string line = text.substr(at, text.find('\n', at) - at);
            if (line.find(" bytes)") != std::string::npos) frames.push_back(line);  // not "RESET"
        }
        return from < frames.size() ? std::vector<std::string>(frames.begin() + long(from), frames.end())
                                    : std::vector<std::string>{};
    }
    bool Took(const std::string& prefix, size_t from = 0) {
        for (const auto& frame : Frames(from))
            if (frame.rfind(prefix, 0) == 0) return true;
        return false;
    }
    // RESET pressed on its terminal; true once the board says it was.
    bool PressReset() {
        m_sim.Type("\n");
        return m_sim.WaitFor("pelican-sim: RESET\n");
    }
    pid_t Pid() const { return m_sim.Pid(); }

private:
    static std::vector<std::string> WithVerbose(std::vector<std::string> options) {
        options.insert(options.begin(), {PELICAN_SIM_EXE, "--verbose"});
        return options;
    }
    CPtyProcess m_sim;
    std::string m_path;
};

CPtyProcess Pelican(const CTempDir& dir, std::vector<std::string> args,
                    CPtyProcess::Error error = CPtyProcess::Error::OnTerminal) {
    args.insert(args.begin(), PELICAN_EXE);
    return CPtyProcess(args, dir.Path(), error);
}

// What the terminal shows from text on (text included); empty without it.
std::string From(const std::string& terminal, const std::string& text) {
    const size_t at = terminal.find(text);
    return at == std::string::npos ? std::string() : terminal.substr(at);
}

// ---- "[y/N]": y goes on, anything else refuses and sends nothing ----

struct PromptCase {
    const char* what;
    std::vector<std::string> options;  // for pelican-sim
    std::vector<std::string> args;     // after -p PORT -f FILE
    const char* question;
    const char* keys;
    std::string shown;  // the terminal from the question on, the keys' echo included
    int status;
    const char* frame;  // the frame the answer decides on
    bool sent;
};

const std::vector<PromptCase>& Prompts() {
    static const std::vector<PromptCase> rows = {
    {"y to Erase?", {"--erase-ms", "100"}, {"erase"}, "Erase? [y/N] ", "y\n",
     "Erase? [y/N] y\ninformation: Erase OK.\n" + std::string(kClosed), 0, "A7 D0", true},
    {"n to Erase?", {}, {"erase"}, "Erase? [y/N] ", "n\n", "Erase? [y/N] n\n" + std::string(kClosed), 1, "A7", false},
    {"Enter to Erase?", {}, {"erase"}, "Erase? [y/N] ", "\n", "Erase? [y/N] \n" + std::string(kClosed), 1, "A7", false},
    // No echo of Ctrl-D: the line end is the program's own.
    {"Ctrl-D to Erase?", {}, {"erase"}, "Erase? [y/N] ", kCtrlD, "Erase? [y/N] \n" + std::string(kClosed), 1, "A7",
     false},
    {"Ctrl-C to Erase?", {}, {"erase"}, "Erase? [y/N] ", kCtrlC, "Erase? [y/N] ^C\n" + std::string(kClosed), 130, "A7",
     false},
    // A station of one board asks on the terminal too, and Ctrl-C ends its question.
    {"Ctrl-C to Erase? under --wait", {}, {"--wait", "erase"}, "Erase? [y/N] ", kCtrlC,
     "Erase? [y/N] ^C\n" + std::string(kClosed), 130, "A7", false},
    {"n to Program next area.", {}, {"program"}, "Program next area. 0C0000 to 0C01FF? [y/N] ", "n\n",
     "Program next area. 0C0000 to 0C01FF? [y/N] n\nnone: Stop programming.\n" + std::string(kClosed), 1, "41",
     false},
    {"Ctrl-D to Download?", {"--type", "w", "--no-id-check"}, {"-t", "boot", "download"}, "Download? [y/N] ", kCtrlD,
     "Download? [y/N] \nnone: Stop downloading.\n" + std::string(kClosed), 1, "FA", false},
    };
    return rows;
}

void AnswerThePrompt(const PromptCase& row) {
    SCOPED_TRACE(row.what);
    CTempDir dir;
    const bool boot = row.args[0] == "-t";
    const std::string file = ProgramFile(dir, 0x200, boot ? 0 : 0x0C0000);
    CBoard board(dir, row.options);
    ASSERT_FALSE(board.Path().empty());
    std::vector<std::string> args = {"-p", board.Path(), "-f", file};
    args.insert(args.end(), row.args.begin(), row.args.end());
    CPtyProcess pelican = Pelican(dir, args);
    ASSERT_TRUE(pelican.WaitFor(row.question)) << pelican.Terminal();
    // Asked before anything of the action went out.
    EXPECT_FALSE(board.Took(row.frame));
    pelican.Type(row.keys);
    EXPECT_EQ(pelican.Exit(), row.status);
    EXPECT_EQ(From(pelican.Terminal(), row.question), row.shown) << pelican.Terminal();
    EXPECT_EQ(board.Took(row.frame), row.sent);
}

TEST(BatchTerminal, YesGoesOnAnythingElseRefusesAndSendsNothing) {
    std::vector<std::function<void()>> runs;
    for (const auto& row : Prompts()) runs.push_back([&row] { AnswerThePrompt(row); });
    SideBySide(runs);
}


// ---- A board silent at start-up: reset it and press Enter, asked once ----

constexpr const char* kStartupPrompt =
    "Reset the board in boot mode, then press Enter to try once more (Ctrl-D gives up). ";
constexpr const char* kNoAnswer =
    " at 9600 bps: is it powered, wired TX to RX, and started in boot mode?\n";

struct StartupCase {
    const char* what;
    bool reset;  // RESET pressed on the board before the keys
    const char* keys;
    std::string shown;  // after the first "no answer" line; PORT stands for the board's terminal
    int status;
};

void AnswerTheStartupPrompt(const StartupCase& row) {
    SCOPED_TRACE(row.what);
    CTempDir dir;
    CBoard board(dir, {"--silent"});
    ASSERT_FALSE(board.Path().empty());
    CPtyProcess pelican = Pelican(dir, {"-p", board.Path(), "version"});
    ASSERT_TRUE(pelican.WaitFor(kStartupPrompt)) << pelican.Terminal();
    // A silent board takes no frame; the one reset takes them from then
    // on, and nothing comes before the answer.
    const size_t framesBefore = board.Frames().size();
    if (row.reset) {
        ASSERT_TRUE(board.PressReset());
    }
    EXPECT_EQ(board.Frames(framesBefore), std::vector<std::string>{});
    pelican.Type(row.keys);
    EXPECT_EQ(pelican.Exit(), row.status);
    std::string shown = row.shown;
    for (size_t at = shown.find("PORT"); at != std::string::npos; at = shown.find("PORT", at))
        shown.replace(at, 4, board.Path());
    const std::string told = "pelican: no answer from the board on " + board.Path() + kNoAnswer;
    EXPECT_EQ(From(pelican.Terminal(), told), told + shown) << pelican.Terminal();
    // The board reset takes frames again: the synchronisation came after Enter.
    if (row.reset) {
        EXPECT_TRUE(board.Took("B0", framesBefore));
    }
}

TEST(BatchTerminal, StartupPromptTriesOnceMoreOnEnterAndCtrlDGivesUp) {
    const std::string prompt = kStartupPrompt;
    const std::vector<StartupCase> rows = {
        {"RESET, then Enter", true, "\n", prompt + "\npelican: link up at 9600 bps\nVersion: VER.1.00\n" + kClosed, 0},
        // Still silent: told once more, and not asked again.
        {"Enter without RESET", false, "\n", prompt + "\npelican: no answer from the board on PORT" + kNoAnswer, 3},
        {"Ctrl-D", false, kCtrlD, prompt + "\n", 3},
    };
    std::vector<std::function<void()>> runs;
    for (const auto& row : rows) runs.push_back([&row] { AnswerTheStartupPrompt(row); });
    SideBySide(runs);
}

// ---- "Reset the board, then press Enter." after a page without answer ----

constexpr const char* kResetPrompt = "Reset the board, then press Enter.";
// The board that was never reset is still busy with the page: the link
// cannot come back, nor return to 9600 bps.
constexpr const char* kGivenUp =
    "stop: Timeout. Push RESET.\nstop: Program error.\npelican: no link to the board\n"
    "warning: Can not set baudrate to 9600bps.\n"
    "pelican: the board did not confirm 9600 bps: it needs a RESET (in boot mode) before the next run; port closed\n";

struct ResetCase {
    const char* what;
    bool reset;  // RESET pressed on the board before the keys
    const char* keys;
    std::string shown;  // from the question on
    int status;
};

void AnswerTheResetPrompt(const ResetCase& row) {
    SCOPED_TRACE(row.what);
    CTempDir dir;
    const std::string file = ProgramFile(dir, 0x200);
    // The first page keeps the board busy far beyond the program's wait for it.
    CBoard board(dir, {"--program-ms", "600000"});
    ASSERT_FALSE(board.Path().empty());
    CPtyProcess pelican = Pelican(dir, {"-p", board.Path(), "-f", file, "-y", "program"});
    ASSERT_TRUE(pelican.WaitFor(kResetPrompt)) << pelican.Terminal();
    // The bar's line is ended before the message; the question has its own.
    EXPECT_NE(pelican.Terminal().find(" left\nstop: Timeout. Push RESET.\nReset the board"), std::string::npos)
        << pelican.Terminal();
    // The board's log reaches us on a path of its own: the page's status
    // request, the last frame before the question, may be told after it.
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> frames = board.Frames();
        return !frames.empty() && frames.back().rfind("70 ", 0) == 0;
    })) << ::testing::PrintToString(board.Frames());
    const size_t framesBefore = board.Frames().size();
    if (row.reset) {
        ASSERT_TRUE(board.PressReset());
    }
    // Waiting: nothing more on the wire, nothing more on the terminal.
    EXPECT_EQ(board.Frames(framesBefore), std::vector<std::string>{});
    EXPECT_EQ(From(pelican.Terminal(), kResetPrompt), kResetPrompt);
    pelican.Type(row.keys);
    EXPECT_EQ(pelican.Exit(), row.status);
    EXPECT_EQ(From(pelican.Terminal(), kResetPrompt), row.shown) << pelican.Terminal();
    // The recovery's synchronisation went out after the answer.
    EXPECT_TRUE(board.Took("B0", framesBefore));
}

TEST(BatchTerminal, ResetPromptWaitsForEnterAndCtrlDOrCtrlCGivesUp) {
    // A recovered link has forgotten the ID check: the action fails, and the
    // run ends with the link lost (3).
    const std::vector<ResetCase> rows = {
        {"RESET, then Enter", true, "\n", std::string(kResetPrompt) + "\nstop: Program error.\n" + kClosed, 3},
        {"Ctrl-D", false, kCtrlD, std::string(kResetPrompt) + "\n" + kGivenUp, 3},
        {"Ctrl-C", false, kCtrlC, std::string(kResetPrompt) + "^C\n" + kGivenUp, 3},
    };
    std::vector<std::function<void()>> runs;
    for (const auto& row : rows) runs.push_back([&row] { AnswerTheResetPrompt(row); });
    SideBySide(runs);
}


// ---- The progress bar: drawn over itself on a terminal, never into a pipe ----

// One drawing of the bar: the title, 30 marks, the share done, the pages
// done, the rate and the time left (the last two of the real clock).
const std::regex kBar(R"(\r(Program|Read check\.) \[([#.]{30})\] +([0-9]+)%  ([0-9]+) pages?  +(-|[0-9]+\.[0-9]) KiB/s  +(-:--|[0-9]+:[0-9]{2}) left)");

void BarOnTheTerminal() {
    SCOPED_TRACE("standard error on the terminal");
    CTempDir dir;
    CPtyProcess pelican = Pelican(dir, {"--simulate", "-f", ProgramFile(dir, 0x1100), "-y", "epr"});
    EXPECT_EQ(pelican.Exit(), 0);
    const std::string terminal = pelican.Terminal();
    const size_t begin = terminal.find("pelican: link up at 9600 bps\n") + 29;
    const size_t end = terminal.find("information: Program OK.\n" + std::string(kClosed));
    ASSERT_NE(end, std::string::npos) << terminal;
    const std::string loops = terminal.substr(begin, end - begin);
    std::vector<std::string> titles;
    std::vector<int> pages;
    std::vector<int> percents;
    std::vector<std::string> bars;
    std::string rest;  // what is not a drawing of the bar
    auto at = loops.cbegin();
    for (std::sregex_iterator it(loops.begin(), loops.end(), kBar), none; it != none; ++it) {
        const std::smatch& bar = *it;
        rest.append(at, bar[0].first);
        at = bar[0].second;
        titles.push_back(bar[1]);
        pages.push_back(std::stoi(bar[4]));
        percents.push_back(std::stoi(bar[3]));
        bars.push_back(bar[2]);
    }
    rest.append(at, loops.cend());
    // Each loop: its 17 pages counted one by one, each moving the share
    // done, full with the last page, and its line ended once the loop is over.
    std::vector<int> expectedPages;
    std::vector<std::string> expectedTitles;
    for (const char* title : {"Program", "Read check."})
        for (int page = 1; page <= 17; ++page) {
            expectedTitles.push_back(title);
            expectedPages.push_back(page);
        }
    EXPECT_EQ(titles, expectedTitles);
    EXPECT_EQ(pages, expectedPages);
    const std::vector<int> loop = {5, 11, 17, 23, 29, 35, 41, 47, 52, 58, 64, 70, 76, 82, 88, 94, 100};
    std::vector<int> expectedPercents = loop;
    expectedPercents.insert(expectedPercents.end(), loop.begin(), loop.end());
    EXPECT_EQ(percents, expectedPercents);
    // The bar's 30 cells filled for each of those shares, whole cells only.
    std::vector<std::string> expectedBars;
    for (int loopRun = 0; loopRun < 2; ++loopRun)
        for (const int filled : {1, 3, 5, 6, 8, 10, 12, 14, 15, 17, 19, 21, 22, 24, 26, 28, 30})
            expectedBars.push_back(std::string(size_t(filled), '#') + std::string(size_t(30 - filled), '.'));
    EXPECT_EQ(bars, expectedBars);
    EXPECT_EQ(rest, "\n\n") << loops;
    EXPECT_NE(loops.find("[##############################] 100%  17 pages"), std::string::npos);
}

void NoBarInAPipe() {
    SCOPED_TRACE("standard error into a pipe");
    CTempDir dir;
    CPtyProcess pelican =
        Pelican(dir, {"--simulate", "-f", ProgramFile(dir, 0x1100), "-y", "epr"}, CPtyProcess::Error::ToPipe);
    EXPECT_EQ(pelican.Exit(), 0);
    EXPECT_EQ(pelican.Terminal(), "information: Program OK.\n");
    const std::string piped = pelican.Pipe();
    EXPECT_EQ(piped.find('\r'), std::string::npos) << piped;
    EXPECT_EQ(piped.find(" ["), std::string::npos) << piped;
    EXPECT_EQ(From(piped, "pelican: link up"), "pelican: link up at 9600 bps\n" + std::string(kClosed));
}

TEST(BatchTerminal, ProgressBarDrawnOnTheTerminalNotIntoAPipe) {
    SideBySide({BarOnTheTerminal, NoBarInAPipe});
}

// ---- Ctrl-C typed during a page loop ----

TEST(BatchTerminal, CtrlCDuringProgramStopsItAndReturnsTheLinkTo9600) {
    CTempDir dir;
    CBoard board(dir, {});
    ASSERT_FALSE(board.Path().empty());
    // Five seconds between pages: the loop is still running when the key
    // comes, whenever the bar of the first page is seen.
    CPtyProcess pelican =
        Pelican(dir, {"-p", board.Path(), "-f", ProgramFile(dir, 0x400), "-b", "115200", "-i", "5000", "-y", "program"});
    ASSERT_TRUE(pelican.WaitFor("\rProgram [")) << pelican.Terminal();
    pelican.Type(kCtrlC);
    EXPECT_EQ(pelican.Exit(), 130);
    EXPECT_EQ(From(pelican.Terminal(), "information: Stop programming."),
              "information: Stop programming.\n" + std::string(kClosed));
    // Fewer pages than the file's four; the link back at 9600 bps after the
    // last one: 115200 was asked for at the start, 9600 at the end.
    std::vector<std::string> frames = board.Frames();
    size_t pagesSent = 0;
    size_t lastPage = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].rfind("41 ", 0) == 0) {
            ++pagesSent;
            lastPage = i;
        }
    EXPECT_GE(pagesSent, 1u);
    EXPECT_LT(pagesSent, 4u);
    EXPECT_TRUE(board.Took("B4"));
    EXPECT_TRUE(board.Took("B0 (1 bytes)", lastPage));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), "B0 (1 bytes)");
}

}  // namespace
}  // namespace pelican::test
