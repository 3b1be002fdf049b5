#pragma once
// Root of every command class. A command lives on the stack for one button
// press; its Run carries the operation out and reports to the user itself.

namespace pelican {

class CCommand {
public:
    virtual ~CCommand() = default;
};

}  // namespace pelican
