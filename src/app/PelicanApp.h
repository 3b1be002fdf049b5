#pragma once
// The application object: lives for the whole run and holds the serial port,
// the loaded program image, the chosen target and the two flags that say
// whether the link is usable and whether the device has accepted the ID.
// The link operations (bring-up, baud-rate change, recovery) are its members.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/FirstContact.h"
#include "commands/AppHost.h"
#include "image/MotFile.h"
#include "link/PortInfo.h"
#include "link/SerialComm.h"
#include "sys/Clock.h"
#include "sys/InstanceLock.h"

namespace pelican {

class CS_PrgDlg;

class CPelicanApp : public IAppHost {
public:
    // The serial back end (the operating system's ports, the simulated
    // board) and the clock every pause reads.
    CPelicanApp(std::unique_ptr<ISerialDevice> device, IClock& clock);
    ~CPelicanApp() override;
    CPelicanApp(const CPelicanApp&) = delete;
    CPelicanApp& operator=(const CPelicanApp&) = delete;

    // Start-up, the main window, shutdown. Always false: the program ends
    // when it returns.
    bool InitInstance();
    // How the last start-up went: up to the main window, or why not.
    enum class Startup { MainWindow, AlreadyRunning, PortHeld, LockFolderUnusable, Cancelled, PortUnusable, NoAnswer };
    Startup m_startup = Startup::MainWindow;

    // Ports offered in "Select Program": COM1 to COM4, then whatever the
    // serial back end finds on this machine.
    std::vector<std::string> m_portList = {"COM1", "COM2", "COM3", "COM4"};
    // The names shown beside those ports (the adapter's product, maker and
    // serial number), by port.
    std::map<std::string, std::string> m_portLabels;
    // The port proposed in "Select Program" (COM1 unless set).
    std::string m_defaultPort = "COM1";
    // A read-only settings file is told on standard error once a run; the
    // window program also shows it (batch mode's output is its results).
    bool m_tellReadOnlySettings = false;
    // A port that does not open ends start-up (Startup::PortUnusable; the
    // port's OpenError says why) instead of showing up as a failed
    // synchronisation and its recovery. Batch mode has nobody to press RESET.
    // Without it, a port this user may not open is told with the group to
    // join and "Select Program" comes back.
    bool m_endWhenPortFails = false;
    // Called once the port is open at 9600 bps, before the first exchange:
    // batch mode puts the board into boot mode by wire from here.
    std::function<void()> m_onPortOpened;
    // Called once the main window has closed, before the port is: batch
    // mode starts the application by wire from here (--run-after).
    std::function<void()> m_beforeClose;
    // Who decides what becomes of a board that does not answer at
    // start-up (batch mode); none: "Push RESET." and "Set baudrate", as the
    // window program has it. Start-up may then end with Startup::NoAnswer.
    IFirstContact* m_firstContact = nullptr;
    // Called once "Push RESET." has been shown by the recovery: whoever can
    // reset the board does (by wire, a person at a terminal, the simulated
    // board); true when the board is known to have been reset. Unset: the
    // person who closed the message did (the window program).
    std::function<bool()> m_resetBoard;
    // The ports this machine has and who holds them, for a port another
    // program holds at start-up; none: "another program".
    std::function<PortSurvey()> m_survey;
    // Told when a command of the main window starts (true) and when it has
    // ended: Windows is asked not to end the session under it.
    std::function<void(bool running)> m_onCommandRunning;

    // Link operations.
    int ApplyPortState(CSerialComm& port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                       uint8_t stopBits);
    static uint8_t BaudRateCode(uint32_t baud);
    int ChangeBaudRate(uint32_t current, uint32_t next);
    uint32_t SetLinkBaudRate(CSerialComm& port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                             uint8_t stopBits, const std::string& message);
    // True when the device confirmed 9600 bps (its echo at 9600 came).
    bool SetLink9600(CSerialComm& port);
    // True while a baud-rate change is under way: the device and the port
    // may be at different rates, so the link must not be used otherwise
    // (batch mode defers a signal's return to 9600 bps until it is over).
    bool RateChanging() const { return m_rateChanges > 0; }
    uint32_t RecoverLink() override;
    bool BoardReset() const override { return m_boardReset; }
    // How many recoveries have started in this run: a command that saw it
    // move lost the link on the way, whatever it returned.
    unsigned Recoveries() const { return m_recoveries; }

