// "ID Check" and "Program/Download File Select": the file, its ".id" file,
// the device type and the ID exchange with the board.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/PelicanDlg.h"
#include "app/AppBench.h"
#include "commands/IDCheckDlg.h"
#include "commands/SelectDlg.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;
constexpr int kDlg = CIDCheckDlg::IDD;

const std::string kProgram = Record(2, 0x0C0000, {0x11, 0x22, 0x33}) + "\nS9030000FC\n";

struct IdBench : CAppBench {
    explicit IdBench(sim::BoardConfig config = {}) : CAppBench(std::move(config)) {
        SelectProgram();
    }
    void Refer(const std::string& name) {
        m_ui.FileOpenAnswer(m_dir.File(name));
        m_ui.Press(kDlg, CIDCheckDlg::IDC_REFER);
    }
    std::map<int, std::string> Fields() { return m_ui.m_lastTexts[kDlg]; }
    std::string Id(int i) { return Fields()[CIDCheckDlg::IDC_ID1 + i]; }
};

TEST(IdCheck, ReferReadsTheIdFileAndOkPassesTheCheck) {
    for (const std::string name : {"prog.mot", "prog.s", "prog.btp"}) {
        IdBench bench;
        bench.m_dir.Write(name, kProgram);
        bench.m_dir.Write("prog.id", kIdFile);
        bench.Refer(name);
        bench.m_ui.Press(kDlg, ui::IDOK);
        Bytes wire;
        bench.Run([&] { wire = bench.m_sim.Received(); });
        EXPECT_TRUE(bench.m_ui.m_messages.empty()) << name;
        EXPECT_EQ(bench.m_app->m_idChecked, 1) << name;
        EXPECT_EQ(bench.Id(0), "01");
        EXPECT_EQ(bench.Fields()[CIDCheckDlg::IDC_FILEPATH], bench.m_dir.File(name));
        // Read status (ID not yet tried), the ID frame to 0FFFDF, 50 ms, status.
        const Bytes idExchange = {0x70, 0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x70};
        ASSERT_GE(wire.size(), idExchange.size());
        EXPECT_EQ(Bytes(wire.end() - static_cast<long>(idExchange.size()), wire.end()), idExchange) << name;
        uint8_t page[256];
        ASSERT_NE(bench.m_app->m_image.GetPage(page, 0x0C00), nullptr);
        EXPECT_EQ(page[2], 0x33);
    }
}

TEST(IdCheck, UpperCaseAndDumpEndingsFindTheirIdFile) {
    // Names made on other systems come in capitals; "dump" writes ".srec".
    for (const char* name : {"prog.MOT", "prog.srec", "prog.SREC", "prog.HEX"}) {
        SCOPED_TRACE(name);
        IdBench bench;
        bench.m_dir.Write(name, kProgram);  // S-records whatever the name says
        bench.m_dir.Write("prog.id", kIdFile);
        bench.Refer(name);
        bench.m_ui.Press(kDlg, ui::IDCANCEL);
        bench.Run();
        EXPECT_TRUE(bench.Messages().empty());
        EXPECT_EQ(bench.Id(0), "01");
        EXPECT_NE(bench.m_app->m_image.LookupPage(0x0C00), nullptr);
    }
}

TEST(IdCheck, OrcaWLineSwitchesTheTypeAndFillsFromTheLastTwoCharacters) {
    sim::BoardConfig config;
    config.type = sim::DeviceType::OrcaW;
    IdBench bench(config);
    bench.m_dir.Write("w.mot", kProgram);
    bench.m_dir.Write("w.id", "FFFFDF anything at all 01\r\nFFFFE3=02\nFFFFEB=03\nFFFFEF=04\nFFFFF3=05\n"
                              "FFFFF7=06\nFFFFFB=99\nFFFFFB=07\nnoise\n");
    bench.Refer("w.mot");
    bench.m_ui.Press(kDlg, ui::IDOK);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    EXPECT_EQ(bench.m_app->Session().mcuType, 1);
    EXPECT_EQ(bench.Id(0), "01");
    EXPECT_EQ(bench.Id(6), "07");  // the last line naming an address wins
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    const Bytes head = {0xF5, 0xDF, 0xFF, 0xFF, 0x07};
    EXPECT_NE(std::search(wire.begin(), wire.end(), head.begin(), head.end()), wire.end());
}

