#include "msr/access_problem.h"

#include "msr/shown_text.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

std::string AccessProblem(const std::string& device) {
    if (faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno == ENOENT)
        return std::string();
    struct stat info;
    const group* owner = stat(device.c_str(), &info) == 0 ? getgrgid(info.st_gid) : nullptr;
    const std::string shown = ShownText(device);
    if (!owner || info.st_gid == 0 || (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return "you may not open " + shown + "; ask an administrator to let you use it";
    const passwd* user = getpwuid(geteuid());
    const std::string userWord =
        user && IsShownAsIs(user->pw_name) ? ShellWord(user->pw_name) : "\"$USER\"";
    std::string problem =
        "you may not open " + shown + ", which belongs to group " + ShownText(owner->gr_name);
    if (IsShownAsIs(owner->gr_name))
        problem += "; join it with: sudo adduser " + userWord + " " + ShellWord(owner->gr_name) +
                   ", then log in again";
    return problem;
}
