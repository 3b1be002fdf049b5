#pragma once
// One kind of overlapped operation of a port (its writes, its reads, its
// waits for receive events): the OVERLAPPED, its event and the bytes the
// driver works on, reused from one operation to the next. From the start of
// an operation until it completes they are the driver's, also after it was
// cancelled: the driver writes its result into the OVERLAPPED when it gets
// round to it. A slot whose cancelled operation does not complete within a
// bound is given up for good (left to the driver, never freed nor used again)
// and the port that used it has failed.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/win32/CommApi.h"

namespace pelican {

class COverlappedOp {
public:
    explicit COverlappedOp(ICommApi& api);
    ~COverlappedOp();
    COverlappedOp(const COverlappedOp&) = delete;
    COverlappedOp& operator=(const COverlappedOp&) = delete;

    // How long a cancelled operation is given to complete.
    static constexpr DWORD kCancelBoundMs = 1000;

    enum class End {
        Completed,  // done, at its call or within the wait
        Failed,     // refused at its call, or completed with an error
        Cancelled,  // not done within the wait, cancelled, and the cancel completed
        GivenUp,    // cancelled but never completed: the slot is the driver's for good
    };

    // Whether an operation may start: the slot has its event and was not given up.
    bool Usable() const { return m_slot != nullptr && m_slot->ov.hEvent != nullptr; }
    // A fresh slot in place of one given up (the port opened again).
    void Renew();

    // The slot for a new operation with room for size bytes (Bytes()), its
    // event reset.
    OVERLAPPED& Start(size_t size = 0);
    uint8_t* Bytes() { return m_slot->bytes.data(); }
    // The event mask a WaitCommEvent on the slot reports into: the driver's
    // as long as the OVERLAPPED is (a late completion writes it).
    DWORD& Events() { return m_slot->events; }

    // How the operation just started on handle ended: started is what its
    // call returned (the thread's last error tells a pending one). A pending
    // operation is waited for up to ms, then cancelled. count: the bytes it
    // moved, also when cancelled.
    End Finish(HANDLE handle, BOOL started, DWORD ms, DWORD& count);

private:
    struct Slot {
        OVERLAPPED ov{};
        std::vector<uint8_t> bytes;
        DWORD events = 0;
    };
    static Slot* NewSlot();
    void FreeSlot();

    ICommApi& m_api;
    Slot* m_slot;
};

}  // namespace pelican
