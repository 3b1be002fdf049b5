// The loader and the ".id" reader on text held in memory read exactly what
// they read from a file of the same bytes: pages, result and message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LoaderFixture.h"
#include "image/IdFile.h"
#include "image/TextLineReader.h"

namespace pelican::test {
namespace {

// The pages an image holds, by index.
std::vector<std::pair<uint32_t, Bytes>> PagesOf(const CMotFile& image) {
    std::vector<std::pair<uint32_t, Bytes>> pages;
    Bytes bytes(256);
    for (uint32_t index = 0; index < CMotFile::kPageCount; ++index)
        if (image.GetPage(bytes.data(), index) != nullptr) pages.emplace_back(index, bytes);
    return pages;
}

class TextLoadTest : public LoaderTest {
protected:
    // Loads content from a file into the fixture's image and from memory
    // into an image of its own that held other pages before: both end with
    // the same pages, result and messages.
    void ExpectSameAsFile(const std::string& content) {
        SCOPED_TRACE(content.substr(0, 60));
        m_result = LoadText(content);
        m_texts.clear();
        for (const auto& message : m_ui.m_messages) m_texts.push_back(message.text);
        m_ui.m_messages.clear();
        CMotFile fromMemory;
        const std::string before = Record(2, 0x123400, Seq(8, 0x40)) + "\n" + Record(8, 0) + "\n";
        ASSERT_EQ(fromMemory.ReadText(before.data(), before.size()).result, 1);
        const LoadOutcome fromText = fromMemory.ReadText(content.data(), content.size());
        fromText.ShowRefusal(m_ui, m_dir.File("prog.mot"));
        EXPECT_EQ(fromText.result, m_result);
        EXPECT_FALSE(fromMemory.FileErrorShown());
        std::vector<std::string> texts;
        for (const auto& message : m_ui.m_messages) texts.push_back(message.text);
        EXPECT_EQ(texts, m_texts);
        EXPECT_EQ(PagesOf(fromMemory), PagesOf(m_image));
        m_ui.m_messages.clear();
    }

    int m_result = -1;                // of the load from the file
    std::vector<std::string> m_texts;  // its messages
};

// A page of FF with data from offset on.
Bytes PageWith(size_t offset, const Bytes& data) {
    Bytes page(256, 0xFF);
    std::copy(data.begin(), data.end(), page.begin() + static_cast<long>(offset));
    return page;
}

TEST_F(TextLoadTest, RecordsFromMemoryLoadAsFromAFile) {
    using Pages = std::vector<std::pair<uint32_t, Bytes>>;
    const std::string refused = "Can not accept this file.";
    const struct {
        std::string text;
        int result;
        Pages pages;
        std::vector<std::string> messages;
    } cases[] = {
        {Record(2, 0x0C0000, Seq(16, 0)) + "\r\n" + Record(8, 0) + "\r\n", 1, {{0x0C00, PageWith(0, Seq(16, 0))}}, {}},
        {Record(1, 0x1000, Seq(4, 9)) + "\r" + Record(3, 0xFFFFF0, Seq(16, 1)), 0,
         {{0x0010, PageWith(0, Seq(4, 9))}, {0xFFFF, PageWith(0xF0, Seq(16, 1))}}, {}},
        {Record(2, 0x0C0000, Seq(3, 0)) + "\nS2bad\n" + Record(2, 0x0C0100, Seq(3, 0)) + "\n", 0, {}, {refused}},
        // A line that is no record at all, however long, is passed over.
        {std::string(3 * CTextLineReader::kKeep, 'S') + "\n" + Record(9, 0) + "\n", 1, {}, {}},
        {"", 0, {}, {}},
    };
    for (const auto& c : cases) {
        ExpectSameAsFile(c.text);
        EXPECT_EQ(m_result, c.result);
        EXPECT_EQ(PagesOf(m_image), c.pages);
        EXPECT_EQ(m_texts, c.messages);
    }
}

// Every corpus file of the loader's fuzz target, read both ways.
TEST_F(TextLoadTest, FuzzCorpusLoadsAsFromAFile) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PELICAN_LOADER_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        ExpectSameAsFile(text.str());
        ++files;
    }
    EXPECT_GT(files, 0u);
}

TEST(TextIdFile, FieldsFromMemoryAsFromAFile) {
    CTempDir dir;
    for (const std::string text : {"FFFDF:01\r\nFFFE3:02\nFFFFB:7F", "FFFFDF:AA\nFFFFE3:B\nFFFDF\n", "", "\n\r\n"}) {
        dir.Write("prog.id", text);
        for (int type : {0, 1}) {
            CIdFile::Fields fromFile, fromText;
            fromFile.fill("-");
            fromText.fill("-");
            ASSERT_EQ(CIdFile::Fill(dir.File("prog.id"), type, fromFile), FileError::None);
            CIdFile::FillText(text, type, fromText);
            EXPECT_EQ(fromText, fromFile) << text;
        }
        bool orcaW = false;
        ASSERT_EQ(CIdFile::NamesOrcaW(dir.File("prog.id"), orcaW), FileError::None);
        EXPECT_EQ(CIdFile::NamesOrcaWText(text), orcaW) << text;
    }
}

}  // namespace
}  // namespace pelican::test
