// Shared pieces of the end-to-end tests: a port folder with its simulated reader, a
// configuration file, and a batch run of the real program against them.
#pragma once

#include "process.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>
#include <vector>

inline const std::string Header = "ZYN MSR Configuration File\n";
inline const std::string NotClaimedMessage =
    "Error!: The MSR has not been claimed by the application.  Please be sure the COM port is "
    "not claimed by other applications.\n";
// The run's configuration file, named relative to its folder, and its message lines.
inline const std::string ConfigFile = "config.txt";
inline const std::string About = "COM3 config.txt: ";

struct BatchSetup {
    TempDir Dir;
    std::unique_ptr<SimulatedReader> Sim;

    explicit BatchSetup(const std::vector<std::string>& simOptions = {}, bool withSim = true) {
        if (withSim)
            Sim = std::make_unique<SimulatedReader>(MsrSimSettings{}, simOptions);
        Dir.Write(ConfigFile, Header + "5d%;+?\n");
    }
    // The reader's port folder, or one where no port name leads anywhere.
    std::string PortDir() const { return Sim ? Sim->PortDir() : Dir.Path(); }
    std::string CommandLine() const { return ConfigFile + ",COM3,19200"; }
    // The program run in the setup's folder, so that its lines name the file as given.
    ProcessResult Run(std::vector<std::string> arguments = {}, ChildSetup child = {},
                      Variables variables = {}) {
        if (arguments.empty())
            arguments = {CommandLine()};
        arguments.insert(arguments.begin(), MSRCONFIG_BIN);
        child.WorkingDirectory = Dir.Path();
        variables["MSRCONFIG_PORT_DIR"] = PortDir();
        return RunProgram(arguments, variables, 120, child);
    }
    std::vector<std::string> Records() { return Sim->ReceivedRecords(); }
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
