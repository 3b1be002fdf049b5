#include "link/Exchange.h"

#include <algorithm>


namespace pelican {

void Pause(CSerialComm& port, uint32_t ms) {
    port.Clock().Sleep(ms);
}

void PauseForBoard(CSerialComm& port, uint32_t ms) {
    // Part of the exchange in flight. A signal in it cuts it short (a long
    // interval asked for pacing is not waited out), but only at the end of
    // a slice as long as the usual interval: the board always has that long
    // to program the page before its status is read.
    IClock& clock = port.Clock();
    port.BeginPause(ms);
    const uint64_t end = clock.NowMs() + ms;
    for (uint64_t now = clock.NowMs(); now < end; now = clock.NowMs()) {
        clock.Sleep(static_cast<uint32_t>(std::min<uint64_t>(end - now, protocol::kDefaultProgramInterval)));
        if (port.PauseCut()) break;
    }
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
