// Files that cannot be opened or read, and text that is not what an S-record
// file should hold: a clear message or a silent stop, never a crash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "LoaderFixture.h"
#include "image/TextLineReader.h"

namespace pelican::test {
namespace {

class LoadFileTest : public LoaderTest {
protected:
    // Fills the image first so that a failed load visibly empties it.
    void Preload() {
        LoadText(Record(1, 0x1000, Seq(16, 0)) + "\n", "earlier.mot");
        ASSERT_EQ(m_image.PageCount(), 1u);
        m_ui.ClearRecords();
    }
    void ExpectFileError(const std::string& text) {
        EXPECT_EQ(m_image.PageCount(), 0u);
        EXPECT_TRUE(m_image.FileErrorShown());
        ExpectOnlyMessage(text, ui::Icon::Exclamation);
    }
};

TEST_F(LoadFileTest, MissingFileNamesThePathAndEmptiesTheImage) {
    Preload();
    const std::string missing = m_dir.File("missing.mot");
    EXPECT_EQ(m_image.Load(m_ui, missing), 0);
    ExpectFileError(missing + " was not found.");

    // A missing folder on the way, or a file used as a folder, is the same to the user.
    for (const std::string& path : {m_dir.File("nofolder/prog.mot"), m_dir.File("earlier.mot/prog.mot")}) {
        Preload();
        EXPECT_EQ(m_image.Load(m_ui, path), 0);
        ExpectFileError(path + " was not found.");
    }

    // The next good load clears the error.
    EXPECT_EQ(LoadText(Record(9, 0) + "\n"), 1);
    EXPECT_FALSE(m_image.FileErrorShown());
}

TEST_F(LoadFileTest, AFileWrittenWhileItIsReadIsRefusedAsChanged) {
    // Another program saves the file while it is read: cut short and
    // written anew with half the records, or with records added. Either way
    // the text read so far may still parse; the file is refused all the same.
    std::string text;
    for (uint32_t offset = 0; text.size() < 8192; offset += 32)
        text += Record(2, 0x0C0000 + offset, Seq(32, static_cast<uint8_t>(offset))) + "\n";
    const std::string whole = text + Record(8, 0) + "\n";
    const std::string half = text.substr(0, text.rfind('\n', text.size() / 2) + 1) + Record(8, 0) + "\n";
    const std::string longer = text + Record(2, 0x0E0000, {1}) + "\n" + Record(8, 0) + "\n";
    for (const std::string& rewritten : {half, longer}) {
        SCOPED_TRACE(rewritten.size());
        m_dir.Write("prog.mot", whole);
        bool changed = false;
        m_image.SetReadBlock(64, [&] {
            if (changed) return;
            changed = true;
            m_dir.Write("prog.mot", rewritten);
        });
        m_ui.ClearRecords();
        EXPECT_EQ(m_image.Load(m_ui, m_dir.File("prog.mot")), 0);
        ExpectFileError(m_dir.File("prog.mot") + " changed while it was read.");
    }
    // Read in the same small blocks, a file left alone loads.
    m_image.SetReadBlock(64);
    m_ui.ClearRecords();
    EXPECT_EQ(LoadText(whole), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(m_image.PageCount(), 14u);  // 107 records of 32 bytes from 0C0000
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST_F(LoadFileTest, FoldersDevicesAndPipesAreRefused) {
    Preload();
    EXPECT_EQ(m_image.Load(m_ui, m_dir.Path()), 0);
    ExpectFileError(m_dir.Path() + " is a folder, not a file.");

    Preload();
    EXPECT_EQ(m_image.Load(m_ui, "/dev/null"), 0);
    ExpectFileError("/dev/null is not a regular file.");

    // A pipe nobody writes to must not block the load.
    const std::string fifo = m_dir.File("pipe.mot");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Preload();
    EXPECT_EQ(m_image.Load(m_ui, fifo), 0);
    ExpectFileError(fifo + " is not a regular file.");

    // Far beyond any S-record file of a 24-bit address space (sparse: no disk used).
    const std::string huge = m_dir.File("huge.mot");
    m_dir.Write("huge.mot", "");
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(CTextLineReader::kMaxFileSize + 1)), 0);
    Preload();
    EXPECT_EQ(m_image.Load(m_ui, huge), 0);
    ExpectFileError(huge + " is too large.");
}
#endif  // POSIX

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST_F(LoadFileTest, UnreadableFileIsDenied) {
    const std::string path = m_dir.File("locked.mot");
    m_dir.Write("locked.mot", Record(1, 0, {1}) + "\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (::geteuid() != 0) {
        Preload();
        EXPECT_EQ(m_image.Load(m_ui, path), 0);
        ExpectFileError("Access to " + path + " was denied.");
        return;
    }
    // Permission bits do not stop root: load as an ordinary user in a child.
    ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0755), 0);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        ui::CScriptedBackend backend;
        CMotFile image;
        const int result = image.Load(backend, path);
        std::string report = std::to_string(result) + (image.FileErrorShown() ? "E" : "-") +
                             std::to_string(image.PageCount()) + "|";
        for (const auto& message : backend.m_messages)
            report += message.text + "|" + ui::IconWord(message.icon) + "|";
        if (::write(channel[1], report.data(), report.size()) < 0) ::_exit(4);
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char chunk[512];
    for (ssize_t got; (got = ::read(channel[0], chunk, sizeof chunk)) > 0;) report.append(chunk, static_cast<size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(report, "0E0|Access to " + path + " was denied.|exclamation|");
}
#endif  // POSIX

TEST_F(LoadFileTest, AReadThatFailsPartWayLeavesNothing) {
    // /proc/self/mem opens as a regular file, but reading unmapped address 0 fails.
    Preload();
    EXPECT_EQ(m_image.Load(m_ui, "/proc/self/mem"), 0);
    if (m_ui.m_messages.size() == 1 && m_ui.m_messages[0].text.find("reading") == std::string::npos)
        GTEST_SKIP() << "this system reports " << m_ui.m_messages[0].text;
    ExpectFileError("An unexpected error occurred while reading /proc/self/mem.");
}

TEST_F(LoadFileTest, LineEndingsAndTheLastLine) {
    const std::string a = Record(1, 0x0100, Seq(8, 1));
    const std::string b = Record(2, 0x0201F8, Seq(16, 0x40));
    Bytes pageOne, pageTwo, pageThree;
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        EXPECT_EQ(LoadText(a + eol + eol + b + eol + Record(9, 0) + eol), 1);
        EXPECT_EQ(Page(1), BlankWith(0, Seq(8, 1)));
        EXPECT_EQ(Page(0x0201), BlankWith(0xF8, Seq(8, 0x40)));
        EXPECT_EQ(Page(0x0202), BlankWith(0, Seq(8, 0x48)));
        EXPECT_EQ(m_image.PageCount(), 3u);
        // No line break after the last record.
        EXPECT_EQ(LoadText(a + eol + b), 0);
        EXPECT_EQ(m_image.PageCount(), 3u);
        EXPECT_EQ(LoadText(a + eol + Record(9, 0)), 1);
    }
    EXPECT_TRUE(m_ui.m_messages.empty());

