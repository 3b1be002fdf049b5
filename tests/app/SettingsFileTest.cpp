// The settings file: its odd key names, the load rules, and saves that keep
// what they do not know and never leave a broken file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/SaveIni.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

struct Loaded {
    bool ok;
    int32_t baud;
    int byteSize, parity, stopBits;
};

Loaded Load(const CTempDir& dir, const std::string& text) {
    dir.Write("p.INI", text);
    CSaveIni ini(dir.File("p.INI"));
    const bool ok = ini.LoadCommState();
    return {ok, ini.m_baudRate, ini.m_byteSize, ini.m_parity, ini.m_stopBits};
}

TEST(SettingsFile, LoadRules) {
    CTempDir dir;
    const Loaded full = Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=8\nStop Bit=1\nParity=2\n");
    EXPECT_TRUE(full.ok);
    EXPECT_EQ(full.baud, 38400);
    // "Stop Bit" holds the parity code and "Parity" the stop-bits code.
    EXPECT_EQ(full.parity, 1);
    EXPECT_EQ(full.stopBits, 2);

    EXPECT_FALSE(Load(dir, "").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=38400\n").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=0\nByte=8\nStop Bit=0\nParity=0\n").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=256\nStop Bit=0\nParity=0\n").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=8\nParity=0\n").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=8\nStop Bit=0\n").ok);
    EXPECT_FALSE(Load(dir, "[Last Comm State]\nBaundrate=abc\nByte=8\nStop Bit=0\nParity=0\n").ok);
    EXPECT_EQ(Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=264\nStop Bit=0\nParity=0\n").byteSize, 8);
    EXPECT_EQ(Load(dir, "[Last Comm State]\nBaundrate=38400\nByte=8\nStop Bit=300\nParity=0\n").parity, 44);
}

TEST(SettingsFile, LenientLookupAndOddValues) {
    CTempDir dir;
    // Case, spaces, CR-LF line ends and trailing text are tolerated.
    const Loaded odd = Load(dir, "; comment\r\n[ last comm state ]\r\n  BAUNDRATE = 57600 bps\r\nbyte=8\r\n"
                                 "stop bit = 0\r\nparity=0");
    EXPECT_TRUE(odd.ok);
    EXPECT_EQ(odd.baud, 57600);
    // A huge number wraps like the 32-bit value it is read into, never traps.
    const Loaded huge = Load(dir, "[Last Comm State]\nBaundrate=99999999999999999999\nByte=8\nStop Bit=0\nParity=0\n");
    EXPECT_TRUE(huge.ok);
    EXPECT_EQ(huge.baud, 1661992959);
    const Loaded binary = Load(dir, std::string("\x00\xff[Last Comm State]\n\x01=\x02\nBaundrate=9600\0junk\n", 40));
    EXPECT_FALSE(binary.ok);
}

TEST(SettingsFile, SaveKeepsForeignContentAndWritesACleanSection) {
    CTempDir dir;
    dir.Write("p.INI",
              "; kept\n[Other]\nkey = value\n\n[Last Comm State]\nBaundrate=junk\nExtra=1\nBaundrate=5\n"
              "[timeout]\npageread=20000\n");
    CSaveIni ini(dir.File("p.INI"));
    ini.SetValues(115200, 8, 0, 0);
    ini.SaveCommState();
    EXPECT_EQ(dir.Read("p.INI"),
              "; kept\n[Other]\nkey = value\n\n[Last Comm State]\nBaundrate=115200\nExtra=1\nByte=8\n"
              "Stop Bit=0\nParity=0\n[timeout]\npageread=20000\n");
    EXPECT_EQ(ini.PageReadTimeout(5000), 20000);
    EXPECT_TRUE(ini.LoadCommState());
    EXPECT_EQ(ini.m_baudRate, 115200);
}

TEST(SettingsFile, SaveCreatesTheFolderAndLeavesNoTemporaryFile) {
    CTempDir dir;
    const std::string path = dir.Path() + "/config/sub/p.INI";
    CSaveIni ini(path);
    ini.SetValues(9600, 8, 0, 0);
    ini.SaveCommState();
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() + "/config/sub"),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(ini.PageReadTimeout(5000), 5000);
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile) {
    CTempDir dir;
    // A folder where the file should be: the rename fails, nothing is lost.
    std::filesystem::create_directory(dir.File("p.INI"));
    CSaveIni blocked(dir.File("p.INI"));
    blocked.SetValues(9600, 8, 0, 0);
    blocked.SaveCommState();
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("p.INI")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace pelican::test
