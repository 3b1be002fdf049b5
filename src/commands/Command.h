#pragma once
// Root of every command class. A command lives on the stack for one button
// press; its Run carries the operation out, reports to the user itself and
// tells its caller how it ended.
#include "image/AppHost.h"

namespace pelican {

class CCommand {
public:
    explicit CCommand(IAppHost& host) : m_host(host) {}
    virtual ~CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

protected:
    IAppHost& Host() { return m_host; }

private:
    IAppHost& m_host;
};

}  // namespace pelican
