#include "link/posix/ProcessScan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace pelican {
namespace {

namespace fs = std::filesystem;

// The process id a /proc entry is named by; 0 for the other entries.
int PidOf(const std::string& name) {
    if (name.empty() || name.size() > 9) return 0;
    int pid = 0;
    for (const char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

ProcessScan ScanProcesses(const std::string& procRoot, const std::set<std::string>& devices, int selfPid) {
    ProcessScan scan;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(procRoot, error)) {
        const int pid = PidOf(entry.path().filename().string());
        if (pid == 0) continue;
        const std::string program = FirstLine(entry.path() / "comm");
        if (program.empty()) continue;  // gone while we looked
        scan.programs.insert(program);
        if (pid == selfPid || devices.empty()) continue;
        std::error_code fdError;
        std::set<std::string> seen;  // one entry per device, however many descriptors
        for (const auto& fd : fs::directory_iterator(entry.path() / "fd", fdError)) {
            std::error_code linkError;
            const std::string target = fs::read_symlink(fd.path(), linkError).string();
            if (linkError || devices.count(target) == 0 || !seen.insert(target).second) continue;
            scan.holders[target].push_back(PortHolder{program, pid});
        }
    }
    for (auto& [device, holders] : scan.holders)
        std::sort(holders.begin(), holders.end(), [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return scan;
}

}  // namespace pelican
