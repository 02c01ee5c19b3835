#include "support/sim_fixture.h"

#include "msr/msr_log.h"

#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace {
std::mutex logLock;
std::vector<std::string> logLines;

void CaptureLine(LogStream stream, const char* line) {
    std::lock_guard<std::mutex> guard(logLock);
    logLines.push_back((stream == LogStream::Output ? "out: " : "err: ") + std::string(line));
}
} // namespace

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

LogCapture::LogCapture() {
    std::lock_guard<std::mutex> guard(logLock);
    logLines.clear();
    SetLogSink(CaptureLine);
}

LogCapture::~LogCapture() {
    SetLogSink(nullptr);
}

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard<std::mutex> guard(logLock);
    return logLines;
}

EmptyPortDir::EmptyPortDir() {
    setenv("MSRCONFIG_PORT_DIR", Folder.Path().c_str(), 1);
}
