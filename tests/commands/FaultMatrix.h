#pragma once
// One exchange of the program against one fault of the line or the board:
// the application runs start-up (or a main-window button) on a board told to
// fail at that exchange, the user follows what the messages say (RESET, plug
// the cable back, OK in "Set baudrate"), then presses "Status..." until the
// status window opens, and Exit. A second run on the same board shows
// whether what was left behind lets the next start reach the board.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/MemoryBench.h"

namespace pelican::test {

enum class Fault { Silence, WrongByte, ShortReply, LateOut, LateIn, LineError, Unplug };

inline const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::Silence: return "silence";
        case Fault::WrongByte: return "wrong byte";
        case Fault::ShortReply: return "short reply";
        case Fault::LateOut: return "late, past";
        case Fault::LateIn: return "late, inside";
        case Fault::LineError: return "line error";
        case Fault::Unplug: return "unplug";
    }
    return "?";
}

// Which frame's reply carries the fault: the nth frame with this first byte
// after the first frame with `after` (0: from the start), or the last one.
struct Target {
    uint8_t code = 0;
    unsigned nth = 1;
    uint8_t after = 0;
    bool last = false;
};

struct MatrixRow {
    const char* name = "";
    bool startUp = false;  // start-up with 115200 bps stored, then Exit; else a button
    std::function<void(CMemoryBench&)> prepare = nullptr;  // image, target, file
    std::function<void(CMemoryBench&)> press = nullptr;    // the main-window button
    Target target = {};
    size_t replyLength = 0;
    int32_t timeout = 5000;  // read time-out in force for the reply
    // The wrong byte put into the reply, and whether the program can tell.
    size_t wrongIndex = 0;
    uint8_t wrongValue = 0;
    bool wrongHarmless = false;
    // The first message after a missing or broken reply, and after a wrong one.
    const char* missingText = nullptr;
    const char* brokenText = nullptr;
    const char* wrongText = nullptr;
    // The icon of the exchange's own failure message (the recovery's
    // messages always carry the stop icon).
    ui::Icon icon = ui::Icon::None;
    // The command's own message that follows the recovery's, when a failed
    // read counts as a failure the device reported; nullptr: the recovery's
    // messages are the last word.
    const char* afterRecovery = nullptr;
    // A dialog that tells of the failure instead of a message (0: none).
    int failureDialog = 0;
    // Whether the button's outcome tells success (the ID check dialog stays
    // open after a failure and the user may try again).
    bool outcomeTells = true;
    // The fault lies in the close step: nothing follows it in the same run.
    bool atExit = false;
};

struct CellResult {
    Messages messages;          // from the start (or the press) to the follow-up
    Outcome outcome = Outcome::Done;
    uint64_t elapsedMs = 0;
    bool linkReady = false;
    uint32_t boardBaud = 0;
    std::string versionText;    // as the "Firmware Version" dialog showed it
    std::vector<int> dialogs;   // every dialog shown, in order
    std::vector<sim::SimFrame> frames;
    // "Status..." pressed after the cell until the status window opened:
    // how many presses it took (0: it never opened), and the bytes and
    // messages of the press that opened it.
    int followUps = 0;
    Bytes followUpBytes;
    Messages followUpMessages;
    std::string followUpReady;  // the status window's ready field
    Messages exitMessages;      // the close step after the follow-up
    Messages nextRun;           // messages of the second run's start-up
    bool nextLinkReady = false;
};

// Runs one cell; without a fault, the exchange as it goes on a sound board.
// occurrence: the target frame's count among frames of its code.
CellResult RunCell(const MatrixRow& exchange, std::optional<Fault> fault, unsigned occurrence);

// The target frame's occurrence among the frames of its code, or 0.
unsigned Locate(const std::vector<sim::SimFrame>& frames, const Target& target);

std::vector<MatrixRow> MatrixRows();

}  // namespace pelican::test
