// The settings file: its odd key names, the load rules, and saves that keep
// what they do not know and never leave a broken file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "app/AppBench.h"
#include "app/SaveIni.h"
#include "sys/Clock.h"
#include "sys/FileReplacer.h"
#include "sys/LockedFile.h"
#include "support/ScopedEnvironment.h"
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

// The names in a folder.
std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
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
    // The lock file that orders the saves stays beside it.
    EXPECT_EQ(NamesIn(dir.Path() + "/config/sub"), (std::set<std::string>{"p.INI", "p.INI.lock"}));
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

[[maybe_unused]] CSaveIni::SaveResult Save(const std::string& path, int32_t baud) {
    CSaveIni ini(path);
    ini.SetValues(baud, 8, 0, 0);
    return ini.SaveCommState();
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(SettingsFile, ASaveThatFailsAndAFileTooLargeToReadAreToldOnceAndTheFileKept) {
    CAppBench bench;
    const std::string path = bench.m_dir.File("pelican.INI");
    // A folder has the file's name: every save fails the same way.
    std::filesystem::create_directory(path);
    {
        CPelicanApp app(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
        testing::internal::CaptureStderr();
        app.SaveCommState(CSerialCommState(9600, 8, 0, 0));
        app.SaveCommState(CSerialCommState(115200, 8, 0, 0));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "pelican: the link settings are not saved in " + path + ": it is a folder\n");
    }
    std::filesystem::remove(path);

    // Megabytes where a few lines belong: not read, not written over.
    const std::string huge = "[Last Comm State]\nBaundrate=38400\n" + std::string(2 << 20, ';') + "\n";
    bench.m_dir.Write("pelican.INI", huge);
    {
        CPelicanApp app(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
        CSerialCommState state;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(app.LoadCommState(state));
        app.SaveCommState(CSerialCommState(9600, 8, 0, 0));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "pelican: the link settings are not saved in " + path +
                      ": it is too large to be a settings file; it is not read and kept as it is\n");
    }
    EXPECT_EQ(bench.m_dir.Read("pelican.INI"), huge);
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(SettingsFile, SaveKeepsPermissionsLineEndsAndTheLinkToTheFile) {
    CTempDir dir;
    // A file kept elsewhere in the user's home (a dotfiles folder) and
    // linked into the config folder.
    CScopedEnv env;
    env.Set("HOME", dir.Path());
    std::filesystem::create_directories(dir.File("dotfiles"));
    std::filesystem::create_directories(dir.File("config"));
    dir.Write("dotfiles/p.INI", "; mine\r\n[Last Comm State]\r\nBaundrate=9600\r\n");
    ASSERT_EQ(::chmod(dir.File("dotfiles/p.INI").c_str(), 0640), 0);
    std::filesystem::create_symlink("../dotfiles/p.INI", dir.File("config/p.INI"));

    EXPECT_EQ(Save(dir.File("config/p.INI"), 57600), CSaveIni::SaveResult::Saved);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("config/p.INI")));
    EXPECT_EQ(dir.Read("dotfiles/p.INI"),
              "; mine\r\n[Last Comm State]\r\nBaundrate=57600\r\nByte=8\r\nStop Bit=0\r\nParity=0\r\n");
    EXPECT_EQ(ModeOf(dir.File("dotfiles/p.INI")), 0640u);
    // The lock beside the file itself, where every link to it leads.
    EXPECT_EQ(NamesIn(dir.File("dotfiles")), (std::set<std::string>{"p.INI", "p.INI.lock"}));
    EXPECT_EQ(NamesIn(dir.File("config")), (std::set<std::string>{"p.INI"}));

    // A link to a file not made yet: the file is made where the link points.
    std::filesystem::create_symlink("../dotfiles/new.INI", dir.File("config/new.INI"));
    EXPECT_EQ(Save(dir.File("config/new.INI"), 9600), CSaveIni::SaveResult::Saved);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("config/new.INI")));
    EXPECT_EQ(dir.Read("dotfiles/new.INI"), CAppBench::CleanSection(9600));
}
#endif  // POSIX

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(SettingsFile, AsTheSuperuserALinkOutOfTheUsersFilesIsNotFollowed) {
    CAppBench bench;
    CTempDir elsewhere;  // a system file, as far as this user is concerned
    const std::string home = bench.m_dir.File("home");
    std::filesystem::create_directories(home + "/dotfiles");
    CScopedEnv env;
    env.Set("HOME", home);
    elsewhere.Write("victim", "root:x:0:0\n");
    const std::string link = bench.m_dir.File("pelican.INI");
    std::filesystem::create_symlink(elsewhere.File("victim"), link);
    {
        CPelicanApp app(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
        testing::internal::CaptureStderr();
        app.SaveCommState(CSerialCommState(9600, 8, 0, 0));
        const std::string err = testing::internal::GetCapturedStderr();
        if (::geteuid() == 0) {
            EXPECT_EQ(err, "pelican: the link settings are not saved in " + elsewhere.File("victim") +
                               ": the settings file " + link +
                               " leads there through a symbolic link, outside your own files, and this run is the "
                               "superuser's\n");
            EXPECT_EQ(elsewhere.Read("victim"), "root:x:0:0\n");
            EXPECT_FALSE(std::filesystem::exists(elsewhere.File("victim.lock")));  // nor a lock made beside it
        }
    }
    // Into the home folder (a dotfiles folder) the link is followed, root or not.
    std::filesystem::remove(link);
    std::filesystem::create_symlink(home + "/dotfiles/pelican.INI", link);
    EXPECT_EQ(Save(link, 19200), CSaveIni::SaveResult::Saved);
    EXPECT_EQ(bench.m_dir.Read("home/dotfiles/pelican.INI"), CAppBench::CleanSection(19200));
    if (::geteuid() != 0) GTEST_SKIP() << "the superuser's rule needs a run as root";
}
#endif  // POSIX

TEST(SettingsFile, ReadOnlyFileIsLeftAloneAndToldOnce) {
    CAppBench bench;
    const std::string path = bench.m_dir.File("pelican.INI");
    bench.StoreRate(38400);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::string told = "The settings file is read-only; the link settings are not saved.\n" + path;
    for (bool window : {false, true}) {  // batch mode's standard output is its results
        bench.m_ui.ClearRecords();
        CPelicanApp app(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
        app.SetUi(&bench.m_ui);
        app.m_tellReadOnlySettings = window;
        testing::internal::CaptureStderr();
        app.SaveCommState(CSerialCommState(9600, 8, 0, 0));
        app.SaveCommState(CSerialCommState(115200, 8, 0, 0));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "pelican: The settings file is read-only; the link settings are not saved: " + path + "\n");
        EXPECT_EQ(bench.m_ui.m_messages.size(), window ? 1u : 0u);
    }
    EXPECT_EQ(bench.Messages().at(0), std::make_pair(told, ui::Icon::Information));
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(38400));
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_FALSE(std::filesystem::exists(path + ".lock"));
}

