// Saves and loads on this system: refusals, a write failing part of the way, a folder renamed
// during the question, where a path leads, the mode of a saved file, and what is no regular
// file. Owners, ACLs and planted links are tested end to end (tests/e2e), with real users.
#include "config_file/configuration_file.h"
#include "support/temp_dir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Sentinels = std::array<std::string, 4>;
const std::string Header = "ZYN MSR Configuration File\n";
using enum ConfigFileResult;

static ConfigFileResult Save(const std::string& path, std::uint8_t flags, const Sentinels& texts) {
    return WriteConfigurationFile(path, [&] { return ConfigFileContent{flags, texts}; });
}

static std::size_t EntriesIn(const std::string& folder) {
    auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// Saves from a child process working in `folder`, whose exit status is the result: a save
// that never ends is ended by the alarm rather than hanging the suite.
static int SaveFrom(const std::string& folder, const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        _exit(chdir(folder.c_str()) == 0 ? int(Save(path, 0x5D, {"%", ";", "+", "?"})) : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

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
        EXPECT_EQ(WriteConfigurationFile(path, supply), CannotOpen) << path;
    // Sentinels the format cannot carry; a save withdrawn after the question.
    for (const Sentinels& refused : {Sentinels{"\n", "", "", "?"}, Sentinels{"", "", "", "\r"},
                                     Sentinels{"%", "\r", "+", "?"}})
        EXPECT_EQ(Save(dir.File("keep.txt"), 0, refused), CannotWrite);
    EXPECT_EQ(WriteConfigurationFile(dir.File("keep.txt"), [] { return std::nullopt; }), Withdrawn);
    EXPECT_EQ(std::tuple(asked, dir.Read("keep.txt"), dir.Read("ro.txt"), EntriesIn(dir.Path())),
              std::tuple(0, "old", "precious", 2u));
}

TEST(ConfigFileWriter, WriteFailingHalfWayLeavesTheOldFileByteForByte) {
    TempDir dir;
    const std::string old = Header + "5d%;+?\n";
    dir.Write("target.txt", old);
    // A file with two names is rewritten in place, and must be put back.
    dir.Write("linked.txt", old);
    ASSERT_EQ(link(dir.File("linked.txt").c_str(), dir.File("other-name.txt").c_str()), 0);

    // A file size limit below the content makes the write fail part of the way in.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{Header.size() + 3, saved.rlim_max}; // past the first byte that differs
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<ConfigFileResult> results; // target, linked, fresh
    for (const char* name : {"target.txt", "linked.txt", "fresh.txt"})
        results.push_back(Save(dir.File(name), 0xFF, {"a", "b", "c", "d"}));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(results, std::vector(3, CannotWrite));
    EXPECT_EQ(std::tuple(dir.Read("target.txt"), dir.Read("other-name.txt"), EntriesIn(dir.Path())),
              std::tuple(old, old, 3u));
}

// Names are taken one at a time as the kernel would: ".." after a link leaves the folder the
// link leads to, and a loop of links is refused rather than followed for ever.
TEST(ConfigFileWriter, PathsLeadWhereTheKernelWould) {
    TempDir dir;
    for (const char* folder : {"sub", "far", "far/deep"})
        ASSERT_EQ(mkdir(dir.File(folder).c_str(), 0755), 0);
    for (const auto& [link, target] :
         {std::pair{"sub/in", "../far/deep"}, {"sub/a", "b"}, {"sub/b", "a"}})
        ASSERT_EQ(symlink(target, dir.File(link).c_str()), 0);
    // Saved from "sub": the path, where the file lands (the loop stays no file), the result.
    const std::tuple<std::string, std::string, ConfigFileResult> rows[] = {
        {"../up.txt", "up.txt", Ok},
        {"in/../via.txt", "far/via.txt", Ok},
        {"a", "sub/a", CannotOpen}};
    for (const auto& [path, lands, result] : rows)
        EXPECT_EQ((std::tuple{SaveFrom(dir.File("sub"), path), dir.Read(lands)}),
                  std::tuple(int(result), result == Ok ? Header + "5d%;+?\n" : ""))
            << path;
    EXPECT_EQ(EntriesIn(dir.File("sub")), 3u); // the links alone
}

// A new file is created as the mask allows; a replaced one keeps the mode it had.
TEST(ConfigFileWriter, NewFilesTakeTheMaskReplacedOnesKeepTheirMode) {
    TempDir dir;
    const std::string path = dir.File("m.txt");
    // The mask, the mode of the file before (0: none), the mode saved.
    const mode_t rows[][3] = {{022, 0, 0644}, {002, 0, 0664}, {077, 0666, 0666}, {0, 0640, 0640}};
    const mode_t mask = umask(0);
    for (const auto& [rowMask, old, saved] : rows) {
        std::filesystem::remove(path);
        if (old != 0) {
            dir.Write("m.txt", "old");
            chmod(path.c_str(), old);
        }
        umask(rowMask);
        EXPECT_EQ(Save(path, 0, {"a", "b", "c", "d"}), Ok);
        EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(saved))
            << std::oct << rowMask << " " << old;
    }
    umask(mask);
}

// Whatever happens to the folder meanwhile, the save works through the folder it found
// first and leaves nothing behind.
TEST(ConfigFileWriter, AFolderRenamedDuringTheQuestion) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("a").c_str(), 0755), 0);
    dir.Write("a/t.txt", "old");
    const ConfigFileContent saved{0x5D, {"%", ";", "+", "?"}};
    const auto renamed = [&](std::optional<ConfigFileContent> content) {
        return [&dir, content] {
            std::filesystem::rename(dir.File("a"), dir.File("b"));
            return content;
        };
    };
    EXPECT_EQ(WriteConfigurationFile(dir.File("a/t.txt"), renamed(std::nullopt)), Withdrawn);
    EXPECT_EQ(dir.Read("b/t.txt"), "old");
    std::filesystem::rename(dir.File("b"), dir.File("a"));
    EXPECT_EQ(WriteConfigurationFile(dir.File("a/t.txt"), renamed(saved)), Ok);
    EXPECT_EQ(dir.Read("b/t.txt"), Header + "5d%;+?\n");
    EXPECT_EQ(EntriesIn(dir.File("b")), 1u);
}

TEST(ConfigFileReader, OnlyRegularFilesAreOpened) {
    TempDir dir;
    // Only regular files: a pipe whose writer never writes, or a device, would hang or
    // never end.
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const int writer = open(dir.File("fifo").c_str(), O_RDWR | O_CLOEXEC);
    ConfigFileContent content;
    for (const std::string& path :
         {dir.File("missing.txt"), dir.Path(), std::string(), dir.File("fifo"),
          std::string("/dev/zero"), "\"" + dir.File("x.txt") + "\""})
        EXPECT_EQ(ReadConfigurationFile(path, content), CannotOpen) << path;
    close(writer);
}
