// pelican-sim: a simulated Orca board in serial boot mode on a
// pseudo-terminal. Point the program (or any terminal program) at the path it
// prints; press Enter or send SIGUSR1 for RESET; SIGINT or SIGTERM ends it.
// Started in the background of a shell (&), it reads its terminal only
// while it is brought to the foreground.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "sim/SimCommandLine.h"

namespace {

using pelican::sim::SimFrame;

void PrintFrame(const SimFrame& frame) {
    // Formatted into one fixed buffer: at most eight bytes are shown.
    char line[96];
    int used = std::snprintf(line, sizeof line, "pelican-sim: ");
    const size_t shown = frame.bytes.size() < 8 ? frame.bytes.size() : 8;
    for (size_t i = 0; i < shown; ++i)
        used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "%02X ", frame.bytes[i]);
    std::fprintf(stderr, "%s%s(%zu bytes)%s\n", line, frame.bytes.size() > shown ? "... " : "", frame.bytes.size(),
                 frame.complete ? "" : " cut off");
}

// Whether standard input may be read now. A terminal belongs to the job in
// its foreground: a read from any other job stops the whole process
// (SIGTTIN), the board with it. A pipe or a file is always this program's.
enum class Input { Ours, NotNow, Gone };
Input InputNow() {
    if (::isatty(STDIN_FILENO) == 0) return Input::Ours;
    const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
    if (foreground < 0) return Input::Gone;  // the terminal hung up
    return foreground == ::getpgrp() ? Input::Ours : Input::NotNow;
}

// How often a program in the background looks whether it was brought to
// the foreground, in milliseconds.
constexpr int kForegroundLook = 250;

}  // namespace

int main(int argc, char** argv) {
    using namespace pelican::sim;
    SimOptions options;
    std::string error;
    if (!CSimCommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "pelican-sim: " << error << "\n\n" << CSimCommandLine::Usage();
        return 2;
    }
    if (options.help) {
        std::cout << CSimCommandLine::Usage();
        return 0;
    }

    // The signals are taken through a descriptor; block them before the
    // serving thread exists so that it inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::cerr << "pelican-sim: signalfd: " << std::strerror(errno) << "\n";
        return 1;
    }

    CBootLoader board(options.config);
    if (!board.LoadError().empty()) {
        std::cerr << "pelican-sim: " << board.LoadError() << "\n";
        return 1;
    }
    if (options.verbose) board.SetFrameObserver(PrintFrame);
    CPtyBoard pty(board);
    if (!pty.Start(&error)) {
        std::cerr << "pelican-sim: " << error << "\n";
        return 1;
    }
    if (!options.linkPath.empty()) {
        struct stat st {};
        if (::lstat(options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(options.linkPath.c_str());
        if (::symlink(pty.Path().c_str(), options.linkPath.c_str()) != 0) {
            std::cerr << "pelican-sim: cannot create " << options.linkPath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    std::cout << pty.Path() << std::endl;

    // A job moved to the background between the look and the read gets an
    // error from the read instead of being stopped.
    ::signal(SIGTTIN, SIG_IGN);
    bool stdinOpen = true;
    for (bool running = true; running;) {
        const Input input = stdinOpen ? InputNow() : Input::Gone;
        if (input == Input::Gone) stdinOpen = false;
        const bool readInput = input == Input::Ours;
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {readInput ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, stdinOpen && !readInput ? kForegroundLook : -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGUSR1) {
                    pty.Reset();
                    std::fprintf(stderr, "pelican-sim: RESET\n");
                } else {
                    running = false;
                }
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || (errno == EIO && InputNow() == Input::NotNow))) {
                continue;  // sent to the background meanwhile: looked at again
            } else if (n <= 0) {
                stdinOpen = false;  // no terminal: signals only
            } else if (std::memchr(buffer, '\n', static_cast<size_t>(n)) != nullptr) {
                pty.Reset();
                std::fprintf(stderr, "pelican-sim: RESET\n");
            }
        }
    }
    if (!options.linkPath.empty()) ::unlink(options.linkPath.c_str());
    pty.Stop();
    ::close(signalFd);
    return 0;
}
