// --retries in batch mode, in process against the simulated board, one fault
// at a time: what is told (messages on standard output, retries on standard
// error), which frames went to the board, how the run exits and what the
// flash (or the dump's file) holds afterwards. The user presses RESET
// whenever "Push RESET." asks for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "batch/RetryBench.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

struct RetryCase {
    const char* name;
    std::vector<std::string> args;
    void (*setUp)(sim::BoardConfig&);
    int status;
    std::string out;
    std::vector<std::string> err;  // lines standard error must hold, in order
    size_t programFrames, eraseFrames;
    // The IDs the board is given: the erased board holds FF in its ID
    // locations, so a board reset by the recovery after the erase is given
    // that, not the ID of the start (also when the erase's own status was
    // lost: the erase most likely ran).
    std::vector<Bytes> ids;
};

void CheckRun(const RetryCase& c, CBatchBench& bench) {
    EXPECT_EQ(bench.m_out, c.out);
    size_t at = 0;
    for (const auto& line : c.err) {
        at = bench.m_err.find(line, at);
        EXPECT_NE(at, std::string::npos) << line << "\nin:\n" << bench.m_err;
        if (at == std::string::npos) break;
    }
    if (c.err.empty()) {
        EXPECT_EQ(bench.m_err.find("retry"), std::string::npos) << bench.m_err;
    }
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.programFrames);
    EXPECT_EQ(bench.m_sim.FramesOf(0xA7), c.eraseFrames);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(BatchRetry, EprGoesOnFromThePageThatFailed) {
    const RetryCase cases[] = {
        {"the second page's status lost: the page took its data",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, kEprPageStatus + 2}; },
         0,
         std::string(kTimeout) + kOk,
         {"retry 1 of 1: page program status at 0C0100: no reply; read the page back",
          "page 0C0100 read back: as the file; go on"},
         3, 1, {kBoardId, kErasedId}},
        // The board falls silent at the second frame, which it never took.
        {"the second page's frame lost: programmed again",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0x41, 2}; },
         0,
         std::string(kTimeout) + kOk,
         {"retry 1 of 1: page program status at 0C0100: no reply; read the page back",
          "page 0C0100 read back: blank; program it again"},
         4, 1, {kBoardId, kErasedId}},
        {"a page read of the read-back lost",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0xFF, 2}; },
         0,
         std::string(kTimeout) + kOk,
         {"retry 1 of 1: page read at 0C0100: no reply; read it again"},
         3, 1, {kBoardId, kErasedId}},
        {"the erase's status lost: erased again",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, kEprPageStatus}; },
         0,
         std::string(kTimeout) + kOk,
         {"retry 1 of 1: erase status: no reply; erase again"},
         3, 2, {kBoardId, kErasedId}},
        // The page the device cannot program fails after the second erase
        // too: the run ends as without retries, one start over later.
        {"a page the device reports failed: started over",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.programFailPage = 0x0C0100; },
         1,
         kError,
         {"retry 1 of 1: page program status at 0C0100: the page failed; start over with the erase"},
         2 + 2, 2, {kBoardId}},
        {"without retries, as always",
         {"-y", "epr"},
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, kEprPageStatus + 2}; },
         3,
         std::string(kTimeout) + kError,
         {},
         2, 1, {kBoardId}},
        // The lost page's read-back meets a broken character: no retry is
        // left for it.
        {"the retries used up",
         {"--retries", "1", "-y", "epr"},
         [](sim::BoardConfig& c) {
             c.faults.silentFrom = {0x70, kEprPageStatus + 2};
             c.faults.lineError = {0xFF, 1};
         },
         3,
         std::string(kTimeout) + "stop: Communication error. Push RESET.\n" + kError,
         {"retry 1 of 1: page program status at 0C0100: no reply; read the page back"},
         2, 1, {kBoardId, kErasedId}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        c.setUp(config);
        CBatchBench bench(config);
        EXPECT_EQ(bench.Run(WithPages(bench, c.args)), c.status) << bench.m_out << bench.m_err;
        CheckRun(c, bench);
        if (c.status == 0) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x300), ThreePagesFlash());
        }
        EXPECT_EQ(IdsGiven(bench), c.ids);
    }
}

