#pragma once
// What the boards of a gang say, on one terminal: each line told with the
// port it is about, and (when standard error is a terminal) one line per
// board at the bottom, drawn over in place, with its port, what it is doing,
// its pages and its rate. Every board's thread writes through here, one
// line at a time.
//
// The block is drawn over by moving the cursor up as many lines as it
// drew: a line wider than the terminal would wrap into two and a block
// taller than the window would scroll its top into the history, where no
// cursor move reaches, so lines are cut to the width and a gang of more
// boards than the window has lines is drawn as short cells, several to a
// line.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "production/BoardStatus.h"
#include "sys/Terminal.h"

namespace pelican {

// How one board's run ended, for the summary and the exit status.
struct BoardResult {
    std::string port;
    int status = 0;
    bool notAt9600 = false;  // the board was perhaps left at another rate
    uint64_t ms = 0;         // from the start of its run to its end
    bool portWentAway = false;  // left so because its port failed under the run
};

class CGangConsole {
public:
    // prefixed: lines name their port (several boards share the output);
    // live: the boards' lines are drawn in place on standard error.
    // json: standard output's lines are events that name their port already.
    CGangConsole(std::vector<std::string> ports, bool prefixed, bool live, bool json);

    // A line of standard output, and one of the account on standard error
    // ("pelican: PORT: text"), about board.
    void Out(size_t board, const std::string& line);
    void Err(size_t board, const std::string& text);
    // What the board is doing now. Without a live display a status is
    // printed only as it ends (a page loop that is over). A status in a few
    // words is its own cell.
    void Status(size_t board, const BoardStatus& status, bool ended);
    void Status(size_t board, const std::string& status, bool ended);
    // The live lines stay as they were last drawn and are not drawn again;
    // what follows goes below.
    void Finish();
    // A line of standard output that is about no board (the summary).
    void Plain(const std::string& line);
    // Why a line could not be written to standard output; empty while
    // every line was.
    std::string OutputError();

    // The table a gang ends with: port, outcome and seconds, one row a run.
    static std::vector<std::string> Summary(const std::vector<BoardResult>& results);

    // Where the lines go (standard output and error unless replaced).
    std::function<void(const std::string&)> m_out;
    std::function<void(const std::string&)> m_err;
    // Where the live lines are drawn, escape sequences and all (standard
    // error unless replaced).
    std::function<void(const std::string&)> m_draw;
    // The size of the terminal they are drawn on, asked at every drawing
    // (standard error's unless replaced): it may change while boards run.
    std::function<TerminalSize()> m_terminal;

    // Characters a cell of the compact view gives a board's status.
    static constexpr size_t kCellWidth = 12;

private:
    std::string Row(size_t board) const;
    std::string Cell(size_t board) const;
    // The lines of the block for a terminal of that size.
    std::vector<std::string> Block(TerminalSize size) const;
    void Erase();
    void Draw();

    std::mutex m_mutex;
    std::vector<std::string> m_ports;
    std::vector<BoardStatus> m_status;
    size_t m_portWidth = 0;
    bool m_prefixed;
    bool m_json;
    bool m_live;
    // The lines of the block on the screen; 0: none to draw over.
    size_t m_drawnLines = 0;
    std::string m_outError;
};

}  // namespace pelican
