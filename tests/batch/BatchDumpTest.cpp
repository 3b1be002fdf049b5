// The batch action "dump" in process against the simulated board: the file
// holds what the flash holds, loads back through the loader and srec_cat,
// and no file appears unless every page was read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/FlashFileWriter.h"
#include "image/MotFile.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "support/SRecordText.h"
#include "support/SrecCat.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names in the folder other than the test's own files.
std::vector<std::string> Leftovers(const CTempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        if (name != "prog.mot" && name != "prog.id" && name.rfind("pelican", 0) != 0 &&
            name.rfind("PELICAN", 0) != 0) names.push_back(name);
    }
    return names;
}

void PokePattern(CBatchBench& bench, uint32_t start, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    bench.m_sim.Board().Poke(start, bytes);
}

TEST(BatchDump, SRecordFileLoadsBackToTheFlashBytes) {
    CBatchBench bench;
    PokePattern(bench, 0x0C0000, 0x1000);
    const std::string out = bench.m_dir.File("flash.mot");
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-r", "C0000-C0FFF", "-o", out})), 0) << bench.m_out;
    EXPECT_EQ(bench.m_out, "");
    EXPECT_NE(bench.m_err.find("0C0000-0C0FFF saved to " + out), std::string::npos) << bench.m_err;
    const std::vector<uint8_t> flash = bench.m_sim.Board().Peek(0x0C0000, 0x1000);

    // Through Pelican's own loader.
    ui::CScriptedBackend ui;
    CMotFile image;
    EXPECT_EQ(image.Load(ui, out), 1);
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_EQ(image.PageCount(), 16u);
    std::vector<uint8_t> page(256);
    for (uint32_t index = 0; index < 16; ++index) {
        ASSERT_NE(image.GetPage(page.data(), 0x0C00 + index), nullptr);
        EXPECT_TRUE(std::equal(page.begin(), page.end(), flash.begin() + index * 256)) << index;
    }
    // Through srec_cat, which also checks every record's checksum.
    if (!SrecCatOrSkip()) return;
    const std::string raw = bench.m_dir.File("flash.raw");
    ASSERT_EQ(RunSrecCat(out + " -offset -0xC0000 -o " + raw + " -binary"), 0);
    EXPECT_EQ(ReadAll(raw), flash);
}

TEST(BatchDump, BinaryFileOverTheWholeFlashByDefault) {
    CBatchBench bench;
    PokePattern(bench, 0x0FF000, 0x100);  // clear of the ID bytes at the top
    const std::string out = bench.m_dir.File("flash.bin");
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-o", out})), 0) << bench.m_out;
    const std::vector<uint8_t> bytes = ReadAll(out);
    ASSERT_EQ(bytes.size(), 0x40000u);
    EXPECT_EQ(bytes, bench.m_sim.Board().Peek(0x0C0000, 0x40000));
}

TEST(BatchDump, NoFileUnlessEveryPageWasRead) {
    // The board falls silent at the third page read: the old file stays as it was.
    sim::BoardConfig config;
    config.faults.silentFrom = {0xFF, 3};
    CBatchBench bench(config);
    const std::string out = bench.m_dir.File("flash.mot");
    bench.m_dir.Write("flash.mot", "old");
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-r", "C0000-C0FFF", "-o", out})), 3);
    EXPECT_EQ(ReadAll(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(Leftovers(bench.m_dir), std::vector<std::string>{"flash.mot"});
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(BatchDump, CtrlCLeavesNoFile) {
    CBatchBench bench;
    bench.m_sim.RaiseAt(0xFF, 2, SIGINT);
    const std::string out = bench.m_dir.File("flash.bin");
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-r", "C0000-C0FFF", "-o", out})), 130);
    EXPECT_TRUE(Leftovers(bench.m_dir).empty());
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}
#endif  // POSIX

TEST(BatchDump, UsageErrorsRefusalsAndAFailedWrite) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"dump"}), 2);                                          // no -o
    EXPECT_EQ(bench.Run({"dump", "-o", bench.m_dir.File("flash.txt")}), 2);     // unknown format
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-r", "C0000-1000000", "-o", bench.m_dir.File("f.bin")})), 1);
    EXPECT_EQ(bench.m_out, "exclamation: Too large address. The highest address is FFFFFF.\n");
    // The folder is not there: told before the first page is read.
    const std::string nowhere = bench.m_dir.File("gone/f.mot");
    bench.m_sim.ClearReceived();
    EXPECT_EQ(bench.Run(WithFile(bench, {"dump", "-r", "C0000-C01FF", "-o", nowhere})), 1);