    // What commands and dialogs reach.
    CSerialComm& Port() override { return m_port; }
    CMotFile& Image() override { return m_image; }
    BoardSession& Session() override { return m_session; }
    ui::IBackend& Ui() override { return m_ui != nullptr ? *m_ui : ui::StandInBackend(); }
    // The back end of this board's windows or script (not owned); nullptr:
    // the stand-in that cancels every dialog.
    void SetUi(ui::IBackend* ui) { m_ui = ui; }
    int Target() const override { return m_target; }
    int& LinkReady() override { return m_linkReady; }
    int& IdChecked() override { return m_idChecked; }
    uint32_t SetLinkBaudRate(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                             const std::string& message) override {
        return SetLinkBaudRate(m_port, baud, byteSize, parity, stopBits, message);
    }
    bool LoadCommState(CSerialCommState& state) override;
    void SaveCommState(const CSerialCommState& state) override;
    int32_t PageReadTimeout(int32_t fallback) override;
    bool SkipEmptyPages() const override { return m_skipEmptyPages; }
    CRetryBudget* Retries() override { return &m_retries; }
    CDeviceId* DeviceId() override { return &m_deviceId; }

    // The retries this run may take after a failed exchange (batch mode's
    // --retries; none in the window program); they are told to the session.
    CRetryBudget m_retries{m_session};

    // The File menu's "Skip pages without data": the choice for this run,
    // kept in the settings file when m_pageChoiceStored says so.
    void SetSkipEmptyPages(bool skip);
    bool m_skipEmptyPages = false;
    // The window program takes the choice from the settings file at
    // start-up and stores every change; batch mode takes it from its
    // command line alone and leaves the file's as it is.
    bool m_pageChoiceStored = true;

    // The close step of the main window (Exit, Escape, close box).
    void CloseStep();
    // Whether the close step ran and whether the device then confirmed
    // 9600 bps: a board left at another rate cannot be reached by the next
    // start, which synchronises at 9600 bps.
    enum class Closed { NotYet, At9600, NotConfirmed };
    Closed m_closed = Closed::NotYet;

    // Fields, in this order.
    CSerialComm m_port;
    int m_idChecked = 0;
    CInstanceLock m_instanceMutex;
    // The lock start-up takes. The window program is one per machine; batch
    // mode names its port's lock here instead, with the port in
    // m_lockedPort, so that runs on different ports go side by side while
    // a second run on the same port ends at once (Startup::PortHeld).
    std::string m_lockName = "PELICAN.exe";
    std::string m_lockedPort;
    // The window program's hold on the port it chose, so that a batch run
    // cannot put its frames on the same wire.
    CInstanceLock m_portMutex;
    int m_linkReady = 0;
    CMotFile m_image;
    int m_target = 0;

    // The file/ID dialog of the chosen target (start-up and "Load (ID)...").
    // How the dialog ended (IDOK when a file was taken).
    int ShowImageDialog();
    // The file that dialog took last (empty until one was taken).
    std::string m_imagePath;

private:
    void RunMainWindow();
    // How the first synchronisation went: answered; recovered (the window
    // program's recovery brought the link up); not up (its "Set baudrate"
    // was cancelled); or given up (m_firstContact ends start-up).
    enum class Contact { Answered, Recovered, NotUp, GaveUp };
    Contact FirstSynchronisation();
    // The window program's recovery after a first synchronisation that got
    // no answer, with what to check told after "Push RESET.".
    Contact RecoverFirstContact(const SyncResult& result);
    // "Select Program" until a port opens (or one that fails is left to the
    // synchronisation); false when start-up ends there.
    bool ChoosePort(CS_PrgDlg& select, bool perPort);
    // After the first synchronisation: the stored rate, the first status
    // read, Clear status; false when m_firstContact ends start-up.
    bool BringUpLink();
    // Moves the link to the stored rate for m_firstContact: the rate in
    // force afterwards (9600 bps when the board refused it or was reset on
    // the way), or 0 when the board no longer answers.
    uint32_t MoveToStoredRate(uint32_t stored);
    // The recovery's synchronisation at 9600 bps, which waits for no reply.
    void SendSynchronisation();
    // Whether the port is there to use. A port whose device failed under
    // it (a USB adapter pulled out) is closed and opened again under its
    // name once it is back (plugged in again); batch mode ends its run
    // instead (m_endWhenPortFails).
    bool PortBack();
    // Says once a run that the settings file is read-only.
    void TellReadOnlySettings(const std::string& path);
    // A save that failed (a folder that cannot take the new file, a file
    // too large to read, a link out of the user's files as root).
    void TellSettingsNotSaved(const std::string& path, const std::string& why);
    // The application's own notes: to the session's listener, or standard
    // error ("pelican: " and the text with its control characters escaped).
    void Note(const std::string& text);

    CDeviceId m_deviceId;
    BoardSession m_session;
    ui::IBackend* m_ui = nullptr;
    bool m_inRecovery = false;
    // Whether the board has answered in this run: one that never did was
    // never moved from 9600 bps.
    bool m_boardHeard = false;
    // The port as "Select Program" last gave it.
    std::string m_portChosen;
    bool m_boardReset = true;
    bool m_recoverAgain = false;
    // The port the recovery closed because it went away, until it opens again.
    std::string m_awayPort;
    bool m_readOnlySettingsTold = false;
    bool m_settingsNotSavedTold = false;
    int m_rateChanges = 0;
    unsigned m_recoveries = 0;
};

}  // namespace pelican