    // An empty file and a file of line breaks only.
    EXPECT_EQ(LoadText(""), 0);
    EXPECT_EQ(LoadText("\n\r\n\r\r\n\n"), 0);
    EXPECT_EQ(m_image.PageCount(), 0u);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_FALSE(m_image.FileErrorShown());
}

TEST_F(LoadFileTest, NulBytesAreOrdinaryNonDigitCharacters) {
    std::string withNul = Record(1, 0x0300, Seq(4, 0));
    withNul[9] = '\0';
    const std::string good = Record(1, 0x0100, {1});
    // In the data: refused.
    EXPECT_EQ(LoadText(good + "\n" + withNul + "\n" + Record(1, 0x0200, {2}) + "\n"), 0);
    ExpectRefused();
    EXPECT_TRUE(Page(2).empty());
    // After the checksum: ignored. At the start of a line: that line is no
    // record, and the file is refused naming it.
    m_ui.ClearRecords();
    EXPECT_EQ(LoadText(good + std::string("\0\0junk", 6) + "\n" + Record(1, 0x0200, {2}) + "\n"), 0);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(Page(1), BlankWith(0, {1}));
    EXPECT_EQ(m_image.PageCount(), 2u);
    EXPECT_EQ(LoadText(good + "\n" + std::string(1, '\0') + good + "\n" + Record(1, 0x0200, {2}) + "\n"), 0);
    EXPECT_EQ(m_image.PageCount(), 0u);
    ExpectOnlyMessage("Not an S-record in line 2 of " + m_dir.File("prog.mot") + ".\nCan not accept this file.",
                      ui::Icon::Exclamation);
}

