#include "production/GangConsole.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "lifecycle/ExitStatus.h"
#include "sys/Text.h"

namespace pelican {
namespace {

// Characters on the screen: every byte but UTF-8's continuation bytes
// (the texts are escaped: no control characters).
size_t Width(const std::string& text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The first characters of text that take at most width columns.
std::string Fit(const std::string& text, size_t width) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters++ == width) return text.substr(0, i);
    }
    return text;
}

std::string Pad(std::string text, size_t width) {
    const size_t taken = Width(text);
    if (taken < width) text.append(width - taken, ' ');
    return text;
}

}  // namespace

CGangConsole::CGangConsole(std::vector<std::string> ports, bool prefixed, bool live, bool json)
    : m_ports(std::move(ports)), m_status(m_ports.size()), m_prefixed(prefixed), m_json(json), m_live(live) {
    for (const std::string& port : m_ports) m_portWidth = std::max(m_portWidth, Width(EscapeControls(port)));
    m_out = [this](const std::string& line) {
        errno = 0;
        std::cout << line << '\n' << std::flush;
        // A full disk or a closed pipe: every board's account is lost, so
        // no board's run is a success. Called under m_mutex.
        if (!std::cout && m_outError.empty()) m_outError = errno != 0 ? std::strerror(errno) : "it is closed";
    };
    m_err = [](const std::string& line) { std::cerr << line << '\n' << std::flush; };
    m_draw = [](const std::string& text) { std::cerr << text << std::flush; };
    m_terminal = [] { return SizeOf(StandardStream::Error); };
}

void CGangConsole::Out(size_t board, const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Erase();
    m_out(m_prefixed && !m_json ? m_ports[board] + ": " + line : line);
    Draw();
}

std::string CGangConsole::OutputError() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_outError;
}

void CGangConsole::Err(size_t board, const std::string& text) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Erase();
    m_err("pelican: " + (m_prefixed ? m_ports[board] + ": " : std::string()) + EscapeControls(text));
    Draw();
}

void CGangConsole::Plain(const std::string& line) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Erase();
    m_out(line);
    Draw();
}

void CGangConsole::Status(size_t board, const std::string& status, bool ended) {
    Status(board, BoardStatus{status, status}, ended);
}

void CGangConsole::Status(size_t board, const BoardStatus& status, bool ended) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_live) {
        if (ended && m_prefixed) m_err("pelican: " + m_ports[board] + ": " + status.line);
        return;
    }
    if (m_status[board].line == status.line && m_status[board].cell == status.cell) return;
    m_status[board] = status;
    Erase();
    Draw();
}

void CGangConsole::Finish() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    // Left on the screen: the last state of every board, above the summary
    // that follows.
    m_drawnLines = 0;
    m_live = false;
}

std::string CGangConsole::Row(size_t board) const {
    return Pad(EscapeControls(m_ports[board]), m_portWidth) + "  " + EscapeControls(m_status[board].line);
}

std::string CGangConsole::Cell(size_t board) const {
    return Pad(EscapeControls(m_ports[board]), m_portWidth) + " " +
           Fit(EscapeControls(m_status[board].cell), kCellWidth);
}

std::vector<std::string> CGangConsole::Block(TerminalSize size) const {
    const size_t columns = size.columns > 0 ? static_cast<size_t>(size.columns) : 80;
    const size_t rows = size.rows > 0 ? static_cast<size_t>(size.rows) : 24;
    // The last column stays empty: a terminal may wrap as soon as it is
    // written. The last line is where the cursor waits below the block.
    const size_t width = columns > 1 ? columns - 1 : 1;
    const size_t room = rows > 1 ? rows - 1 : 1;
    const size_t boards = m_ports.size();
    std::vector<std::string> lines;
    if (boards <= room) {
        for (size_t board = 0; board < boards; ++board) lines.push_back(Fit(Row(board), width));
        return lines;
    }
    const size_t cellWidth = m_portWidth + 1 + kCellWidth;
    const size_t perLine = std::max<size_t>(1, (width + 2) / (cellWidth + 2));
    // Cells that do not fit either: the last line counts those left out.
    const size_t shown = (boards + perLine - 1) / perLine <= room ? boards : (room - 1) * perLine;
    for (size_t first = 0; first < shown; first += perLine) {
        std::string line;
        const size_t last = std::min(first + perLine, shown);
        for (size_t board = first; board < last; ++board)
            line += board + 1 < last ? Pad(Cell(board), cellWidth) + "  " : Cell(board);
        lines.push_back(Fit(line, width));
    }
    if (shown < boards)
        lines.push_back(Fit(shown == 0 ? std::to_string(boards) + " boards"
                                       : "and " + std::to_string(boards - shown) + " more",
                            width));
    return lines;
}

void CGangConsole::Erase() {
    if (m_drawnLines == 0) return;
    // Up to the first of the block's lines, and everything below cleared.
    m_draw("\x1b[" + std::to_string(m_drawnLines) + "F\x1b[J");
    m_drawnLines = 0;
}

void CGangConsole::Draw() {
    if (!m_live) return;
    std::string text;
    const std::vector<std::string> lines = Block(m_terminal ? m_terminal() : TerminalSize{});
    for (const std::string& line : lines) text += line + "\x1b[K\n";
    m_draw(text);
    m_drawnLines = lines.size();
}

std::vector<std::string> CGangConsole::Summary(const std::vector<BoardResult>& results) {
    const auto word = [](const BoardResult& result) {
        return std::string(ExitWord(result.status, result.notAt9600, result.portWentAway));
    };
    size_t portWidth = 4;
    int outcomeWidth = 16;
    for (const BoardResult& result : results) {
        portWidth = std::max(portWidth, result.port.size());
        outcomeWidth = std::max(outcomeWidth, static_cast<int>(word(result).size()));
    }
    const auto row = [portWidth, outcomeWidth](const std::string& port, const std::string& outcome,
                                               const std::string& seconds) {
        char text[96];
        std::snprintf(text, sizeof text, "  %-*s %8s", outcomeWidth, outcome.c_str(), seconds.c_str());
        std::string padded = port;
        padded.resize(portWidth, ' ');
        return padded + text;
    };
    std::vector<std::string> lines = {row("port", "outcome", "seconds")};
    for (const BoardResult& result : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(result.ms) / 1000.0);
        lines.push_back(row(EscapeControls(result.port), word(result), seconds));
    }
    return lines;
}

}  // namespace pelican
