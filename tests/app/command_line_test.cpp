#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

BatchArguments Parse(const std::string& text) {
    BatchArguments batch;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(text, batch, error)) << text;
    EXPECT_TRUE(error.empty());
    return batch;
}

void ExpectBatch(const std::string& text, const std::string& file, const std::string& port,
                 const std::string& baud) {
    BatchArguments batch = Parse(text);
    EXPECT_TRUE(batch.BatchMode) << text;
    EXPECT_EQ(batch.BatchFile, file) << text;
    EXPECT_EQ(batch.BatchPort, port) << text;
    EXPECT_EQ(batch.BatchBaud, baud) << text;
}

std::string Refusal(const std::string& text) {
    BatchArguments batch;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(text, batch, error)) << text;
    EXPECT_FALSE(batch.BatchMode);
    return error;
}

} // namespace

TEST(CommandLine, TokensDefaultsAndKeptCharacters) {
    for (const std::string& interactive : {std::string(), std::string("   "), JoinArguments({})})
        EXPECT_FALSE(Parse(interactive).BatchMode);
    ExpectBatch("settings.txt,COM1,9600", "settings.txt", "COM1", "9600");
    ExpectBatch("settings.txt", "settings.txt", "COM3", "19200");
    ExpectBatch("settings.txt,,COM2", "settings.txt", "COM2", "19200");
    ExpectBatch(",,,settings.txt,,,COM2,,38400,,extra,more", "settings.txt", "COM2", "38400");
    ExpectBatch("\"my file.txt\",COM4", "\"my file.txt\"", "COM4", "19200");
    ExpectBatch("  lead.txt ,COM5 ", "lead.txt ", "COM5 ", "19200");
    ExpectBatch(",,,", "", "COM3", "19200"); // no file: the load reports it cannot open ""
    // Arguments arrive split; joined with single blanks, "settings.txt, COM2" keeps its blank.
    ExpectBatch(JoinArguments({"settings.txt,", "COM2"}), "settings.txt", " COM2", "19200");
    ExpectBatch(JoinArguments({"a b.txt", "c"}), "a b.txt c", "COM3", "19200");
}

TEST(CommandLine, WindowsCommandLineKeepsWhatFollowsTheProgramName) {
    const std::pair<const char*, const char*> lines[] = {
        {"msrconfig.exe a.txt,COM4", "a.txt,COM4"},
        {"msrconfig.exe\ta.txt,COM4", "a.txt,COM4"},
        {"\"C:\\Program Files\\msrconfig.exe\"   \"my file.txt\", COM2", "\"my file.txt\", COM2"},
        {"msrconfig", ""},
        {"\"msrconfig.exe\"", ""}};
    for (auto [line, tail] : lines)
        EXPECT_EQ(CommandLineAfterProgramName(line), tail) << line;
}

TEST(CommandLine, OverLongArgumentsAreRefusedNotCut) {
    ExpectBatch(std::string(259, 'f') + ",123456789,123456789", std::string(259, 'f'), "123456789",
                "123456789");
    EXPECT_EQ(Refusal(std::string(260, 'f')),
              "the configuration file path is longer than 259 characters");
    EXPECT_EQ(Refusal("a.txt,COM1234567"), "the port name is longer than 9 characters");
    EXPECT_EQ(Refusal("a.txt,COM1,1234567890"), "the baud rate is longer than 9 characters");
    ExpectBatch("a.txt,COM1,9600," + std::string(5000, 'x'), "a.txt", "COM1", "9600");
}
