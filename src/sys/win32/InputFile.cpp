#include "sys/InputFile.h"

#include <windows.h>

#include "sys/win32/WideText.h"

namespace pelican {
namespace {

FileError FromSystem(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE: return FileError::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return FileError::AccessDenied;
        case ERROR_TOO_MANY_OPEN_FILES: return FileError::TooManyOpen;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_CANT_RESOLVE_FILENAME: return FileError::BadPath;
        default: return FileError::OpenFailed;
    }
}

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

CInputFile::~CInputFile() {
    Close();
}

FileError CInputFile::Open(const std::string& path) {
    Close();
    if (path.empty()) return FileError::NotFound;
    const std::wstring wide = Widen(path);
    // A folder cannot be opened as a file; tell it by its attributes first,
    // as the user's mistake it is.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FileError::IsDirectory;
    // Others may read and even replace the file meanwhile (an editor saving
    // it): the stamp tells a changed file from the one read.
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FromSystem(::GetLastError());
    // Devices (COM1, CON, NUL) and pipes open like files but are none.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return FileError::NotRegularFile;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        return FromSystem(error);
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    const uint64_t written = (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    m_stamp = FileIdentity{info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                        (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                        static_cast<int64_t>(written * 100)};  // 100 ns units since 1601
    return FileError::None;
}

long CInputFile::Read(void* data, size_t length) {
    if (m_handle == -1) return -1;
    const DWORD ask = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD got = 0;
    if (!::ReadFile(Native(m_handle), data, ask, &got, nullptr)) return -1;
    return static_cast<long>(got);
}

bool CInputFile::Unchanged() const {
    // Opened with FILE_SHARE_WRITE, so another program may write meanwhile;
    // the size and last-write time through the handle tell it.
    BY_HANDLE_FILE_INFORMATION info{};
    if (m_handle == -1 || !::GetFileInformationByHandle(Native(m_handle), &info)) return false;
    const uint64_t written = (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    return ((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) == m_stamp.size &&
           static_cast<int64_t>(written * 100) == m_stamp.modified;
}

bool CInputFile::Rewind() {
    if (m_handle == -1) return false;
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(Native(m_handle), start, nullptr, FILE_BEGIN) != 0;
}

void CInputFile::Close() {
    if (m_handle == -1) return;
    ::CloseHandle(Native(m_handle));
    m_handle = -1;
    m_stamp = FileIdentity{};
}

}  // namespace pelican
