#include "app/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

// What a command line gives: file, port and baud (or the window when the file is "-"), or
// the reason it is refused.
TEST(CommandLine, TokensDefaultsKeptCharactersAndRefusals) {
    const std::string longest(259, 'f');
    std::string chinese;
    for (int i = 0; i < 259; ++i)
        chinese += "\xe4\xb8\xad";
    // clang-format off
    const std::pair<std::string, std::string> lines[] = {
        {"", "-"}, {"   ", "-"}, {JoinArguments({}), "-"},
        {"settings.txt,COM1,9600", "settings.txt|COM1|9600"},
        {"settings.txt", "settings.txt|COM3|19200"},
        {"settings.txt,,COM2", "settings.txt|COM2|19200"},
        {",,,settings.txt,,,COM2,,38400,,extra,more", "settings.txt|COM2|38400"},
        {"\"my file.txt\",COM4", "\"my file.txt\"|COM4|19200"},
        {"  lead.txt ,COM5 ", "lead.txt |COM5 |19200"},
        {",,,", "|COM3|19200"}, // no file: the load reports it cannot open ""
        // Arguments arrive split; joined with single blanks, "settings.txt, COM2" keeps its blank.
        {JoinArguments({"settings.txt,", "COM2"}), "settings.txt| COM2|19200"},
        {JoinArguments({"a b.txt", "c"}), "a b.txt c|COM3|19200"},
        // Over-long arguments are refused, not cut; what follows the baud is never read.
        {longest + ",123456789,123456789", longest + "|123456789|123456789"},
        {longest + "f", "the configuration file path is longer than 259 characters"},
        {chinese + ",COM3", chinese + "|COM3|19200"}, // characters are counted, not bytes
        {"a.txt,COM1234567", "the port name is longer than 9 characters"},
        {"a.txt,COM1,1234567890", "the baud rate is longer than 9 characters"},
        {"a.txt,COM1,9600," + std::string(5000, 'x'), "a.txt|COM1|9600"}};
    // clang-format on
    for (const auto& [line, expected] : lines) {
        BatchArguments b;
        std::string error;
        const bool parsed = ParseCommandLine(line, b, error);
        // The reason for a refusal, the batch's three arguments, or "-" for the window.
        const std::string got = !parsed       ? error + (b.BatchMode ? " (and a batch)" : "")
                                : b.BatchMode ? b.BatchFile + "|" + b.BatchPort + "|" + b.BatchBaud
                                              : "-";
        EXPECT_EQ(std::tuple(parsed, got), std::tuple(error.empty(), expected)) << line;
    }
}

TEST(CommandLine, WindowsCommandLineKeepsWhatFollowsTheProgramName) {
    // clang-format off
    const std::pair<const char*, const char*> lines[] = {
        {"msrconfig.exe a.txt,COM4", "a.txt,COM4"}, {"msrconfig.exe\ta.txt,COM4", "a.txt,COM4"},
        {"\"C:\\Program Files\\msrconfig.exe\"   \"my file.txt\", COM2", "\"my file.txt\", COM2"},
        {"msrconfig", ""}, {"\"msrconfig.exe\"", ""},
        {"msrconfig --verify prep.txt,COM3 \t", "--verify prep.txt,COM3"}}; // as cmd keeps it before ">"
    // clang-format on
    for (auto [line, tail] : lines)
        EXPECT_EQ(CommandLineAfterProgramName(line), tail) << line;
    for (const char* help : {"/?", "/H", " /help ", "-?", "-HELP"})
        EXPECT_TRUE(IsWindowsHelpRequest(help)) << help;
    for (const char* other : {"/?x", "a.txt", "-h x", "/helpme", ""})
        EXPECT_FALSE(IsWindowsHelpRequest(other)) << other;
}

// A verb's row is all a new verb needs: the parser takes it, --help and the manual page's
// synopsis name it.
TEST(CommandLine, EveryVerbIsTakenAndNamedInTheUsageAndTheSynopsis) {
    std::ifstream man(MSRCONFIG_MAN_PAGE);
#ifndef _WIN32 // under Wine no Linux path opens
    ASSERT_TRUE(man) << MSRCONFIG_MAN_PAGE;
#endif
    std::string usage, page((std::istreambuf_iterator<char>(man)), {}), error;
    page =
        std::regex_replace(page.substr(0, page.find(".SH DESCRIPTION")), std::regex("\\\\-"), "-");
    for (const CVerbInfo& verb : VerbTable())
        usage += verb.Usage;
    for (const CVerbInfo& verb : VerbTable()) {
        const std::string word = verb.Option ? verb.Option : "";
        std::string text = word + (verb.Form == VerbForm::OnFile ? " f" : "");
        CommandOptions options;
        EXPECT_EQ(std::tuple(TakeOptions(text, options, error), options.What,
                             usage.find(word) != usage.npos, !man || page.find(word) != page.npos),
                  std::tuple(true, verb.What, true, true))
            << word;
    }
}
