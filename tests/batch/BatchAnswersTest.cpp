// What a person types at a question and the line end it leaves, output that
// cannot be written, and E.P.R. started over on a file with gaps: in process
// against the simulated board on the virtual clock.
#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sstream>

#include "batch/RetryBench.h"
#include "support/GappedImage.h"

namespace pelican::test {
namespace {

const char* const kStopped = "none: Stop programming.\n";

TEST(BatchAnswers, WhatIsTypedAtAYesNoQuestion) {
    // No answer: the end of the input. Ctrl-C: the read ends on the signal.
    enum class Typed { Line, EndOfInput, CtrlC };
    const struct {
        const char* name;
        const char* action;
        Typed typed;
        std::string line;
        std::string question;
        uint8_t frame;  // what the answer lets through: Erase all or Page program
        size_t frames;
        int status;
        std::string out;
    } cases[] = {
        {"y erases", "erase", Typed::Line, "y", "Erase? [y/N] ", 0xA7, 1, 0, "information: Erase OK.\n"},
        {"Y erases", "erase", Typed::Line, "Y", "Erase? [y/N] ", 0xA7, 1, 0, "information: Erase OK.\n"},
        {"n does not", "erase", Typed::Line, "n", "Erase? [y/N] ", 0xA7, 0, 1, ""},
        {"Enter does not", "erase", Typed::Line, "", "Erase? [y/N] ", 0xA7, 0, 1, ""},
        {"the end of the input does not", "erase", Typed::EndOfInput, "", "Erase? [y/N] ", 0xA7, 0, 1, ""},
        {"Ctrl-C ends the run", "erase", Typed::CtrlC, "", "Erase? [y/N] ", 0xA7, 0, 130, ""},
        {"y programs", "program", Typed::Line, "y", "Program next area. 0C0000 to 0C02FF? [y/N] ", 0x41, 3, 0,
         kOk},
        {"Yes programs", "program", Typed::Line, "Yes", "Program next area. 0C0000 to 0C02FF? [y/N] ", 0x41, 3, 0,
         kOk},
        {"n does not program", "program", Typed::Line, "n", "Program next area. 0C0000 to 0C02FF? [y/N] ", 0x41,
         0, 1, kStopped},
        {"Enter does not program", "program", Typed::Line, "", "Program next area. 0C0000 to 0C02FF? [y/N] ",
         0x41, 0, 1, kStopped},
        {"the end of the input does not program", "program", Typed::EndOfInput, "",
         "Program next area. 0C0000 to 0C02FF? [y/N] ", 0x41, 0, 1, kStopped},
        {"Ctrl-C does not program", "program", Typed::CtrlC, "", "Program next area. 0C0000 to 0C02FF? [y/N] ",
         0x41, 0, 130, kStopped},
    };
    for (const auto& c : cases) {
#ifdef _WIN32
        // Windows tells Ctrl-C as a console event, played to the program
        // under Wine; a raised SIGINT ends the process there.
        if (c.typed == Typed::CtrlC) continue;
#endif
        SCOPED_TRACE(c.name);
        CBatchBench bench;
        bench.m_interactive = true;
        if (c.typed == Typed::Line) bench.m_answers = {c.line};
        if (c.typed == Typed::CtrlC) {
            bench.m_setup = [&bench](CBatchRunner& runner) {
                runner.m_questions.m_ask = [&bench](const std::string& question, std::string&) {
                    bench.m_asked.push_back(question);
                    ::raise(SIGINT);
                    return false;
                };
            };
        }
        EXPECT_EQ(bench.Run(WithPages(bench, {c.action})), c.status) << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_asked, std::vector<std::string>{c.question});
        EXPECT_EQ(bench.m_sim.FramesOf(c.frame), c.frames);
        EXPECT_EQ(bench.m_out, c.out);
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchAnswers, WhatFollowsAQuestionStartsALineOfItsOwn) {
    // On a terminal the Enter typed is echoed and ends the question's line;
    // standard error elsewhere (a log), or no answer at all, needs a line
    // end of the program's own.
    const struct {
        const char* name;
        bool terminal;  // standard error: progress bars are drawn
        std::string typed;
        int status;
        std::string around;  // standard output and error around the question
    } cases[] = {
        // Asked once: the recovery that follows finds the board as it was.
        {"the end of the input after a bar", true, "", 3,
         "left\nstop: Timeout. Push RESET.\nReset the board, then press Enter.\nstop: Timeout. Push RESET.\nstop: "
         "Program error.\n"},
        {"Enter after a bar: its echo ends the line", true, "\n", 0,
         "left\nstop: Timeout. Push RESET.\nReset the board, then press Enter.pelican: retry 1 of 1: "},
        {"Enter, standard error a log: no echo there, no bar", false, "\n", 0,
         "pelican: link up at 9600 bps\nstop: Timeout. Push RESET.\nReset the board, then press Enter.\npelican: "
         "retry 1 of 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The second page's status is lost: "Timeout. Push RESET.", then the
        // question with the first page's bar on the screen.
        sim::BoardConfig config;
        config.faults.silentFrom = {0x70, kProgramPageStatus + 2};
        CBatchBench bench(config);
        bench.m_interactive = true;
        std::istringstream typed(c.typed);
        bench.m_setup = [&](CBatchRunner& runner) {
            runner.m_printer.m_print = nullptr;
            runner.m_printer.m_report = [](const std::string& line) { std::cerr << "pelican: " << line << '\n'; };
            runner.m_questions.m_ask = nullptr;
            runner.m_questions.m_input = &typed;
            runner.m_printer.m_showProgress = c.terminal;
        };
        std::ostringstream screen;
        std::streambuf* const out = std::cout.rdbuf(screen.rdbuf());
        std::streambuf* const err = std::cerr.rdbuf(screen.rdbuf());
        const int status = bench.Run(WithPages(bench, {"--retries", "1", "-y", "program"}));
        std::cout.rdbuf(out);
        std::cerr.rdbuf(err);
        EXPECT_EQ(status, c.status);
        EXPECT_NE(screen.str().find(c.around), std::string::npos) << screen.str();
    }
}

TEST(BatchAnswers, OutputThatCannotBeWrittenEndsTheRunWithOne) {
    CBatchBench bench;
    bench.m_sim.PassId();
    bench.m_setup = [](CBatchRunner& runner) { runner.m_printer.m_print = nullptr; };  // standard output itself
    std::cout.setstate(std::ios::badbit);
    const int status = bench.Run({"-y", "erase"});
    std::cout.clear();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(bench.m_err, Err() + "standard output could not be written: it is closed\n");
    // The action in hand was done all the same, and the link left at 9600 bps.
    EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 1u);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(BatchAnswers, EprStartedOverSendsOnlyThePagesWithData) {
    const GappedFile file = MakeGappedFile();
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, kEprPageStatus + 2};
    CBatchBench bench(config);
    // The second page took its data, and something more, before its status
    // was lost: a byte of it reads 00, which only an erase undoes.
    bench.m_onReport = [&bench](const std::string& line) {
        if (line.rfind("retry 1 of", 0) == 0) bench.m_sim.Board().Poke(0x0C0105, {0x00});
    };
    EXPECT_EQ(bench.Run(WithFile(bench, {"--retries", "2", "-y", "epr"}, file.records + "S804000000FB\n")), 0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, std::string(kTimeout) + kOk);
    EXPECT_NE(bench.m_err.find("retry 2 of 2: page program status at 0C0100: neither as the file nor blank; start "
                               "over with the erase\n"),
              std::string::npos)
        << bench.m_err;
    // The pages sent: the first two before the lost status, then after the
    // second erase only the nine the file gives data for. The read-back
    // after it reads all sixteen.
    std::vector<uint32_t> programmed;
    std::vector<uint32_t> read;
    for (const auto& frame : bench.m_sim.Board().Frames()) {
        const auto page = [&frame] { return uint32_t{frame.bytes.at(2)} << 16 | uint32_t{frame.bytes.at(1)} << 8; };
        if (frame.bytes.at(0) == 0xA7) read.clear();
        if (frame.bytes.at(0) == 0x41) programmed.push_back(page());
        if (frame.bytes.at(0) == 0xFF) read.push_back(page());
    }
    EXPECT_EQ(programmed, (std::vector<uint32_t>{0x0C0000, 0x0C0100, 0x0C0000, 0x0C0100, 0x0C0200, 0x0C0400,
                                                 0x0C0700, 0x0C0800, 0x0C0C00, 0x0C0D00, 0x0C0F00}));
    std::vector<uint32_t> every;
    for (uint32_t page = 0; page < GappedFile::kPages; ++page) every.push_back(GappedFile::kStart + page * 256);
    EXPECT_EQ(read, every);
    EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 2u);
    EXPECT_EQ(bench.m_sim.Board().Peek(GappedFile::kStart, GappedFile::kLength), file.flash);
}

}  // namespace
}  // namespace pelican::test
