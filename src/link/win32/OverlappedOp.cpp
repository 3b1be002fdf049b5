#include "link/win32/OverlappedOp.h"

namespace pelican {

COverlappedOp::COverlappedOp(ICommApi& api) : m_api(api), m_slot(NewSlot()) {}

COverlappedOp::~COverlappedOp() {
    FreeSlot();
}

COverlappedOp::Slot* COverlappedOp::NewSlot() {
    auto* slot = new Slot;
    slot->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return slot;
}

void COverlappedOp::FreeSlot() {
    if (m_slot == nullptr) return;
    if (m_slot->ov.hEvent != nullptr) ::CloseHandle(m_slot->ov.hEvent);
    delete m_slot;
    m_slot = nullptr;
}

void COverlappedOp::Renew() {
    if (m_slot == nullptr) m_slot = NewSlot();
}

OVERLAPPED& COverlappedOp::Start(size_t size) {
    OVERLAPPED& ov = m_slot->ov;
    const HANDLE event = ov.hEvent;
    ov = OVERLAPPED{};
    ov.hEvent = event;
    ::ResetEvent(event);
    if (m_slot->bytes.size() < size) m_slot->bytes.resize(size);
    return ov;
}

COverlappedOp::End COverlappedOp::Finish(HANDLE handle, BOOL started, DWORD ms, DWORD& count) {
    const DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
    OVERLAPPED& ov = m_slot->ov;
    count = 0;
    if (started) return m_api.Result(handle, ov, count) ? End::Completed : End::Failed;
    if (error != ERROR_IO_PENDING) return End::Failed;
    if (m_api.Wait(ov.hEvent, ms) == WAIT_OBJECT_0) return m_api.Result(handle, ov, count) ? End::Completed : End::Failed;
    m_api.Cancel(handle, ov);
    // The OVERLAPPED may be used again only once the driver has completed
    // the operation; what it moved until then still counts.
    if (m_api.Wait(ov.hEvent, kCancelBoundMs) == WAIT_OBJECT_0) {
        m_api.Result(handle, ov, count);
        return End::Cancelled;
    }
    // The driver keeps the slot: it is left to it, event and all.
    m_slot = nullptr;
    return End::GivenUp;
}

}  // namespace pelican
