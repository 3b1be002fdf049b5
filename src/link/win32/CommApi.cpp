#include "link/win32/CommApi.h"

namespace pelican {
namespace {

class CSystemCommApi final : public ICommApi {
public:
    HANDLE Open(const wchar_t* path) override {
        return ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                             nullptr);
    }
    BOOL Close(HANDLE handle) override { return ::CloseHandle(handle); }
    BOOL GetState(HANDLE handle, DCB& dcb) override { return ::GetCommState(handle, &dcb); }
    BOOL SetState(HANDLE handle, DCB& dcb) override { return ::SetCommState(handle, &dcb); }
    BOOL SetTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) override { return ::SetCommTimeouts(handle, &timeouts); }
    BOOL SetMask(HANDLE handle, DWORD events) override { return ::SetCommMask(handle, events); }
    BOOL ModemStatus(HANDLE handle, DWORD& status) override { return ::GetCommModemStatus(handle, &status); }
    BOOL ClearError(HANDLE handle, DWORD& errors, COMSTAT& status) override {
        return ::ClearCommError(handle, &errors, &status);
    }
    BOOL Escape(HANDLE handle, DWORD function) override { return ::EscapeCommFunction(handle, function); }
    BOOL Purge(HANDLE handle, DWORD flags) override { return ::PurgeComm(handle, flags); }
    BOOL Write(HANDLE handle, const void* data, DWORD length, DWORD& done, OVERLAPPED& ov) override {
        return ::WriteFile(handle, data, length, &done, &ov);
    }
    BOOL Read(HANDLE handle, void* data, DWORD length, DWORD& done, OVERLAPPED& ov) override {
        return ::ReadFile(handle, data, length, &done, &ov);
    }
    BOOL WaitEvent(HANDLE handle, DWORD& events, OVERLAPPED& ov) override {
        return ::WaitCommEvent(handle, &events, &ov);
    }
    DWORD Wait(HANDLE event, DWORD ms) override { return ::WaitForSingleObject(event, ms); }
    BOOL Result(HANDLE handle, OVERLAPPED& ov, DWORD& count) override {
        return ::GetOverlappedResult(handle, &ov, &count, FALSE);
    }
    BOOL Cancel(HANDLE handle, OVERLAPPED& ov) override { return ::CancelIoEx(handle, &ov); }
};

}  // namespace

ICommApi& SystemCommApi() {
    static CSystemCommApi api;
    return api;
}

}  // namespace pelican
