#pragma once
// Root of every command class. A command lives on the stack for one button
// press; its Run carries the operation out, reports to the user itself and
// tells its caller how it ended.
#include <functional>

#include "commands/Outcome.h"
#include "commands/AppHost.h"

namespace pelican {

class CCommand {
public:
    explicit CCommand(IAppHost& host) : m_host(host) {}
    virtual ~CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    // The status bit that tells whether an erase or a page program failed.
    enum class Checked { Erase, Program };

    // Read status, without a purge, and the failure bit of operation: Done
    // when it is clear, Failed when it is set, LinkLost when no reply came
    // (the recovery has run; the operation counts as failed). why, when
    // given, learns how the read ended; readEnded, when given, is called
    // once it has, before the recovery shows anything.
    Outcome CheckStatus(CSerialComm& port, Checked operation, ReadResult* why = nullptr,
                        const std::function<void()>& readEnded = nullptr);

    // The value of one hexadecimal digit, either case; 0 for any other
    // character.
    static int HexDigitValue(char c);

protected:
    IAppHost& Host() { return m_host; }
    ui::IBackend& Ui() { return m_host.Ui(); }

private:
    IAppHost& m_host;
};

}  // namespace pelican
