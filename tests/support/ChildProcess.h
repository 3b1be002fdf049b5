#pragma once
// The programs themselves as child processes, for the few end-to-end runs
// over pseudo-terminals in real time: pelican with its settings and lock
// folders in a test's temporary folder, and pelican-sim in the background.
#include <signal.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/SideBySide.h"
#include "support/TempDir.h"

namespace pelican::test {

struct ProgramResult {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string out;
    std::string err;
};

// A program started with the settings and lock folders in dir, no standard
// input, and its standard output and error in dir's files tag.out, tag.err.
class CChildProgram {
public:
    CChildProgram(const std::vector<std::string>& args, const CTempDir& dir, const std::string& tag)
        : m_dir(dir), m_tag(tag), m_process(args, Options(dir, tag)) {}

    // What it wrote on standard error so far.
    std::string ErrSoFar() const { return m_dir.Read(m_tag + ".err"); }

    // A signal to it (SIGKILL: the station's PC losing power).
    void Signal(int signal) const { m_process.Signal(signal); }

    // Waits for the end; the status and everything it wrote.
    ProgramResult Finish() {
        const int status = m_process.Wait(CProcess::kNoLimit);
        return {status >= 0 ? status : -1, m_dir.Read(m_tag + ".out"), m_dir.Read(m_tag + ".err")};
    }

private:
    static CProcess::Options Options(const CTempDir& dir, const std::string& tag) {
        CProcess::Options options;
        options.environment = ProgramEnvironment(dir.Path());
        options.out = CProcess::Stream::File(dir.File(tag + ".out"));
        options.err = CProcess::Stream::File(dir.File(tag + ".err"));
        return options;
    }

    const CTempDir& m_dir;
    std::string m_tag;
    CProcess m_process;
};

inline ProgramResult RunProgram(const std::vector<std::string>& args, const CTempDir& dir,
                                const std::string& tag = "run") {
    return CChildProgram(args, dir, tag).Finish();
}

// pelican-sim in the background; the path it prints is the port. Its
// standard error goes to errPath when given (with --verbose: every frame
// the board took).
class CSimProcess {
public:
    CSimProcess(const std::string& executable, const std::vector<std::string>& options,
                const std::string& errPath = "")
        : m_process(Args(executable, options), Options(errPath)), m_path(m_process.ReadOut(true)) {
        m_process.CloseOut();
    }
    ~CSimProcess() {
        m_process.Signal(SIGTERM);
        m_process.Signal(SIGCONT);  // a board still held takes its SIGTERM
        m_process.Wait();
    }
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;
    const std::string& Path() const { return m_path; }
    // The board held still (SIGSTOP) and let go again: while held it takes
    // nothing in and answers nothing, however long the test needs.
    void Hold() const { m_process.Signal(SIGSTOP); }
    void LetGo() const { m_process.Signal(SIGCONT); }

private:
    static std::vector<std::string> Args(const std::string& executable, const std::vector<std::string>& options) {
        std::vector<std::string> args = {executable};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }
    static CProcess::Options Options(const std::string& errPath) {
        CProcess::Options options;
        options.out = CProcess::Stream::Pipe();
        if (!errPath.empty()) options.err = CProcess::Stream::File(errPath);
        return options;
    }

    CProcess m_process;
    std::string m_path;
};

// The frames a board took, from pelican-sim's --verbose lines ("pelican-sim:
// B0 (1 bytes)"), without its RESET lines.
inline std::vector<std::string> BoardFrames(const std::string& log) {
    std::vector<std::string> frames;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("pelican-sim: ", 0) == 0 && line.find(" bytes)") != std::string::npos)
            frames.push_back(line.substr(13));
    return frames;
}

// Whether frames end with last. pelican-sim writes its log as it goes: its
// last lines may come a little after the program's end.
inline bool LogEndsWith(const std::vector<std::string>& frames, const std::vector<std::string>& last) {
    return frames.size() >= last.size() &&
           std::equal(last.begin(), last.end(), frames.end() - static_cast<long>(last.size()));
}

}  // namespace pelican::test