TEST(BatchRetry, APageNeitherAsTheFileNorBlankIsNeverProgrammedAgainWithoutAnErase) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        unsigned lostStatus;
        int status;
        std::string out;
        std::vector<std::string> err;
        size_t programFrames, eraseFrames;
    } cases[] = {
        // The restart sends only the pages with data: all three here.
        {"E.P.R. starts over with its erase",
         {"--retries", "2", "-y", "epr"},
         kEprPageStatus + 2,
         0,
         std::string(kTimeout) + kOk,
         {"page 0C0100 read back: neither as the file nor blank; not programmed again without an erase",
          "retry 2 of 2: page program status at 0C0100: neither as the file nor blank; start over with the erase"},
         2 + 3, 2},
        {"E.P.R. without a retry left",
         {"--retries", "1", "-y", "epr"},
         kEprPageStatus + 2,
         1,
         std::string(kTimeout) + kError,
         {"page 0C0100 read back: neither as the file nor blank; not programmed again without an erase"},
         2, 1},
        {"Program... ends with Program error.",
         {"--retries", "2", "-y", "program"},
         kProgramPageStatus + 2,
         1,
         std::string(kTimeout) + kError,
         {"page 0C0100 read back: neither as the file nor blank; not programmed again without an erase"},
         2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        config.faults.silentFrom = {0x70, c.lostStatus};
        CBatchBench bench(config);
        // The page took its data, and something more, before its status
        // was lost: a byte of it reads 00.
        bench.m_onReport = [&bench](const std::string& line) {
            if (line.rfind("retry 1 of", 0) == 0) bench.m_sim.Board().Poke(0x0C0105, {0x00});
        };
        EXPECT_EQ(bench.Run(WithPages(bench, c.args)), c.status) << bench.m_out << bench.m_err;
        CheckRun({c.name, c.args, nullptr, c.status, c.out, c.err, c.programFrames, c.eraseFrames, {}}, bench);
        if (c.status == 0) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x300), ThreePagesFlash());
        }
        // After the poke the flash was never programmed over it.
        if (c.status != 0) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0105), 0x00);
        }
    }
}

TEST(BatchRetry, TheIdOnceItsPageIsProgrammed) {
    // The file gives the page with the ID locations (the board's own ID);
    // that page's status is lost. The reset board has taken the page
    // before it fell silent: the file's ID, which the page sent last
    // leaves, is given first and passes; FF is never sent.
    const Bytes id = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    Bytes top(256, 0xFF);
    const uint8_t offsets[] = {0xDF, 0xE3, 0xEB, 0xEF, 0xF3, 0xF7, 0xFB};
    for (size_t i = 0; i < 7; ++i) top[offsets[i]] = id[i];
    const std::string records = S2Record(0x0C0000, PageData(0).data(), 32) + SRecordText(0x0FFF00, top) +
                                "S804000000FB\n";
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, kEprPageStatus + 2};
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run(WithFile(bench, {"--retries", "1", "--skip-empty-pages", "-y", "epr"}, records)), 0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, std::string(kTimeout) + kOk);
    EXPECT_EQ(IdsGiven(bench), (std::vector<Bytes>{kBoardId, kBoardId}));
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0FFF00, 256), top);
}

