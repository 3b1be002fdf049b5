#pragma once
// The port of `pelican --simulate` with the built-in board's modem lines: a
// pseudo-terminal carries no DTR or RTS, so their changes go straight to the
// board's RESET and boot-mode pins in this process (the bytes still take the
// terminal). Everything else goes to the device it wraps.
#include <memory>

#include "link/SerialDevice.h"
#include "sim/PtyBoard.h"

namespace pelican {

class CSimulatedModemLines final : public ISerialDevice {
public:
    CSimulatedModemLines(std::unique_ptr<ISerialDevice> inner, sim::CPtyBoard& board)
        : m_inner(std::move(inner)), m_board(board) {}

    bool Open(const std::string& name) override { return m_inner->Open(name); }
    int OpenError() const override { return m_inner->OpenError(); }
    bool Close() override { return m_inner->Close(); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    intptr_t Handle() const override { return m_inner->Handle(); }
    void RaiseDtr() override { m_inner->RaiseDtr(); }
    int SetModemLine(ModemLine line, bool on) override;
    long Write(const uint8_t* data, size_t length) override { return m_inner->Write(data, length); }
    bool Drain() override { return m_inner->Drain(); }
    bool QueryInput(uint32_t& errors, size_t& queued) override { return m_inner->QueryInput(errors, queued); }
    long Read(uint8_t* data, size_t length) override { return m_inner->Read(data, length); }
    bool PurgeInput() override { return m_inner->PurgeInput(); }
    bool GetLine(LineSettings& line) override { return m_inner->GetLine(line); }
    bool SetLine(const LineSettings& line) override { return m_inner->SetLine(line); }
    void WaitInput(uint64_t deadlineMs, size_t seen) override { m_inner->WaitInput(deadlineMs, seen); }

private:
    std::unique_ptr<ISerialDevice> m_inner;
    sim::CPtyBoard& m_board;
};

}  // namespace pelican
