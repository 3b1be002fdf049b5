#pragma once
// The questions of a run ("Erase?", "Reset the board, then press Enter."):
// put to the person at the terminal when standard input is one, or answered
// by a hook (tests); without either they are not asked.
#include <functional>
#include <iostream>
#include <string>

namespace pelican {

class CQuestions {
public:
    // Whether standard input is a terminal to ask on, and where questions
    // are asked and answered (standard error and input unless replaced).
    bool m_interactive = false;
    std::ostream* m_promptOut = &std::cerr;
    std::istream* m_input = &std::cin;
    // Shows a question and reads its answer; false at the end of the input.
    // Unset: asked on m_promptOut and answered from m_input.
    std::function<bool(const std::string& question, std::string& answer)> m_ask;
    // Called before a question is written on the terminal (a progress bar
    // ends its line first).
    std::function<void()> m_beforePrompt;

    // Asks and reads one line; false without an answer. echoed: the
    // terminal the question is on echoes the Enter that ends the answer.
    bool Ask(const std::string& question, std::string& answer, bool echoed);
};

}  // namespace pelican
