// Files written by common S-record tools load into exactly the bytes they
// were made from: S1, S2 and S3 records of many lengths, unaligned to pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "LoaderFixture.h"
#include "support/SrecCat.h"

namespace pelican::test {
namespace {

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

class ToolFilesTest : public LoaderTest {
protected:
    std::string MakeBinary(size_t size, unsigned seed) {
        std::mt19937 random(seed);
        m_binary.resize(size);
        for (auto& b : m_binary) b = static_cast<uint8_t>(random());
        const std::string path = m_dir.File("data.bin");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(m_binary.data()),
                                                    static_cast<std::streamsize>(size));
        return path;
    }

    // Runs the tool, loads what it wrote and compares the whole address space.
    // srec_cat writes no termination record unless told an execution
    // address, objcopy always does: only that ends the load with 1.
    void LoadAndCompare(const std::string& command, int status, const std::string& out, uint32_t base,
                        const char* expectType, int expectResult) {
        SCOPED_TRACE(command);
        ASSERT_EQ(status, 0);
        std::ifstream file(out);
        std::string first, line;
        while (std::getline(file, line) && first.empty())
            if (line.rfind("S1", 0) == 0 || line.rfind("S2", 0) == 0 || line.rfind("S3", 0) == 0) first = line;
        ASSERT_EQ(first.substr(0, 2), expectType);

        m_ui.ClearRecords();
        EXPECT_EQ(m_image.Load(m_ui, out), expectResult);
        EXPECT_TRUE(m_ui.m_messages.empty());
        const uint32_t end = base + static_cast<uint32_t>(m_binary.size());
        Bytes expected(256);
        for (uint32_t index = 0; index < CMotFile::kPageCount; ++index) {
            const uint32_t pageStart = index * 256;
            const bool touched = pageStart + 256 > base && pageStart < end;
            const Bytes page = Page(index);
            ASSERT_EQ(!page.empty(), touched) << "page " << std::hex << index;
            if (!touched) continue;
            for (uint32_t offset = 0; offset < 256; ++offset) {
                const uint32_t address = pageStart + offset;
                expected[offset] = address >= base && address < end ? m_binary[address - base] : 0xFF;
            }
            ASSERT_EQ(page, expected) << "page " << std::hex << index;
        }
    }

    Bytes m_binary;
};

TEST_F(ToolFilesTest, SrecCatFilesOfEveryAddressWidthAndRecordLength) {
    if (!SrecCatOrSkip()) return;
    struct Case {
        int addressLength;
        uint32_t base;
        size_t size;
        int blockSize;
        const char* type;
    };
    const Case cases[] = {
        {2, 0x1234, 40000, 1, "S1"},       {2, 0x0000, 0x10000, 16, "S1"}, {2, 0x00F1, 30000, 252, "S1"},
        {3, 0x0ABC12, 100000, 7, "S2"},    {3, 0x0C0000, 65536, 32, "S2"}, {3, 0x0FFF01, 5000, 251, "S2"},
        {4, 0xF00007, 200000, 32, "S3"},   {4, 0xFFEC78, 5000, 250, "S3"}, {4, 0x000081, 9000, 64, "S3"},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        const std::string in = MakeBinary(c.size, seed++);
        const std::string out = m_dir.File("cat.s");
        const std::string arguments = in + " -binary -offset " + Hex(c.base) + " -o " + out +
                                      " -motorola -address-length=" + std::to_string(c.addressLength) +
                                      " -obs=" + std::to_string(c.blockSize);
        LoadAndCompare(arguments, RunSrecCat(arguments), out, c.base, c.type, 0);
    }
}

TEST_F(ToolFilesTest, ObjcopyFiles) {
    if (!HaveTool("objcopy")) GTEST_SKIP() << "objcopy is not installed";
    struct Case {
        uint32_t base;
        size_t size;
        std::string options;
        const char* type;
    };
    const Case cases[] = {
        {0x1234, 20000, "--srec-len=40", "S1"},
        {0x0ABC12, 70000, "--srec-len=64", "S2"},
        {0x00F0F0, 9000, "--srec-len=16", "S2"},
        {0x0FFFDF, 33, "--srec-forceS3 --srec-len=7", "S3"},
        {0xFF0001, 65535, "--srec-forceS3", "S3"},
    };
    unsigned seed = 100;
    for (const Case& c : cases) {
        const std::string in = MakeBinary(c.size, seed++);
        const std::string out = m_dir.File("objcopy.mot");
        const std::string command =
            "objcopy -I binary -O srec --change-addresses " + Hex(c.base) + " " + c.options + " " + in + " " + out;
        LoadAndCompare(command, std::system(command.c_str()), out, c.base, c.type, 1);
    }
}

}  // namespace
}  // namespace pelican::test
