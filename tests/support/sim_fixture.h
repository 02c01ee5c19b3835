// Test helpers: a simulated reader served on its own thread in a private port folder
// (which MSRCONFIG_PORT_DIR points at), and a port folder with no reader at all.
#pragma once

#include "support/temp_dir.h"
#include "tools/msr_sim/msr_simulator.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

class SimulatedReader {
  public:
    explicit SimulatedReader(MsrSimSettings settings = {});
    ~SimulatedReader();

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
    EmptyPortDir();
    const std::string& Path() const { return Folder.Path(); }

  private:
    TempDir Folder;
};
