#include "e2e_support.h"

#include <gtest/gtest.h>

TEST(BatchRun, CustomConfigQuestionIsAnsweredNo) {
    BatchSetup setup;
    setup.Dir.Write("config.txt", Header + "1c%;+?\n");
    ProcessResult run = setup.Run();
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "Enable Custom Configuration?: \"Use Custom Configuration\" is not "
                       "selected.  Changes to the MSR configuration will be stored to flash, but "
                       "will not be used by the MSR until the custom configuration is enabled.  "
                       "Do you want to enable it now? No\n");
    EXPECT_EQ(setup.Records().at(2), ":060000110100253b2b3f1e"); // custom bit clear
}

TEST(CommandLineRun, StatusesAndMessages) {
    BatchSetup setup({}, false);
    setup.Dir.Write("bad.txt", "hello\n5d%;+?\n");
    const std::tuple<std::vector<std::string>, int, std::string, std::string> runs[] = {
        {{setup.Dir.File("bad.txt")}, 2, "", "Error!: Bad configuration file header.\n"},
        {{"\"" + setup.Dir.File("config.txt") + "\""},
         2,
         "",
         "Error!: Error opening configuration file.\n"},
        {{"a.txt,COM1234567"}, 1, "", "msrconfig: the port name is longer than 9 characters\n"},
        {{"--version"}, 0, "msrconfig " MSRCONFIG_VERSION "\n", ""},
        {{},
         1,
         "",
         "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
         "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n"}};
    for (const auto& [arguments, status, out, err] : runs) {
        std::vector<std::string> argv = {MSRCONFIG_BIN};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ProcessResult run = RunProgram(argv, {{"MSRCONFIG_PORT_DIR", setup.PortDir()}});
        EXPECT_EQ(run.Status, status) << argv.back();
        EXPECT_EQ(run.Out, out);
        EXPECT_EQ(run.Err, err);
    }
}
