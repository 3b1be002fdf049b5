#pragma once
// A program run on a pseudo-terminal of its own, as from a shell: its
// standard input, output and (unless sent to a pipe) error are the
// terminal, which is its controlling terminal, so that Ctrl-C and Ctrl-D
// typed on it are the line discipline's SIGINT and end of input. Linux and
// other POSIX systems only.
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pelican::test {

class CPtyProcess {
public:
    enum class Error { OnTerminal, ToPipe };

    // args[0] is the executable; the settings and lock folders are dir.
    CPtyProcess(const std::vector<std::string>& args, const std::string& dir, Error error = Error::OnTerminal);
    ~CPtyProcess();
    CPtyProcess(const CPtyProcess&) = delete;
    CPtyProcess& operator=(const CPtyProcess&) = delete;

    // Typed on the terminal, as a person at its keyboard would.
    void Type(const std::string& keys) const;
    // Waits until what the program wrote on the terminal holds text at or
    // after from; false when it never came (the program closed the
    // terminal, or the fault limit ran out).
    bool WaitFor(const std::string& text, size_t from = 0);
    // Everything written on the terminal so far, and into the pipe.
    std::string Terminal();
    std::string Pipe();
    // Waits for the end and for everything it wrote: the exit status, -1
    // when a signal ended it, -2 when it never ended (then it is killed).
    int Exit();
    pid_t Pid() const { return m_pid; }

private:
    void Collect();

    int m_master = -1;
    int m_pipe = -1;
    pid_t m_pid = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_terminal;
    std::string m_piped;
    bool m_closed = false;  // the program and its children closed the terminal
};

}  // namespace pelican::test