TEST(IdCheck, PartialIdFileAndTopPage) {
    IdBench bench;
    // Data in page FFFF marks an Orca/W part even without an ".id" line.
    bench.m_dir.Write("top.mot", Record(3, 0xFFFFF0, {0xAA}) + "\nS70500000000FA\n");
    bench.m_dir.Write("top.id", "FFFDF 11\n");
    bench.m_dir.Write("sp.mot", kProgram);
    bench.m_dir.Write("sp.id", "FFFDF 11\nFFFE3 22\n");
    bench.Refer("top.mot");
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 4, "kept");
    bench.m_ui.SetCheck(kDlg, CIDCheckDlg::IDC_ORCA_SP);
    bench.Refer("sp.mot");
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.Id(0), "11");
    EXPECT_EQ(bench.Id(1), "22");
    EXPECT_EQ(bench.Id(4), "kept");
    EXPECT_EQ(bench.m_ui.m_lastTexts.count(kDlg), 1u);
}

TEST(IdCheck, TopPageSelectsOrcaW) {
    IdBench bench;
    bench.m_dir.Write("top.mot", Record(3, 0xFFFFF0, {0xAA}) + "\nS70500000000FA\n");
    bench.Refer("top.mot");
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.Messages(), (Messages{{"Can not found the ID file.", Icon::Exclamation}}));
    EXPECT_EQ(bench.m_app->Session().mcuType, 1);
}

TEST(IdCheck, RefusalsKeepTheDialogOpen) {
    IdBench bench;
    bench.m_dir.Write("prog.mot", kProgram);
    bench.m_ui.Press(kDlg, ui::IDOK);  // no path
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("prog.mot"));
    bench.m_ui.Press(kDlg, ui::IDOK);  // no ID at all, and no prog.id
    for (int i = 0; i < 7; ++i) bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + i, "0" + std::to_string(i + 1));
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 3, "4");
    bench.m_ui.Press(kDlg, ui::IDOK);  // a short field
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 3, "GG");
    bench.m_ui.Press(kDlg, ui::IDOK);  // not hexadecimal
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 3, "ff");
    bench.m_ui.Press(kDlg, ui::IDOK);  // the board's ID is 01..07
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 3, "04");
    bench.m_ui.Press(kDlg, ui::IDOK);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    EXPECT_EQ(bench.Messages(),
              (Messages{{"Did not input filename.", Icon::Exclamation},
                        {"No ID to check: " + bench.m_dir.File("prog.id") +
                             " was not found. Type the board's seven ID bytes into the ID fields, two hexadecimal "
                             "digits each.",
                         Icon::Exclamation},
                        {"Do not match ID style.", Icon::Exclamation},
                        {"Do not match ID style.", Icon::Exclamation},
                        {"Not match ID.", Icon::Exclamation},
                        {"A board erased since its ID was written (an E.P.R. cut off after its erase) holds FF in all "
                         "seven ID bytes: type FF into each ID field to try that ID.",
                         Icon::Information}}));
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    // Only two ID frames went out: the wrong one (FF, lower case accepted) and the right one.
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), 2);
    const Bytes wrong = {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 0xFF, 5, 6, 7};
    EXPECT_NE(std::search(wire.begin(), wire.end(), wrong.begin(), wrong.end()), wire.end());
}

TEST(IdCheck, AlreadyVerifiedDeviceNeedsNoId) {
    IdBench bench;
    bench.m_sim.PassId();
    bench.m_dir.Write("prog.mot", kProgram);
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("prog.mot"));
    bench.m_ui.Press(kDlg, ui::IDOK);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), 0);
}