// What a save does once its new file is whole beside the old one and before
// it takes the old one's place: the moment the tests below aim at.
std::function<void(const std::string& temporary)> g_inTheWindow;

void InTheWindow(const std::string& temporary, const std::string&) {
    const auto what = std::move(g_inTheWindow);
    CFileReplacer::s_beforeRename = nullptr;  // a save made from here has no window of its own to stop in
    what(temporary);
}

// Saves with what at the moment before the rename.
CSaveIni::SaveResult SaveStoppingInTheWindow(const std::string& path, int32_t baud,
                                             std::function<void(const std::string&)> what) {
    g_inTheWindow = std::move(what);
    CFileReplacer::s_beforeRename = &InTheWindow;
    const CSaveIni::SaveResult result = Save(path, baud);
    CFileReplacer::s_beforeRename = nullptr;
    return result;
}

const char* const kForeign = "; mine\n[Other]\nkey = value\n";

std::string WithForeign(int32_t baud) {
    return kForeign + CAppBench::CleanSection(baud);
}

// A second save, on a thread of its own as a second program's would be:
// it tells once it waits for the lock, or once it is over.
struct SecondSave {
    std::mutex mutex;
    std::condition_variable changed;
    int waits = 0;
    bool over = false;
    void Tell(bool done) {
        const std::lock_guard<std::mutex> hold(mutex);
        if (done) over = true;
        else ++waits;
        changed.notify_all();
    }
};
SecondSave* g_second = nullptr;

// Sets the lock's seam to tell g_second, and clears it.
struct WaitsTold {
    explicit WaitsTold(SecondSave& second) {
        g_second = &second;
        CSaveIni::s_lockBusy = [] { g_second->Tell(false); };
    }
    ~WaitsTold() {
        CSaveIni::s_lockBusy = nullptr;
        g_second = nullptr;
    }
};

TEST(SettingsFile, TwoProgramsSavingAtOnceKeepEachOthersKeys) {
    // Two stations of a line share the settings folder: one saves its link
    // settings while the other saves its page choice, which begins as the
    // first one's new file waits to be renamed. The second waits for the
    // first and reads what it left, so the file ends with both. Whoever
    // reads the file meanwhile finds one save's whole file, and what the
    // user put in it stays.
    CTempDir dir;
    const std::string path = dir.File("p.INI");
    dir.Write("p.INI", WithForeign(9600));
    SecondSave second;
    const WaitsTold told(second);
    std::string inWindow, waiting;
    CSaveIni::SaveResult secondResult = CSaveIni::SaveResult::Failed;
    std::thread other;
    EXPECT_EQ(SaveStoppingInTheWindow(path, 19200,
                                      [&](const std::string& temporary) {
                                          other = std::thread([&] {
                                              secondResult = CSaveIni(path).SaveSkipEmptyPages(true);
                                              second.Tell(true);
                                          });
                                          std::unique_lock<std::mutex> hold(second.mutex);
                                          second.changed.wait(hold, [&] { return second.waits > 0 || second.over; });
                                          inWindow = dir.Read("p.INI");
                                          waiting = dir.Read(std::filesystem::path(temporary).filename().string());
                                      }),
              CSaveIni::SaveResult::Saved);
    other.join();
    EXPECT_EQ(second.waits, 1);
    EXPECT_EQ(inWindow, WithForeign(9600));
    EXPECT_EQ(waiting, WithForeign(19200));
    EXPECT_EQ(secondResult, CSaveIni::SaveResult::Saved);
    EXPECT_EQ(dir.Read("p.INI"), WithForeign(19200) + "\n[Pages]\nSkipEmpty=1\n");
    EXPECT_EQ(NamesIn(dir.Path()), (std::set<std::string>{"p.INI", "p.INI.lock"}));
}

