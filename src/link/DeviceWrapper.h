#pragma once
// A serial device that hands every call to the device it wraps; a wrapper
// overrides only the calls it changes.
#include <memory>
#include <string>

#include "link/SerialDevice.h"

namespace pelican {

class CDeviceWrapper : public ISerialDevice {
public:
    explicit CDeviceWrapper(std::unique_ptr<ISerialDevice> inner) : m_inner(std::move(inner)) {}

    bool Open(const std::string& name) override { return m_inner->Open(name); }
    int OpenError() const override { return m_inner->OpenError(); }
    DeviceFault Fault() const override { return m_inner->Fault(); }
    bool Close() override { return m_inner->Close(); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    intptr_t Handle() const override { return m_inner->Handle(); }
    void RaiseDtr() override { m_inner->RaiseDtr(); }
    int SetModemLine(ModemLine line, bool on) override { return m_inner->SetModemLine(line, on); }
    long Write(const uint8_t* data, size_t length) override { return m_inner->Write(data, length); }
    DrainResult Drain(uint64_t deadlineMs) override { return m_inner->Drain(deadlineMs); }
    bool QueryInput(uint32_t& errors, size_t& queued) override { return m_inner->QueryInput(errors, queued); }
    long Read(uint8_t* data, size_t length) override { return m_inner->Read(data, length); }
    bool PurgeInput() override { return m_inner->PurgeInput(); }
    bool GetLine(LineSettings& line) override { return m_inner->GetLine(line); }
    bool SetLine(const LineSettings& line) override { return m_inner->SetLine(line); }
    void WaitInput(uint64_t deadlineMs, size_t seen) override { m_inner->WaitInput(deadlineMs, seen); }

protected:
    ISerialDevice& Inner() { return *m_inner; }

private:
    std::unique_ptr<ISerialDevice> m_inner;
};

}  // namespace pelican
