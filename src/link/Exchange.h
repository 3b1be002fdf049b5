#pragma once
// The small steps every exchange with the boot loader is made of: a pause on
// the port's clock, one frame out, and the two status bytes back.
#include <cstdint>

#include "link/SerialComm.h"
#include "protocol/Protocol.h"

namespace pelican {

// A protocol pause on the port's clock.
void Pause(CSerialComm& port, uint32_t ms);
// A pause the board needs after a frame (the program interval after a
// page): the port counts it as part of the exchange in flight.
void PauseForBoard(CSerialComm& port, uint32_t ms);
// Sends one frame with one write; the number of bytes written.
int SendFrame(CSerialComm& port, const protocol::Frame& frame);
// Read status (70) and its two-byte reply, with the time-out in force.
ReadResult ReadStatus(CSerialComm& port, uint8_t status[2]);
// How a synchronisation with the boot loader ended: its answer, and why the
// read ended.
struct SyncResult {
    ReadResult read = ReadResult::Ok;
    uint8_t answer = 0;  // the byte that came (when read is Ok)
    bool Answered() const { return read == ReadResult::Ok && answer == protocol::kBaud9600; }
};
// The synchronisation at 9600 bps: B0, sixteen 00 each with its pause, and
// the boot loader's one-byte answer, with the read time-out in force. It
// only tells how it went: what to say about it, and what to do next, is
// the caller's.
SyncResult Synchronise(CSerialComm& port);
// The ID check: the 12-byte frame for the MCU type (0 Orca/S P, 1
// Orca/W) and the seven ID bytes, the pause, and Read status, whose second
// byte tells whether the device took the ID.
ReadResult CheckId(CSerialComm& port, int mcuType, const uint8_t* id, uint8_t status[2]);
// Takes the ID flag from status byte 2: bits 3 and 2 both set give 1, 0 or
// 1 give 0, and 2 leaves the flag as it is.
void TakeIdFlag(int& idChecked, uint8_t statusByte2);

}  // namespace pelican
