// A simulated reader for one test: the msr-sim program serving a COM name (COM3 unless the
// settings name another) until the test ends, when its "run" file goes. What it received is
// read from its transcript.
#pragma once

#ifdef _WIN32
#include "support/win32/sim_launch.h"
#else
#include "support/linux/sim_launch.h"
#endif

#include <chrono>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class SimulatedReader {
  public:
    explicit SimulatedReader(MsrSimSettings settings = {}) {
        PrepareSimSettings(settings, Folder);
        std::vector<std::string> arguments = SimArguments(settings);
        Folder.Write("run", "");
        arguments.insert(arguments.end(), {"--transcript", SimPath(Folder.File("log")),
                                           "--while-exists", SimPath(Folder.File("run"))});
        Process = LaunchSim(arguments);
        if (!WaitFor("msr-sim: ", 10)) // it has published the port
            throw std::runtime_error("msr-sim did not start: " + Folder.Read("log"));
        PortFolder = settings.PortDir;
    }
    ~SimulatedReader() {
        std::remove(Folder.File("run").c_str());
        WaitFor("msr-sim: stopped\n", 10);
        ReapSim(Process);
    }

    const std::string& PortDir() const { return PortFolder; }
    // The records received, in order, as the transcript's "<- " lines give them.
    std::vector<std::string> ReceivedRecords() const {
        std::istringstream log(Folder.Read("log"));
        std::vector<std::string> found;
        for (std::string line; std::getline(log, line);)
            if (line.rfind("<- ", 0) == 0)
                found.push_back(UnescapeBytes(line.substr(3)));
        return found;
    }
    // Waits until the transcript shows `text`.
    bool WaitFor(const std::string& text, double seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (Folder.Read("log").find(text) == std::string::npos &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Folder.Read("log").find(text) != std::string::npos;
    }

  private:
    TempDir Folder;
    SimHandle Process{};
    std::string PortFolder;
};

// No reader behind any port name the tests use.
struct EmptyPortDir : TempDir {
    EmptyPortDir() { PrepareEmptyPorts(*this); }
};
