#pragma once
// Shared by the image tests: a temporary folder, the scripted ui that records
// every message box, one image, and the S-record builder of tests/support.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/MotFile.h"
#include "support/SRecordText.h"
#include "support/TempDir.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Seq(size_t count, uint8_t first) {
    Bytes data(count);
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(first + i);
    return data;
}

class LoaderTest : public ::testing::Test {
protected:
    // Writes content to a file in the temporary folder and loads it.
    int LoadText(const std::string& content, const std::string& name = "prog.mot") {
        m_dir.Write(name, content);
        return m_image.Load(m_ui, m_dir.File(name));
    }

    // The 256 bytes of a present page; empty when absent.
    Bytes Page(uint32_t index) const {
        Bytes bytes(256);
        return m_image.GetPage(bytes.data(), index) != nullptr ? bytes : Bytes{};
    }

    // A page of 0xFF with data placed at offset.
    static Bytes BlankWith(size_t offset, const Bytes& data) {
        Bytes bytes(256, 0xFF);
        for (size_t i = 0; i < data.size(); ++i) bytes[offset + i] = data[i];
        return bytes;
    }

    void ExpectOnlyMessage(const std::string& text, ui::Icon icon) const {
        ASSERT_EQ(m_ui.m_messages.size(), 1u);
        EXPECT_EQ(m_ui.m_messages[0].caption, "Pelican");
        EXPECT_EQ(m_ui.m_messages[0].text, text);
        EXPECT_EQ(m_ui.m_messages[0].icon, icon);
    }
    void ExpectRefused() const { ExpectOnlyMessage("Can not accept this file.", ui::Icon::None); }

    CTempDir m_dir;
    ui::CScriptedBackend m_ui;
    CMotFile m_image;
};

}  // namespace pelican::test