TEST_F(LoadFileTest, LinesOfMegabytes) {
    // A record followed by megabytes of text on its own line loads, and so
    // does the next record after it; memory stays bounded meanwhile.
    const std::string tail(3 << 20, '7');
    EXPECT_EQ(LoadText(Record(1, 0x0100, Seq(4, 1)) + tail + "\n" + Record(1, 0x0200, {2}) + tail + "\r\n" +
                       Record(9, 0) + tail),
              1);
    EXPECT_EQ(Page(1), BlankWith(0, Seq(4, 1)));
    EXPECT_EQ(Page(2), BlankWith(0, {2}));
    EXPECT_TRUE(m_ui.m_messages.empty());

    // A megabyte line that is no record refuses the file; one without any line break too.
    EXPECT_EQ(LoadText(Record(1, 0x0100, {1}) + "\n" + std::string(5 << 20, 'x') + "\n" + Record(1, 0x0200, {2})), 0);
    EXPECT_EQ(m_image.PageCount(), 0u);
    ExpectOnlyMessage("Not an S-record in line 2 of " + m_dir.File("prog.mot") + ".\nCan not accept this file.",
                      ui::Icon::Exclamation);
    m_ui.ClearRecords();
    // Count FF, address FFFF, then 252 data bytes FF running on into page
    // 0x100, the checksum FE and megabytes after it.
    EXPECT_EQ(LoadText("S1" + std::string(6 + 504, 'F') + "FE" + std::string(5 << 20, 'F')), 0);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(m_image.PageCount(), 2u);
    EXPECT_EQ(Page(0xFF), Bytes(256, 0xFF));
    EXPECT_EQ(Page(0x100), Bytes(256, 0xFF));
}

TEST_F(LoadFileTest, RecordsStraddlingTheReadBlocksLoadWhole) {
    // Records land across every boundary of the reader's large blocks.
    std::string text;
    uint32_t address = 0;
    while (text.size() < (3u << 20)) {
        text += Record(3, address, Seq(32, static_cast<uint8_t>(address >> 5))) + "\r\n";
        address += 32;
    }
    EXPECT_EQ(LoadText(text), 0);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(m_image.PageCount(), (address + 255) / 256);
    for (uint32_t a = 0; a < address; a += 32) {
        const Bytes page = Page(a / 256);
        ASSERT_EQ(page.size(), 256u);
        ASSERT_EQ(page[a % 256], static_cast<uint8_t>(a >> 5)) << a;
        ASSERT_EQ(page[a % 256 + 31], static_cast<uint8_t>((a >> 5) + 31)) << a;
    }
}

TEST_F(LoadFileTest, LinesCrossingTinyReadBlocksComeOutWhole) {
    const std::string longLine(CTextLineReader::kKeep + 100, 'L');
    // "\r\n" is one line end (also split between two blocks), "\r\r" two.
    m_dir.Write("lines.txt", "ab\r\ncd\n\nef\rgh" + std::string("\r\n") + longLine + "\n\r\r\nlast");
    const std::vector<std::string> expected = {"ab", "cd", "", "ef", "gh", longLine.substr(0, CTextLineReader::kKeep),
                                               "", "", "last"};
    for (size_t block : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        CTextLineReader reader(block);
        ASSERT_EQ(reader.Open(m_dir.File("lines.txt")), FileError::None);
        std::vector<std::string> lines;
        const char* text = nullptr;
        size_t length = 0;
        while (reader.Next(text, length)) lines.emplace_back(text, length);
        EXPECT_EQ(lines, expected) << "block " << block;
        EXPECT_FALSE(reader.ReadFailed());
    }
}

