#include "Console.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "sys/win32/WideText.h"

namespace pelican {

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return {"pelican"};
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    ::LocalFree(wide);
    if (arguments.empty()) arguments.push_back("pelican");
    return arguments;
}

void LeaveConsoleOfOwn() {
    DWORD processes[2];
    // One process on the console: this one, so the console was made for it.
    if (::GetConsoleProcessList(processes, 2) == 1) ::FreeConsole();
}

}  // namespace pelican
