// Files under Wine as a Windows user has them: folders whose names are not
// ASCII, a scanner holding a fresh file for a moment, a file's attributes
// that a replacement keeps, a read-only file that stays as it is.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "sys/FileReplacer.h"
#include "sys/FileWriter.h"
#include "sys/InputFile.h"
#include "sys/win32/PutInPlace.h"
#include "sys/win32/WideText.h"

namespace pelican::test {
namespace {

// A new folder under the temporary folder, removed with what it holds.
class CWideTempDir {
public:
    CWideTempDir() {
        wchar_t base[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, base);
        for (unsigned n = ::GetCurrentProcessId();; ++n) {
            m_path = std::wstring(base) + L"pelican-files-" + std::to_wstring(n);
            if (::CreateDirectoryW(m_path.c_str(), nullptr)) break;
        }
    }
    ~CWideTempDir() { Remove(m_path); }
    std::wstring Path(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    static void Remove(const std::wstring& folder) {
        WIN32_FIND_DATAW entry{};
        HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(path);
                } else {
                    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(path.c_str());
                }
            } while (::FindNextFileW(find, &entry));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(folder.c_str());
    }
    std::wstring m_path;
};

std::string Contents(const std::wstring& path) {
    CInputFile file;
    if (file.Open(Narrow(path)) != FileError::None) return "(cannot open)";
    std::string text;
    char block[256];
    for (long got = file.Read(block, sizeof block); got > 0; got = file.Read(block, sizeof block))
        text.append(block, static_cast<size_t>(got));
    return text;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Holds a file as a virus scanner does: open, sharing neither writes nor
// deletes, so that Windows refuses to replace or rename it meanwhile.
HANDLE Hold(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

class Files : public ::testing::Test {
protected:
    void TearDown() override { PutInPlaceRetryWait() = m_wait; }
    CWideTempDir m_dir;
    std::function<void(int)> m_wait = PutInPlaceRetryWait();
};

TEST_F(Files, FoldersAreMadeByTheirUtf16Names) {
    // "José" as the program has it, UTF-8.
    const std::string folder = Narrow(m_dir.Path(L"Jos\u00e9")) + "\\AppData\\Roaming";
    const std::string settings = folder + "\\pelican.INI";
    CFileReplacer::MakeParentFolders(settings);
    ASSERT_EQ(CFileReplacer::Replace(settings, "[Last Comm State]\r\nBaundrate=115200\r\n"),
              CFileReplacer::Result::Replaced);
    EXPECT_TRUE(IsFolder(m_dir.Path(L"Jos\u00e9\\AppData\\Roaming")));
    // Not the same bytes read in the ANSI code page.
    EXPECT_FALSE(IsFolder(m_dir.Path(L"Jos\u00c3\u00a9")));
    EXPECT_EQ(Contents(m_dir.Path(L"Jos\u00e9\\AppData\\Roaming\\pelican.INI")),
              "[Last Comm State]\r\nBaundrate=115200\r\n");
}

TEST_F(Files, AFileHeldForAMomentIsReplacedOnceItIsLetGo) {
    struct Case {
        const char* what;
        std::function<bool(const std::string&, const std::string&)> write;
    };
    const Case cases[] = {
        {"the settings file",
         [](const std::string& path, const std::string& text) {
             return CFileReplacer::Replace(path, text) == CFileReplacer::Result::Replaced;
         }},
        {"a dump",
         [](const std::string& path, const std::string& text) {
             std::string error;
             return CFileWriter::Write(path, text.data(), text.size(), error);
         }},
    };
    for (const Case& c : cases) {
        const std::wstring target = m_dir.Path(L"held.bin");
        std::string error;
        ASSERT_TRUE(CFileWriter::Write(Narrow(target), "old", 3, error)) << error;
        HANDLE holder = Hold(target);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        std::vector<int> waits;
        PutInPlaceRetryWait() = [&](int attempt) {
            waits.push_back(attempt);
            if (holder != INVALID_HANDLE_VALUE) ::CloseHandle(holder);
            holder = INVALID_HANDLE_VALUE;
        };
        EXPECT_TRUE(c.write(Narrow(target), "new")) << c.what;
        EXPECT_EQ(waits, std::vector<int>{1}) << c.what;
        EXPECT_EQ(Contents(target), "new") << c.what;
        if (holder != INVALID_HANDLE_VALUE) ::CloseHandle(holder);
    }
}

TEST_F(Files, AHoldThatLastsFailsAfterItsTriesAndLeavesTheFile) {
    const std::wstring target = m_dir.Path(L"held.mot");
    std::string error;
    ASSERT_TRUE(CFileWriter::Write(Narrow(target), "old", 3, error)) << error;
    const HANDLE holder = Hold(target);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::vector<int> waits;
    PutInPlaceRetryWait() = [&](int attempt) { waits.push_back(attempt); };
    EXPECT_FALSE(CFileWriter::Write(Narrow(target), "new", 3, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(waits, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    ::CloseHandle(holder);
    EXPECT_EQ(Contents(target), "old");
    // Nothing of the attempt is left beside it.
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW(m_dir.Path(L"held.mot.*.tmp").c_str(), &entry);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << Narrow(entry.cFileName);
    if (find != INVALID_HANDLE_VALUE) ::FindClose(find);
}

TEST_F(Files, AReplacedFileKeepsItsAttributes) {
    const std::wstring target = m_dir.Path(L"kept.bin");
    std::string error;
    ASSERT_TRUE(CFileWriter::Write(Narrow(target), "old", 3, error)) << error;
    ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(CFileWriter::Write(Narrow(target), "new", 3, error)) << error;
    EXPECT_EQ(Contents(target), "new");
    EXPECT_NE(::GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(Files, AReadOnlyFileIsRefusedAtOnce) {
    const std::wstring target = m_dir.Path(L"kept.mot");
    std::string error;
    ASSERT_TRUE(CFileWriter::Write(Narrow(target), "old", 3, error)) << error;
    ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    std::vector<int> waits;
    PutInPlaceRetryWait() = [&](int attempt) { waits.push_back(attempt); };
    EXPECT_FALSE(CFileWriter::Write(Narrow(target), "new", 3, error));
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(Contents(target), "old");
    EXPECT_EQ(CFileReplacer::Replace(Narrow(target), "new"), CFileReplacer::Result::ReadOnly);
}

}  // namespace
}  // namespace pelican::test
