#include "e2e_support.h"

#include <gtest/gtest.h>

TEST(BatchRun, CustomConfigQuestionIsAnsweredNo) {
    BatchSetup setup;
    setup.Dir.Write("config.txt", Header + "1c%;+?\n");
    ProcessResult run = setup.RunFile();
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "Enable Custom Configuration?: \"Use Custom Configuration\" is not "
                       "selected.  Changes to the MSR configuration will be stored to flash, but "
                       "will not be used by the MSR until the custom configuration is enabled.  "
                       "Do you want to enable it now? No\n");
    EXPECT_EQ(setup.Records().at(2), ":060000110100253b2b3f1e"); // custom bit clear
}

TEST(BatchRun, FileProblemsEndWithStatus2) {
    BatchSetup setup({}, false);
    setup.Dir.Write("bad.txt", "hello\n5d%;+?\n");
    const std::pair<std::string, std::string> cases[] = {
        {setup.Dir.File("bad.txt"), "Error!: Bad configuration file header.\n"},
        {setup.Dir.File("none.txt"), "Error!: Error opening configuration file.\n"},
        {",,,", "Error!: Error opening configuration file.\n"},
        {"\"" + setup.Dir.File("config.txt") + "\"",
         "Error!: Error opening configuration file.\n"}};
    for (const auto& [commandLine, err] : cases) {
        ProcessResult run = setup.Run(commandLine);
        EXPECT_EQ(run.Status, 2) << commandLine;
        EXPECT_EQ(run.Err, err);
        EXPECT_EQ(run.Out, "");
    }
}

TEST(CommandLineRun, RefusalsHelpVersionAndNoDisplay) {
    TempDir dir;
    const Variables env = {{"MSRCONFIG_PORT_DIR", dir.Path()}};
    ProcessResult longPort = RunProgram({MSRCONFIG_BIN, "a.txt,COM1234567"}, env);
    EXPECT_EQ(longPort.Status, 1);
    EXPECT_EQ(longPort.Err, "msrconfig: the port name is longer than 9 characters\n");
    ProcessResult longPath = RunProgram({MSRCONFIG_BIN, std::string(300, 'p')}, env);
    EXPECT_EQ(longPath.Status, 1);
    EXPECT_EQ(longPath.Err,
              "msrconfig: the configuration file path is longer than 259 characters\n");

    ProcessResult version = RunProgram({MSRCONFIG_BIN, "--version"}, env);
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, "msrconfig " MSRCONFIG_VERSION "\n");
    ProcessResult help = RunProgram({MSRCONFIG_BIN, "--help"}, env);
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("FILE[,PORT[,BAUD]]"), std::string::npos);

    ProcessResult window = RunProgram({MSRCONFIG_BIN}, env);
    EXPECT_EQ(window.Status, 1);
    EXPECT_NE(window.Err.find("xvfb-run"), std::string::npos);
}
