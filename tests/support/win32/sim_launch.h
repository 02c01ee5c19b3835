// msr-sim under Wine: the Linux program (MSRCONFIG_SIM), which Wine starts like any other,
// publishing its terminal as the prefix's COM port. Wine gives no handle on a Linux
// process, so a shell beside it keeps its process number and marks its end.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/sim_settings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <windows.h>

using SimHandle = int;

inline void PrepareEmptyPorts(const TempDir&) {} // no simulator, so no COM link

inline void PrepareSimSettings(MsrSimSettings& settings, const TempDir&) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix || !std::getenv("MSRCONFIG_SIM"))
        throw std::runtime_error("WINEPREFIX and MSRCONFIG_SIM name the prefix and msr-sim");
    settings.PortDir = std::string(prefix) + "/dosdevices"; // where Wine looks up "com3"
    std::transform(settings.PortName.begin(), settings.PortName.end(), settings.PortName.begin(),
                   ::tolower);
}

inline std::string SimPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    const std::wstring wide(path.begin(), path.end());
    char* unix = toUnix ? toUnix(wide.c_str()) : nullptr;
    if (!unix)
        throw std::runtime_error("not under Wine: " + path);
    const std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

inline void LaunchLinux(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        line += " \"";
        for (char c : arg)
            line += c == '"' ? std::string("\\\"") : std::string(1, c);
        line += '"';
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data() + 1, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        throw std::runtime_error("cannot start " + argv.front());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

inline SimHandle StartSim(const std::vector<std::string>& arguments, const TempDir& folder) {
    std::vector<std::string> argv = {
        "/bin/sh", "-c",
        "exec </dev/null >/dev/null 2>&1; cd \"$0\" || exit; \"$@\" >log & echo $! >pid; wait; "
        ": >done",
        SimPath(folder.Path()), std::getenv("MSRCONFIG_SIM")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    LaunchLinux(argv);
    return 0;
}

inline void StopSim(SimHandle, const TempDir& folder) {
    const std::string pid = folder.Read("pid");
    LaunchLinux({"/bin/kill", pid.substr(0, pid.find('\n'))});
    for (int i = 0;
         i < 200 && GetFileAttributesA(folder.File("done").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}