TEST(IdCheck, MissingFileShowsTheFileErrorAndStaysOpen) {
    IdBench bench;
    const std::string path = bench.m_dir.File("gone.mot");
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, path);
    bench.m_ui.Press(kDlg, ui::IDOK);
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    ASSERT_EQ(bench.Messages().size(), 1u);
    EXPECT_EQ(bench.Messages()[0].first, path + " was not found.");
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(IdCheck, FilesThatCannotBeReadEndReferAtTheirOwnMessage) {
    // A program file that cannot be read is the only message (its ".id" file
    // is not looked for). An ".id" file that is a pipe nobody writes to, an
    // endless device, a folder or far too large for seven lines is named,
    // promptly and in bounded memory, and the ID fields are emptied.
    IdBench bench;
    const auto path = [&](const std::string& name) { return bench.m_dir.File(name); };
    ASSERT_EQ(::mkfifo(path("pipe.mot").c_str(), 0600), 0);
    bench.m_dir.Write("pipe.id", kIdFile);
    for (const char* name : {"fifo", "zero", "folder", "huge"}) bench.m_dir.Write(name + std::string(".mot"), kProgram);
    ASSERT_EQ(::mkfifo(path("fifo.id").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", path("zero.id"));
    std::filesystem::create_directory(path("folder.id"));
    bench.m_dir.Write("huge.id", kIdFile);
    std::filesystem::resize_file(path("huge.id"), 8u << 20);  // sparse: costs no disk
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1, "AA");
    for (const char* name : {"gone.mot", "pipe.mot", "fifo.mot", "zero.mot", "folder.mot", "huge.mot"}) bench.Refer(name);
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.Messages(), (Messages{{path("gone.mot") + " was not found.", Icon::Exclamation},
                                          {path("pipe.mot") + " is not a regular file.", Icon::Exclamation},
                                          {path("fifo.id") + " is not a regular file.", Icon::Exclamation},
                                          {path("zero.id") + " is not a regular file.", Icon::Exclamation},
                                          {path("folder.id") + " is a folder, not a file.", Icon::Exclamation},
                                          {path("huge.id") + " is too large.", Icon::Exclamation}}));
    EXPECT_EQ(bench.Id(0), "");
    EXPECT_NE(bench.m_app->m_image.LookupPage(0x0C00), nullptr);  // the program itself loaded
}
#endif  // POSIX

TEST(IdCheck, ADamagedFileIsRefusedWholeAndABadRecordToldOnce) {
    // One digit changed in transit: the checksum tells, neither "Refer..."
    // nor OK goes on with the file and the board hears nothing of it. A bad
    // record is told once, though "Refer...", OK and the reload after the ID
    // passed each load the file; it ends each step as a checksum does.
    IdBench bench;
    bench.m_dir.Write("damaged.mot", Record(2, 0x0C0000, {0x11}) + "\nS2060C0100112296\nS9030000FC\n");
    bench.m_dir.Write("damaged.id", kIdFile);
    bench.m_dir.Write("bad.mot", Record(2, 0x0C0000, {0x11}) + "\nS2060C01001G22B8\nS9030000FC\n");
    bench.m_dir.Write("bad.id", kIdFile);
    bench.Refer("damaged.mot");
    bench.m_ui.Press(kDlg, ui::IDOK);
    bench.Refer("bad.mot");
    bench.m_ui.Press(kDlg, ui::IDOK);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    const std::string told = "Checksum error in line 2 of " + bench.m_dir.File("damaged.mot") + ".\nCan not accept this file.";
    EXPECT_EQ(bench.Messages(), (Messages{{told, Icon::Exclamation},
                                          {told, Icon::Exclamation},
                                          {"Can not accept this file.", Icon::None},
                                          {"Can not accept this file.", Icon::None}}));
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), 0);  // no ID sent for either
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    EXPECT_EQ(bench.m_app->m_image.PageCount(), 0u);
}

TEST(IdCheck, AStrayLineOrAFileOfNoRecordsIsRefusedBeforeTheIdIsSent) {
    // A merge left its marker amid the records; bytes of a program image
    // were saved under an S-record name. "Refer..." and OK each refuse the
    // file, and the board hears nothing of the ID check.
    IdBench bench;
    bench.m_dir.Write("merged.mot", Record(2, 0x0C0000, {0x11}) + "\n<<<<<<< HEAD\n" + kProgram);
    bench.m_dir.Write("merged.id", kIdFile);
    bench.m_dir.Write("image.mot", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0", 16));
    bench.m_dir.Write("image.id", kIdFile);
    bench.Refer("merged.mot");
    bench.m_ui.Press(kDlg, ui::IDOK);
    bench.Refer("image.mot");
    bench.m_ui.Press(kDlg, ui::IDOK);
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    const std::string stray =
        "Not an S-record in line 2 of " + bench.m_dir.File("merged.mot") + ".\nCan not accept this file.";
    const std::string image = bench.m_dir.File("image.mot") + " is not an S-record file.\nCan not accept this file.";
    EXPECT_EQ(bench.Messages(), (Messages{{stray, Icon::Exclamation},
                                          {stray, Icon::Exclamation},
                                          {image, Icon::Exclamation},
                                          {image, Icon::Exclamation}}));
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), 0);
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    EXPECT_EQ(bench.m_app->m_image.PageCount(), 0u);
}

