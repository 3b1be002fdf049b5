// What the device's ID locations hold as a run goes: the ID passed, FF once
// an erase is taken, the bytes of the page with the ID locations once that
// page is taken, and both candidates while it is not known whether it was,
// what the frame sent last leaves first.
#include <gtest/gtest.h>

#include <vector>

#include "commands/DeviceId.h"

namespace pelican {
namespace {

using Id = CDeviceId::Id;
const Id kPassed = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
const Id kErased = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A page with the bytes at 0xDF, 0xE3, 0xEB, 0xEF, 0xF3, 0xF7, 0xFB.
std::vector<uint8_t> IdPage(const Id& id, uint8_t rest = 0xFF) {
    std::vector<uint8_t> page(256, rest);
    const uint8_t offsets[] = {0xDF, 0xE3, 0xEB, 0xEF, 0xF3, 0xF7, 0xFB};
    for (size_t i = 0; i < 7; ++i) page[offsets[i]] = id[i];
    return page;
}

TEST(DeviceId, FollowsEraseAndTheIdPage) {
    const Id fileId = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07};
    const std::vector<uint8_t> filePage = IdPage(fileId, 0x00);
    const struct {
        const char* name;
        int mcuType;
        void (*steps)(CDeviceId&, const std::vector<uint8_t>&);
        std::vector<Id> candidates;
    } cases[] = {
        {"as passed", 0, [](CDeviceId&, const std::vector<uint8_t>&) {}, {kPassed}},
        {"an erase sent, not known to be done", 0,
         [](CDeviceId& d, const std::vector<uint8_t>&) { d.Erasing(); }, {kErased, kPassed}},
        {"an erase done", 0,
         [](CDeviceId& d, const std::vector<uint8_t>&) {
             d.Erasing();
             d.Taken();
         },
         {kErased}},
        {"the ID page sent after the erase", 0,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Erasing();
             d.Taken();
             d.Sending(0x0FFF00, page.data());
         },
         {{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}, kErased}},
        {"the ID page taken", 0,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Erasing();
             d.Taken();
             d.Sending(0x0FFF00, page.data());
             d.Taken();
         },
         {{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}}},
        // Without an erase programming only clears bits: 01 & A1 = 01, ...
        {"the ID page over the passed ID", 0,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Sending(0x0FFF00, page.data());
             d.Taken();
         },
         {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}}},
        {"another page changes nothing", 0,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Erasing();
             d.Taken();
             d.Sending(0x0FFE00, page.data());
             d.Taken();
         },
         {kErased}},
        {"the next page sent drops what the last one would have left", 0,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Erasing();
             d.Taken();
             d.Sending(0x0FFF00, page.data());
             d.Sending(0x0C0000, page.data());
         },
         {kErased}},
        {"Orca/W keeps its ID in page FFFF00", 1,
         [](CDeviceId& d, const std::vector<uint8_t>& page) {
             d.Erasing();
             d.Taken();
             d.Sending(0x0FFF00, page.data());
             d.Taken();
             d.Sending(0xFFFF00, page.data());
             d.Taken();
         },
         {{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDeviceId device;
        EXPECT_FALSE(device.Known());
        device.Passed(c.mcuType, kPassed);
        c.steps(device, filePage);
        EXPECT_TRUE(device.Known());
        EXPECT_EQ(device.McuType(), c.mcuType);
        EXPECT_EQ(device.Candidates(), c.candidates);
    }
}

TEST(DeviceId, NothingKnownBeforeAnIdPassed) {
    CDeviceId device;
    const std::vector<uint8_t> page = IdPage(kPassed);
    device.Erasing();
    device.Taken();
    device.Sending(0x0FFF00, page.data());
    device.Taken();
    EXPECT_FALSE(device.Known());
}

TEST(DeviceId, AnIdTypedButNotSentIsAGuessUntilItPasses) {
    CDeviceId device;
    device.Offered(0, kErased);
    EXPECT_TRUE(device.Known());
    EXPECT_FALSE(device.Confirmed());
    EXPECT_EQ(device.Candidates(), std::vector<Id>{kErased});
    device.Passed(0, kPassed);
    EXPECT_TRUE(device.Confirmed());
    // Once one passed, a later guess changes nothing.
    device.Offered(0, kErased);
    EXPECT_EQ(device.Candidates(), std::vector<Id>{kPassed});
}

}  // namespace
}  // namespace pelican
