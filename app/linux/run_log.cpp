#include "app/run_log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

bool AppendRunLog(const std::string& path, const std::string& line, std::string& error) {
    std::error_code ignored; // a folder that cannot be made shows as the open's failure
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    // Never through a link another user planted, and never waiting on a FIFO.
    const int fd =
        open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info;
    bool written = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!written)
        error = "no regular file";
    else if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        written = false, error = std::strerror(errno);
    if (close(fd) != 0 && written)
        written = false, error = std::strerror(errno);
    return written;
}