// Binary garbage among records aimed at the edges of the pages and of the
// 24-bit address space, just inside and just outside. A file is refused
// whole, leaving no page, or taken with exactly the bytes its records give:
// nothing beside them, no page the table does not hold, no record from
// outside the address space.
TEST_F(LoadFileTest, BinaryGarbageNeverWritesOutsideTheImage) {
    struct Aimed {
        int type;
        uint32_t address;
        uint32_t length;
    };
    // Across pages 0-1, FF-100 and C00-C01, up to the last address, and a
    // page of its own below it.
    const Aimed inside[] = {{1, 0x00F8, 16}, {1, 0xFFF8, 16}, {2, 0x0C00F0, 32}, {2, 0xFFFFF0, 16}, {3, 0xFFFF00, 8}};
    // One byte past the end, wholly past it, and wrapping the 32-bit address to page 0.
    const Aimed outside[] = {{2, 0xFFFFF8, 16}, {3, 0x01000000, 1}, {3, 0xFFFFFFF8, 16}};
    std::mt19937 random(1234);
    int taken = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::string> lines;
        std::map<uint32_t, uint8_t> given;
        for (const Aimed& aim : inside) {
            if (random() % 2 == 0) continue;
            Bytes data(aim.length);
            for (uint32_t i = 0; i < aim.length; ++i) given[aim.address + i] = data[i] = static_cast<uint8_t>(random());
            lines.push_back(Record(aim.type, aim.address, data));
        }
        const bool past = random() % 3 == 0;
        if (past) {
            const Aimed& aim = outside[random() % 3];
            lines.push_back(Record(aim.type, aim.address, Bytes(aim.length, 0x5A)));
        }
        // Random bytes on lines that begin like records other than an end
        // record, none in every third round. (A line that does not begin
        // with S is refused at once; one that begins with Ctrl-Z or an end
        // record, or a line end, would end the file early.)
        for (int garbage = round % 3 == 0 ? 0 : static_cast<int>(random() % 3) + 1; garbage > 0; --garbage) {
            std::string text(random() % 600, '\0');
            for (char& c : text) {
                do c = static_cast<char>(random());
                while (c == '\n' || c == '\r' || c == '\x1A');
            }
            text.insert(text.begin(), {'S', static_cast<char>('0' + random() % 7)});
            lines.push_back(text);
        }
        std::shuffle(lines.begin(), lines.end(), random);
        std::string file;
        for (const std::string& line : lines) file += line + "\n";
        m_ui.ClearRecords();
        LoadText(file + Record(8, 0) + "\n");
        ASSERT_LE(m_ui.m_messages.size(), 1u);

        // What the table holds, page by page; a page made outside it is
        // counted but not found.
        size_t found = 0;
        for (uint32_t index = 0; index < CMotFile::kPageCount; ++index) {
            const CLineImage* page = m_image.LookupPage(index);
            if (page == nullptr) continue;
            ++found;
            if (m_ui.m_messages.empty()) {
                for (uint32_t offset = 0; offset < 256; ++offset) {
                    const auto byte = given.find(index * 256 + offset);
                    ASSERT_EQ(page->Bytes()[offset], byte != given.end() ? byte->second : 0xFF)
                        << std::hex << index * 256 + offset;
                }
            }
        }
        EXPECT_EQ(m_image.PageCount(), found);
        if (!m_ui.m_messages.empty()) {
            EXPECT_EQ(found, 0u);
            continue;
        }
        ++taken;
        EXPECT_FALSE(past) << "a record from outside the address space was taken";
        std::set<uint32_t> pages;
        for (const auto& [address, byte] : given) pages.insert(address / 256);
        EXPECT_EQ(found, pages.size());
    }
    EXPECT_GT(taken, 20);  // enough files were taken to look at their bytes
}

}  // namespace
}  // namespace pelican::test