TEST(SettingsFile, ALockHeldTooLongIsWaitedOutAndReadingNeverWaits) {
    // A program stopped in the middle of a save (a debugger, a hung network
    // folder) keeps the lock: a save waits five seconds for it, then goes
    // on as if there were no lock. Reading does not wait at all.
    CTempDir dir;
    dir.Write("p.INI", WithForeign(9600));
    CLockedFile held;
    std::string error;
    ASSERT_TRUE(held.Open(dir.File("p.INI.lock"), CLockedFile::Mode::Append, error)) << error;
    ASSERT_EQ(held.TryLock(error), CLockedFile::Attempt::Locked) << error;
    CVirtualClock clock;
    CSaveIni ini(dir.File("p.INI"), clock);
    SecondSave second;
    const WaitsTold told(second);
    EXPECT_TRUE(ini.LoadCommState());
    EXPECT_EQ(ini.m_baudRate, 9600);
    EXPECT_FALSE(ini.LoadSkipEmptyPages());
    EXPECT_EQ(clock.Elapsed(), 0u);

    ini.SetValues(57600, 8, 0, 0);
    EXPECT_EQ(ini.SaveCommState(), CSaveIni::SaveResult::Saved);
    EXPECT_EQ(clock.Elapsed(), 5000u);
    EXPECT_EQ(second.waits, 1);
    EXPECT_EQ(dir.Read("p.INI"), WithForeign(57600));
    // Given back, the lock is taken at once.
    held.Close();
    EXPECT_EQ(ini.SaveSkipEmptyPages(true), CSaveIni::SaveResult::Saved);
    EXPECT_EQ(clock.Elapsed(), 5000u);
    EXPECT_EQ(second.waits, 1);
    EXPECT_TRUE(ini.LoadSkipEmptyPages());
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
long FilesIn(const CTempDir& dir) {
    return std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator());
}

TEST(SettingsFile, NoTemporaryFileOutlivesASave) {
    // A save told to end (SIGTERM, SIGHUP) as its file waits to be renamed
    // finishes first: the file is the new one, whole, with nothing beside
    // it. Killed there (SIGKILL, a power loss), the old file stays whole.
    CTempDir dir;
    for (const int sig : {SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(sig);
        dir.Write("p.INI", WithForeign(9600));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveStoppingInTheWindow(dir.File("p.INI"), 57600, [sig](const std::string&) { ::kill(::getpid(), sig); });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        if (sig == SIGKILL) {
            EXPECT_EQ(dir.Read("p.INI"), WithForeign(9600));
            // Its temporary file, whole, stays until a later save finds it old.
            ASSERT_EQ(FilesIn(dir), 3);
            for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
                if (entry.path().filename() == "p.INI" || entry.path().filename() == "p.INI.lock") continue;
                EXPECT_EQ(dir.Read(entry.path().filename().string()), WithForeign(57600));
            }
        } else {
            EXPECT_EQ(dir.Read("p.INI"), WithForeign(57600));
            EXPECT_EQ(FilesIn(dir), 2);
        }
    }
    // One that a power loss or SIGKILL left behind goes with the next save
    // once it is old; a recent one (another save's) and the user's files stay.
    dir.Write("p.INI.saving-Ab3dE9", "half a fi");
    dir.Write("p.INI.saving-x1Y2z3", "in progress");
    dir.Write("p.INI.backup", "the user's");
    const timespec old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("p.INI.saving-Ab3dE9").c_str(), old, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("p.INI.backup").c_str(), old, 0), 0);
    EXPECT_EQ(Save(dir.File("p.INI"), 9600), CSaveIni::SaveResult::Saved);
    EXPECT_FALSE(std::filesystem::exists(dir.File("p.INI.saving-Ab3dE9")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("p.INI.saving-x1Y2z3")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("p.INI.backup")));

    // A pipe in the file's place neither blocks start-up nor is replaced.
    ASSERT_EQ(::mkfifo(dir.File("q.INI").c_str(), 0600), 0);
    EXPECT_FALSE(CSaveIni(dir.File("q.INI")).LoadCommState());
    EXPECT_EQ(Save(dir.File("q.INI"), 9600), CSaveIni::SaveResult::Failed);
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("q.INI")));
}
#endif  // POSIX

}  // namespace
}  // namespace pelican::test
