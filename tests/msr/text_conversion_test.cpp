#include "msr/shown_text.h"
#include "msr/text_conversion.h"

#include <cstdio>
#include <gtest/gtest.h>

TEST(TextConversion, HexFieldsAndDecimalFollowStrtol) {
    // clang-format off
    const std::pair<const char*, std::int32_t> hex[] = {
        {"5d", 0x5D}, {"5D", 0x5D}, {" 7", 7}, {"\t\n a", 10}, {"\r\v\f7", 7}, {"\x1c" "7", 0},
        {"+f", 15}, {"zz", 0}, {"", 0}, {"--1", 0}, {"0x", 0}, {"0x1f", 0x1F}, {"7g", 7}, {"-1", -1},
        {"0X1F", 0x1F}, {"fffffffffff", 0x7FFFFFFF}};
    // clang-format on
    for (auto [text, value] : hex)
        EXPECT_EQ(ConvertHexField(text), value) << text;
    // clang-format off
    const std::pair<const char*, std::int32_t> decimal[] = {{"19200", 19200}, {" 9600", 9600},
        {"baud", 0}, {"-5", -5}, {"12ab", 12}, {"0x10", 0}, {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1}};
    // clang-format on
    for (auto [text, value] : decimal)
        EXPECT_EQ(ConvertDecimal(text), value) << text;
}

TEST(ShownText, OnlyWhatATerminalWouldActOnIsEscaped) {
    // clang-format off
    const std::pair<std::string, std::string> texts[] = {
        {"COM3 /dev/ttyUSB0", "COM3 /dev/ttyUSB0"}, {"Tavlon Läser 中文", "Tavlon Läser 中文"},
        {"COM\x1b[2J", "COM\\x1b[2J"}, {"a\nX\r\tb\x7f", "a\\nX\\r\\tb\\x7f"}, {std::string("\0z", 2), "\\x00z"},
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},            // C1 control sequence introducer
        {"\xe2\x80\xae" "txt", "\\xe2\\x80\\xaetxt"},   // right-to-left override
        {"\xff\xc3(\xe4\xb8", "\\xff\\xc3(\\xe4\\xb8"},        // no valid UTF-8
        {"\xc0\xaf \xed\xa0\x80", "\\xc0\\xaf \\xed\\xa0\\x80"}}; // overlong, surrogate
    // clang-format on
    for (const auto& [text, shown] : texts)
        EXPECT_EQ(std::tuple(ShownText(text), IsShownAsIs(text)), std::tuple(shown, text == shown))
            << shown;
}

#ifndef _WIN32
// The commands --list-ports offers are run as shown: each word reaches the program as it was.
TEST(ShownText, ShellWordsReachTheProgramAsTheyAre) {
    for (const std::string text :
         {"/dev/ttyUSB0", "/home/it's a dir/x", "''", "vendor=0403 product=6001",
          "$HOME `id` \"a\\b\" ;*?~#&|<>(){}!", ""}) {
        std::FILE* shell = popen(("printf %s " + ShellWord(text)).c_str(), "r");
        std::string back(256, '\0');
        back.resize(std::fread(back.data(), 1, back.size(), shell));
        pclose(shell);
        EXPECT_EQ(back, text) << ShellWord(text);
    }
}
#endif
