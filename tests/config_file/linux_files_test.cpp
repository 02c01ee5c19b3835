// Saves and loads on this system: refusals, a write failing part of the way, a folder renamed
// during the question, and what is no regular file. Who may use a saved file, and planted
// links, are tested end to end (tests/e2e), with real users.
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
    for (const Sentinels& refused : {Sentinels{"\n", "", "", "?"}, Sentinels{"", "", "", "\r"},
                                     Sentinels{"%", "\r", "+", "?"}})
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
