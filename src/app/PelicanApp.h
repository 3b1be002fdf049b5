#pragma once
// The application object: lives for the whole run and holds the serial port,
// the loaded program image, the chosen target and the two flags that say
// whether the link is usable and whether the device has accepted the ID.
// The link operations (bring-up, baud-rate change, recovery) are its members.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/MotFile.h"
#include "link/SerialComm.h"
#include "sys/Clock.h"
#include "sys/InstanceLock.h"

namespace pelican {

class CPelicanApp {
public:
    // The operating system's serial ports on the real clock.
    CPelicanApp();
    // Any serial back end and clock (the simulated board, tests).
    CPelicanApp(std::unique_ptr<ISerialDevice> device, IClock& clock);
    virtual ~CPelicanApp();
    CPelicanApp(const CPelicanApp&) = delete;
    CPelicanApp& operator=(const CPelicanApp&) = delete;

    // The current application, reachable from every command and dialog.
    static CPelicanApp& Current();

    // Start-up, the main window, shutdown. Always false: the program ends
    // when it returns.
    bool InitInstance();

    // Ports offered in "Select Program": COM1 to COM4, then the serial
    // devices present on this machine.
    static std::vector<std::string> PortList();
    // The port proposed in "Select Program" (COM1 unless set).
    std::string m_defaultPort = "COM1";

    // Link operations.
    int ApplyPortState(CSerialComm& port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                       uint8_t stopBits);
    static uint8_t BaudRateCode(uint32_t baud);
    int ChangeBaudRate(uint32_t current, uint32_t next);
    uint32_t SetLinkBaudRate(CSerialComm& port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                             uint8_t stopBits, const std::string& message);
    void SetLink9600(CSerialComm& port);
    uint32_t RecoverLink();

    // The close step of the main window (Exit, Escape, close box).
    void CloseStep();

    // A protocol pause on the application's clock.
    void Pause(uint32_t ms);
    // Sends one frame; the number of bytes written.
    int SendFrame(const std::vector<uint8_t>& frame);
    // Read status: true when the two bytes arrived.
    bool ReadStatus(uint8_t status[2]);
    // Takes the ID flag from status byte 2: bits 3 and 2 both set give 1,
    // 0 or 1 give 0, 2 leaves the flag as it is.
    void TakeIdFlag(uint8_t statusByte2);

    // Fields, in this order.
    CSerialComm m_port;
    int m_idChecked = 0;
    CInstanceLock m_instanceMutex;
    int m_linkReady = 0;
    CMotFile m_image;
    int m_target = 0;

    // The file/ID dialog of the chosen target (start-up and "Load (ID)...").
    virtual void ShowImageDialog();

protected:
    virtual void RunMainWindow();

private:
    void Synchronise();

    bool m_inRecovery = false;
    bool m_recoverAgain = false;
};

}  // namespace pelican
