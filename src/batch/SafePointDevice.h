#pragma once
// A serial device whose waits for input are also safe points of batch mode:
// a signal that ends the program is acted on while the program waits for the
// board (a reply due in 40 s, a board that stays silent), not after the
// time-out. Everything else goes to the device it wraps.
#include <functional>
#include <memory>

#include "link/SerialDevice.h"

namespace pelican {

class CSafePointDevice final : public ISerialDevice {
public:
    // safePoint is called at least every kSliceMs while input is awaited.
    static constexpr uint64_t kSliceMs = 50;

    CSafePointDevice(std::unique_ptr<ISerialDevice> inner, const std::function<void()>& safePoint)
        : m_inner(std::move(inner)), m_safePoint(safePoint) {}

    bool Open(const std::string& name) override { return m_inner->Open(name); }
    int OpenError() const override { return m_inner->OpenError(); }
    bool Close() override { return m_inner->Close(); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    intptr_t Handle() const override { return m_inner->Handle(); }
    void RaiseDtr() override { m_inner->RaiseDtr(); }
    int SetModemLine(ModemLine line, bool on) override { return m_inner->SetModemLine(line, on); }
    long Write(const uint8_t* data, size_t length) override { return m_inner->Write(data, length); }
    bool Drain() override { return m_inner->Drain(); }
    bool QueryInput(uint32_t& errors, size_t& queued) override { return m_inner->QueryInput(errors, queued); }
    long Read(uint8_t* data, size_t length) override { return m_inner->Read(data, length); }
    bool PurgeInput() override { return m_inner->PurgeInput(); }
    bool GetLine(LineSettings& line) override { return m_inner->GetLine(line); }
    bool SetLine(const LineSettings& line) override { return m_inner->SetLine(line); }
    void WaitInput(uint64_t deadlineMs, size_t seen) override;

private:
    std::unique_ptr<ISerialDevice> m_inner;
    const std::function<void()>& m_safePoint;
};

}  // namespace pelican
