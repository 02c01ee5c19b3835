#include "config_file/configuration_file.h"
#include "support/temp_dir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using Sentinels = std::array<std::string, 4>;
const std::string Header = "ZYN MSR Configuration File\n";

ConfigFileResult Save(const std::string& path, std::uint8_t flags, const Sentinels& sentinels) {
    return WriteConfigurationFile(path, [&] { return ConfigFileContent{flags, sentinels}; });
}

std::size_t EntriesIn(const std::string& folder) {
    auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

} // namespace

TEST(ConfigFileWriter, RefusalsLeaveEverythingAsItWas) {
    TempDir dir;
    dir.Write("keep.txt", "old");
    dir.Write("ro.txt", "precious");
    ASSERT_EQ(chmod(dir.File("ro.txt").c_str(), 0444), 0);
    int asked = 0;
    const auto supply = [&] {
        ++asked;
        return ConfigFileContent{0x40, {"a", "b", "c", "d"}};
    };
    // The target is prepared before the content is asked for (and the question asked).
    for (const std::string& path : {dir.File("no/such/folder.txt"), std::string("/proc/x.txt"),
                                    dir.Path(), std::string(), dir.File("ro.txt")})
        EXPECT_EQ(WriteConfigurationFile(path, supply), ConfigFileResult::CannotOpen) << path;
    EXPECT_EQ(asked, 0);
    // Sentinels the format cannot carry; a save withdrawn after the question.
    for (const Sentinels& refused :
         {Sentinels{"\n", "", "", "?"}, Sentinels{"", "", "", "\r"}, Sentinels{"\r", "\n", "", ""}})
        EXPECT_EQ(Save(dir.File("keep.txt"), 0, refused), ConfigFileResult::CannotWrite);
    EXPECT_EQ(WriteConfigurationFile(dir.File("keep.txt"), [] { return std::nullopt; }),
              ConfigFileResult::Withdrawn);
    EXPECT_EQ(dir.Read("keep.txt"), "old");
    EXPECT_EQ(dir.Read("ro.txt"), "precious");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST(ConfigFileWriter, ReplacingKeepsPermissionBitsAndSymbolicLinks) {
    TempDir dir;
    dir.Write("real.txt", "old");
    ASSERT_EQ(chmod(dir.File("real.txt").c_str(), 04640), 0); // set-user-ID is not carried over
    ASSERT_EQ(symlink("real.txt", dir.File("link.txt").c_str()), 0);
    ASSERT_EQ(Save(dir.File("link.txt"), 0x5D, {"%", ";", "+", "?"}), ConfigFileResult::Ok);
    struct stat info;
    ASSERT_EQ(lstat(dir.File("link.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.Read("real.txt"), Header + "5d%;+?\n");
    ASSERT_EQ(stat(dir.File("real.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(ConfigFileWriter, WriteFailingHalfWayLeavesTheOldFileByteForByte) {
    TempDir dir;
    const std::string old = Header + "5d%;+?\n";
    dir.Write("target.txt", old);

    // A file size limit below the content makes the write fail part of the way in.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ConfigFileResult result = Save(dir.File("target.txt"), 0xFF, {"a", "b", "c", "d"});
    ConfigFileResult fresh = Save(dir.File("fresh.txt"), 0xFF, {"a", "b", "c", "d"});
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(result, ConfigFileResult::CannotWrite);
    EXPECT_EQ(fresh, ConfigFileResult::CannotWrite);
    EXPECT_EQ(dir.Read("target.txt"), old);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

// The kernel's protected-symlinks rule, which root's own link resolution must apply too, to
// every link on the way: in a sticky, world-writable folder a link is followed only when its
// owner is this user or the folder's owner.
TEST(ConfigFileWriter, PlantedLinksInASharedFolderAreNotFollowed) {
    ASSERT_EQ(geteuid(), 0u) << "needs root to hand files to other users";
    constexpr uid_t Other = 4242, FolderOwner = 4343;
    constexpr bool File = false, Folder = true, Present = false, Dangling = true;
    const std::tuple<mode_t, uid_t, bool, bool, ConfigFileResult> cases[] = {
        {01777, Other, File, Present, ConfigFileResult::CannotOpen},
        {01777, Other, File, Dangling, ConfigFileResult::CannotOpen},
        {01777, Other, Folder, Present, ConfigFileResult::CannotOpen},
        {01777, 0, File, Present, ConfigFileResult::Ok},
        {01777, 0, Folder, Present, ConfigFileResult::Ok},
        {01777, FolderOwner, File, Dangling, ConfigFileResult::Ok},
        {01755, Other, Folder, Present, ConfigFileResult::Ok}, // sticky, not shared
        {00777, Other, File, Present, ConfigFileResult::Ok}};  // shared, not sticky
    for (auto [mode, linkOwner, folderLink, dangling, expected] : cases) {
        TempDir dir;
        const std::string shared = dir.File("tmp");
        ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(mkdir(dir.File("root").c_str(), 0755), 0);
        ASSERT_EQ(chown(shared.c_str(), FolderOwner, FolderOwner), 0);
        ASSERT_EQ(chmod(shared.c_str(), mode), 0);
        if (!dangling)
            dir.Write("root/settings.txt", "root's own");
        const std::string link = shared + (folderLink ? "/evil" : "/settings.txt");
        ASSERT_EQ(
            symlink(dir.File(folderLink ? "root" : "root/settings.txt").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), linkOwner, linkOwner), 0);

        const std::string path = shared + (folderLink ? "/evil/settings.txt" : "/settings.txt");
        EXPECT_EQ(Save(path, 0x5D, {"%", ";", "+", "?"}), expected) << path << " " << linkOwner;
        const bool followed = expected == ConfigFileResult::Ok;
        EXPECT_EQ(dir.Read("root/settings.txt"), followed   ? Header + "5d%;+?\n"
                                                 : dangling ? ""
                                                            : "root's own");
        EXPECT_EQ(EntriesIn(shared), 1u);
        EXPECT_EQ(EntriesIn(dir.File("root")), followed || !dangling ? 1u : 0u);
    }
}

namespace {

constexpr uid_t Owner = 1234, Member = 2345;
constexpr gid_t Group = 3456;

// Runs `save` in a child process as `uid` (primary group `uid`, member of Group).
ConfigFileResult SaveAs(uid_t uid, const std::function<ConfigFileResult()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        const gid_t groups[] = {Group};
        if (setgroups(1, groups) != 0 || setresgid(uid, uid, uid) != 0 ||
            setresuid(uid, uid, uid) != 0)
            _exit(100);
        _exit(static_cast<int>(save()));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return static_cast<ConfigFileResult>(WEXITSTATUS(status));
}

struct stat Info(const std::string& path) {
    struct stat info = {};
    stat(path.c_str(), &info);
    return info;
}

std::string Attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t length = getxattr(path.c_str(), name, value, sizeof value);
    return length < 0 ? std::string() : std::string(value, static_cast<std::size_t>(length));
}

} // namespace

// A save keeps who may use the file: its owner, group, mode and extended attributes (ACLs
// among them), and its other names; where a new file could not carry them, the old one is
// rewritten in place.
TEST(ConfigFileWriter, ASaveKeepsWhoMayUseTheFile) {
    ASSERT_EQ(geteuid(), 0u) << "needs root to act as other users";
    TempDir dir;
    const std::string saved = Header + "5d%;+?\n";
    const auto save = [](const std::string& path) {
        return [path] { return Save(path, 0x5D, {"%", ";", "+", "?"}); };
    };
    // An ACL giving user 4321 read access (the kernel's binary form), and a note.
    const char acl[] = "\x02\0\0\0"
                       "\x01\0\x06\0\xff\xff\xff\xff"
                       "\x02\0\x04\0\xe1\x10\0\0"
                       "\x04\0\x04\0\xff\xff\xff\xff"
                       "\x10\0\x04\0\xff\xff\xff\xff"
                       "\x20\0\0\0\xff\xff\xff\xff";
    const std::string aclValue(acl, sizeof acl - 1);

    // A group member saves the owner's shared file in the group's folder.
    ASSERT_EQ(mkdir(dir.File("shared").c_str(), 0775), 0);
    ASSERT_EQ(chown(dir.File("shared").c_str(), Owner, Group), 0);
    dir.Write("shared/a.txt", "old");
    ASSERT_EQ(chown(dir.File("shared/a.txt").c_str(), Owner, Group), 0);
    ASSERT_EQ(chmod(dir.File("shared/a.txt").c_str(), 0664), 0);
    // The owner saves a file with an ACL and a note, and another with a second name.
    ASSERT_EQ(mkdir(dir.File("own").c_str(), 0755), 0);
    ASSERT_EQ(chown(dir.File("own").c_str(), Owner, Owner), 0);
    for (const char* name : {"own/acl.txt", "own/linked.txt"}) {
        dir.Write(name, "old");
        ASSERT_EQ(chown(dir.File(name).c_str(), Owner, Owner), 0);
        ASSERT_EQ(chmod(dir.File(name).c_str(), 0640), 0);
    }
    ASSERT_EQ(setxattr(dir.File("own/acl.txt").c_str(), "system.posix_acl_access", aclValue.data(),
                       aclValue.size(), 0),
              0);
    ASSERT_EQ(setxattr(dir.File("own/acl.txt").c_str(), "user.note", "kept", 4, 0), 0);
    ASSERT_EQ(link(dir.File("own/linked.txt").c_str(), dir.File("own/other-name.txt").c_str()), 0);
    // Root saves a file of the owner's; the owner saves in a folder it may not write.
    dir.Write("own/by-root.txt", "old");
    ASSERT_EQ(chown(dir.File("own/by-root.txt").c_str(), Owner, Owner), 0);
    ASSERT_EQ(mkdir(dir.File("closed").c_str(), 0755), 0);
    dir.Write("closed/b.txt", "old");
    ASSERT_EQ(chown(dir.File("closed/b.txt").c_str(), Owner, Owner), 0);

    EXPECT_EQ(SaveAs(Member, save(dir.File("shared/a.txt"))), ConfigFileResult::Ok);
    EXPECT_EQ(SaveAs(Owner, save(dir.File("own/acl.txt"))), ConfigFileResult::Ok);
    EXPECT_EQ(SaveAs(Owner, save(dir.File("own/linked.txt"))), ConfigFileResult::Ok);
    EXPECT_EQ(save(dir.File("own/by-root.txt"))(), ConfigFileResult::Ok);
    EXPECT_EQ(SaveAs(Owner, save(dir.File("closed/b.txt"))), ConfigFileResult::Ok);

    const std::tuple<const char*, uid_t, gid_t, mode_t> kept[] = {
        {"shared/a.txt", Owner, Group, 0664},    {"own/acl.txt", Owner, Owner, 0640},
        {"own/linked.txt", Owner, Owner, 0640},  {"own/other-name.txt", Owner, Owner, 0640},
        {"own/by-root.txt", Owner, Owner, 0644}, {"closed/b.txt", Owner, Owner, 0644}};
    for (auto [name, uid, gid, mode] : kept) {
        const struct stat info = Info(dir.File(name));
        EXPECT_EQ(dir.Read(name), saved) << name;
        EXPECT_EQ(std::tuple(info.st_uid, info.st_gid, info.st_mode & 07777),
                  std::tuple(uid, gid, mode))
            << name;
    }
    EXPECT_EQ(Attribute(dir.File("own/acl.txt"), "system.posix_acl_access"), aclValue);
    EXPECT_EQ(Attribute(dir.File("own/acl.txt"), "user.note"), "kept");
    EXPECT_EQ(Info(dir.File("own/linked.txt")).st_ino, Info(dir.File("own/other-name.txt")).st_ino);
    for (const char* folder : {"shared", "own", "closed"})
        EXPECT_EQ(EntriesIn(dir.File(folder)), folder == std::string("own") ? 4u : 1u);
}

// Whatever happens to the folder meanwhile, the save works through the folder it found
// first and leaves nothing behind.
TEST(ConfigFileWriter, AFolderRenamedDuringTheQuestion) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("a").c_str(), 0755), 0);
    dir.Write("a/t.txt", "old");
    const auto renamed = [&](bool withdraw) {
        return [&dir, withdraw]() -> std::optional<ConfigFileContent> {
            std::filesystem::rename(dir.File("a"), dir.File("b"));
            if (withdraw)
                return std::nullopt;
            return ConfigFileContent{0x5D, {"%", ";", "+", "?"}};
        };
    };
    EXPECT_EQ(WriteConfigurationFile(dir.File("a/t.txt"), renamed(true)),
              ConfigFileResult::Withdrawn);
    EXPECT_EQ(dir.Read("b/t.txt"), "old");
    std::filesystem::rename(dir.File("b"), dir.File("a"));
    EXPECT_EQ(WriteConfigurationFile(dir.File("a/t.txt"), renamed(false)), ConfigFileResult::Ok);
    EXPECT_EQ(dir.Read("b/t.txt"), Header + "5d%;+?\n");
    EXPECT_EQ(EntriesIn(dir.File("b")), 1u);
}

TEST(ConfigFileReader, OnlyRegularFilesAreOpened) {
    TempDir dir;
    // Only regular files: a pipe whose writer never writes, or a device, would hang or
    // never end.
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const int writer = open(dir.File("fifo").c_str(), O_RDWR | O_CLOEXEC);
    for (const std::string& path :
         {dir.File("missing.txt"), dir.Path(), std::string(), dir.File("fifo"),
          std::string("/dev/zero"), "\"" + dir.File("x.txt") + "\""}) {
        ConfigFileContent content;
        EXPECT_EQ(ReadConfigurationFile(path, content), ConfigFileResult::CannotOpen) << path;
    }
    close(writer);
}
