#pragma once
// pelican.exe is a console program, so that cmd.exe and PowerShell wait for
// a batch run, pipe its output and see its exit status. The window program
// gives back a console that was made for it alone (started from Explorer
// or the Start menu), so that no console window stays open beside it.
#include <string>
#include <vector>

namespace pelican {

// The command line, UTF-8, split as the C runtime splits it.
std::vector<std::string> CommandLineArguments();

// Frees the console when no other program shares it.
void LeaveConsoleOfOwn();

}  // namespace pelican
