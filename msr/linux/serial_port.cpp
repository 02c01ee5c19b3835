#include "msr/serial_port.h"

#include "msr/access_problem.h"
#include "msr/linux/line_settings.h"
#include "msr/linux/reader_line.h"
#include "msr/shown_text.h"
#include "posix/fd_io.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

std::intptr_t CSerialPort::OpenDevice(const std::string& device, std::int32_t baud,
                                      CClaimFailure& failure, std::string& found) {
    char resolved[PATH_MAX];
    const std::string target = realpath(device.c_str(), resolved) ? resolved : device;
    const std::string shown = ShownText(target);
    // Opening a device can act on it (a pseudo-terminal multiplexer makes a new terminal):
    // what cannot be a reader's line is not opened at all, and checked again once open.
    struct stat info;
    if (stat(device.c_str(), &info) != 0) {
        failure = {ClaimCause::NoDevice, shown + " does not exist"};
        return InvalidHandle;
    }
    if (!S_ISCHR(info.st_mode) || !CouldBeReaderLine(info.st_rdev)) {
        failure = {ClaimCause::NoDevice, shown + " is no serial line"};
        return InvalidHandle;
    }
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            failure = {ClaimCause::NoPermission, AccessProblem(target)};
        else if (error == EBUSY)
            failure = {ClaimCause::Busy, shown + " is held by another program"};
        else
            failure = {ClaimCause::NoDevice, shown + ": " + std::strerror(error)};
        if (failure.Text.empty())
            failure.Text = "you may not open " + shown;
        return InvalidHandle;
    }
    if (!IsReaderLine(fd)) {
        failure = {ClaimCause::NoDevice,
                   shown + (isatty(fd) && tcgetsid(fd) != -1 ? " is the terminal msrconfig runs in"
                                                             : " is no serial line")};
        ::close(fd);
        return InvalidHandle;
    }
    // Root ignores TIOCEXCL, so the advisory lock is what keeps a second user off the port.
    // Exclusive mode belongs to the device, not the descriptor: set it only once ours.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        failure = {ClaimCause::Busy, shown + " is held by another program"};
        ::close(fd);
        return InvalidHandle;
    }
    ioctl(fd, TIOCEXCL);
    ApplyLineSettings(fd, baud, found);
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int CSerialPort::ReadByte(unsigned char* destination) {
    if (!IsOpen() || Gone)
        return 0;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ReadTimeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{static_cast<int>(Handle), POLLIN, 0};
        int ready = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return 0;
        if (!(p.revents & POLLIN)) {
            Gone = true; // hang-up or error without data: nothing more will come
            return 0;
        }
        ssize_t n = ::read(static_cast<int>(Handle), destination, 1);
        if (n == 1)
            return 1;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        Gone = true; // end of file, EIO after a hang-up, or the device went away
        return 0;
    }
}

bool CSerialPort::Write(const char* data, std::size_t length) {
    return IsOpen() && WriteAll(static_cast<int>(Handle), data, length);
}

bool CSerialPort::Close() {
    if (IsOpen()) {
        RestoreLineSettings(static_cast<int>(Handle), FoundLine);
        FoundLine.clear();
        // Exclusive mode outlives our descriptor while anyone else holds the device, and
        // would lock out every later user but root.
        ioctl(static_cast<int>(Handle), TIOCNXCL);
        ::close(static_cast<int>(Handle));
        Handle = InvalidHandle;
    }
    return true;
}
