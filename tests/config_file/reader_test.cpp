#include "config_file/configuration_file.h"
#include "config_file/file_flags.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Sentinels = std::array<std::string, 4>;
const std::string Header = "ZYN MSR Configuration File";

struct Loaded {
    ConfigFileResult Result;
    ConfigFileContent Content;
};

Loaded Load(const std::string& bytes) {
    TempDir dir;
    dir.Write("config.txt", bytes);
    Loaded loaded;
    loaded.Result = ReadConfigurationFile(dir.File("config.txt"), loaded.Content);
    return loaded;
}

} // namespace

TEST(FileFlags, TrackBitsArePositive) {
    CMsrConfiguration options{1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(EncodeFileFlags(options), 0x5D);
    for (int byte = 0; byte < 256; ++byte) {
        CMsrConfiguration decoded;
        DecodeFileFlags(static_cast<std::uint8_t>(byte), decoded);
        ASSERT_EQ(EncodeFileFlags(decoded), byte);
        ASSERT_EQ(decoded.Track1Enabled, (byte >> 2) & 1);
    }
}

TEST(ConfigFileReader, TheUsualFile) {
    Loaded loaded = Load(Header + "\n5d%;+?\n");
    ASSERT_EQ(loaded.Result, ConfigFileResult::Ok);
    EXPECT_EQ(loaded.Content.Flags, 0x5D);
    EXPECT_EQ(loaded.Content.Sentinels, (Sentinels{"%", ";", "+", "?"}));

    // Line ends: LF and CR LF read the same; a lone CR is a character like any other.
    Loaded crlf = Load(Header + "\r\n5d%;+?\r\n");
    EXPECT_EQ(crlf.Content.Flags, 0x5D);
    EXPECT_EQ(crlf.Content.Sentinels, loaded.Content.Sentinels);
    EXPECT_EQ(Load(Header + "\r\n5d%\r+?\r\n").Content.Sentinels, (Sentinels{"%", "\r", "+", "?"}));
    EXPECT_EQ(Load(Header + "\n5d%;+?").Content.Sentinels, loaded.Content.Sentinels); // no final LF
}

TEST(ConfigFileReader, FlagsConvertLikeHexFields) {
    EXPECT_EQ(Load(Header + "\n5D%;+?\n").Content.Flags, 0x5D);
    EXPECT_EQ(Load(Header + "\n-1%;+?\n").Content.Flags, 0xFF);
    EXPECT_EQ(Load(Header + "\nzz%;+?\n").Content.Flags, 0x00);
    EXPECT_EQ(Load(Header + "\n f%;+?\n").Content.Flags, 0x0F);
    EXPECT_EQ(Load(Header + "\n7\n").Content.Flags, 0x07);
}

TEST(ConfigFileReader, HeaderAnywhereInTheFirst79Characters) {
    EXPECT_EQ(Load("# " + Header + " v1\n5d%;+?\n").Result, ConfigFileResult::Ok);
    EXPECT_EQ(Load("ZYN MSR Configuration Fil\n5d%;+?\n").Result, ConfigFileResult::BadHeader);
    EXPECT_EQ(Load("").Result, ConfigFileResult::BadHeader);
    EXPECT_EQ(Load(std::string("x\0", 2) + Header + "\n5d%;+?\n").Result,
              ConfigFileResult::BadHeader); // text after a zero byte is not searched
    EXPECT_EQ(Load(std::string(54, ' ') + Header + "\n5d\n").Result, ConfigFileResult::BadHeader);

    // A first line of 79 or more characters gives its remainder as line 2.
    Loaded longLine = Load(std::string(53, '-') + Header + "1b$%&'\n5d%;+?\n");
    ASSERT_EQ(longLine.Result, ConfigFileResult::Ok);
    EXPECT_EQ(longLine.Content.Flags, 0x1B);
    EXPECT_EQ(longLine.Content.Sentinels, (Sentinels{"$", "%", "&", "'"}));
    Loaded exactly79 = Load(std::string(53, '-') + Header + "\n");
    ASSERT_EQ(exactly79.Result, ConfigFileResult::Ok);
    EXPECT_EQ(exactly79.Content.Flags, 0);
    EXPECT_EQ(exactly79.Content.Sentinels, (Sentinels{"", "", "", ""}));
}

TEST(ConfigFileReader, ShortAndOddDataLines) {
    EXPECT_EQ(Load(Header + "\n").Result, ConfigFileResult::NoDataLine);
    EXPECT_EQ(Load(Header).Result, ConfigFileResult::NoDataLine);
    // The line end is not stripped; nothing past it is read.
    EXPECT_EQ(Load(Header + "\n5d%;\n").Content.Sentinels, (Sentinels{"%", ";", "\n", ""}));
    EXPECT_EQ(Load(Header + "\n5d\n").Content.Sentinels, (Sentinels{"\n", "", "", ""}));
    // A zero byte is an empty sentinel and does not hide the ones after it.
    EXPECT_EQ(Load(Header + "\n5d" + std::string("\0;\0?", 4) + "\n").Content.Sentinels,
              (Sentinels{"", ";", "", "?"}));
    // 8-bit codes come through unchanged.
    EXPECT_EQ(Load(Header + "\n5d\xA7\xFF\x80\x1A\n").Content.Sentinels,
              (Sentinels{"\xA7", "\xFF", "\x80", "\x1A"}));
    // A data line written the old way with a two-character field reads shifted.
    EXPECT_EQ(Load(Header + "\n5d%;;+?\n").Content.Sentinels, (Sentinels{"%", ";", ";", "+"}));
    // Only the first two lines count, however long the file.
    EXPECT_EQ(Load(Header + "\n5d%;+?\n" + std::string(1 << 20, 'x')).Result, ConfigFileResult::Ok);
}

TEST(ConfigFileReader, WhatCannotBeOpened) {
    TempDir dir;
    ConfigFileContent content;
    EXPECT_EQ(ReadConfigurationFile(dir.File("missing.txt"), content),
              ConfigFileResult::CannotOpen);
    EXPECT_EQ(ReadConfigurationFile(dir.Path(), content), ConfigFileResult::CannotOpen);
    EXPECT_EQ(ReadConfigurationFile("", content), ConfigFileResult::CannotOpen);
    EXPECT_EQ(ReadConfigurationFile("\"" + dir.File("x.txt") + "\"", content),
              ConfigFileResult::CannotOpen);
    // Only regular files: a pipe whose writer never writes, or a device, would hang or
    // never end.
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const int writer = open(dir.File("fifo").c_str(), O_RDWR | O_CLOEXEC);
    for (const std::string& path : {dir.File("fifo"), std::string("/dev/zero")})
        EXPECT_EQ(ReadConfigurationFile(path, content), ConfigFileResult::CannotOpen) << path;
    close(writer);
}
