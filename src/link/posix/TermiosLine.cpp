#include "link/posix/TermiosLine.h"

#include <cstdint>
#include <utility>

namespace pelican {
namespace {

constexpr std::pair<uint32_t, speed_t> kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool ToSpeed(uint32_t baud, speed_t& speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

uint32_t FromSpeed(speed_t speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (code == speed) return rate;
    }
    return 0;
}

}  // namespace

void MakeRawLine(termios& tio) {
    // Raw 8-bit transfer: no echo, no line editing, no CR/LF translation.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    // No flow control either way. The port keeps the settings of its last
    // user, and the boot-loader link has three wires: with RTS/CTS left on,
    // a write waits for ever for a CTS nobody drives; with XON/XOFF, a reply
    // byte 11 or 13 would stop the output or vanish.
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Damaged characters and breaks are marked in the stream (the serial
    // device decodes the marks); none is dropped, none is stripped to seven
    // bits.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | IGNBRK | BRKINT | ISTRIP);
    tio.c_iflag |= INPCK | PARMRK;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

LineSettings LineFromTermios(const termios& tio) {
    LineSettings line;
    line.baudRate = FromSpeed(::cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
        case CS5: line.byteSize = 5; break;
        case CS6: line.byteSize = 6; break;
        case CS7: line.byteSize = 7; break;
        default: line.byteSize = 8; break;
    }
    if (!(tio.c_cflag & PARENB))
        line.parity = 0;
    else if (tio.c_cflag & CMSPAR)
        line.parity = (tio.c_cflag & PARODD) ? 3 : 4;
    else
        line.parity = (tio.c_cflag & PARODD) ? 1 : 2;
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return line;
}

bool LineToTermios(const LineSettings& line, termios& tio) {
    speed_t speed{};
    if (!ToSpeed(line.baudRate, speed)) return false;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (line.byteSize) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        case 8: tio.c_cflag |= CS8; break;
        default: return false;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (line.parity) {
        case 0: break;
        case 1: tio.c_cflag |= PARENB | PARODD; break;
        case 2: tio.c_cflag |= PARENB; break;
        case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: tio.c_cflag |= PARENB | CMSPAR; break;
        default: return false;
    }
    // One and a half stop bits exist only with 5 data bits on a UART; the
    // nearest termios setting is two.
    if (line.stopBits == 0)
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else if (line.stopBits <= 2)
        tio.c_cflag |= CSTOPB;
    else
        return false;
    return true;
}

bool LineTook(const termios& asked, const termios& now) {
    constexpr tcflag_t kFormat = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    const speed_t speed = ::cfgetospeed(&asked);
    const speed_t in = ::cfgetispeed(&now);
    return ::cfgetospeed(&now) == speed && (in == speed || in == B0) &&
           (now.c_cflag & kFormat) == (asked.c_cflag & kFormat);
}

}  // namespace pelican
