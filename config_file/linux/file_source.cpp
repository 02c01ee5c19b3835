#include "config_file/file_source.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFileSource::~CFileSource() {
    if (Handle >= 0)
        ::close(static_cast<int>(Handle));
}

bool CFileSource::Open(const std::string& path) {
    // Non-blocking, so that opening a FIFO without a writer cannot hang.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    Handle = fd;
    return true;
}

std::size_t CFileSource::Read(char* buffer, std::size_t size) {
    if (Handle < 0)
        return 0;
    ssize_t n;
    do
        n = ::read(static_cast<int>(Handle), buffer, size);
    while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}
