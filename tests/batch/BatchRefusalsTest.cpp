// Batch runs that would once end well over a board that does not hold the
// file, or fail without a word: each is refused, says why, and leaves the
// board as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/BatchBench.h"
#include "support/IdFileText.h"
#include "support/ProgramFiles.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

// 8 KiB of S2 records from 0C0000 on, 32 bytes each, and the S8 end.
std::string EightKiB(const std::string& strayAfterLine40 = std::string()) {
    std::string text;
    for (uint32_t offset = 0; offset < 0x2000; offset += 32) {
        uint8_t data[32];
        for (uint32_t i = 0; i < 32; ++i) data[i] = static_cast<uint8_t>(offset + i);
        text += S2Record(0x0C0000 + offset, data, sizeof data);
        if (offset == 39 * 32 && !strayAfterLine40.empty()) text += strayAfterLine40 + "\n";
    }
    return text + "S804000000FB\n";
}

TEST(BatchRefusals, AStrayLineRefusesTheFileBeforeTheFlashIsErased) {
    // Before, the load stopped at the stray line and E.P.R. said "Program
    // OK." over a flash that held 5024 of the 8192 bytes wrong.
    for (const std::string& stray : {std::string(" S2240C05000102"), std::string(24, '\0'), std::string("<<<<<<< HEAD")}) {
        CBatchBench bench;
        const std::string path = WriteProgramFiles(bench.m_dir, EightKiB(stray));
        EXPECT_EQ(bench.Run({"-f", path, "-y", "-i", "0", "epr"}), 1);
        EXPECT_EQ(bench.m_out, "exclamation: Not an S-record in line 41 of " + path + ". Can not accept this file.\n");
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u);
        EXPECT_EQ(bench.m_sim.FramesOf(0xF5), 0u);
    }
    // Whole, the same file programs all its 8192 bytes.
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, EightKiB());
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "-y", "-i", "0", "epr"}), 0) << bench.m_out;
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C1FFE), 0xFE);
}

TEST(BatchRefusals, BinaryBytesNamedMotAreNoSRecordFileAndNothingIsSent) {
    CBatchBench bench;
    const std::string path = bench.m_dir.File("prog.mot");
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 37 + 11) & 0xFF);
    WriteProgramFiles(bench.m_dir, bytes);
    for (const bool typedId : {false, true}) {
        SCOPED_TRACE(typedId);
        std::vector<std::string> args = {"-f", path, "-y", "epr"};
        if (typedId) args.insert(args.end(), {"--id", "01:02:03:04:05:06:07"});
        EXPECT_EQ(bench.Run(args), 1);
        EXPECT_EQ(bench.m_out, "exclamation: " + path + " is not an S-record file. Can not accept this file.\n");
        EXPECT_EQ(bench.m_sim.FramesOf(0xF5), 0u);
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u);
    }
}

TEST(BatchRefusals, DataOutsideTheFlashAreNamedBeforeTheErase) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string file;  // written as prog.<ending>
        const char* ending;
        std::string told;
    } cases[] = {
        {"a record at 010000", {}, "S2060C00001122BA\nS206010000AABB93\nS804000000FB\n", "mot",
         "The file holds data at 010000 to 0100FF, outside the flash of Orca/S P (0C0000 to 0FFFFF)."},
        {"a binary file placed to run past 0FFFFF", {"--offset", "F0000"}, std::string(0x20000, '\x5A'), "bin",
         "The file holds data at 100000 to 10FFFF, outside the flash of Orca/S P (0C0000 to 0FFFFF)."},
        {"an Orca/W told data below its flash", {"--mcu", "w", "--id", "01:02:03:04:05:06:07"},
         "S2060C00001122BA\nS804000000FB\n", "mot",
         "The file holds data at 0C0000 to 0C00FF, outside the flash of Orca/W (F00000 to FFFFFF)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        if (std::string(c.name).find("Orca/W") != std::string::npos) config.type = sim::DeviceType::OrcaW;
        CBatchBench bench(config);
        const std::string path = bench.m_dir.File(std::string("prog.") + c.ending);
        bench.m_dir.Write(std::string("prog.") + c.ending, c.file);
        bench.m_dir.Write("prog.id", kIdFile);
        std::vector<std::string> args = {"-f", path, "-y", "-i", "0", "epr"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(bench.Run(args), 1);
        EXPECT_EQ(bench.m_out, "exclamation: " + c.told + "\n");
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u);
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), 0u);
    }
}

TEST(BatchRefusals, MissingPiecesAreNamedInsteadOfAQuietFailure) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, "S2060C00001122BA\nS804000000FB\n");
    const std::string path = bench.m_dir.File("prog.mot");
    // Standard input is no terminal: the question is answered Cancel, and said so.
    for (const char* action : {"erase", "epr"}) {
        EXPECT_EQ(bench.Run({"-f", path, action}), 1);
        EXPECT_NE(bench.m_err.find("\"Erase?\" was answered Cancel: standard input is not a terminal to ask on; "
                                   "--yes answers OK\n"),
                  std::string::npos)
            << bench.m_err;
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u);
    }
    // What the command line lacks is a usage error before anything is opened.
    const struct {
        std::vector<std::string> args;
        const char* told;
    } usage[] = {
        {{"load"}, "load needs the program file (-f FILE)"},
        {{"--id", "01:02:03:04:05:06:07", "status"}, "--id needs the program file it belongs to (-f FILE)"},
    };
    for (const auto& u : usage) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(bench.Run(u.args), 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("pelican: ") + u.told + " (see --help)\n");
    }
}

