// Shared pieces of the end-to-end tests: a port folder with its simulated reader, a
// configuration file, and a batch run of the real program against them.
#pragma once

#include "process.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>
#include <vector>

inline const std::string Header = "ZYN MSR Configuration File\n";
inline const std::string NotClaimedLine =
    "Error!: The MSR has not been claimed by the application.  Please be sure the COM port is "
    "not claimed by other applications.\n";

struct BatchSetup {
    TempDir Dir;
    std::unique_ptr<SimProcess> Sim;

    explicit BatchSetup(const std::vector<std::string>& simOptions = {"--port", "COM3"},
                        bool withSim = true) {
        std::vector<std::string> options = simOptions;
        options.insert(options.end(), {"--state", Dir.File("flash")});
        if (withSim)
            Sim = std::make_unique<SimProcess>(Dir.Path(), options);
        Dir.Write("config.txt", Header + "5d%;+?\n");
    }

    ProcessResult Run(const std::string& commandLine, double timeout = 120) {
        return RunProgram({MSRCONFIG_BIN, commandLine}, {{"MSRCONFIG_PORT_DIR", Dir.Path()}},
                          timeout);
    }
    ProcessResult RunFile(const std::string& port = "COM3", double timeout = 120) {
        return Run(Dir.File("config.txt") + "," + port + ",19200", timeout);
    }
    std::vector<std::string> Records() { return Sim->StopAndCollectRecords(); }
    std::string Flash() const { return Dir.Read("flash"); }
};

template <typename Sequence> Sequence Repeat(const Sequence& part, int times) {
    Sequence all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
inline std::string Repeat(const char* part, int times) {
    return Repeat(std::string(part), times);
}
