#include "posix/fd_io.h"

#include <cerrno>
#include <unistd.h>

bool WriteAll(int fd, const char* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
