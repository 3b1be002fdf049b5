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

class TextLoadTest : public LoaderTest {
protected:
    // Loads content from a file and from memory; both images and messages agree.
    void ExpectSameAsFile(const std::string& content) {
        SCOPED_TRACE(content.substr(0, 60));
        const int fromFile = LoadText(content);
        const auto fileMessages = m_ui.m_messages;
        std::vector<Bytes> filePages;
        for (uint32_t index = 0; index < CMotFile::kPageCount; ++index) {
            if (m_image.LookupPage(index) != nullptr) filePages.push_back(Page(index));
        }
        m_ui.m_messages.clear();
        const LoadOutcome fromText = m_image.ReadText(content.data(), content.size());
        fromText.ShowRefusal(m_dir.File("prog.mot"));
        EXPECT_EQ(fromText.result, fromFile);
        EXPECT_FALSE(m_image.FileErrorShown());
        ASSERT_EQ(m_ui.m_messages.size(), fileMessages.size());
        for (size_t i = 0; i < fileMessages.size(); ++i) EXPECT_EQ(m_ui.m_messages[i].text, fileMessages[i].text);
        std::vector<Bytes> textPages;
        for (uint32_t index = 0; index < CMotFile::kPageCount; ++index) {
            if (m_image.LookupPage(index) != nullptr) textPages.push_back(Page(index));
        }
        EXPECT_EQ(textPages, filePages);
        m_ui.m_messages.clear();
    }
};

TEST_F(TextLoadTest, RecordsFromMemoryLoadAsFromAFile) {
    ExpectSameAsFile(Record(2, 0x0C0000, Seq(16, 0)) + "\r\n" + Record(8, 0) + "\r\n");
    ExpectSameAsFile(Record(1, 0x1000, Seq(4, 9)) + "\r" + Record(3, 0xFFFFF0, Seq(16, 1)));
    ExpectSameAsFile(Record(2, 0x0C0000, Seq(3, 0)) + "\nS2bad\n" + Record(2, 0x0C0100, Seq(3, 0)) + "\n");
    ExpectSameAsFile(std::string(3 * CTextLineReader::kKeep, 'S') + "\n" + Record(9, 0) + "\n");
    ExpectSameAsFile("");
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
