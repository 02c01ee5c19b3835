// Line settings go through termios2 so that rates without a speed constant can be set too.
// Kept apart because <asm/termbits.h> and <termios.h> cannot share a translation unit.
#include "msr/linux/line_settings.h"

#include <asm/termbits.h>
#include <csignal>
#include <cstring>
#include <sys/ioctl.h>

namespace {

struct StandardRate {
    std::int32_t baud;
    unsigned code;
};

constexpr StandardRate StandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// Setting a line that is some process group's terminal raises SIGTTOU, which would stop
// this process for good; blocked, the call just goes ahead.
void SetLine(int fd, const struct termios2& tio) {
    sigset_t stopSignal, saved;
    sigemptyset(&stopSignal);
    sigaddset(&stopSignal, SIGTTOU);
    pthread_sigmask(SIG_BLOCK, &stopSignal, &saved);
    ioctl(fd, TCSETS2, &tio);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

} // namespace

void ApplyLineSettings(int fd, std::int32_t baud, std::string& found) {
    struct termios2 tio;
    found.clear();
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return;
    found.assign(reinterpret_cast<const char*>(&tio), sizeof tio);

    // Raw like a Windows port: no echo, no line editing, no translation, no signals.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    bool known = false;
    for (const StandardRate& rate : StandardRates) {
        if (rate.baud == baud) {
            tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
            tio.c_cflag |= rate.code;
            known = true;
            break;
        }
    }
    // No rate for 0 or less: speed 0 would drop DTR and hang up the line, so the speed
    // stays as found, as a refused rate leaves a Windows port.
    if (!known && baud > 0) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
        tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        tio.c_ispeed = static_cast<speed_t>(baud);
        tio.c_ospeed = static_cast<speed_t>(baud);
    }
    SetLine(fd, tio);
}

void RestoreLineSettings(int fd, const std::string& found) {
    struct termios2 tio;
    if (found.size() != sizeof tio)
        return;
    std::memcpy(&tio, found.data(), sizeof tio);
    SetLine(fd, tio);
}
