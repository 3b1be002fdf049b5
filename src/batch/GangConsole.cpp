#include "batch/GangConsole.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "batch/BatchRunner.h"
#include "sys/Text.h"

namespace pelican {

CGangConsole::CGangConsole(std::vector<std::string> ports, bool prefixed, bool live, bool json)
    : m_ports(std::move(ports)), m_status(m_ports.size()), m_prefixed(prefixed), m_json(json), m_live(live) {
    for (const std::string& port : m_ports) m_portWidth = std::max(m_portWidth, port.size());
    m_out = [this](const std::string& line) {
        errno = 0;
        std::cout << line << '\n' << std::flush;
        // A full disk or a closed pipe: every board's account is lost, so
        // no board's run is a success. Called under m_mutex.
        if (!std::cout && m_outError.empty()) m_outError = errno != 0 ? std::strerror(errno) : "it is closed";
    };
    m_err = [](const std::string& line) { std::cerr << line << '\n' << std::flush; };
    m_draw = [](const std::string& text) { std::cerr << text << std::flush; };
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
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_live) {
        if (ended && m_prefixed) m_err("pelican: " + m_ports[board] + ": " + status);
        return;
    }
    if (m_status[board] == status) return;
    m_status[board] = status;
    Erase();
    Draw();
}

void CGangConsole::Finish() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    // Left on the screen: the last state of every board.
    m_drawn = false;
}

std::string CGangConsole::Row(size_t board) const {
    std::string port = m_ports[board];
    port.resize(m_portWidth, ' ');
    return port + "  " + EscapeControls(m_status[board]);
}

void CGangConsole::Erase() {
    if (!m_drawn) return;
    // Up to the first of the boards' lines, and everything below cleared.
    m_draw("\x1b[" + std::to_string(m_ports.size()) + "F\x1b[J");
    m_drawn = false;
}

void CGangConsole::Draw() {
    if (!m_live) return;
    std::string text;
    for (size_t board = 0; board < m_ports.size(); ++board) text += Row(board) + "\x1b[K\n";
    m_draw(text);
    m_drawn = true;
}

std::vector<std::string> CGangConsole::Summary(const std::vector<BoardResult>& results) {
    size_t portWidth = 4;
    for (const BoardResult& result : results) portWidth = std::max(portWidth, result.port.size());
    const auto row = [portWidth](const std::string& port, const std::string& outcome, const std::string& seconds) {
        char text[64];
        std::snprintf(text, sizeof text, "  %-16s %8s", outcome.c_str(), seconds.c_str());
        std::string padded = port;
        padded.resize(portWidth, ' ');
        return padded + text;
    };
    std::vector<std::string> lines = {row("port", "outcome", "seconds")};
    for (const BoardResult& result : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(result.ms) / 1000.0);
        lines.push_back(row(EscapeControls(result.port), CBatchRunner::OutcomeWord(result.status, result.notAt9600),
                            seconds));
    }
    return lines;
}

}  // namespace pelican
