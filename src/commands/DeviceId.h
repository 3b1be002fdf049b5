#pragma once
// What the device's seven ID locations hold, as far as this run knows. The
// ID is flash content: the boot loader compares the ID it is sent with
// those locations near the top of the flash. So an erase leaves it FF, and
// programming the page that holds it gives it the page's bytes there. A
// board reset by the recovery has forgotten its ID check and must be given
// the ID it holds now, which after an erase is not the one it was given at
// the start.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace pelican {

class CDeviceId {
public:
    using Id = std::array<uint8_t, 7>;

    // The device of MCU type mcuType (0 Orca/S P, 1 Orca/W) passed the ID
    // check with id.
    void Passed(int mcuType, const Id& id);
    // The user gave id for a board that had passed its ID check already, so
    // it did not go out: it is a guess, tried when the board must be given
    // its ID again, and taken as the board's only once it passed.
    void Offered(int mcuType, const Id& id);
    // An erase goes out: once it is done the ID locations hold FF.
    void Erasing();
    // A page goes out to be programmed. What the ID becomes (erase) or the
    // ID the page leaves waits until Taken, or until the next one goes out.
    void Sending(uint32_t pageAddress, const uint8_t* page);
    // The erase or page sent last was taken (its status was clear, or the
    // page reads back as sent).
    void Taken();

    // Whether there is an ID to give the board: one it took, or a guess.
    bool Known() const { return m_known || m_guessed; }
    // Whether the board is known to have taken the ID the run holds.
    bool Confirmed() const { return m_known; }
    int McuType() const { return m_mcuType; }
    // The IDs to give the device, likeliest first: the one the erase or
    // page sent last leaves, if it may have been taken, then the one it
    // held before.
    std::vector<Id> Candidates() const;

    // The page holding the ID locations of an MCU type, and their offsets.
    static uint32_t IdPage(int mcuType);
    static const std::array<uint8_t, 7>& Offsets();

private:
    bool m_known = false;
    bool m_guessed = false;
    int m_mcuType = 0;
    Id m_id{};
    std::optional<Id> m_pending;
};

}  // namespace pelican
