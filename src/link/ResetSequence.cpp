#include "link/ResetSequence.h"

#include <cstring>

#include "link/Exchange.h"
#include "link/SerialComm.h"

namespace pelican {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

const char* LineName(ModemLine line) {
    return line == ModemLine::Dtr ? "DTR" : "RTS";
}

// Decimal digits only, at most kMaxDelayMs.
bool ParseDelay(const std::string& text, uint32_t& ms) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > CResetSequence::kMaxDelayMs) return false;
    ms = value;
    return true;
}

}  // namespace

bool CResetSequence::Parse(const std::string& text, CResetSequence& sequence, std::string& error) {
    std::vector<Step> steps;
    bool changesLine = false;
    size_t pos = 0;
    for (;;) {
        const size_t comma = text.find(',', pos);
        const std::string item = Lower(text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        const size_t colon = item.find(':');
        const std::string name = item.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : item.substr(colon + 1);
        Step step;
        if (name == "delay") {
            step.isDelay = true;
            if (!ParseDelay(value, step.delayMs)) {
                error = "\"" + item + "\": a delay is 0 to " + std::to_string(kMaxDelayMs) + " milliseconds";
                return false;
            }
        } else if ((name == "dtr" || name == "rts") && (value == "0" || value == "1")) {
            step.line = name == "dtr" ? ModemLine::Dtr : ModemLine::Rts;
            step.on = value == "1";
            changesLine = true;
        } else {
            error = "\"" + item + "\": expected dtr:0, dtr:1, rts:0, rts:1 or delay:MS";
            return false;
        }
        steps.push_back(step);
        if (steps.size() > kMaxSteps) {
            error = "more than " + std::to_string(kMaxSteps) + " steps";
            return false;
        }
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    if (!changesLine) {
        error = "no line change (dtr:0|1, rts:0|1)";
        return false;
    }
    sequence.m_steps = std::move(steps);
    return true;
}

std::string CResetSequence::Text() const {
    std::string text;
    for (const Step& step : m_steps) {
        if (!text.empty()) text += ',';
        text += step.isDelay ? "delay:" + std::to_string(step.delayMs)
                             : std::string(step.line == ModemLine::Dtr ? "dtr:" : "rts:") + (step.on ? "1" : "0");
    }
    return text;
}

std::string CResetSequence::Perform(CSerialComm& port) const {
    std::string failure;
    for (const Step& step : m_steps) {
        if (step.isDelay) {
            Pause(port, step.delayMs);
            continue;
        }
        const int error = port.SetModemLine(step.line, step.on);
        if (error != 0 && failure.empty()) failure = std::string(LineName(step.line)) + ": " + std::strerror(error);
    }
    return failure;
}

}  // namespace pelican
