// The parts of a board's record and number: the serial number's bytes in
// each format, the counter file's text, the shared file's lock between
// threads, and the record's line.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "station/RunRecord.h"
#include "station/SerialCounter.h"
#include "station/SerialNumber.h"
#include "store/StoreUrl.h"
#include "support/StrictJson.h"
#include "support/TempDir.h"
#include "sys/LockWait.h"
#include "sys/LockedFile.h"
#include "sys/Station.h"

namespace pelican::test {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char hex[4];
    for (const uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += hex;
    }
    return text;
}

TEST(SerialNumber, BytesOfEachFormat) {
    const struct {
        const char* option;
        uint64_t value;
        const char* bytes;  // empty: refused
        const char* error;
    } cases[] = {
        {"FFF00:le16:c", 0x1234, "3412", ""},
        {"FFF00:be16:c", 0x1234, "1234", ""},
        {"FFF00:le32:c", 0x12345678, "78563412", ""},
        {"FFF00:be32:c", 0x12345678, "12345678", ""},
        {"FFF00:le16:c", 65535, "FFFF", ""},
        {"FFF00:le16:c", 65536, "", "65536 does not fit le16 (0 to 65535)"},
        {"FFF00:be32:c", 4294967295u, "FFFFFFFF", ""},
        {"FFF00:be32:c", 4294967296u, "", "4294967296 does not fit be32 (0 to 4294967295)"},
        {"FFF00:ascii6:c", 42, "303030303432", ""},
        {"FFF00:ascii1:c", 9, "39", ""},
        {"FFF00:ascii1:c", 10, "", "10 does not fit ascii1 (0 to 9)"},
        {"FFF00:ascii3:c", 999, "393939", ""},
        {"FFF00:ascii3:c", 1000, "", "1000 does not fit ascii3 (0 to 999)"},
        {"FFF00:ascii19:c", 9999999999999999999u, "39393939393939393939393939393939393939", ""},
    };
    for (const auto& c : cases) {
        CSerialNumber serial;
        std::string error;
        ASSERT_TRUE(CSerialNumber::Parse(c.option, serial, error)) << c.option << ": " << error;
        std::vector<uint8_t> bytes;
        EXPECT_EQ(serial.Encode(c.value, bytes, error), *c.bytes != '\0') << c.option << " " << c.value;
        if (*c.bytes != '\0') {
            EXPECT_EQ(Hex(bytes), c.bytes) << c.option << " " << c.value;
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(SerialNumber, WhatTheOptionTakes) {
    const struct {
        const char* text;
        uint32_t address;
        const char* format;
        const char* counter;
        const char* error;  // empty: taken
    } cases[] = {
        {"FFF00:le32:counter.txt", 0x0FFF00, "le32", "counter.txt", ""},
        {"0x0C0100:ascii8:C:\\line\\counter", 0x0C0100, "ascii8", "C:\\line\\counter", ""},
        {"FFFFFE:le16:c", 0xFFFFFE, "le16", "c", ""},
        {"FFFFFE:le32:c", 0, "", "", "the number's bytes pass the end of the address space (FFFFFF)"},
        {"FFFFFF:ascii2:c", 0, "", "", "the number's bytes pass the end of the address space (FFFFFF)"},
        {"1000000:le16:c", 0, "", "", "the address must be hexadecimal, up to FFFFFF"},
        {"FFG00:le16:c", 0, "", "", "the address must be hexadecimal, up to FFFFFF"},
        {"FFF00:le24:c", 0, "", "", "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
        {"FFF00:ascii0:c", 0, "", "", "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
        {"FFF00:ascii20:c", 0, "", "", "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
        {"FFF00:ascii:c", 0, "", "", "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
        {"FFF00:LE16:c", 0, "", "", "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
        {"FFF00:le16:", 0, "", "", "no counter file given after the format"},
        {"FFF00:le16", 0, "", "", "expected ADDR:FORMAT:COUNTERFILE, e.g. FFF00:le32:counter.txt"},
    };
    for (const auto& c : cases) {
        CSerialNumber serial;
        std::string error;
        EXPECT_EQ(CSerialNumber::Parse(c.text, serial, error), *c.error == '\0') << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        if (*c.error != '\0') continue;
        EXPECT_EQ(serial.Address(), c.address) << c.text;
        EXPECT_EQ(serial.FormatText(), c.format) << c.text;
        EXPECT_EQ(serial.CounterPath(), c.counter) << c.text;
    }
}

TEST(StoreUrl, WhatTheOptionTakesAndWhatODBCConnectsWith) {
    const struct {
        const char* text;
        const char* driver;      // the installed one chosen
        const char* connection;  // what ODBC is given
        const char* error;       // empty: taken
    } cases[] = {
        {"file:", "", "", ""},
        {"sqlite:/var/lib/line/line.db", "SQLite3", "Driver={SQLite3};Database=/var/lib/line/line.db;Timeout=30000;",
         ""},
        {"sqlite:C:\\line\\line.db", "SQLite3 ODBC Driver",
         "Driver={SQLite3 ODBC Driver};Database=C:\\line\\line.db;Timeout=30000;", ""},
        {"postgresql://line@db.example/pelican", "PostgreSQL Unicode",
         "Driver={PostgreSQL Unicode};Server=db.example;Database=pelican;UID=line;"
         "pqopt={connect_timeout=10 keepalives=1 keepalives_idle=10 keepalives_interval=5 keepalives_count=3 "
         "tcp_user_timeout=30000};", ""},
        {"postgresql://line@10.0.0.5:5433/pelican", "PostgreSQL Unicode(x64)",
         "Driver={PostgreSQL Unicode(x64)};Server=10.0.0.5;Database=pelican;Port=5433;UID=line;"
         "pqopt={connect_timeout=10 keepalives=1 keepalives_idle=10 keepalives_interval=5 keepalives_count=3 "
         "tcp_user_timeout=30000};", ""},
        {"postgresql://db.example/pelican", "PostgreSQL ANSI",
         "Driver={PostgreSQL ANSI};Server=db.example;Database=pelican;"
         "pqopt={connect_timeout=10 keepalives=1 keepalives_idle=10 keepalives_interval=5 keepalives_count=3 "
         "tcp_user_timeout=30000};", ""},
        {"sqlite:", "", "", "sqlite: needs the database file's path, e.g. sqlite:/var/lib/line/line.db"},
        {"sqlite:a;Driver=x", "", "", "the database file's path must not hold ; { or }"},
        {"postgresql://line:secret@db/pelican", "", "",
         "the password does not go in the URL: PGPASSWORD or the password file (~/.pgpass) holds it"},
        {"postgresql://line@db:0/pelican", "", "", "the port must be a number from 1 to 65535"},
        {"postgresql://line@db:65536/pelican", "", "", "the port must be a number from 1 to 65535"},
        {"postgresql://line@db:/pelican", "", "", "the port must be a number from 1 to 65535"},
        {"postgresql://line@db", "", "", "postgresql:// needs the database after the host: postgresql://user@host[:port]/db"},
        {"postgresql://line@db/", "", "", "postgresql:// needs the database after the host: postgresql://user@host[:port]/db"},
        {"postgresql://line@/pelican", "", "", "postgresql:// needs the server's host: postgresql://user@host[:port]/db"},
        {"postgresql://li;ne@db/pelican", "", "", "the user, host and database must not hold ; { } (nor the database /)"},
        {"postgres://line@db/pelican", "", "", "expected file:, sqlite:PATH or postgresql://user@host[:port]/db"},
        {"line.db", "", "", "expected file:, sqlite:PATH or postgresql://user@host[:port]/db"},
    };
    for (const auto& c : cases) {
        CStoreUrl url;
        std::string error;
        EXPECT_EQ(CStoreUrl::Parse(c.text, url, error), *c.error == '\0') << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        if (*c.error != '\0') continue;
        EXPECT_EQ(url.ConnectionString(c.driver), c.connection) << c.text;
    }
}

TEST(SerialCounter, WhatTheFileMayHold) {
    const struct {
        std::string text;
        uint64_t value;
        const char* error;  // empty: taken
    } cases[] = {
        {"17", 17, ""},
        {"17\n", 17, ""},
        {"17\r\n", 17, ""},
        {"0\n", 0, ""},
        {"000123\n", 123, ""},
        {"18446744073709551614", 18446744073709551614u, ""},
        {"18446744073709551615", 0, "holds a number too large"},
        {"99999999999999999999999", 0, "holds a number too large"},
        {"", 0, "is empty: it must hold the next number"},
        {"\n", 0, "holds \"?\", not a number"},
        {" 17", 0, "holds \" 17\", not a number"},
        {"-1", 0, "holds \"-1\", not a number"},
        {"17 18\n", 0, "holds \"17 18?\", not a number"},
        {"0x11", 0, "holds \"0x11\", not a number"},
        {"12abc", 0, "holds \"12abc\", not a number"},
        {std::string("1\0", 2), 0, "holds \"1?\", not a number"},
    };
    for (const auto& c : cases) {
        uint64_t value = 0;
        std::string error;
        EXPECT_EQ(CSerialCounter::ParseValue(c.text, value, error), *c.error == '\0') << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        if (*c.error == '\0') {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(SerialCounter, TakeWritesTheNextAndRefusalsLeaveTheFile) {
    CTempDir dir;
    const std::string path = dir.File("counter");
    uint64_t value = 0;
    std::string error;
    EXPECT_FALSE(CSerialCounter::Take(path, CLockWait(RealClock()), nullptr, value, error));
    EXPECT_EQ(error.rfind("the counter file " + path + " could not be opened: ", 0), 0u) << error;
    EXPECT_NE(error.find("(it must exist and hold the next number, e.g. 1)"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.File("counter")));  // never made: a missing counter is not 0

    dir.Write("counter", "garbage\n");
    EXPECT_FALSE(CSerialCounter::Take(path, CLockWait(RealClock()), nullptr, value, error));
    EXPECT_EQ(error, "the counter file " + path + " holds \"garbage?\", not a number");
    EXPECT_EQ(dir.Read("counter"), "garbage\n");

    dir.Write("counter", "65535\n");
    ASSERT_TRUE(CSerialCounter::Take(path, CLockWait(RealClock()), nullptr, value, error)) << error;
    EXPECT_EQ(value, 65535u);
    EXPECT_EQ(dir.Read("counter"), "65536\n");
    // A number the caller refuses is not used up.
    const auto refuse = [](uint64_t next, std::string& why) {
        why = std::to_string(next) + " refused";
        return false;
    };
    EXPECT_FALSE(CSerialCounter::Take(path, CLockWait(RealClock()), refuse, value, error));
    EXPECT_EQ(error, "65536 refused");
    EXPECT_EQ(dir.Read("counter"), "65536\n");
    // A longer text shrinks back: nothing of the old one is left behind.
    dir.Write("counter", "7\n\n\n\n\n");
    ASSERT_TRUE(CSerialCounter::Take(path, CLockWait(RealClock()), nullptr, value, error)) << error;
    EXPECT_EQ(dir.Read("counter"), "8\n");
}

TEST(SerialCounter, ThreadsTakingFromOneFileNeverShareANumber) {
    CTempDir dir;
    dir.Write("counter", "100\n");
    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<std::vector<uint64_t>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                uint64_t value = 0;
                std::string error;
                if (CSerialCounter::Take(dir.File("counter"), CLockWait(RealClock()), nullptr, value, error))
                    taken[t].push_back(value);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<uint64_t> all;
    for (const auto& values : taken) all.insert(values.begin(), values.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(*all.begin(), 100u);
    EXPECT_EQ(*all.rbegin(), 199u);
    EXPECT_EQ(dir.Read("counter"), "200\n");
}

TEST(LockedFile, AppendsStayWholeLinesAcrossThreadsAndAfterATornOne) {
    CTempDir dir;
    // A writer killed part way left a line without its end.
    dir.Write("log", "{\"torn\":");
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CLockedFile file;
            std::string error;
            if (!file.Open(dir.File("log"), CLockedFile::Mode::Append, error)) return;
            for (int i = 0; i < kEach; ++i) {
                const std::string line = "{\"thread\":" + std::to_string(t) + ",\"line\":" + std::to_string(i) +
                                         ",\"pad\":\"" + std::string(3000, 'x') + "\"}\n";
                CLockedFile::Attempt attempt;
                while ((attempt = file.TryLock(error)) == CLockedFile::Attempt::Busy) std::this_thread::yield();
                if (attempt == CLockedFile::Attempt::Locked && file.Append(line, error) && file.Sync(error))
                    file.Unlock();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const std::string text = dir.Read("log");
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "the log does not end with a line end";
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 1u + kThreads * kEach);
    EXPECT_EQ(lines[0], "{\"torn\":");
    std::set<std::string> seen;
    for (size_t i = 1; i < lines.size(); ++i) {
        nlohmann::json value;
        std::string error;
        ASSERT_TRUE(ParseJson(lines[i], value, error)) << error.substr(0, 80);
        seen.insert(Show(value["thread"]) + "/" + Show(value["line"]));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kEach));
}

TEST(LockedFile, WhatCannotBeOpened) {
    CTempDir dir;
    CLockedFile file;
    std::string error;
    EXPECT_FALSE(file.Open(dir.Path(), CLockedFile::Mode::Append, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(file.Open(dir.File("missing"), CLockedFile::Mode::Update, error));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    EXPECT_FALSE(file.Open(dir.File("no-folder/log"), CLockedFile::Mode::Append, error));
    EXPECT_TRUE(file.Open(dir.File("new"), CLockedFile::Mode::Append, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir.File("new")));
}

TEST(Station, TimeWithItsOffset) {
    EXPECT_EQ(CStation::FormatTime(2026, 12, 9, 10, 42, 7, 0), "2026-12-09T10:42:07+00:00");
    EXPECT_EQ(CStation::FormatTime(2026, 6, 1, 0, 0, 0, 7200), "2026-06-01T00:00:00+02:00");
    EXPECT_EQ(CStation::FormatTime(2026, 1, 31, 23, 59, 59, -(3 * 3600 + 1800)), "2026-01-31T23:59:59-03:30");
    EXPECT_EQ(CStation::FormatTime(2026, 3, 5, 8, 5, 1, 20700), "2026-03-05T08:05:01+05:45");
    const std::string now = CStation::LocalTime();
    ASSERT_EQ(now.size(), 25u) << now;
    EXPECT_EQ(now[10], 'T');
    EXPECT_TRUE(now[19] == '+' || now[19] == '-') << now;
    EXPECT_EQ(now[22], ':');
}

TEST(RunRecord, TheLineWithAndWithoutItsOptionalFields) {
    CRunRecord record;
    record.time = "2026-12-09T10:42:07+00:00";
    record.host = "station-1";
    record.port = "/dev/ttyUSB0";
    record.file = "prog \"1\".mot";
    record.sha256 = "ab";
    record.outcome = "no link";
    record.exit = 3;
    EXPECT_EQ(record.Text(),
              "{\"time\":\"2026-12-09T10:42:07+00:00\",\"host\":\"station-1\",\"port\":\"/dev/ttyUSB0\","
              "\"file\":\"prog \\\"1\\\".mot\",\"sha256\":\"ab\",\"ranges\":[],\"actions\":[],"
              "\"outcome\":\"no link\",\"exit\":3}");
    record.usbSerial = "A6008isP";
    record.ranges.push_back({"epr", "Program", 0x0C0000, 0x0C03FF, 1, 4, "interrupted"});
    record.actions.push_back({"epr", "done", 1234});
    record.version = "VER.1.00";
    record.status = std::array<uint8_t, 2>{0x80, 0x00};
    record.numbered = true;
    record.serial = CRunRecord::Serial{9999999999999999999u, 0x0FFF00, "ascii19", {0x39, 0x0A}};
    EXPECT_EQ(record.Text(),
              "{\"time\":\"2026-12-09T10:42:07+00:00\",\"host\":\"station-1\",\"port\":\"/dev/ttyUSB0\","
              "\"usb_serial\":\"A6008isP\",\"file\":\"prog \\\"1\\\".mot\",\"sha256\":\"ab\","
              "\"ranges\":[{\"action\":\"epr\",\"title\":\"Program\",\"start\":\"0C0000\",\"end\":\"0C03FF\","
              "\"pages\":1,\"due\":4,\"outcome\":\"interrupted\"}],\"actions\":[{\"action\":\"epr\",\"outcome\":\"done\",\"ms\":1234}],"
              "\"version\":\"VER.1.00\",\"status\":[128,0],\"serial\":{\"value\":9999999999999999999,"
              "\"address\":\"0FFF00\",\"format\":\"ascii19\",\"bytes\":\"390A\"},\"outcome\":\"no link\",\"exit\":3}");
    // The number's trace names the board without waiting for the run's end.
    EXPECT_EQ(record.TakenText(*record.serial),
              "{\"time\":\"2026-12-09T10:42:07+00:00\",\"host\":\"station-1\",\"port\":\"/dev/ttyUSB0\","
              "\"usb_serial\":\"A6008isP\",\"taken\":{\"value\":9999999999999999999,\"address\":\"0FFF00\","
              "\"format\":\"ascii19\",\"bytes\":\"390A\"}}");
    record.serial.reset();
    EXPECT_NE(record.Text().find(",\"serial\":null,"), std::string::npos);
}

}  // namespace
}  // namespace pelican::test
