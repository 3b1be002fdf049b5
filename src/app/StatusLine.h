#pragma once
// What the main window's status line says: the port and its rate, the
// target, the file taken, whether the ID passed, and how the last command
// ended. Read check and Blank check show no message when they pass: this
// line is where the user sees it. Everything comes from values (flags,
// outcomes, the range confirmed last), never from a message's text.
#include <cstdint>
#include <string>

#include "commands/Outcome.h"

namespace pelican {

class CStatusLine {
public:
    // What the line is made of.
    struct State {
        std::string port;
        uint32_t baud = 0;
        bool linkReady = false;
        int target = 0;          // 0 internal flash memory, 1 Orca/W boot loader
        std::string file;        // the path taken, empty when none
        bool idChecked = false;
        int lastButton = 0;      // the button (or menu command) run last; 0: none yet
        Outcome lastOutcome = Outcome::Done;
        // The range confirmed last in "Input Address" (whole pages).
        uint32_t rangeStart = 0;
        uint32_t rangeEnd = 0;
    };

    // Three lines: link, file and ID, last result (left out before any
    // command).
    static std::string Text(const State& state);
    // How a command ended, in a few words: "0C0000-0C0FFF matches the
    // file", "Blank check: 0C0000-0C0FFF blank", "Erased", "Program OK",
    // "Program failed", "Read check cancelled".
    static std::string ResultText(int button, Outcome outcome, uint32_t rangeStart, uint32_t rangeEnd);

private:
    static const char* CommandName(int button);
};

}  // namespace pelican