TEST(IdCheck, AFileChangedOrGoneBeforeTheReloadKeepsTheDialogOpen) {
    // The file is replaced, rewritten or removed while the device checks the
    // ID: the load that the commands will use refuses it, and OK does not
    // close. A sound file of other records is no less another file.
    enum class Change { Removed, Damaged, Rewritten };
    for (const Change change : {Change::Removed, Change::Damaged, Change::Rewritten}) {
        SCOPED_TRACE(static_cast<int>(change));
        IdBench bench;
        bench.m_dir.Write("prog.mot", kProgram);
        bench.m_dir.Write("prog.id", kIdFile);
        const std::string path = bench.m_dir.File("prog.mot");
        bench.m_sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
            if (frame.bytes.at(0) != 0xF5) return;
            if (change == Change::Removed)
                std::remove(path.c_str());
            else if (change == Change::Damaged)
                bench.m_dir.Write("prog.mot", "S2060C00001122BB\nS9030000FC\n");
            else
                bench.m_dir.Write("prog.mot", Record(2, 0x0C0000, {0x11, 0x22, 0x34, 0x44}) + "\nS9030000FC\n");
        });
        bench.Refer("prog.mot");
        bench.m_ui.Press(kDlg, ui::IDOK);
        bench.m_ui.Press(kDlg, ui::IDCANCEL);  // still open after the refusal
        bench.Run();
        bench.m_sim.Board().SetFrameObserver(nullptr);
        const std::string told = change == Change::Removed   ? path + " was not found."
                                 : change == Change::Damaged ? "Checksum error in line 1 of " + path +
                                                                   ".\nCan not accept this file."
                                                             : path + " changed while it was read.";
        EXPECT_EQ(bench.Messages(), (Messages{{told, Icon::Exclamation}}));
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
        EXPECT_EQ(bench.m_ui.m_shownDialogs.back(), CPelicanDlg::IDD);
        EXPECT_EQ(bench.m_app->m_image.PageCount(), 0u);
        EXPECT_EQ(bench.m_app->m_idChecked, 1);  // the device has passed the ID
    }
}

TEST(IdCheck, RememberedTypeFollowsReferAndOkButNotCancel) {
    IdBench bench;
    bench.m_ui.SetCheck(kDlg, CIDCheckDlg::IDC_ORCA_W);
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    bench.Run([&] {
        EXPECT_EQ(bench.m_app->Session().mcuType, 0);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_LOAD);
        bench.m_ui.SetCheck(kDlg, CIDCheckDlg::IDC_ORCA_W);
        bench.m_ui.Press(kDlg, ui::IDOK);  // refused: no file, but the type is taken
        bench.m_ui.Press(kDlg, ui::IDCANCEL);
    });
    EXPECT_EQ(bench.m_app->Session().mcuType, 1);
}

struct SelectBench : CAppBench {
    SelectBench() { SelectProgram("COM1", 1); }
};
constexpr int kSel = CSelectDlg::IDD;

