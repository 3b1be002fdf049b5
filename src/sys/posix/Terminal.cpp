#include "sys/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace pelican {

namespace {

int Descriptor(StandardStream stream) {
    return stream == StandardStream::Input    ? STDIN_FILENO
           : stream == StandardStream::Output ? STDOUT_FILENO
                                              : STDERR_FILENO;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    return ::isatty(Descriptor(stream)) != 0;
}

TerminalSize SizeOf(StandardStream stream) {
    struct winsize size {};
    if (::ioctl(Descriptor(stream), TIOCGWINSZ, &size) != 0) return {};
    return {size.ws_col, size.ws_row};
}

bool DrawsEscapes(StandardStream stream) {
    return IsTerminal(stream);
}

}  // namespace pelican
