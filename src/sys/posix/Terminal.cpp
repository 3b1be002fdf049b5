#include "sys/Terminal.h"

#include <unistd.h>

namespace pelican {

bool IsTerminal(StandardStream stream) {
    const int fd = stream == StandardStream::Input ? STDIN_FILENO
                   : stream == StandardStream::Output ? STDOUT_FILENO
                                                      : STDERR_FILENO;
    return ::isatty(fd) != 0;
}

bool DrawsEscapes(StandardStream stream) {
    return IsTerminal(stream);
}

}  // namespace pelican
