#pragma once
// Something to do now and then while the port waits for a reply (let the
// windows repaint during a long wait), for the lifetime of the object.
#include <cstdint>
#include <functional>

#include "link/SerialComm.h"

namespace pelican {

class CPortWaitHook {
public:
    static constexpr uint32_t kSliceMs = 50;

    CPortWaitHook(CSerialComm& port, std::function<void()> hook, uint32_t sliceMs = kSliceMs) : m_port(port) {
        m_port.SetWaitHook(std::move(hook), sliceMs);
    }
    ~CPortWaitHook() { m_port.SetWaitHook(nullptr, kSliceMs); }
    CPortWaitHook(const CPortWaitHook&) = delete;
    CPortWaitHook& operator=(const CPortWaitHook&) = delete;

private:
    CSerialComm& m_port;
};

}  // namespace pelican
