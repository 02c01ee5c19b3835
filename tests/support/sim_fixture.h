// Test helpers: a simulated reader served on its own thread in a private port folder
// (which MSRCONFIG_PORT_DIR points at), and a port folder with no reader at all.
#pragma once

#ifdef _WIN32
#include "support/wine_sim_fixture.h"
#else

#include "support/temp_dir.h"
#include "tools/msr_sim/msr_simulator.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

class SimulatedReader {
  public:
    explicit SimulatedReader(MsrSimSettings settings = {}) {
        settings.PortDir = Folder.Path();
        setenv("MSRCONFIG_PORT_DIR", Folder.Path().c_str(), 1);
        Simulator = std::make_unique<CMsrSimulator>(settings);
        std::string error;
        if (!Simulator->Start(error))
            throw std::runtime_error("simulator: " + error);
        Worker = std::thread([this] { Simulator->Run(); });
    }
    ~SimulatedReader() {
        Simulator->Stop();
        Worker.join();
    }

    CMsrSimulator& Sim() { return *Simulator; }
    const std::string& PortDir() const { return Folder.Path(); }

  private:
    TempDir Folder;
    std::unique_ptr<CMsrSimulator> Simulator;
    std::thread Worker;
};

// Points MSRCONFIG_PORT_DIR at an empty folder, so no port name reaches a real device.
class EmptyPortDir {
  public:
    EmptyPortDir() { setenv("MSRCONFIG_PORT_DIR", Folder.Path().c_str(), 1); }
    const std::string& Path() const { return Folder.Path(); }

  private:
    TempDir Folder;
};

#endif
