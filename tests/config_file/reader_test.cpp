#include "config_file/configuration_file.h"
#include "config_file/file_replacement.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

const std::string Header = "ZYN MSR Configuration File";
using enum ConfigFileResult;

TEST(ConfigFileReader, ReadsAsTheFileWasAlwaysRead) {
    const std::string pad(53, '-'); // with the header, a first line of 79 characters
    // The file, what reading it gives, and the content read (none when refused).
    const std::tuple<std::string, ConfigFileResult, ConfigFileContent> quirks[] = {
        {Header + "\n5d%;+?\n", Ok, {0x5D, {"%", ";", "+", "?"}}},
        // Line ends: LF and CR LF read the same; a file may end without one.
        {Header + "\r\n5d%;+?\r\n", Ok, {0x5D, {"%", ";", "+", "?"}}},
        {Header + "\n5d%;+?", Ok, {0x5D, {"%", ";", "+", "?"}}},
        {Header + "\nAB%;+?\n", Ok, {0xAB, {"%", ";", "+", "?"}}},
        // The header anywhere in the first 79 characters, and only in what a C text holds.
        {"# " + Header + " v1\n5d%;+?\n", Ok, {0x5D, {"%", ";", "+", "?"}}},
        {"ZYN MSR Configuration Fil\n5d%;+?\n", BadHeader, {}},
        {"", BadHeader, {}},
        {std::string("x\0", 2) + Header + "\n5d%;+?\n", BadHeader, {}},
        {std::string(54, ' ') + Header + "\n5d\n", BadHeader, {}},
        // A first line of 79 or more characters gives its remainder as line 2.
        {pad + Header + "1b$%&'\n5d%;+?\n", Ok, {0x1B, {"$", "%", "&", "'"}}},
        {pad + Header + "\n", NoDataLine, {}},
        {Header + "\n", NoDataLine, {}},
        {Header, NoDataLine, {}},
        // Only a whole line 2 is used: two hex digits, four sentinel bytes, none a line end.
        {Header + "\r\n5d%;+\r\n", NoDataLine, {}},
        {Header + "\n5d%;\n", NoDataLine, {}},
        {Header + "\r\n5d%\r+?\r\n", NoDataLine, {}},
        {Header + "\nzz%;+?\n", NoDataLine, {}},
        {Header + "\n-1%;+?\n", NoDataLine, {}},
        {Header + "\n f%;+?\n", NoDataLine, {}},
        {Header + "\n5d%;;+?\n", NoDataLine, {}},
        // A zero byte is an empty sentinel and does not hide the ones after it.
        {Header + "\n5d" + std::string("\0;\0?", 4) + "\n", Ok, {0x5D, {"", ";", "", "?"}}},
        {Header + "\n5d\xA7\xFF\x80\x1A\n", Ok, {0x5D, {"\xA7", "\xFF", "\x80", "\x1A"}}},
        // Only the first two lines count, however long the file.
        {Header + "\n5d%;+?\n" + std::string(1 << 20, 'x'), Ok, {0x5D, {"%", ";", "+", "?"}}}};
    TempDir dir;
    for (const auto& [bytes, result, expected] : quirks) {
        dir.Write("config.txt", bytes);
        ConfigFileContent content; // left as it was when the file is refused
        EXPECT_EQ((std::tuple{ReadConfigurationFile(dir.File("config.txt"), content), content.Flags,
                              content.Sentinels}),
                  std::tuple(result, expected.Flags, expected.Sentinels))
            << bytes.substr(0, 100);
    }
}

// Each sentinel is stored as its first byte, an empty one as a zero byte.
TEST(ConfigFileWriter, StoresWhatLoadsBack) {
    TempDir dir;
    const auto content = [] { return ConfigFileContent{0xFF, {"%%", "", "\xA7", "?!"}}; };
    ASSERT_EQ(WriteConfigurationFile(dir.File("c.txt"), content), Ok);
    EXPECT_EQ(dir.Read("c.txt"), Header + TextLineEnd + std::string("ff%\0\xA7?", 6) + TextLineEnd);
}
