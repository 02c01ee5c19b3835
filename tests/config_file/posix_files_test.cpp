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
#include <tuple>
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
        const std::string shared = dir.File("tmp"),
                          link = shared + (folderLink ? "/evil" : "/s.txt");
        ASSERT_EQ(mkdir(shared.c_str(), 0) | mkdir(dir.File("root").c_str(), 0755), 0);
        ASSERT_EQ(chown(shared.c_str(), FolderOwner, FolderOwner) | chmod(shared.c_str(), mode), 0);
        if (!dangling)
            dir.Write("root/s.txt", "root's own");
        ASSERT_EQ(symlink(dir.File(folderLink ? "root" : "root/s.txt").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), linkOwner, linkOwner), 0);

        const bool followed = expected == ConfigFileResult::Ok;
        EXPECT_EQ(
            Save(shared + (folderLink ? "/evil/s.txt" : "/s.txt"), 0x5D, {"%", ";", "+", "?"}),
            expected)
            << link << " " << linkOwner;
        EXPECT_EQ(dir.Read("root/s.txt"), followed   ? Header + "5d%;+?\n"
                                          : dangling ? ""
                                                     : "root's own");
        EXPECT_TRUE(std::filesystem::is_symlink(link)); // kept: the file it names is saved
        EXPECT_EQ(std::tuple(EntriesIn(shared), EntriesIn(dir.File("root"))),
                  std::tuple(1u, followed || !dangling ? 1u : 0u));
    }
}

namespace {

constexpr uid_t Root = 0, Owner = 1234, Member = 2345;
constexpr gid_t Group = 3456;

// Saves `path` in a child process as `uid` (its own group, and member of Group).
ConfigFileResult SaveAs(uid_t uid, const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        const gid_t groups[] = {Group};
        if (uid && (setgroups(1, groups) != 0 || setresgid(uid, uid, uid) != 0 ||
                    setresuid(uid, uid, uid) != 0))
            _exit(100);
        _exit(static_cast<int>(Save(path, 0x5D, {"%", ";", "+", "?"})));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return static_cast<ConfigFileResult>(WEXITSTATUS(status));
}

std::tuple<uid_t, gid_t, mode_t, ino_t> Owners(const std::string& path) {
    struct stat info = {};
    stat(path.c_str(), &info);
    return {info.st_uid, info.st_gid, info.st_mode & 07777, info.st_ino};
}

std::string Attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t length = getxattr(path.c_str(), name, value, sizeof value);
    return length < 0 ? std::string() : std::string(value, static_cast<std::size_t>(length));
}

} // namespace

// A save keeps who may use the file: its owner, group, mode (no set-user-ID bit), extended
// attributes and ACLs, and its other names; where a new file could not carry them, the old
// one is rewritten in place.
TEST(ConfigFileWriter, ASaveKeepsWhoMayUseTheFile) {
    ASSERT_EQ(geteuid(), 0u) << "needs root to act as other users";
    TempDir dir;
    // Saver; folder owner, group, mode; file owner, group, mode; the mode kept.
    using Case = std::tuple<const char*, uid_t, uid_t, gid_t, mode_t, uid_t, gid_t, mode_t, mode_t>;
    // clang-format off
    const Case cases[] = {
        {"shared/a.txt", Member, Owner, Group, 0775, Owner, Group, 0664, 0664},  // a group member saves the owner's file
        {"own/acl.txt", Owner, Owner, Owner, 0755, Owner, Owner, 0640, 0640},    // the owner, with an ACL and a note
        {"own/linked.txt", Owner, Owner, Owner, 0755, Owner, Owner, 0640, 0640}, // the owner, a file with two names
        {"own/by-root.txt", Root, Owner, Owner, 0755, Owner, Owner, 04644, 0644}, // root, the owner's file
        {"closed/b.txt", Owner, Root, Root, 0755, Owner, Owner, 0644, 0644}};    // a folder the owner may not write
    // clang-format on
    for (const auto& [name, saver, folderUid, folderGid, folderMode, uid, gid, mode, kept] :
         cases) {
        const std::string folder =
            dir.File(std::string(name).substr(0, std::string(name).find('/')));
        mkdir(folder.c_str(), 0);
        dir.Write(name, "old");
        ASSERT_EQ(chown(folder.c_str(), folderUid, folderGid) | chmod(folder.c_str(), folderMode) |
                      chown(dir.File(name).c_str(), uid, gid) | chmod(dir.File(name).c_str(), mode),
                  0);
    }
    // An ACL giving user 4321 read access (the kernel's binary form), and a note.
    const std::string acl("\2\0\0\0\1\0\6\0\xff\xff\xff\xff\2\0\4\0\xe1\x10\0\0\4\0\4\0\xff\xff\xff"
                          "\xff\x10\0\4\0\xff\xff\xff\xff\x20\0\0\0\xff\xff\xff\xff",
                          44);
    const std::string aclFile = dir.File("own/acl.txt"), linked = dir.File("own/linked.txt");
    ASSERT_EQ(setxattr(aclFile.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    ASSERT_EQ(setxattr(aclFile.c_str(), "user.note", "kept", 4, 0), 0);
    ASSERT_EQ(link(linked.c_str(), dir.File("own/other-name.txt").c_str()), 0);

    for (const auto& [name, saver, folderUid, folderGid, folderMode, uid, gid, mode, kept] :
         cases) {
        EXPECT_EQ(SaveAs(saver, dir.File(name)), ConfigFileResult::Ok) << name;
        EXPECT_EQ(dir.Read(name), Header + "5d%;+?\n") << name;
        const auto [nowUid, nowGid, nowMode, inode] = Owners(dir.File(name));
        EXPECT_EQ(std::tuple(nowUid, nowGid, nowMode), std::tuple(uid, gid, kept)) << name;
    }
    EXPECT_EQ(Attribute(aclFile, "system.posix_acl_access"), acl);
    EXPECT_EQ(Attribute(aclFile, "user.note"), "kept");
    EXPECT_EQ(Owners(linked), Owners(dir.File("own/other-name.txt"))); // one file, two names
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
