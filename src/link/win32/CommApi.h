#pragma once
// What the serial back end asks of the communications API, one call each, so
// that a test can stand in for a driver the system cannot be made to show:
// one that never completes a cancelled request, one that reports XonChar
// equal to XoffChar, one whose RTS only reaches the adapter with DTR. The
// system's own calls are the default. A stand-in sets the thread's last error
// (SetLastError) where the system would.
#include <windows.h>

namespace pelican {

class ICommApi {
public:
    virtual ~ICommApi() = default;

    // CreateFileW for exclusive, overlapped use of an existing device.
    virtual HANDLE Open(const wchar_t* path) = 0;
    virtual BOOL Close(HANDLE handle) = 0;
    virtual BOOL GetState(HANDLE handle, DCB& dcb) = 0;
    virtual BOOL SetState(HANDLE handle, DCB& dcb) = 0;
    virtual BOOL SetTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) = 0;
    virtual BOOL SetMask(HANDLE handle, DWORD events) = 0;
    virtual BOOL ModemStatus(HANDLE handle, DWORD& status) = 0;
    // ClearCommError: the error word (then cleared) and the queue counts.
    virtual BOOL ClearError(HANDLE handle, DWORD& errors, COMSTAT& status) = 0;
    virtual BOOL Escape(HANDLE handle, DWORD function) = 0;
    virtual BOOL Purge(HANDLE handle, DWORD flags) = 0;
    virtual BOOL Write(HANDLE handle, const void* data, DWORD length, DWORD& done, OVERLAPPED& ov) = 0;
    virtual BOOL Read(HANDLE handle, void* data, DWORD length, DWORD& done, OVERLAPPED& ov) = 0;
    virtual BOOL WaitEvent(HANDLE handle, DWORD& events, OVERLAPPED& ov) = 0;
    // WaitForSingleObject on an operation's event.
    virtual DWORD Wait(HANDLE event, DWORD ms) = 0;
    // GetOverlappedResult without waiting.
    virtual BOOL Result(HANDLE handle, OVERLAPPED& ov, DWORD& count) = 0;
    // CancelIoEx of one operation.
    virtual BOOL Cancel(HANDLE handle, OVERLAPPED& ov) = 0;
};

// The system's communications API.
ICommApi& SystemCommApi();

}  // namespace pelican