TEST(FileSelect, ReferRefusesBootProgramsButATypedPathIsTaken) {
    SelectBench bench;
    bench.m_dir.Write("boot.btp", Record(1, 0x1000, {0x55}) + "\nS9030000FC\n");
    bench.m_ui.FileOpenAnswer(bench.m_dir.File("boot.btp"));
    bench.m_ui.Press(kSel, CSelectDlg::IDC_REFER);
    bench.m_ui.Press(kSel, ui::IDOK);  // the path was emptied
    bench.m_ui.SetText(kSel, CSelectDlg::IDC_FILEPATH, bench.m_dir.File("boot.btp"));
    bench.m_ui.Press(kSel, ui::IDOK);
    Bytes wire;
    bench.Run([&] { wire = bench.m_sim.Received(); });
    EXPECT_EQ(bench.Messages(), (Messages{{"Can not accept this file.", Icon::Stop},
                                          {"Did not input filename.", Icon::Exclamation}}));
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    EXPECT_NE(bench.m_app->m_image.LookupPage(0x10), nullptr);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), 0);  // no ID exchange in boot-loader mode
    EXPECT_EQ(bench.m_ui.m_fileRequests.at(0).filter,
              "Motlora Hex File (*.s;*.mot)|*.s;*.mot|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|"
              "Intel Hex File (*.hex;*.ihex)|*.hex;*.ihex|Binary File (*.bin)|*.bin|");
}

TEST(FileSelect, AFileWrittenWhileOkReadsItKeepsTheDialogOpen) {
    // Saved anew by another program while OK reads it: refused as changed,
    // the flag stays clear and the dialog stays for another try.
    SelectBench bench;
    std::string text;
    for (uint32_t offset = 0; offset < 0x400; offset += 16) text += Record(2, 0x0C0000 + offset, {1, 2, 3, 4}) + "\n";
    bench.m_dir.Write("prog.mot", text + "S9030000FC\n");
    bool rewritten = false;
    bench.m_app->m_image.SetReadBlock(64, [&] {
        if (rewritten) return;
        rewritten = true;
        bench.m_dir.Write("prog.mot", kProgram);
    });
    bench.m_ui.SetText(kSel, CSelectDlg::IDC_FILEPATH, bench.m_dir.File("prog.mot"));
    bench.m_ui.Press(kSel, ui::IDOK);
    bench.m_ui.Press(kSel, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.Messages(),
              (Messages{{bench.m_dir.File("prog.mot") + " changed while it was read.", Icon::Exclamation}}));
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    EXPECT_EQ(bench.m_app->m_image.PageCount(), 0u);
}

TEST(FileSelect, UpperCaseAndIntelHexEndingsTakenAndEmptyFileAccepted) {
    // Each file chosen with "Refer..." and taken with OK, each on its own
    // run: what the image holds afterwards is that file's and nothing else.
    const struct {
        const char* name;
        std::string text;
        uint32_t address;  // where the file's data begins
        Bytes data;        // the bytes the image holds from there on
        bool unended;      // no termination record: warned of once, Refer and OK
    } cases[] = {
        {"prog.S", kProgram, 0x0C0000, {0x11, 0x22, 0x33, 0xFF}, false},
        {"PROG.HEX", ":0200100055AAEF\n:00000001FF\n", 0x000010, {0x55, 0xAA, 0xFF}, false},
        {"PROG.IHEX", ":02001000A55AEF\n:00000001FF\n", 0x000010, {0xA5, 0x5A, 0xFF}, false},
        {"empty.mot", "S0030000FC\n", 0, {}, true},
        {"cut.mot", "S2060C00001122BA\n", 0x0C0000, {0x11, 0x22, 0xFF}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SelectBench bench;
        bench.m_dir.Write(c.name, c.text);
        bench.m_ui.FileOpenAnswer(bench.m_dir.File(c.name));
        bench.m_ui.Press(kSel, CSelectDlg::IDC_REFER);
        bench.m_ui.Press(kSel, ui::IDOK);
        bench.Run();
        const std::string cut = "No S7, S8 or S9 record ends " + bench.m_dir.File(c.name) +
                                ": the file may be cut short. Its records were loaded as they are.";
        EXPECT_EQ(bench.Messages(), (c.unended ? Messages{{cut, Icon::Warning}} : Messages{}));
        EXPECT_EQ(bench.m_app->m_idChecked, 1);
        EXPECT_EQ(bench.m_app->m_image.PageCount(), c.data.empty() ? 0u : 1u);
        if (c.data.empty()) continue;
        uint8_t page[256];
        ASSERT_NE(bench.m_app->m_image.GetPage(page, c.address / 256), nullptr);
        EXPECT_EQ(Bytes(page + c.address % 256, page + c.address % 256 + c.data.size()), c.data);
    }
}

}  // namespace
}  // namespace pelican::test
