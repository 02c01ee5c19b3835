#include "config_file/file_replacement.h"

#include "msr/posix/fd_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char TextLineEnd[] = "\n";

namespace {

constexpr int MaxLinkDepth = 40;

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The kernel's protected-symlinks rule, which does not apply when we follow links ourselves:
// in a sticky, world-writable folder such as /tmp, only our own links and the folder
// owner's are followed, so a planted link cannot steer the save elsewhere.
bool MayFollow(const struct stat& link, const std::string& linkPath) {
    struct stat folder;
    if (stat(FolderOf(linkPath).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

// Follows symbolic links to the file they name, so that the link itself is kept.
bool ResolveLinks(std::string& path) {
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        if (!MayFollow(info, path))
            return false;
        char target[PATH_MAX];
        ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return false;
        std::string next(target, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
    }
    return false;
}

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The new file beside the target, removed again unless it was renamed over the target.
class PendingFile {
  public:
    ~PendingFile() {
        if (Fd >= 0)
            ::close(Fd);
        if (!Path.empty())
            ::unlink(Path.c_str());
    }

    bool Create(const std::string& target) {
        std::size_t slash = target.rfind('/');
        std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        Path = FolderOf(target) + "/." + name + ".XXXXXX";
        Fd = mkostemp(Path.data(), O_CLOEXEC);
        if (Fd < 0) {
            Path.clear();
            return false;
        }
        return true;
    }

    bool Commit(const std::string& data, const std::string& target, mode_t mode,
                const struct stat* replaced) {
        // Keep the replaced file's owner where we may (we may not unless we are root).
        if (replaced) [[maybe_unused]]
            int ignored = fchown(Fd, replaced->st_uid, replaced->st_gid);
        bool ok = fchmod(Fd, mode) == 0 && WriteAll(Fd, data.data(), data.size()) && fsync(Fd) == 0;
        ok = (::close(Fd) == 0) && ok;
        Fd = -1;
        if (!ok || ::rename(Path.c_str(), target.c_str()) != 0)
            return false;
        Path.clear();
        // The rename itself should survive a power cut too; not fatal if the folder refuses.
        int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            ::close(folder);
        }
        return true;
    }

  private:
    std::string Path;
    int Fd = -1;
};

} // namespace

struct CFileReplacement::State {
    std::string Target;
    mode_t Mode = 0;
    struct stat Replaced = {};
    bool Replacing = false;
    PendingFile Pending;
};

CFileReplacement::CFileReplacement() : Data(std::make_unique<State>()) {}

CFileReplacement::~CFileReplacement() = default;

bool CFileReplacement::Prepare(const std::string& path) {
    State& d = *Data;
    d.Target = path;
    if (d.Target.empty() || !ResolveLinks(d.Target))
        return false;
    d.Mode = NewFileMode();
    if (stat(d.Target.c_str(), &d.Replaced) == 0) {
        // Only plain files are replaced; a file without any write permission is read-only
        // even for root, as the read-only attribute is on other systems.
        const mode_t mode = d.Replaced.st_mode;
        if (!S_ISREG(mode) || (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            access(d.Target.c_str(), W_OK) != 0)
            return false;
        // Permission bits only: no set-user-ID, set-group-ID or sticky bit on a file we wrote.
        d.Mode = mode & 0777;
        d.Replacing = true;
    } else if (errno != ENOENT) {
        return false;
    }
    return d.Pending.Create(d.Target);
}

bool CFileReplacement::Commit(const std::string& data) {
    State& d = *Data;
    return d.Pending.Commit(data, d.Target, d.Mode, d.Replacing ? &d.Replaced : nullptr);
}
