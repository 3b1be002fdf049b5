#include "station/RunPrinter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "station/BatchRunner.h"
#include "station/JsonLine.h"
#include "station/RetryReport.h"
#include "commands/CheckMemorryCmd.h"
#include "sys/Terminal.h"
#include "sys/Text.h"

namespace pelican {

CRunPrinter::CRunPrinter(CBatchRunner& runner, bool json) : m_runner(runner), m_json(json) {
    m_showProgress = IsTerminal(StandardStream::Error);
    m_report = [](const std::string& text) { std::cerr << "pelican: " << EscapeControls(text) << '\n'; };
}

void CRunPrinter::OnEvent(const event::RunEvent& event) {
    std::visit([this](const auto& e) { Show(e); }, event);
}

void CRunPrinter::Show(const event::Message& message) {
    EndBarLine();
    Print(m_json ? CJsonLine("message").Add("icon", ui::IconWord(message.icon)).Add("text", message.text).Text()
                 : MessageLine(message.icon, message.text));
}

void CRunPrinter::Show(const event::Report& report) {
    EndBarLine();
    // Once standard output is lost the account goes where it can be read.
    if (m_json && !report.outsideResults && !m_runner.OutputIsLost())
        Print(CJsonLine("report").Add("text", report.text).Text());
    else
        Account(report.text);
}

void CRunPrinter::Show(const event::StatusRead& status) {
    if (!m_json) {
        for (const auto& [label, value] : status.fields) Print(label + ": " + value);
        return;
    }
    CJsonLine json("status");
    for (const auto& [label, value] : status.fields) json.Add(label, value);
    Print(json.Text());
}

void CRunPrinter::Show(const event::VersionRead& version) {
    // The device's bytes as they came, but never a control character that
    // could clear the terminal or start a line of its own (JSON escapes its own).
    Print(m_json ? CJsonLine("version").Add("text", version.text).Text() : "Version: " + EscapeForTerminal(version.text));
}

void CRunPrinter::Show(const event::PhaseMoved& moved) {
    if (!m_showProgress) return;
    std::cerr << '\r' << ProgressLine(moved.title, moved.pages, moved.elapsedMs, moved.due) << std::flush;
    m_barShown = true;
}

void CRunPrinter::Show(const event::PhaseEnded& ended) {
    // The bar's line ends with its loop, however the loop ended.
    EndBarLine();
    if (!m_json) return;
    const PhaseRecord& phase = ended.phase;
    Print(CJsonLine("phase")
              .Add("action", ended.action)
              .Add("title", phase.title)
              .Add("start", CCheckMemorryCmd::AddressToHex(phase.start))
              .Add("end", CCheckMemorryCmd::AddressToHex(phase.end))
              .Add("outcome", OutcomeName(phase.outcome))
              .Add("ms", static_cast<int64_t>(phase.milliseconds))
              .Add("pages", static_cast<int64_t>(phase.pages))
              .Add("bytes_per_s", BytesPerSecond(phase.pages, phase.milliseconds))
              .Text());
}

void CRunPrinter::Show(const event::Retry& retry) {
    if (m_json)
        Print(CRetryReport::Json(retry.note));
    else
        Account(CRetryReport::Text(retry.note));
}

void CRunPrinter::Show(const event::RunEnded& ended) {
    if (m_json)
        Print(CJsonLine("exit").Add("status", static_cast<int64_t>(ended.status)).Add("outcome", ended.outcome).Text());
}

void CRunPrinter::Print(const std::string& line) {
    if (m_json) return PrintLine(CJsonLine::WithField(line, "port", m_runner.PortName()));
    PrintLine(line);
}

void CRunPrinter::PrintLine(const std::string& line) {
    if (m_print) {
        m_print(line);
    } else if (!m_runner.OutputIsLost()) {
        errno = 0;
        std::cout << line << '\n' << std::flush;
        // A full disk, a closed descriptor: what the run says is lost, so
        // the run is no success. It ends after the action in hand, once the
        // link is back at 9600 bps.
        const bool closed = m_runner.m_outputClosed;
        if (closed || !std::cout) m_runner.OutputLost(closed || errno == 0 ? "it is closed" : std::strerror(errno));
    }
    // Standard output closed under the program (a reader such as head that
    // has seen enough) raises SIGPIPE on this write: act on it now.
    m_runner.AtSafePoint();
}

void CRunPrinter::Account(const std::string& text) {
    if (m_report) m_report(text);
}

void CRunPrinter::EndBarLine() {
    if (m_barShown) std::cerr << '\n' << std::flush;
    m_barShown = false;
}

std::string CRunPrinter::MessageLine(ui::Icon icon, const std::string& message) {
    std::string text = message;
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    // A file name may hold any byte: an escape sequence in it must not
    // clear or recolour the terminal the line is read on.
    return std::string(ui::IconWord(icon)) + ": " + EscapeControls(text);
}

int64_t CRunPrinter::BytesPerSecond(uint64_t pages, uint64_t milliseconds) {
    return milliseconds == 0 ? 0 : static_cast<int64_t>(pages * CCheckMemorryCmd::kPageSize * 1000 / milliseconds);
}

std::string CRunPrinter::ProgressLine(const std::string& title, int pages, uint32_t totalPages) {
    constexpr int kWidth = 30;
    // Counted in pages, not in the window's bar steps (500 bytes each, and
    // the range's first page left out): each page moves it, and it is full
    // with the last one.
    const int64_t done = pages < 0 ? 0 : std::min<int64_t>(pages, totalPages);
    const int percent = totalPages == 0 ? 100 : static_cast<int>(done * 100 / totalPages);
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    char tail[48];
    std::snprintf(tail, sizeof tail, "] %3d%%  %d page%s", percent, pages, pages == 1 ? "" : "s");
    return title + " [" + bar + tail;
}

std::string CRunPrinter::ProgressLine(const std::string& title, int pages, uint64_t elapsedMs, uint32_t totalPages) {
    // Fixed widths: the line is drawn over itself with a carriage return.
    char tail[64];
    if (pages <= 0 || elapsedMs == 0) {
        std::snprintf(tail, sizeof tail, "  %7s KiB/s  %5s left", "-", "-:--");
    } else {
        const auto done = static_cast<uint64_t>(pages);
        const double rate = static_cast<double>(BytesPerSecond(done, elapsedMs)) / 1024.0;
        const uint64_t rest = totalPages > done ? totalPages - done : 0;
        // Rounded up: "0:00 left" only once the last page is in.
        const uint64_t seconds = (rest * elapsedMs + done * 1000 - 1) / (done * 1000);
        std::snprintf(tail, sizeof tail, "  %7.1f KiB/s  %2u:%02u left", rate, static_cast<unsigned>(seconds / 60),
                      static_cast<unsigned>(seconds % 60));
    }
    return ProgressLine(title, pages, totalPages) + tail;
}

}  // namespace pelican
