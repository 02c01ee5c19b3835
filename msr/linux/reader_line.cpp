#include "msr/linux/reader_line.h"

#include <climits>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr unsigned TtyMajor = 4;             // tty0..tty63 virtual consoles, then ttyS
constexpr unsigned FirstSerialMinor = 64;    // ttyS0
constexpr unsigned AuxiliaryTtyMajor = 5;    // /dev/tty, /dev/console, /dev/ptmx, ttyprintk
constexpr unsigned FirstPtySlaveMajor = 136; // /dev/pts/N, which sysfs does not list
constexpr unsigned LastPtySlaveMajor = 143;
} // namespace

bool CouldBeReaderLine(dev_t device) {
    const unsigned type = major(device), number = minor(device);
    if (type == AuxiliaryTtyMajor || (type == TtyMajor && number < FirstSerialMinor))
        return false;
    if (type >= FirstPtySlaveMajor && type <= LastPtySlaveMajor)
        return true;
    const std::string node =
        "/sys/dev/char/" + std::to_string(type) + ":" + std::to_string(number) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t length = readlink(node.c_str(), target, sizeof target - 1);
    const std::string subsystem(target, length > 0 ? static_cast<std::size_t>(length) : 0);
    return subsystem.size() >= 4 && subsystem.compare(subsystem.size() - 4, 4, "/tty") == 0;
}

bool IsReaderLine(int fd) {
    struct stat info;
    // tcgetsid only answers for this process's own controlling terminal.
    return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && isatty(fd) &&
           CouldBeReaderLine(info.st_rdev) && tcgetsid(fd) == -1;
}
