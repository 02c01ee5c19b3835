#include "config_file/file_replacement.h"

#include "posix/fd_io.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

const char TextLineEnd[] = "\n";

namespace {

constexpr int MaxLinks = 40; // as the kernel allows on one path
constexpr std::size_t MaxOldContent = 64 * 1024;

class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : Fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(-1); }
    // False when closing the old descriptor reports an error (a delayed write failing).
    bool Reset(int fd) {
        const bool closed = Fd < 0 || ::close(Fd) == 0;
        Fd = fd;
        return closed;
    }
    int Get() const { return Fd; }
    bool Valid() const { return Fd >= 0; }

  private:
    int Fd = -1;
};

std::deque<std::string> Components(const std::string& path) {
    std::deque<std::string> parts;
    for (std::size_t at = 0; at < path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        if (end > at)
            parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

int OpenFolder(int at, const char* name) {
    return openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The kernel's protected-symlinks rule, which does not apply when we follow links ourselves:
// in a sticky, world-writable folder such as /tmp, only our own links and the folder
// owner's are followed, so a planted link cannot steer the save elsewhere.
bool MayFollow(int folder, int link) {
    struct stat folderInfo, linkInfo;
    if (fstat(folder, &folderInfo) != 0 || fstat(link, &linkInfo) != 0 ||
        !S_ISLNK(linkInfo.st_mode))
        return false;
    const bool shared = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
    return !shared || linkInfo.st_uid == geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

// Walks the path one name at a time through folder descriptors, following links as the
// kernel would for this user but with the rule above applied to every one of them, so that
// nothing can be swapped between a check and its use. Gives the folder and the last name.
bool Walk(const std::string& path, Descriptor& folder, std::string& name) {
    if (path.empty() || path.back() == '/')
        return false;
    folder.Reset(OpenFolder(AT_FDCWD, path.front() == '/' ? "/" : "."));
    std::deque<std::string> pending = Components(path);
    int links = 0;
    while (folder.Valid() && !pending.empty()) {
        const std::string part = pending.front();
        pending.pop_front();
        const bool last = pending.empty();
        if (part == "." || part == "..") {
            if (last)
                return false;
            if (part == "..")
                folder.Reset(OpenFolder(folder.Get(), ".."));
            continue;
        }
        struct stat info;
        if (fstatat(folder.Get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            const bool missing = errno == ENOENT;
            name = part;
            return last && missing; // a new file in an existing folder
        }
        if (S_ISLNK(info.st_mode)) {
            Descriptor link(openat(folder.Get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            char target[PATH_MAX];
            const ssize_t length =
                link.Valid() ? readlinkat(link.Get(), "", target, sizeof target) : -1;
            if (++links > MaxLinks || length <= 0 || length >= ssize_t(sizeof target) ||
                !MayFollow(folder.Get(), link.Get()))
                return false;
            const std::string next(target, static_cast<std::size_t>(length));
            if (next.back() == '/' && last)
                return false;
            const std::deque<std::string> parts = Components(next);
            pending.insert(pending.begin(), parts.begin(), parts.end());
            if (next.front() == '/')
                folder.Reset(OpenFolder(AT_FDCWD, "/"));
            continue;
        }
        if (last) {
            name = part;
            return true;
        }
        folder.Reset(OpenFolder(folder.Get(), part.c_str()));
    }
    return false;
}

// The old file's extended attributes (ACLs among them) onto the new one; false when any
// cannot be carried over.
bool CopyAttributes(int from, int to) {
    const ssize_t size = flistxattr(from, nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP;
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t listed = flistxattr(from, names.data(), names.size());
    if (listed < 0)
        return false;
    for (const char* attribute = names.data(); attribute < names.data() + listed;
         attribute += std::char_traits<char>::length(attribute) + 1) {
        const ssize_t length = fgetxattr(from, attribute, nullptr, 0);
        std::vector<char> value(length > 0 ? static_cast<std::size_t>(length) : 0);
        if (length < 0 || fgetxattr(from, attribute, value.data(), value.size()) != length ||
            fsetxattr(to, attribute, value.data(), value.size(), 0) != 0)
            return false;
    }
    return true;
}

} // namespace

struct CFileReplacement::State {
    Descriptor Folder;      // where the target is, found once and used for every step
    std::string Name;       // the target's name in it
    Descriptor Old;         // the target when there is one
    Descriptor New;         // the new file beside it, when the target is replaced
    std::string NewName;    // its name, empty once it has replaced the target
    std::string OldContent; // to put back should rewriting in place fail half-way
    bool OldContentRead = false;
    ~State() {
        if (!NewName.empty())
            unlinkat(Folder.Get(), NewName.c_str(), 0);
    }

    // A new file beside the target, readable by us alone until it is complete.
    bool CreateNew(mode_t mode) {
        std::random_device random;
        const std::string base = "." + Name.substr(0, NAME_MAX - 16) + ".";
        for (int attempt = 0; attempt < 100; ++attempt) {
            NewName = base + std::to_string(random() % 1000000);
            New.Reset(openat(Folder.Get(), NewName.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (New.Valid())
                return true;
            if (errno != EEXIST)
                break;
        }
        NewName.clear();
        return false;
    }

    // True when the new file can take the old one's place with its owner, group, mode and
    // extended attributes; otherwise the old file is rewritten in place.
    bool CanReplace(const struct stat& old) {
        if (old.st_nlink > 1 || !CreateNew(0600))
            return false;
        // Permission bits only: no set-user-ID, set-group-ID or sticky bit on a file we wrote.
        if (fchown(New.Get(), old.st_uid, old.st_gid) == 0 &&
            fchmod(New.Get(), old.st_mode & 0777) == 0 && CopyAttributes(Old.Get(), New.Get()))
            return true;
        unlinkat(Folder.Get(), NewName.c_str(), 0);
        NewName.clear();
        New.Reset(-1);
        return false;
    }
};

CFileReplacement::CFileReplacement() : Data(std::make_unique<State>()) {}

CFileReplacement::~CFileReplacement() = default;

bool CFileReplacement::Prepare(const std::string& path) {
    State& d = *Data;
    if (!Walk(path, d.Folder, d.Name))
        return false;
    struct stat old;
    if (fstatat(d.Folder.Get(), d.Name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT && d.CreateNew(0666); // the mask and the folder's defaults apply
    // Only plain files are replaced; a file without any write permission is read-only even
    // for root, as the read-only attribute is on other systems.
    if (!S_ISREG(old.st_mode) || (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    d.Old.Reset(
        openat(d.Folder.Get(), d.Name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!d.Old.Valid())
        d.Old.Reset(
            openat(d.Folder.Get(), d.Name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened;
    if (!d.Old.Valid() || fstat(d.Old.Get(), &opened) != 0 || opened.st_ino != old.st_ino ||
        opened.st_dev != old.st_dev)
        return false;
    if (d.CanReplace(opened))
        return true;
    char buffer[4096];
    ssize_t n = -1;
    while (d.OldContent.size() < MaxOldContent &&
           (n = pread(d.Old.Get(), buffer, sizeof buffer, off_t(d.OldContent.size()))) > 0)
        d.OldContent.append(buffer, static_cast<std::size_t>(n));
    d.OldContentRead = n == 0;
    return true;
}

bool CFileReplacement::Commit(const std::string& data) {
    State& d = *Data;
    if (d.NewName.empty()) {
        // In place: the file keeps its owner, links and access, but a crash half-way can
        // leave it half-written; a failed write puts the old bytes back.
        const int fd = d.Old.Get();
        const auto rewrite = [fd](const std::string& bytes) {
            return lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes.data(), bytes.size()) &&
                   ftruncate(fd, off_t(bytes.size())) == 0 && fsync(fd) == 0;
        };
        if (rewrite(data))
            return true;
        if (d.OldContentRead)
            rewrite(d.OldContent);
        return false;
    }
    bool ok = WriteAll(d.New.Get(), data.data(), data.size()) && fsync(d.New.Get()) == 0;
    ok = d.New.Reset(-1) && ok;
    if (!ok || renameat(d.Folder.Get(), d.NewName.c_str(), d.Folder.Get(), d.Name.c_str()) != 0)
        return false;
    d.NewName.clear();
    // The rename itself should survive a power cut too; not fatal if the folder refuses.
    Descriptor folder(openat(d.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid())
        fsync(folder.Get());
    return true;
}
