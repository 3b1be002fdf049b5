#pragma once
// What the commands and the file dialogs need of the application that owns
// the port, the program image and the link state. The application object
// implements it; the layers below the application see only this.
#include <cstdint>
#include <string>

#include "commands/BoardSession.h"
#include "commands/DeviceId.h"
#include "image/MotFile.h"
#include "commands/RetryBudget.h"
#include "link/IoState.h"
#include "link/SerialComm.h"
#include "ui/UiBackend.h"

namespace pelican {

class IAppHost {
public:
    virtual ~IAppHost() = default;

    // The one serial port and the loaded program image.
    virtual CSerialComm& Port() = 0;
    // What the board's dialogs remember, and who hears of its page loops.
    virtual BoardSession& Session() = 0;
    // Where the board's dialogs, messages and waits are shown: its windows,
    // or the script that answers them.
    virtual ui::IBackend& Ui() = 0;
    virtual CMotFile& Image() = 0;
    // 0 internal flash memory, 1 Orca/W boot loader.
    virtual int Target() const = 0;
    // The link was brought up and the device answered.
    virtual int& LinkReady() = 0;
    // The device reports its ID check passed.
    virtual int& IdChecked() = 0;

    // Moves device and port to baud; the rate in force afterwards, or what
    // the recovery returns. message is shown when the change fails.
    virtual uint32_t SetLinkBaudRate(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                                     const std::string& message) = 0;
    // Tells the user to reset the device and rebuilds the link; the rate in
    // force afterwards, or 0.
    virtual uint32_t RecoverLink() = 0;
    // Whether the board is known to have been reset in the last recovery.
    // Only then may a job go on after it: a board that was not reset may
    // still be inside a frame that the failure cut, and read what follows
    // (the recovery's own bytes included) as commands and page data.
    virtual bool BoardReset() const { return true; }

    // The settings file: the last link settings that worked, and the
    // hand-set time-out of a page read.
    virtual bool LoadCommState(CSerialCommState& state) = 0;
    virtual void SaveCommState(const CSerialCommState& state) = 0;
    virtual int32_t PageReadTimeout(int32_t fallback) = 0;

    // Whether programming and the read checks leave out the pages of a
    // range for which the file gives no byte (off unless the user chose it).
    virtual bool SkipEmptyPages() const { return false; }

    // The retries this run may still take after a failed exchange; none
    // (the default) keeps every failure where it happened.
    virtual CRetryBudget* Retries() { return nullptr; }
    // What the device's ID locations hold, as far as the run knows: a
    // board reset by the recovery is given that ID again. None: not kept.
    virtual CDeviceId* DeviceId() { return nullptr; }
};

}  // namespace pelican
