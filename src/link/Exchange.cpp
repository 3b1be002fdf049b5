#include "link/Exchange.h"

namespace pelican {

void Pause(CSerialComm& port, uint32_t ms) {
    port.Clock().Sleep(ms);
}

void PauseForBoard(CSerialComm& port, uint32_t ms) {
    // Part of the exchange in flight: a signal in it waits for its end and
    // is told how long that is.
    port.BeginPause(ms);
    port.Clock().Sleep(ms);
    port.EndPause();
}

int SendFrame(CSerialComm& port, const protocol::Frame& frame) {
    return port.Send(frame.data(), frame.size());
}

ReadResult ReadStatus(CSerialComm& port, uint8_t status[2]) {
    SendFrame(port, protocol::ReadStatusFrame());
    return port.Read(status, protocol::kStatusReplyLength);
}

SyncResult Synchronise(CSerialComm& port) {
    SendFrame(port, {protocol::kBaud9600});
    Pause(port, protocol::kPauseShort);
    for (size_t i = 0; i < protocol::kSyncZeros; ++i) {
        SendFrame(port, {protocol::kSyncFill});
        Pause(port, protocol::kPauseSyncByte);
    }
    Pause(port, protocol::kPauseShort);
    SyncResult result;
    result.read = port.Read(&result.answer, 1);
    return result;
}

ReadResult CheckId(CSerialComm& port, int mcuType, const uint8_t* id, uint8_t status[2]) {
    SendFrame(port, protocol::IdCheckFrame(mcuType, id));
    Pause(port, protocol::kPauseShort);
    return ReadStatus(port, status);
}

void TakeIdFlag(int& idChecked, uint8_t statusByte2) {
    switch (protocol::IdStateOf(statusByte2)) {
        case protocol::IdState::Passed: idChecked = 1; break;
        case protocol::IdState::NotTried:
        case protocol::IdState::Rejected: idChecked = 0; break;
        case protocol::IdState::Undefined: break;
    }
}

}  // namespace pelican
