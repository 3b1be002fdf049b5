// The Windows serial back end against drivers Wine cannot show: a scripted
// stand-in for the communications calls. The lines a CDC-ACM adapter
// (usbser.sys) only hears with DTR, a driver that reports XON and XOFF both
// as 0, the reasons the first GetCommState fails for, an operation the
// driver keeps after its cancel, how often a wait without receive events
// looks at the queue, and drivers that leave received bytes unannounced, on
// a clock that counts microseconds.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "FakeComm.h"
#include "link/PortOpenError.h"
#include "link/SerialComm.h"
#include "sys/win32/SystemError.h"
#include "link/win32/Win32SerialDevice.h"

namespace pelican::test {
namespace {

TEST(Win32Driver, AnRtsChangeIsCarriedByDtrSetAgainAsItIs) {
    CFakeComm driver;
    CWin32SerialDevice device(driver);
    ASSERT_TRUE(device.Open("COM3"));
    struct Step {
        ModemLine line;
        bool on;
        std::vector<DWORD> escapes;
    };
    const Step steps[] = {
        {ModemLine::Rts, false, {CLRRTS, SETDTR}},
        {ModemLine::Dtr, false, {CLRDTR}},
        {ModemLine::Rts, true, {SETRTS, CLRDTR}},
        {ModemLine::Dtr, true, {SETDTR}},
    };
    for (const Step& step : steps) {
        driver.m_escapes.clear();
        EXPECT_EQ(device.SetModemLine(step.line, step.on), 0);
        EXPECT_EQ(driver.m_escapes, step.escapes) << (step.line == ModemLine::Rts ? "RTS " : "DTR ") << step.on;
    }
    // A change of rate keeps the lines where they were put.
    ASSERT_EQ(device.SetModemLine(ModemLine::Rts, false), 0);
    ASSERT_TRUE(device.SetLine(LineSettings{115200, 8, 0, 0}));
    EXPECT_EQ(driver.m_statesSet.back().fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(driver.m_statesSet.back().fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
}

TEST(Win32Driver, OpenRaisesBothLinesAndSetsXonApartFromXoff) {
    CFakeComm driver;
    driver.m_state.fOutX = TRUE;
    driver.m_state.fOutxCtsFlow = TRUE;
    CWin32SerialDevice device(driver);
    // The driver reports XON and XOFF both 0: taken as they are, the record
    // would be refused.
    ASSERT_TRUE(device.Open("COM3")) << device.OpenError();
    ASSERT_EQ(driver.m_statesSet.size(), 1u);
    const DCB& set = driver.m_statesSet[0];
    EXPECT_EQ(set.XonChar, 0x11);
    EXPECT_EQ(set.XoffChar, 0x13);
    EXPECT_EQ(set.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(set.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(set.fOutX);
    EXPECT_FALSE(set.fOutxCtsFlow);
    EXPECT_EQ(set.ByteSize, 8);
    // So does every later change of settings, whatever the driver reports.
    driver.m_state.XonChar = driver.m_state.XoffChar = 0;
    EXPECT_TRUE(device.SetLine(LineSettings{57600, 8, 0, 0}));
    EXPECT_EQ(driver.m_statesSet.back().BaudRate, 57600u);
}

TEST(Win32Driver, FramesAndDrainsTakeTheRateSetWithoutAskingTheDriverAgain) {
    CFakeComm driver;
    CWin32SerialDevice device(driver);
    ASSERT_TRUE(device.Open("COM3"));
    ASSERT_TRUE(device.SetLine(LineSettings{115200, 8, 0, 0}));
    driver.m_statesRead = 0;
    const uint8_t frame[] = {0x41, 0x0C, 0x00};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(device.Write(frame, sizeof frame), 3);
        EXPECT_EQ(device.Drain(1000), DrainResult::Drained);
    }
    EXPECT_EQ(driver.m_statesRead, 0);
    // A new rate is read back once, as it is set.
    ASSERT_TRUE(device.SetLine(LineSettings{9600, 8, 0, 0}));
    ASSERT_EQ(device.Write(frame, sizeof frame), 3);
    EXPECT_EQ(driver.m_statesRead, 2);
}

TEST(Win32Driver, AWaitForEventsReportsIntoItsSlotNotIntoTheDevice) {
    // A wait the driver completes late, after its cancel was given up on,
    // writes its event mask then: into the slot left to the driver, never
    // into a device that may be gone by that time.
    CFakeComm driver;
    driver.m_modemStatus = true;
    CMicroClock clock;
    CWin32SerialDevice device(driver, clock);
    ASSERT_TRUE(device.Open("COM3"));
    ASSERT_TRUE(device.WaitsOnEvents());
    device.WaitInput(clock.NowMs() + 5, 0);
    const auto* at = reinterpret_cast<const char*>(driver.m_eventsAt);
    const auto* first = reinterpret_cast<const char*>(&device);
    ASSERT_NE(at, nullptr);
    EXPECT_TRUE(at < first || at >= first + sizeof device);
}

TEST(Win32Driver, TheFirstGetCommStateFailureIsToldByItsReason) {
    struct Case {
        DWORD error;
        int errnoValue;
        const char* text;
    };
    const Case cases[] = {
        {ERROR_INVALID_FUNCTION, ENOTTY, "cannot open COM3: not a serial port"},
        {ERROR_NOT_SUPPORTED, ENOTTY, "cannot open COM3: not a serial port"},
        {ERROR_GEN_FAILURE, EIO,
         "cannot open COM3: the port's driver reported an error; Device Manager lists this computer's ports "
         "under \"Ports (COM & LPT)\" and its state"},
        {ERROR_SEM_TIMEOUT, EIO,
         "cannot open COM3: the port's driver reported an error; Device Manager lists this computer's ports "
         "under \"Ports (COM & LPT)\" and its state"},
        {ERROR_ACCESS_DENIED, EACCES,
         "cannot open COM3: access denied; ask the administrator of this computer for access to it"},
        {ERROR_DEVICE_REMOVED, ENOENT,
         "cannot open COM3: no such port; Device Manager lists this computer's ports under \"Ports (COM & LPT)\""},
    };
    for (const Case& c : cases) {
        CFakeComm driver;
        driver.m_getStateError = c.error;
        CWin32SerialDevice device(driver);
        EXPECT_FALSE(device.Open("COM3"));
        EXPECT_EQ(device.OpenError(), c.errnoValue) << c.error;
        EXPECT_EQ(DescribePortOpenError("COM3", device.OpenError()), c.text) << c.error;
        EXPECT_FALSE(device.IsOpen());
    }
}

TEST(Win32Driver, AnAdapterPulledOutUnderItsHandleIsToldAsGoneInTheSystemsWords) {
    // What drivers fail the calls on a handle with once its adapter is out:
    // no permission and no serial port (the errors' own meaning at the
    // open) are no reading of them here.
    // The words are the system's own (Windows: "The device does not
    // recognize the command"; Wine: "Bad command"), as FormatMessage has them.
    struct Case {
        DWORD error;
        int errnoValue;
    };
    const Case cases[] = {
        {ERROR_ACCESS_DENIED, ENODEV},
        {ERROR_BAD_COMMAND, ENODEV},
        {ERROR_OPERATION_ABORTED, ENODEV},
        {ERROR_GEN_FAILURE, EIO},
    };
    for (const Case& c : cases) {
        CFakeComm driver;
        driver.m_state.BaudRate = 115200;
        auto owned = std::make_unique<CWin32SerialDevice>(driver);
        CWin32SerialDevice& device = *owned;
        CSerialComm port(std::move(owned), RealClock());
        ASSERT_EQ(port.Open("COM5"), 1);
        EXPECT_EQ(port.Fault().error, 0);
        driver.m_goneError = c.error;
        const uint8_t frame[] = {0x70};
        EXPECT_EQ(port.Send(frame, 1), 0) << c.error;
        EXPECT_TRUE(port.DeviceFailed()) << c.error;
        uint8_t reply[2] = {};
        EXPECT_EQ(port.Read(reply, 2), ReadResult::PortGone) << c.error;
        EXPECT_EQ(device.SetModemLine(ModemLine::Dtr, false), c.errnoValue) << c.error;
        EXPECT_EQ(port.Close(), 1);
        // Kept past the close, for the message that tells it.
        EXPECT_EQ(port.Fault().error, c.errnoValue) << c.error;
        EXPECT_EQ(port.Fault().text, SystemErrorText(c.error)) << c.error;
        EXPECT_FALSE(port.Fault().text.empty()) << c.error;
        // Opened again (the adapter back), the port starts without one.
        driver.m_goneError = 0;
        ASSERT_EQ(port.Open("COM5"), 1);
        EXPECT_EQ(port.Fault().error, 0) << c.error;
    }
}

TEST(Win32Driver, AWriteTheDriverKeepsAfterItsCancelFailsThePort) {
    CFakeComm driver;
    driver.m_state.BaudRate = 115200;
    CWin32SerialDevice device(driver);
    ASSERT_TRUE(device.Open("COM3"));
    const uint8_t frame[] = {0x70};
    driver.m_writes = CFakeComm::Ending::NeverEnds;
    EXPECT_EQ(device.Write(frame, 1), -1);
    EXPECT_TRUE(device.Failed());
    // The port is gone for the link, and its OVERLAPPED stays the driver's:
    // nothing more is started on the handle.
    uint32_t errors = 0;
    size_t queued = 0;
    ASSERT_TRUE(device.QueryInput(errors, queued));
    EXPECT_EQ(errors & kLineOther, static_cast<uint32_t>(kLineOther));
    driver.m_writes = CFakeComm::Ending::AtOnce;
    EXPECT_EQ(device.Write(frame, 1), -1);
    uint8_t byte = 0;
    driver.m_inQueue = 1;
    EXPECT_EQ(device.Read(&byte, 1), -1);
    EXPECT_EQ(device.Drain(0), DrainResult::Failed);
    EXPECT_EQ(driver.m_writesStarted, 1);
    // Opened again, the port works on slots of its own.
    EXPECT_TRUE(device.Close());
    ASSERT_TRUE(device.Open("COM3"));
    EXPECT_FALSE(device.Failed());
    EXPECT_EQ(device.Write(frame, 1), 1);
    EXPECT_EQ(driver.m_reusedWhileHeld, 0);
}

TEST(Win32Driver, AWriteWhoseCancelEndsLeavesThePortUsable) {
    CFakeComm driver;
    driver.m_state.BaudRate = 115200;
    CWin32SerialDevice device(driver);
    ASSERT_TRUE(device.Open("COM3"));
    const uint8_t frame[] = {0x70};
    driver.m_writes = CFakeComm::Ending::CancelEnds;
    EXPECT_EQ(device.Write(frame, 1), -1);
    EXPECT_FALSE(device.Failed());
    driver.m_writes = CFakeComm::Ending::AtOnce;
    EXPECT_EQ(device.Write(frame, 1), 1);
    EXPECT_EQ(driver.m_writesStarted, 2);
    EXPECT_EQ(driver.m_reusedWhileHeld, 0);
}

TEST(Win32Driver, AWaitWithoutEventsLooksFinelyWhileAReplyIsDueThenEveryMillisecond) {
    CFakeComm driver;  // no modem status: no receive events
    driver.m_state.BaudRate = 115200;
    CMicroClock clock;
    CWin32SerialDevice device(driver, clock);
    ASSERT_TRUE(device.Open("COM3"));
    ASSERT_FALSE(device.WaitsOnEvents());
    const uint8_t frame[] = {0xF5, 0x00, 0x70};
    ASSERT_EQ(device.Write(frame, 3), 3);
    // A read of 100 ms that nothing answers: three bytes are 260 us on the
    // line, the reply window 50 ms after them.
    const uint64_t deadline = clock.NowMs() + 100;
    while (clock.NowMs() < deadline) device.WaitInput(deadline, 0);
    std::vector<uint64_t> expected(252, 200);  // 252 x 200 us reach past 50 260 us
    expected.insert(expected.end(), 49, 1000);
    expected.push_back(600);  // the rest to the deadline
    EXPECT_EQ(clock.Rests(), expected);
}

TEST(Win32Driver, RepliesTheDriverLeavesUnannouncedAreReadWithinTheirDeadline) {
    // Two replies to 0x70, each 5 ms after its read began unless told
    // otherwise. A port whose driver does not announce them polls its
    // queue from then on; one whose driver does never stops waiting on
    // its events.
    struct Case {
        const char* driver;
        CFakeComm::RxEvents events;
        bool maskRefused;
        uint64_t firstAfterUs;  // the first reply arrives, after its read began
        int32_t timeoutMs;
        uint64_t firstReadUs;  // the first reply is read, after its read began
        uint64_t secondReadUs;
        bool waitsOnEvents;
        int eventWaits;  // WaitCommEvent calls for both reads
    };
    using Ev = CFakeComm::RxEvents;
    const Case cases[] = {
        {"announces each reply", Ev::OnArrival, false, 5000, 500, 5000, 5000, true, 2},
        // It came as a wait ran out, before the wait's cancel: the driver
        // kept the event, and the next wait ends at once.
        {"announces a reply at the next wait", Ev::OnArrival, false, 200000, 500, 200000, 5000, true, 3},
        // Found as the wait's slice runs out, then polled.
        {"never announces", Ev::Never, false, 5000, 500, 200000, 5000, false, 2},
        {"never announces, read shorter than a slice", Ev::Never, false, 5000, 100, 101000, 5000, false, 2},
        {"refuses the wait", Ev::Refused, false, 5000, 500, 5000, 5000, false, 1},
        {"refuses the event mask", Ev::Never, true, 5000, 500, 5000, 5000, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.driver);
        CFakeComm driver;
        driver.m_modemStatus = true;
        driver.m_rxEvents = c.events;
        driver.m_maskRefused = c.maskRefused;
        CMicroClock clock;
        driver.m_clock = &clock;
        auto owned = std::make_unique<CWin32SerialDevice>(driver, clock);
        CWin32SerialDevice& device = *owned;
        CSerialComm port(std::move(owned), clock);
        ASSERT_EQ(port.Open("COM3"), 1);
        port.SetReadTimeout(c.timeoutMs);
        const uint8_t frame[] = {0x70};
        const std::vector<uint8_t> replies[] = {{0x80, 0x0C}, {0x80, 0x1C}};
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(port.Send(frame, 1), 1);
            clock.RestUs(1000 - clock.NowUs() % 1000);  // the read begins on a millisecond
            const uint64_t begin = clock.NowUs();
            driver.m_arrivals = {{begin + (i == 0 ? c.firstAfterUs : 5000), replies[i]}};
            std::vector<uint8_t> reply(2);
            EXPECT_EQ(port.Receive(reply.data(), 2), 2) << i;
            EXPECT_EQ(reply, replies[i]);
            EXPECT_EQ(clock.NowUs() - begin, i == 0 ? c.firstReadUs : c.secondReadUs) << i;
        }
        EXPECT_EQ(device.WaitsOnEvents(), c.waitsOnEvents);
        EXPECT_EQ(driver.m_eventWaits, c.eventWaits);
    }
}

}  // namespace
}  // namespace pelican::test
