// msr-sim as a child process, with a port folder of its own that MSRCONFIG_PORT_DIR names
// for the code under test.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/sim_settings.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
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

inline SimHandle StartSim(std::vector<std::string> arguments, const TempDir& folder) {
    arguments.insert(arguments.begin(), MSR_SIM_BIN);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string log = folder.File("log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, MSR_SIM_BIN, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error)
        throw std::runtime_error("cannot start " MSR_SIM_BIN);
    return pid;
}

inline void StopSim(SimHandle pid, const TempDir&) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}
