#pragma once
// The abstract byte port the boot-loader protocol is spoken through.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/IoState.h"
#include "link/SerialDevice.h"

namespace pelican {

using ReaderCallback = void (*)(void* userData, uint32_t errors);

class CIoController {
public:
    static constexpr intptr_t kInvalidHandle = -1;

    explicit CIoController(std::unique_ptr<ISerialDevice> device);
    virtual ~CIoController();
    CIoController(const CIoController&) = delete;
    CIoController& operator=(const CIoController&) = delete;

    virtual int Open(const std::string& name);
    // Why the last Open failed (an errno value), 0 when not known.
    int OpenError() const { return m_device->OpenError(); }
    virtual int Close();
    virtual int IsOpen() const;
    virtual int Send(const uint8_t* buffer, size_t length) = 0;
    virtual int Receive(uint8_t* buffer, size_t length) = 0;
    virtual int SetReadTimeout(int32_t milliseconds) = 0;
    virtual int SetState(const CIoState& state) = 0;
    virtual int GetState(CIoState& state) = 0;
    virtual int PurgeInput() = 0;
    virtual int StartReader(ReaderCallback callback, void* userData, size_t threshold) = 0;
    virtual int StopReader() = 0;

    const std::string& PortName() const { return m_portName; }

protected:
    ISerialDevice& Device() { return *m_device; }

    std::unique_ptr<ISerialDevice> m_device;
    intptr_t m_hPort = kInvalidHandle;
    std::string m_portName;
};

}  // namespace pelican
