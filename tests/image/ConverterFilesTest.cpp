// Files as converters write them, in the line ends of every system and in
// capitals, loaded as the dialogs and batch mode load them: the image they
// were made from, or a refusal that names the line and leaves nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "LoaderFixture.h"
#include "support/SrecCat.h"

namespace pelican::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The same lines with other line ends.
std::string WithLineEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += end;
        else
            out += c;
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
    return lines;
}

class ConverterFilesTest : public LoaderTest {
protected:
    // srec_cat's output for data at base, as text.
    std::string Convert(uint32_t base, const char* options) {
        std::ofstream(m_dir.File("data.raw"), std::ios::binary)
            .write(reinterpret_cast<const char*>(m_data.data()), static_cast<std::streamsize>(m_data.size()));
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%X", base);
        const std::string out = m_dir.File("out.txt");
        const std::string arguments = m_dir.File("data.raw") + " -binary -offset " + offset + " -o " + out + " " + options;
        EXPECT_EQ(RunSrecCat(arguments), 0) << arguments;
        return ReadAll(out);
    }
    void ExpectImage(uint32_t base) {
        for (size_t i = 0; i < m_data.size(); i += 97) {
            const uint32_t address = base + static_cast<uint32_t>(i);
            const Bytes page = Page(address / 256);
            ASSERT_FALSE(page.empty()) << std::hex << address;
            ASSERT_EQ(page[address % 256], m_data[i]) << std::hex << address;
        }
        uint32_t start = 0, end = 0;
        ASSERT_TRUE(m_image.GetUsedRange(start, end));
        EXPECT_EQ(start, base & ~0xFFu);
        EXPECT_EQ(end, (base + static_cast<uint32_t>(m_data.size()) - 1) | 0xFF);
    }

    Bytes m_data;
};

TEST_F(ConverterFilesTest, EveryFormatLineEndAndNameLoadsTheSameImage) {
    if (!SrecCatOrSkip()) return;
    m_data.resize(3000);
    std::mt19937 random(11);
    for (auto& b : m_data) b = static_cast<uint8_t>(random());
    const uint32_t base = 0x0C0010;
    const struct {
        const char* options;
        const char* marker;  // what the file must hold, so that the case tests what it says
    } outputs[] = {
        {"-intel", ":02000004"},
        {"-intel -execution-start-address=0xC0010", ":04000005"},
        {"-intel -address-length=3 -execution-start-address=0xC0010", ":04000003"},  // start segment
        {"-motorola -address-length=3 -execution-start-address=0xC0010", "S804"},
        {"-motorola -address-length=4 -execution-start-address=0xC0010", "S705"},
    };
    for (const auto& output : outputs) {
        const std::string text = Convert(base, output.options);
        ASSERT_NE(text.find(output.marker), std::string::npos) << output.options;
        for (const char* end : {"\n", "\r\n", "\r"}) {
            // The name says nothing of the format: only ".bin" does.
            for (const char* name : {"prog.hex", "PROG.HEX", "prog.MOT", "prog.srec", "prog.txt"}) {
                SCOPED_TRACE(std::string(output.options) + " " + name + " " + (end[0] == '\r' ? "CR" : "LF"));
                m_ui.ClearRecords();
                EXPECT_EQ(LoadText(WithLineEnds(text, end), name), 1);
                EXPECT_TRUE(m_ui.m_messages.empty());
                ExpectImage(base);
            }
        }
    }
}

TEST_F(ConverterFilesTest, AFileCutAtAnyRecordBoundaryIsToldOrLoadsAsTheLoaderMeans) {
    if (!SrecCatOrSkip()) return;
    m_data.resize(200);
    for (size_t i = 0; i < m_data.size(); ++i) m_data[i] = static_cast<uint8_t>(i * 7);
    const std::vector<std::string> hex = Lines(Convert(0x0C0000, "-intel -execution-start-address=0xC0000"));
    ASSERT_GE(hex.size(), 5u);
    const std::string path = m_dir.File("APP.HEX");
    for (size_t kept = 1; kept < hex.size(); ++kept) {
        std::string text;
        for (size_t i = 0; i < kept; ++i) text += hex[i];
        for (const char* end : {"\n", "\r\n"}) {
            SCOPED_TRACE(std::to_string(kept) + " lines");
            m_ui.ClearRecords();
            EXPECT_EQ(LoadText(WithLineEnds(text, end), "APP.HEX"), 0);
            ExpectOnlyMessage("The file ends before its end record (line " + std::to_string(kept) + " of " + path +
                                  ").\nCan not accept this file.",
                              ui::Icon::Exclamation);
            EXPECT_EQ(m_image.PageCount(), 0u);
        }
    }
    // S-records without their termination record load what they hold, as
    // the loader always has; cut inside a record they are refused whole.
    const std::vector<std::string> srec = Lines(Convert(0x0C0000, "-motorola -address-length=3"));
    for (size_t kept = 2; kept < srec.size(); ++kept) {
        std::string text;
        for (size_t i = 0; i < kept; ++i) text += srec[i];
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(text, "APP.MOT"), 0);
        EXPECT_TRUE(m_ui.m_messages.empty());
        EXPECT_NE(Page(0x0C00), Bytes{});
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(text.substr(0, text.size() - 5), "APP.MOT"), 0);
        ExpectRefused();
        EXPECT_EQ(m_image.PageCount(), 0u);
    }
}

TEST_F(ConverterFilesTest, LinesAreCountedOncePerLineEndOfAnySystem) {
    const std::string good = "S2060C00001122BA\n";
    const std::string damaged = "S2060C01001122BA\n";  // checksum off by one
    const std::string hexGood = ":0100000055AA\n";
    const std::string hexBad = ":0100010055AA\n";
    for (const char* end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(end[0] == '\r' ? (end[1] == '\n' ? "CR LF" : "CR") : "LF");
        m_ui.ClearRecords();
        LoadText(WithLineEnds("S0030000FC\n" + good + damaged + "S9030000FC\n", end), "prog.mot");
        ExpectOnlyMessage("Checksum error in line 3 of " + m_dir.File("prog.mot") + ".\nCan not accept this file.",
                          ui::Icon::Exclamation);
        m_ui.ClearRecords();
        LoadText(WithLineEnds(std::string(9, '\n') + hexBad + hexGood + ":00000001FF\n", end), "prog.hex");
        ExpectOnlyMessage("Checksum error in line 10 of " + m_dir.File("prog.hex") + ".\nCan not accept this file.",
                          ui::Icon::Exclamation);
    }
}

}  // namespace
}  // namespace pelican::test