TEST(BatchRefusals, ARangeMustBeHexadecimalOnBothSides) {
    CBatchBench bench;
    // Read digit by digit, "zz-yy" was page 000000 and " C0000 - C00FF "
    // C00000; an empty side gave no range and a silent failure.
    for (const std::string range : {"zz-yy", " C0000 - C00FF ", "C0000-", "-", "-C00FF", "C0000-C00FFG", "0xC0000-C00FF",
                                    "C0000--C00FF", "123456789-C00FF"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(bench.Run({"blank", "-r", range}), 2) << range;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("expected START-END in hexadecimal, e.g. C0000-C0FFF"),
                  std::string::npos)
            << range;
    }
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), 0u);
    // Digits of either case stand; a value past FFFFFF is the dialog's to refuse.
    EXPECT_EQ(bench.Run({"-f", "x.mot", "blank", "-r", "c0000-C00ff"}), 1);
    EXPECT_NE(bench.m_out.find("x.mot was not found."), std::string::npos) << bench.m_out;
}

TEST(BatchRefusals, DumpToAFolderIsToldBeforeThePortIsOpenedAndEndingsTakeAnyCase) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, "S2060C00001122BA\nS804000000FB\n");
    const std::string folder = bench.m_dir.File("folder.bin");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "dump", "-r", "C0000-C01FF", "-o", folder}), 1);
    EXPECT_EQ(bench.m_out, "exclamation: " + folder + " cannot be written: it is a folder.\n");
    EXPECT_EQ(bench.m_err, "");
    EXPECT_TRUE(bench.m_sim.Board().Frames().empty());

    for (const char* name : {"FLASH.BIN", "X.MOT", "flash.Srec"}) {
        SCOPED_TRACE(name);
        const std::string out = bench.m_dir.File(name);
        EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "dump", "-r", "C0000-C00FF", "-o", out}), 0)
            << bench.m_out;
        const std::string written = bench.m_dir.Read(name);
        EXPECT_EQ(written.size() == 256, std::string(name) == "FLASH.BIN") << written.size();
    }
}

TEST(BatchRefusals, McuSpOverridesAnOrcaWTypeTakenFromTheFile) {
    // Data in the top page make "Refer..." choose Orca/W; the part is an
    // Orca/S P and its ".id" file says so by its addresses.
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, "S2060C00001122BA\nS206FFFF00AABB96\nS804000000FB\n");
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "--mcu", "sp", "load", "status"}), 0) << bench.m_out;
    EXPECT_EQ(bench.m_out.find("Do not match ID style."), std::string::npos) << bench.m_out;
    EXPECT_NE(bench.m_out.find("ID Check: Match\n"), std::string::npos) << bench.m_out;
    // The ID went to the Orca/S P ID area.
    bool sentToSp = false;
    for (const auto& frame : bench.m_sim.Board().Frames())
        if (frame.bytes.size() >= 5 && frame.bytes[0] == 0xF5) sentToSp = frame.bytes[1] == 0xDF && frame.bytes[3] == 0x0F;
    EXPECT_TRUE(sentToSp);
}

TEST(BatchRefusals, AFileNameIsShownWithItsControlCharactersEscaped) {
    // A name made to clear the screen, or to start a line of its own, is
    // shown as the bytes it holds; letters of other scripts stay letters.
    CBatchBench bench;
    const std::string name = std::string("\x1B[2J\xC2\x9B" "31m\xC3\xA9t\xC3\xA9.mot");
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File(name), "load"}), 1);
#ifdef _WIN32  // no control characters in Windows names at all
    const char* why = " contains an invalid path.\n";
#else
    const char* why = " was not found.\n";
#endif
    EXPECT_EQ(bench.m_out, "exclamation: " + bench.m_dir.File("\\x1B[2J\\xC2\\x9B31m\xC3\xA9t\xC3\xA9.mot") + why);
    // --json carries the name as it is: JSON escapes its own.
    EXPECT_EQ(bench.Run({"--json", "-f", bench.m_dir.File(name), "load"}), 1);
    EXPECT_NE(bench.m_out.find("\\u001b[2J"), std::string::npos) << bench.m_out;
}

TEST(BatchRefusals, QuestionsOnTheTerminalEndTheirLine) {
    // Standard error sent to a log: the answer's Enter is echoed on the
    // terminal, not in the log, so the prompt ends its own line there.
    // The board answers start-up, then falls silent at the status action's
    // own read: "Push RESET." asks for the reset.
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 2};
    CBatchBench bench(config);
    std::istringstream answers("\n\n\n");
    std::ostringstream asked;
    bench.m_setup = [&](CBatchRunner& runner) {
        runner.m_questions.m_ask = nullptr;  // asked on the streams, as on a terminal
        runner.m_questions.m_interactive = true;
        runner.m_questions.m_input = &answers;
        runner.m_questions.m_promptOut = &asked;
    };
    EXPECT_EQ(bench.Run({"status"}), 3);
    EXPECT_EQ(asked.str().substr(0, 35), "Reset the board, then press Enter.\n");

    // No answer at all (end of input): the line is ended all the same.
    CBatchBench erase;
    std::istringstream none("");
    std::ostringstream question;
    erase.m_setup = [&](CBatchRunner& runner) {
        runner.m_questions.m_ask = nullptr;
        runner.m_questions.m_interactive = true;
        runner.m_questions.m_input = &none;
        runner.m_questions.m_promptOut = &question;
    };
    erase.m_sim.PassId();
    EXPECT_EQ(erase.Run({"erase"}), 1);
    EXPECT_EQ(question.str(), "Erase? [y/N] \n");
    EXPECT_EQ(erase.m_sim.FramesOf(0xA7), 0u);
}

}  // namespace
}  // namespace pelican::test
