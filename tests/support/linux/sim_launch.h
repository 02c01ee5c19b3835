// msr-sim as a child process, with a port folder of its own that MSRCONFIG_PORT_DIR names
// for the code under test.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/sim_settings.h"

#include <cstdlib>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

using SimHandle = pid_t;

inline void PrepareEmptyPorts(const TempDir& folder) {
    setenv("MSRCONFIG_PORT_DIR", folder.Path().c_str(), 1);
}

inline void PrepareSimSettings(MsrSimSettings& settings, const TempDir& folder) {
    settings.PortDir = folder.File("ports");
    setenv("MSRCONFIG_PORT_DIR", settings.PortDir.c_str(), 1);
}

inline std::string SimPath(const std::string& path) {
    return path;
}

inline SimHandle LaunchSim(std::vector<std::string> arguments) {
    std::vector<char*> argv{const_cast<char*>(MSR_SIM_BIN)};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, MSR_SIM_BIN, nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " MSR_SIM_BIN);
    return pid;
}

inline void ReapSim(SimHandle pid) {
    waitpid(pid, nullptr, 0);
}
