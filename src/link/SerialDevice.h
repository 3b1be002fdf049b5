#pragma once
// What the port logic asks of the operating system. CSerialComm keeps the
// protocol-facing behaviour (time-outs, exact-length reads, the settings
// record); a back end only moves bytes and line settings.
#include <cstddef>
#include <cstdint>
#include <string>

namespace pelican {

// Line-error bits reported (and cleared) by QueryInput.
enum LineError : uint32_t {
    kLineOverrun = 0x01,
    kLineParity = 0x02,
    kLineFraming = 0x04,
    kLineBreak = 0x08,
    kLineOther = 0x10,  // device gone, I/O error
};

// The modem control lines a host drives. Adapters often wire them to a
// board's RESET and boot-mode pins.
enum class ModemLine { Dtr, Rts };

// How a wait for the output to leave ended.
enum class DrainResult {
    Drained,  // everything written has left, as far as the driver can tell
    Pending,  // output was still queued when the deadline came
    Failed,   // the port is closed or gone
};

// How a call on the open device failed, the first time it did since the
// open: the errno it stands for (ENODEV: the device went away under the
// open handle, as a pulled-out USB adapter does; EIO: the driver's own
// failure) and the system's own words for the failure itself.
struct DeviceFault {
    int error = 0;  // 0: no call has failed
    std::string text;
};

struct LineSettings {
    uint32_t baudRate = 0;
    uint8_t byteSize = 0;
    uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;

    // Opens an existing device for exclusive use; false when it does not exist,
    // is busy or cannot be opened.
    virtual bool Open(const std::string& name) = 0;
    // Why the last Open failed, as an errno value: ENOENT (no such device),
    // ENOTTY (not a serial device), EACCES (no permission), EBUSY (in use by
    // another program). 0 when the back end cannot tell.
    virtual int OpenError() const { return 0; }
    // The first failure of a call on the device since it was opened.
    virtual DeviceFault Fault() const { return {}; }
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    // A small non-negative number identifying the open device (a descriptor).
    virtual intptr_t Handle() const = 0;
    virtual void RaiseDtr() = 0;
    // Turns a modem control line on or off: 0, or the errno of the failure
    // (ENOTTY: the device has no modem lines, as a pseudo-terminal has none).
    virtual int SetModemLine(ModemLine line, bool on) = 0;

    // Synchronous write; returns the bytes the driver took, or -1.
    virtual long Write(const uint8_t* data, size_t length) = 0;
    // Blocks until everything written has left the transmitter, as far as the
    // driver can tell (a USB adapter reports this when the bytes reach the
    // adapter, not the wire), or until the clock reaches deadlineMs (on the
    // same clock as WaitInput's deadline): a wedged adapter that took a frame
    // may never send it, and the program must not wait for it for ever.
    virtual DrainResult Drain(uint64_t deadlineMs) = 0;
    // Error bits since the last call (then cleared) and the receive-queue count.
    // False when the query itself fails (closed port). The one call that may
    // come from another thread (the port's reader) than all the others.
    virtual bool QueryInput(uint32_t& errors, size_t& queued) = 0;
    // Reads up to length queued bytes without waiting; returns the count or -1.
    virtual long Read(uint8_t* data, size_t length) = 0;
    // Discards received bytes only; output is left alone.
    virtual bool PurgeInput() = 0;

    virtual bool GetLine(LineSettings& line) = 0;
    // Changes exactly baud rate, data bits, parity and stop bits.
    virtual bool SetLine(const LineSettings& line) = 0;

    // Blocks until input (or a line condition) may be pending or the clock
    // reaches deadlineMs, whichever is first. It may return early. `seen` is
    // the receive-queue count the caller last had from QueryInput: when the
    // queue holds another count (another thread's query took input in
    // meanwhile) the wait returns at once.
    virtual void WaitInput(uint64_t deadlineMs, size_t seen) = 0;
};

}  // namespace pelican
