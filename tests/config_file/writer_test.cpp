#include "config_file/configuration_file.h"
#include "support/temp_dir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Sentinels = std::array<std::string, 4>;
const std::string Header = "ZYN MSR Configuration File";

ConfigFileContent Content(std::uint8_t flags, Sentinels sentinels) {
    ConfigFileContent content;
    content.Flags = flags;
    content.Sentinels = std::move(sentinels);
    return content;
}

ConfigFileResult Save(const std::string& path, const ConfigFileContent& content) {
    return WriteConfigurationFile(path, [&] { return content; });
}

// What loading gives for a saved content: each text cut to its first byte.
Sentinels FirstBytes(const Sentinels& sentinels) {
    Sentinels first;
    for (std::size_t i = 0; i < 4; ++i)
        first[i] = sentinels[i].substr(0, 1);
    return first;
}

std::size_t EntriesIn(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(ConfigFileWriter, WritesTheTwoLines) {
    TempDir dir;
    ASSERT_EQ(Save(dir.File("a.txt"), Content(0x5D, {"%", ";", "+", "?"})), ConfigFileResult::Ok);
    EXPECT_EQ(dir.Read("a.txt"), Header + "\n5d%;+?\n");
    ASSERT_EQ(Save(dir.File("b.txt"), Content(0x07, {"", ";;", "", "?"})), ConfigFileResult::Ok);
    EXPECT_EQ(dir.Read("b.txt"), Header + "\n07" + std::string("\0;\0?", 4) + "\n");
}

TEST(ConfigFileWriter, SaveThenLoadGivesBackWhatWasSaved) {
    TempDir dir;
    const Sentinels kinds[] = {
        {"%", ";", "+", "?"},
        {"", "", "", ""},
        {"%%", ";x", "+++", "?!"},
        {"", ";;", "", "?"},
        {"\xA7", "\xFF", "\x80", "\x1A"},
        {" ", "\r", "\t", "0"},
        {"%", ";", "\n", ""}, // a line feed last: what follows it was never read
        {"\r", "\r", "x", "\n"},
    };
    for (int flags = 0; flags < 256; ++flags) {
        for (const Sentinels& sentinels : kinds) {
            ConfigFileContent saved = Content(static_cast<std::uint8_t>(flags), sentinels);
            ASSERT_EQ(Save(dir.File("c.txt"), saved), ConfigFileResult::Ok);
            ConfigFileContent loaded;
            ASSERT_EQ(ReadConfigurationFile(dir.File("c.txt"), loaded), ConfigFileResult::Ok);
            ASSERT_EQ(loaded.Flags, flags);
            ASSERT_EQ(loaded.Sentinels, FirstBytes(sentinels)) << flags;
        }
    }
    EXPECT_EQ(EntriesIn(dir.Path()), 1u); // no new files left behind
}

TEST(ConfigFileWriter, SentinelsTheFormatCannotCarryAreRefused) {
    TempDir dir;
    dir.Write("keep.txt", "old");
    for (const Sentinels& refused :
         {Sentinels{"\n", "", "", "?"}, Sentinels{"", "", "", "\r"}, Sentinels{"\r", "\n", "", ""}})
        EXPECT_EQ(Save(dir.File("keep.txt"), Content(0, refused)), ConfigFileResult::CannotWrite);
    EXPECT_EQ(dir.Read("keep.txt"), "old");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(ConfigFileWriter, ContentIsAskedForOnlyAfterTheTargetCouldBeOpened) {
    TempDir dir;
    int asked = 0;
    auto supply = [&] {
        ++asked;
        return Content(0x40, {"a", "b", "c", "d"});
    };
    EXPECT_EQ(WriteConfigurationFile(dir.File("no/such/folder.txt"), supply),
              ConfigFileResult::CannotOpen);
    EXPECT_EQ(WriteConfigurationFile("/proc/msrconfig.txt", supply), ConfigFileResult::CannotOpen);
    EXPECT_EQ(WriteConfigurationFile(dir.Path(), supply), ConfigFileResult::CannotOpen);
    EXPECT_EQ(WriteConfigurationFile("", supply), ConfigFileResult::CannotOpen);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(WriteConfigurationFile(dir.File("ok.txt"), supply), ConfigFileResult::Ok);
    EXPECT_EQ(asked, 1);
    // Supplying nothing (a stop during the question) withdraws the save without a trace.
    EXPECT_EQ(WriteConfigurationFile(dir.File("ok.txt"), [] { return std::nullopt; }),
              ConfigFileResult::Withdrawn);
    EXPECT_EQ(dir.Read("ok.txt"), Header + "\n40abcd\n");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(ConfigFileWriter, ReadOnlyTargetIsRefusedAndLeftAlone) {
    TempDir dir;
    dir.Write("ro.txt", "precious");
    ASSERT_EQ(chmod(dir.File("ro.txt").c_str(), 0444), 0);
    bool asked = false;
    EXPECT_EQ(WriteConfigurationFile(dir.File("ro.txt"),
                                     [&] {
                                         asked = true;
                                         return ConfigFileContent{};
                                     }),
              ConfigFileResult::CannotOpen);
    EXPECT_FALSE(asked);
    EXPECT_EQ(dir.Read("ro.txt"), "precious");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(ConfigFileWriter, ReplacingKeepsModeAndSymbolicLinks) {
    TempDir dir;
    dir.Write("real.txt", "old");
    ASSERT_EQ(chmod(dir.File("real.txt").c_str(), 04640), 0); // set-user-ID is not carried over
    ASSERT_EQ(symlink("real.txt", dir.File("link.txt").c_str()), 0);
    ASSERT_EQ(Save(dir.File("link.txt"), Content(0x5D, {"%", ";", "+", "?"})),
              ConfigFileResult::Ok);
    struct stat info;
    ASSERT_EQ(lstat(dir.File("link.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.Read("real.txt"), Header + "\n5d%;+?\n");
    ASSERT_EQ(stat(dir.File("real.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // A link to a file that does not exist yet creates that file.
    ASSERT_EQ(symlink(dir.File("new.txt").c_str(), dir.File("dangling.txt").c_str()), 0);
    ASSERT_EQ(Save(dir.File("dangling.txt"), Content(1, {"a", "b", "c", "d"})),
              ConfigFileResult::Ok);
    EXPECT_EQ(dir.Read("new.txt"), Header + "\n01abcd\n");
}

TEST(ConfigFileWriter, WriteFailingHalfWayLeavesTheOldFileByteForByte) {
    TempDir dir;
    const std::string old = Header + "\n5d%;+?\n";
    dir.Write("target.txt", old);

    // A file size limit below the content makes the write fail part of the way in.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ConfigFileResult result = Save(dir.File("target.txt"), Content(0xFF, {"a", "b", "c", "d"}));
    ConfigFileResult fresh = Save(dir.File("fresh.txt"), Content(0xFF, {"a", "b", "c", "d"}));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(result, ConfigFileResult::CannotWrite);
    EXPECT_EQ(fresh, ConfigFileResult::CannotWrite);
    EXPECT_EQ(dir.Read("target.txt"), old);
    EXPECT_FALSE(std::filesystem::exists(dir.File("fresh.txt")));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

// The kernel's protected-symlinks rule, which root's own link resolution must apply too:
// in a sticky, world-writable folder a link is followed only when its owner is this user or
// the folder's owner.
TEST(ConfigFileWriter, PlantedLinksInASharedFolderAreNotFollowed) {
    ASSERT_EQ(geteuid(), 0u) << "needs root to hand files to other users";
    constexpr uid_t Other = 4242, FolderOwner = 4343;
    struct Case {
        uid_t LinkOwner;
        bool Dangling;
        ConfigFileResult Expected;
    };
    const Case cases[] = {
        {Other, false, ConfigFileResult::CannotOpen},
        {Other, true, ConfigFileResult::CannotOpen},
        {0, false, ConfigFileResult::Ok},
        {FolderOwner, true, ConfigFileResult::Ok},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string shared = dir.File("tmp");
        ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(chown(shared.c_str(), FolderOwner, FolderOwner), 0);
        ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
        if (!c.Dangling)
            dir.Write("victim", "root's own");
        const std::string link = shared + "/settings.txt";
        ASSERT_EQ(symlink(dir.File("victim").c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.LinkOwner, c.LinkOwner), 0);

        EXPECT_EQ(Save(link, Content(0x5D, {"%", ";", "+", "?"})), c.Expected) << c.LinkOwner;
        const bool followed = c.Expected == ConfigFileResult::Ok;
        EXPECT_EQ(dir.Read("victim"), followed     ? Header + "\n5d%;+?\n"
                                      : c.Dangling ? ""
                                                   : "root's own");
        EXPECT_EQ(std::filesystem::exists(dir.File("victim")), followed || !c.Dangling);
        EXPECT_EQ(EntriesIn(shared), 1u);
    }
}
