// msr-sim under Wine: the Linux program (MSRCONFIG_SIM), which Wine starts like any other,
// publishing its terminal as the prefix's COM port. Wine gives no handle on a Linux
// process; its transcript says when it has ended.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/sim_settings.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
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

inline SimHandle LaunchSim(const std::vector<std::string>& arguments) {
    std::string line = std::getenv("MSRCONFIG_SIM");
    for (const std::string& arg : arguments) {
        line += " \"";
        for (char c : arg)
            line += c == '"' ? std::string("\\\"") : std::string(1, c);
        line += '"';
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        throw std::runtime_error("cannot start " + line);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

inline void ReapSim(SimHandle) {}