#ifdef _WIN32  // the system's own words, which differ between versions
    EXPECT_EQ(bench.m_out.rfind("exclamation: " + nowhere + " cannot be written: ", 0), 0u) << bench.m_out;
#else
    EXPECT_EQ(bench.m_out, "exclamation: " + nowhere + " cannot be written: No such file or directory.\n");
#endif
    for (const auto& frame : bench.m_sim.Board().Frames()) EXPECT_NE(frame.bytes.at(0), 0xFF) << "a page was read";
    EXPECT_TRUE(Leftovers(bench.m_dir).empty());
}

TEST(BatchDump, AProgrammedRangeDumpsBackToTheFile) {
    CBatchBench bench;
    std::vector<uint8_t> data(0x900);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 5);
    WriteProgramFiles(bench.m_dir, SRecordText(0x0C0100, data));
    const std::string back = bench.m_dir.File("back.mot");
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "-y", "-i", "0", "epr", "dump", "-r", "C0100-C09FF", "-o",
                         back}),
              0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_NE(bench.m_err.find("0C0100-0C09FF saved to " + back + "\n"), std::string::npos) << bench.m_err;
    CMotFile original;
    CMotFile dumped;
    ASSERT_EQ(original.Read(bench.m_dir.File("prog.mot")).result, 1);
    ASSERT_EQ(dumped.Read(back).result, 1);
    ASSERT_EQ(dumped.PageCount(), original.PageCount());
    uint8_t want[256];
    uint8_t got[256];
    for (uint32_t index = 0x0C01; index <= 0x0C09; ++index) {
        ASSERT_NE(original.GetPage(want, index), nullptr);
        ASSERT_NE(dumped.GetPage(got, index), nullptr);
        EXPECT_EQ(std::vector<uint8_t>(want, want + 256), std::vector<uint8_t>(got, got + 256)) << index;
    }
}

TEST(FlashFileWriter, SRecordsAndAFailedWrite) {
    EXPECT_EQ(CFlashFileWriter::SRecordText(0x0C0000, {0x11, 0x22}),
              "S00A000070656C6963616E19\nS2060C00001122BA\nS8040C0000EF\n");
    std::string error;
    EXPECT_FALSE(CFlashFileWriter::Write("/nonexistent/folder/f.mot", 0, {1}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(CFlashFileWriter::CheckFolder("/nonexistent/folder/f.mot", error));
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(FlashFileWriter, ALinksTargetIsReplacedAndAnExistingFileKeepsItsMode) {
    CTempDir dir;
    namespace fs = std::filesystem;
    // The link stays a link, to the file that now holds the new bytes, and
    // that file keeps the mode its owner gave it.
    dir.Write("real.bin", "old");
    ::chmod(dir.File("real.bin").c_str(), 0640);
    fs::create_symlink("real.bin", dir.File("link.bin"));
    std::string error;
    ASSERT_TRUE(CFlashFileWriter::Write(dir.File("link.bin"), 0, {'n', 'e', 'w'}, error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.File("link.bin")));
    std::ifstream file(dir.File("real.bin"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "new");
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("real.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // A new file gets what the umask leaves, and the umask stays as it was.
    {
        const CScopedUmask mask(027);
        ASSERT_TRUE(CFlashFileWriter::Write(dir.File("new.mot"), 0, {1}, error)) << error;
        EXPECT_EQ(::umask(027), 027u);
    }
    ASSERT_EQ(::stat(dir.File("new.mot").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // A dangling link gets its target made.
    fs::create_symlink("made.mot", dir.File("dangling.mot"));
    ASSERT_TRUE(CFlashFileWriter::Write(dir.File("dangling.mot"), 0, {1}, error)) << error;
    EXPECT_TRUE(fs::is_regular_file(dir.File("made.mot")));
    EXPECT_TRUE(fs::is_symlink(dir.File("dangling.mot")));
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 5u);  // no temporary file left behind
}
#endif  // POSIX

}  // namespace
}  // namespace pelican::test
