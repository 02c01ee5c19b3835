#include "config_file/configuration_file.h"
#include "support/temp_dir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The kernel's protected-symlinks rule, which root's own link resolution must apply too:
// in a sticky, world-writable folder a link is followed only when its owner is this user or
// the folder's owner.
TEST(ConfigFileWriter, PlantedLinksInASharedFolderAreNotFollowed) {
    ASSERT_EQ(geteuid(), 0u) << "needs root to hand files to other users";
    constexpr uid_t Other = 4242, FolderOwner = 4343;
    const std::tuple<uid_t, bool, ConfigFileResult> cases[] = {
        {Other, false, ConfigFileResult::CannotOpen},
        {Other, true, ConfigFileResult::CannotOpen},
        {0, false, ConfigFileResult::Ok},
        {FolderOwner, true, ConfigFileResult::Ok}};
    for (auto [linkOwner, dangling, expected] : cases) {
        TempDir dir;
        const std::string shared = dir.File("tmp"), link = shared + "/settings.txt";
        ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(chown(shared.c_str(), FolderOwner, FolderOwner), 0);
        ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
        if (!dangling)
            dir.Write("victim", "root's own");
        ASSERT_EQ(symlink(dir.File("victim").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), linkOwner, linkOwner), 0);

        EXPECT_EQ(Save(link, 0x5D, {"%", ";", "+", "?"}), expected) << linkOwner;
        const bool followed = expected == ConfigFileResult::Ok;
        EXPECT_EQ(dir.Read("victim"), followed   ? Header + "5d%;+?\n"
                                      : dangling ? ""
                                                 : "root's own");
        EXPECT_EQ(std::filesystem::exists(dir.File("victim")), followed || !dangling);
        EXPECT_EQ(EntriesIn(shared), 1u);
    }
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
