#include "support/sim_fixture.h"

#include <cstdlib>
#include <stdexcept>

SimulatedReader::SimulatedReader(MsrSimSettings settings) {
    settings.PortDir = Folder.Path();
    if (settings.PortName.empty())
        settings.PortName = "COM3";
    setenv("MSRCONFIG_PORT_DIR", Folder.Path().c_str(), 1);
    Simulator = std::make_unique<CMsrSimulator>(settings);
    std::string error;
    if (!Simulator->Start(error))
        throw std::runtime_error("simulator: " + error);
    Worker = std::thread([this] { Simulator->Run(); });
}

SimulatedReader::~SimulatedReader() {
    Simulator->Stop();
    Worker.join();
}

EmptyPortDir::EmptyPortDir() {
    setenv("MSRCONFIG_PORT_DIR", Folder.Path().c_str(), 1);
}