TEST(BatchRetry, ARecoveryWhoseOwnBaudRateChangeFailsGoesOnceMore) {
    // The first B0 frames the synchronised board takes are the recovery's
    // change: its two codes and the confirmation, whose echo comes back
    // wrong. A second recovery follows at once.
    const struct {
        const char* name;
        const char* retries;
        int status;
        std::string out;
        std::vector<std::string> err;
    } cases[] = {
        {"with retries left", "2", 0,
         std::string(kTimeout) + "stop: Communication error. Push RESET.\n" + kOk,
         {"retry 1 of 2: baud-rate change: wrong reply; recover again",
          "retry 2 of 2: page program status at 0C0100: no reply; read the page back"}},
        // The second recovery within one action gives up, as it always has.
        {"without", "0", 3, std::string(kTimeout) + "stop: Communication error. Push RESET.\n" + kError, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        config.faults.silentFrom = {0x70, kEprPageStatus + 2};
        config.faults.wrongReply = {0xB0, 3};
        config.faults.wrongValue = 0x00;
        CBatchBench bench(config);
        EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", c.retries, "-y", "epr"})), c.status)
            << bench.m_out << bench.m_err;
        CheckRun({c.name, {}, nullptr, c.status, c.out, c.err, c.status == 0 ? 3u : 2u, 1, {}}, bench);
    }
}

TEST(BatchRetry, ReadsThatDifferAreTakenOnlyWhenTwoAgree) {
    const RetryCase cases[] = {
        {"read: a byte changed on its way back",
         {"--retries", "1", "read", "-r", "C0000-C02FF"},
         nullptr,
         0,
         "",
         {"page read at 0C0000: not as the file; read 2 of 2", "0C0000-0C02FF matches the file"},
         0, 0, {}},
        {"read without retries", {"read", "-r", "C0000-C02FF"}, nullptr, 1, "none: Find not match at address 0C0005\n",
         {}, 0, 0, {}},
        {"blank: a byte changed on its way back",
         {"--retries", "1", "blank", "-r", "C0400-C04FF"},
         nullptr,
         0,
         "",
         {"page read at 0C0400: not blank; read 2 of 2", "0C0400-0C04FF is blank"},
         0, 0, {}},
        {"dump: the third read agrees with the second",
         {"--retries", "2", "dump", "-r", "C0000-C02FF", "-o", "flash.bin"},
         nullptr,
         0,
         "",
         {"page read at 0C0000: reads disagree; read 3 of 3", "0C0000-0C02FF saved to "},
         0, 0, {}},
        {"dump: two reads that differ, and no third",
         {"--retries", "1", "dump", "-r", "C0000-C02FF", "-o", "flash.bin"},
         nullptr,
         1,
         "stop: No two of 2 reads of the page at 0C0000 agree. The line to the board is not reliable.\n",
         {},
         0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        // The first page read's byte 5 comes back as 00 (a blank page's as 7F).
        config.faults.wrongReply = {0xFF, 1};
        config.faults.wrongIndex = 5;
        config.faults.wrongValue = std::string(c.name).rfind("blank", 0) == 0 ? 0x7F : 0x00;
        CBatchBench bench(config);
        bench.m_sim.Board().Poke(0x0C0000, ThreePagesFlash());
        std::vector<std::string> args = c.args;
        for (auto& arg : args)
            if (arg == "flash.bin") arg = bench.m_dir.File("flash.bin");
        EXPECT_EQ(bench.Run(WithPages(bench, args)), c.status) << bench.m_out << bench.m_err;
        CheckRun(c, bench);
        const std::string out = bench.m_dir.File("flash.bin");
        if (std::string(c.name).rfind("dump", 0) == 0) {
            EXPECT_EQ(std::filesystem::exists(out), c.status == 0);
            if (c.status == 0) {
                std::ifstream in(out, std::ios::binary);
                EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                          ThreePagesFlash());
            }
        }
    }
}

TEST(BatchRetry, ADumpGoesOnAfterAFailedRead) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0xFF, 3};  // the second page's first read
    CBatchBench bench(config);
    bench.m_sim.Board().Poke(0x0C0000, ThreePagesFlash());
    const std::string out = bench.m_dir.File("flash.bin");
    EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", "1", "dump", "-r", "C0000-C02FF", "-o", out})), 0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, kTimeout);
    EXPECT_NE(bench.m_err.find("retry 1 of 1: page read at 0C0100: no reply; read it again\n"), std::string::npos)
        << bench.m_err;
    // Two reads a page, and the one that got no reply.
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), 2u * 3u + 1u);
    std::ifstream in(out, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), ThreePagesFlash());
}

TEST(BatchRetry, ADownloadTheBootLoaderDidNotTakeStartsOverFromItsHeader) {
    sim::BoardConfig config = BootBoard();
    config.faults.wrongReply = {0xFA, 1};
    config.faults.wrongIndex = 1;
    config.faults.wrongValue = 0x01;  // not completed
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run(WithBootProgram(bench, {"--retries", "1", "-y", "download"})), 0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, "none: Download Completed.\n");
    EXPECT_NE(bench.m_err.find("retry 1 of 1: download answer: not completed; start over from the header\n"),
              std::string::npos)
        << bench.m_err;
    EXPECT_EQ(bench.m_sim.FramesOf(0xFA), 2u);
}

TEST(BatchRetry, AStatusProbeThatFailedIsMadeAgain) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 4};  // the main window's probe
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", "1", "status"})), 0) << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out.rfind(kTimeout, 0), 0u) << bench.m_out;
    EXPECT_NE(bench.m_out.find("Ready: Ready\n"), std::string::npos) << bench.m_out;
    EXPECT_NE(bench.m_err.find("retry 1 of 1: status: no reply; read the status again\n"), std::string::npos)
        << bench.m_err;
}

TEST(BatchRetry, EachRetryIsAJsonEvent) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0x41, 2};
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run(WithPages(bench, {"--json", "--retries", "3", "-y", "epr"})), 0) << bench.m_out;
    std::vector<std::string> lines;
    for (size_t at = 0, next; at < bench.m_out.size(); at = next + 1) {
        next = bench.m_out.find('\n', at);
        const std::string line = bench.m_out.substr(at, next - at);
        if (line.find("\"retry\"") != std::string::npos || line.find("\"read_back\"") != std::string::npos)
            lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         R"({"event":"retry","port":"COM1","retry":1,"of":3,"exchange":"page program status","address":"0C0100",)"
                         R"("failed":"no reply","next":"read the page back"})",
                         R"({"event":"read_back","port":"COM1","address":"0C0100","found":"blank","next":"program it again"})",
                     }));
}

}  // namespace
}  // namespace pelican::test
