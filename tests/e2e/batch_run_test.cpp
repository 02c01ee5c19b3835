#include "e2e_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

// --unattended on a desktop: no box, the question answered No and said so.
TEST(BatchRun, UnattendedAnswersNoAndSaysSo) {
    BatchSetup setup;
    setup.Dir.Write(ConfigFile, Header + "1c%;+?\n");
    ProcessResult run = setup.Run({"--unattended", setup.CommandLine()}, {}, {{"DISPLAY", ":99"}});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, About +
                           "Enable Custom Configuration?: \"Use Custom Configuration\" is not "
                           "selected.  Changes to the MSR configuration will be stored to "
                           "flash, but will not be used by the MSR until the custom "
                           "configuration is enabled.  Do you want to enable it now? No\n" +
                           About +
                           "The MSR keeps using its default configuration until \"Use Custom "
                           "Config\" is enabled.\n");
    EXPECT_EQ(setup.Records().at(2), ":060000110100253b2b3f1e"); // custom bit clear
}

TEST(CommandLineRun, StatusesAndMessages) {
    BatchSetup setup({}, false);
    setup.Dir.Write("bad.txt", "hello\n5d%;+?\n");
    const std::string usage = RunProgram({MSRCONFIG_BIN, "--help"}, {}).Out;
    // clang-format off
    const std::tuple<std::vector<std::string>, int, std::string, std::string> runs[] = {
        {{"bad.txt"}, 2, "", "COM3 bad.txt: Error!: Bad configuration file header.\n"},
        {{"\"config.txt\""}, 2, "", "COM3 \"config.txt\": Error!: Error opening configuration file.\n"},
        {{"a.txt,COM1234567"}, 1, "", "msrconfig: the port name is longer than 9 characters\n" + usage},
        {{"--bogus\x1b[2J"}, 1, "", "msrconfig: unknown option --bogus\\x1b[2J\n" + usage},
        {{"--read"}, 1, "", "msrconfig: FILE[,PORT[,BAUD]] is missing\n" + usage},
        {{"--json", "--read", "-"}, 1, "", "msrconfig: --json takes standard output; --read needs a file\n"},
        {{"--version"}, 0, "msrconfig " MSRCONFIG_VERSION "\n", ""},
        {{""}, 1, "", "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                      "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n"}};
    // clang-format on
    for (const auto& [arguments, status, out, err] : runs) {
        ProcessResult run = setup.Run(arguments);
        EXPECT_EQ(std::tie(run.Status, run.Out, run.Err), std::tie(status, out, err));
    }
}

// --json: one object on standard output and nothing else there, field by field.
TEST(JsonRecord, TellsWhatTheRunDid) {
    using Json = nlohmann::json;
    // clang-format off
    const std::tuple<std::vector<std::string>, const char*, std::string> runs[] = {
        {{"--json", "--ensure", "config.txt"}, R"({"action": "ensure", "port": "COM3", "baud": "19200",
            "file": "config.txt", "status": 0, "status_name": "ok", "cause": null, "cause_text": null,
            "firmware": "SIM 1.00", "configuration": {"raw_data_mode": false, "carriage_return": true,
            "track1_enabled": true, "track2_enabled": true, "track3_enabled": true, "strip_sentinels": false,
            "use_custom_config": true, "hide_error_tracks": false,
            "track1_start_sentinel": {"code": 37, "text": "%"}, "track2_start_sentinel": {"code": 59, "text": ";"},
            "track3_start_sentinel": {"code": 43, "text": "+"}, "end_sentinel": {"code": 63, "text": "?"}},
            "differences": [
              {"setting": "use_custom_config", "caption": "Use Custom Config", "reader": true, "file": false},
              {"setting": "end_sentinel", "caption": "End Sentinel", "reader": {"code": 63, "text": "?"},
               "file": {"code": 167, "text": "\u00a7"}}],
            "changed": true})", "Entering command mode...\n" + About + "changed\n"},
        {{"--json", "config.txt,COM0,9600"}, R"({"action": "apply", "port": "COM0", "baud": "9600",
            "file": "config.txt", "status": 3, "status_name": "not-claimed", "cause": "no-device",
            "cause_text": "the port name leads to no device", "firmware": null, "configuration": null,
            "differences": [], "changed": false})", ""}};
    // clang-format on
    for (const auto& [arguments, expected, err] : runs) {
        BatchSetup setup;
        setup.Dir.Write(ConfigFile, Header + "1d%;+\xA7\n");
        ProcessResult run = setup.Run(arguments);
        Json record = Json::parse(run.Out); // throws unless it is one object and nothing else
        EXPECT_GT(record["seconds"].get<double>(), 1.4);
        record.erase("seconds");
        EXPECT_EQ(record, Json::parse(expected)) << record.dump(1);
        EXPECT_EQ(run.Status, record["status"]);
        if (!err.empty()) {
            EXPECT_EQ(run.Err, err); // the log's progress line too goes to standard error
        }
    }
}

// Captions name the program as it is called; Linux programs have no extension to drop.
TEST(BatchRun, CaptionsNameTheProgramAsCalled) {
    BatchSetup setup({"--set-reject"});
    std::filesystem::copy_file(MSRCONFIG_BIN, setup.Dir.File("msrconfig-1.2"));
    ProcessResult run = RunProgram({setup.Dir.File("msrconfig-1.2"), setup.CommandLine()},
                                   {{"MSRCONFIG_PORT_DIR", setup.PortDir()}}, 30,
                                   {.WorkingDirectory = setup.Dir.Path()});
    EXPECT_EQ(run.Status, 4);
    EXPECT_EQ(run.Err, "MSR_SET_CONFIGURATION did not apply properly.\n" + About +
                           "msrconfig-1.2: Error occurred while applying changes to the MSR "
                           "configuration.\n");
}
