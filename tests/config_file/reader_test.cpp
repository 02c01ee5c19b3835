#include "config_file/configuration_file.h"
#include "config_file/file_flags.h"
#include "config_file/file_replacement.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using Sentinels = std::array<std::string, 4>;
const std::string Header = "ZYN MSR Configuration File";
constexpr auto Ok = ConfigFileResult::Ok;

struct Quirk {
    std::string Bytes;
    ConfigFileResult Result;
    int Flags = 0;
    Sentinels Expected = {};
};

} // namespace

// The file's track bits mean "enabled"; the reader's mean "disabled".
TEST(Flags, BothEncodingsKeepEveryByte) {
    EXPECT_EQ(EncodeFileFlags({1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0}), 0x5D);
    EXPECT_EQ(EncodeDeviceFlags({1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}), 0xE3);
    for (int byte = 0; byte < 256; ++byte) {
        CMsrConfiguration file, device;
        DecodeFileFlags(static_cast<std::uint8_t>(byte), file);
        DecodeDeviceFlags(static_cast<std::uint8_t>(byte), device);
        ASSERT_EQ(EncodeFileFlags(file), byte);
        ASSERT_EQ(EncodeDeviceFlags(device), byte);
        ASSERT_EQ(file.Track1Enabled, (byte >> 2) & 1);
    }
}

TEST(ConfigFileReader, ReadsAsTheFileWasAlwaysRead) {
    const std::string pad(53, '-'); // with the header, a first line of 79 characters
    const Quirk quirks[] = {
        {Header + "\n5d%;+?\n", Ok, 0x5D, {"%", ";", "+", "?"}},
        // Line ends: LF and CR LF read the same; a lone CR is a character like any other.
        {Header + "\r\n5d%;+?\r\n", Ok, 0x5D, {"%", ";", "+", "?"}},
        {Header + "\r\n5d%\r+?\r\n", Ok, 0x5D, {"%", "\r", "+", "?"}},
        {Header + "\n5d%;+?", Ok, 0x5D, {"%", ";", "+", "?"}},
        // The flags convert like hex fields.
        {Header + "\n-1%;+?\n", Ok, 0xFF, {"%", ";", "+", "?"}},
        {Header + "\nzz\n", Ok, 0x00, {"\n", "", "", ""}},
        {Header + "\n f\n", Ok, 0x0F, {"\n", "", "", ""}},
        {Header + "\n7\n", Ok, 0x07, {"", "", "", ""}},
        // The header anywhere in the first 79 characters, and only in what a C text holds.
        {"# " + Header + " v1\n5d%;+?\n", Ok, 0x5D, {"%", ";", "+", "?"}},
        {"ZYN MSR Configuration Fil\n5d%;+?\n", ConfigFileResult::BadHeader},
        {"", ConfigFileResult::BadHeader},
        {std::string("x\0", 2) + Header + "\n5d%;+?\n", ConfigFileResult::BadHeader},
        {std::string(54, ' ') + Header + "\n5d\n", ConfigFileResult::BadHeader},
        // A first line of 79 or more characters gives its remainder as line 2.
        {pad + Header + "1b$%&'\n5d%;+?\n", Ok, 0x1B, {"$", "%", "&", "'"}},
        {pad + Header + "\n", Ok, 0, {"", "", "", ""}},
        {Header + "\n", ConfigFileResult::NoDataLine},
        {Header, ConfigFileResult::NoDataLine},
        // The line end is not stripped; nothing past it is read.
        {Header + "\n5d%;\n", Ok, 0x5D, {"%", ";", "\n", ""}},
        // A zero byte is an empty sentinel and does not hide the ones after it.
        {Header + "\n5d" + std::string("\0;\0?", 4) + "\n", Ok, 0x5D, {"", ";", "", "?"}},
        {Header + "\n5d\xA7\xFF\x80\x1A\n", Ok, 0x5D, {"\xA7", "\xFF", "\x80", "\x1A"}},
        // A data line written the old way with a two-character field reads shifted.
        {Header + "\n5d%;;+?\n", Ok, 0x5D, {"%", ";", ";", "+"}},
        // Only the first two lines count, however long the file.
        {Header + "\n5d%;+?\n" + std::string(1 << 20, 'x'), Ok, 0x5D, {"%", ";", "+", "?"}},
    };
    TempDir dir;
    for (const Quirk& quirk : quirks) {
        dir.Write("config.txt", quirk.Bytes);
        ConfigFileContent content;
        EXPECT_EQ(ReadConfigurationFile(dir.File("config.txt"), content), quirk.Result)
            << quirk.Bytes.substr(0, 100);
        if (quirk.Result == Ok) {
            EXPECT_EQ(content.Flags, quirk.Flags) << quirk.Bytes.substr(0, 100);
            EXPECT_EQ(content.Sentinels, quirk.Expected) << quirk.Bytes.substr(0, 100);
        }
    }
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
        for (const Sentinels& saved : kinds) {
            ASSERT_EQ(
                WriteConfigurationFile(dir.File("c.txt"),
                                       [&] {
                                           return ConfigFileContent{std::uint8_t(flags), saved};
                                       }),
                ConfigFileResult::Ok);
            ConfigFileContent loaded;
            ASSERT_EQ(ReadConfigurationFile(dir.File("c.txt"), loaded), ConfigFileResult::Ok);
            ASSERT_EQ(loaded.Flags, flags);
            for (std::size_t i = 0; i < 4; ++i) // each sentinel is stored as its first byte
                ASSERT_EQ(loaded.Sentinels[i], saved[i].substr(0, 1)) << flags;
        }
    }
    EXPECT_EQ(dir.Read("c.txt"),
              std::string(ConfigFileHeader) + TextLineEnd + "ff\r\rx\n" + TextLineEnd);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}),
              1); // nothing left behind
}
