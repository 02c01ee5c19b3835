// The simulated reader for the Windows build under Wine: the Linux msr-sim (MSRCONFIG_SIM),
// started through Wine, which runs Linux programs too, and published as the prefix's COM
// port. It keeps the in-process fixture's interface, reading what it needs from the
// simulator's transcript and state file.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/sim_settings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

class SimulatedReader {
  public:
    explicit SimulatedReader(MsrSimSettings settings = {}) : Initial(settings.Configuration) {
        const char* prefix = std::getenv("WINEPREFIX");
        const char* sim = std::getenv("MSRCONFIG_SIM");
        if (!prefix || !sim)
            throw std::runtime_error("WINEPREFIX and MSRCONFIG_SIM name the prefix and msr-sim");
        settings.PortDir = std::string(prefix) + "/dosdevices"; // where Wine looks up "com3"
        std::transform(settings.PortName.begin(), settings.PortName.end(),
                       settings.PortName.begin(), ::tolower);
        settings.StateFile = UnixPath(Folder.Path()) + "/state";
        std::vector<std::string> argv = {
            "/bin/sh", "-c",
            "exec </dev/null >/dev/null 2>&1; cd \"$0\" || exit; \"$@\" >log & echo $! >pid; "
            "wait; : >done",
            UnixPath(Folder.Path()), sim};
        for (const std::string& arg : SimArguments(settings))
            argv.push_back(arg);
        Launch(argv);
        if (!Await([&] { return Folder.Read("log").find('\n') != std::string::npos; }))
            throw std::runtime_error("msr-sim did not start");
    }
    ~SimulatedReader() {
        Launch({"/bin/kill", Folder.Read("pid").substr(0, Folder.Read("pid").find('\n'))});
        Await([&] {
            return GetFileAttributesA(Folder.File("done").c_str()) != INVALID_FILE_ATTRIBUTES;
        });
    }

    SimulatedReader& Sim() { return *this; }
    std::vector<std::string> ReceivedRecords() const { return Lines("<- "); }
    int CommitCount() const {
        const auto answers = Lines("-> ");
        return static_cast<int>(std::count(answers.begin(), answers.end(), "."));
    }
    CMsrConfiguration Committed() const {
        CMsrConfiguration stored = Initial;
        ParseSimConfiguration(Folder.Read("state"), stored);
        return stored;
    }

  private:
    static std::string UnixPath(const std::string& path) {
        using ToUnix = char*(CDECL*)(const wchar_t*);
        const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
        std::wstring wide(path.begin(), path.end());
        char* unix = toUnix ? toUnix(wide.c_str()) : nullptr;
        if (!unix)
            throw std::runtime_error("not under Wine: " + path);
        std::string result = unix;
        HeapFree(GetProcessHeap(), 0, unix);
        return result;
    }
    static void Launch(const std::vector<std::string>& argv) {
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
    template <typename Condition> static bool Await(Condition done) {
        for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if (done())
                return true;
        return false;
    }
    // The transcript's lines that start with `mark`, without it.
    std::vector<std::string> Lines(const std::string& mark) const {
        std::istringstream log(Folder.Read("log"));
        std::vector<std::string> found;
        for (std::string line; std::getline(log, line);)
            if (line.compare(0, mark.size(), mark) == 0)
                found.push_back(UnescapeBytes(line.substr(mark.size())));
        return found;
    }

    TempDir Folder;
    CMsrConfiguration Initial;
};

// No simulator runs, so Wine's COM3 leads nowhere.
class EmptyPortDir {
  public:
    EmptyPortDir() {}
};
