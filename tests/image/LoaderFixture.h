#pragma once
// Shared by the image tests: a temporary folder, the scripted ui that records
// every message box, one image, and a builder of well-formed S-records.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/MotFile.h"
#include "support/TempDir.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {

using Bytes = std::vector<uint8_t>;

// A record of the given type with a correct byte count and checksum.
inline std::string Record(int type, uint32_t address, const Bytes& data = {}) {
    static const char* kDigits = "0123456789ABCDEF";
    // Address bytes per type: S0/S1/S5/S9 two, S2/S6/S8 three, S3/S4/S7 four.
    static const int kAddressBytes[10] = {2, 2, 3, 4, 4, 2, 3, 4, 3, 2};
    const int addressBytes = kAddressBytes[type];
    Bytes body;
    body.push_back(static_cast<uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i) body.push_back(static_cast<uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : body) sum += b;
    body.push_back(static_cast<uint8_t>(~sum));
    std::string text = "S";
    text += static_cast<char>('0' + type);
    for (uint8_t b : body) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

inline Bytes Seq(size_t count, uint8_t first) {
    Bytes data(count);
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(first + i);
    return data;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ui::SetBackend(&m_ui); }
    void TearDown() override { ui::SetBackend(nullptr); }

    // Writes content to a file in the temporary folder and loads it.
    int LoadText(const std::string& content, const std::string& name = "prog.mot") {
        m_dir.Write(name, content);
        return m_image.Load(m_dir.File(name));
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
