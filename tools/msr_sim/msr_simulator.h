// A simulated reader on a pseudo-terminal. It publishes the terminal as COM<n> in a port
// folder, collects one command record at a time, echoes it and answers as a reader does.
// Faults can be switched on to test how the program copes with bad devices. The terminal
// starts as a real port does (echo, line editing, translation), until the program sets it.
#pragma once

#include "tools/msr_sim/sim_settings.h"

#include <cstdint>
#include <functional>
#include <string>

struct MsrSimEvent {
    bool FromProgram; // true: a record (or stray bytes) the reader received; false: its answer
    std::string Bytes;
};

class CMsrSimulator {
  public:
    explicit CMsrSimulator(MsrSimSettings settings);
    CMsrSimulator(const CMsrSimulator&) = delete;
    CMsrSimulator& operator=(const CMsrSimulator&) = delete;
    ~CMsrSimulator();

    // Opens the terminal and publishes the link; false with a reason on failure.
    bool Start(std::string& error);
    // Serves until Stop() or until the simulated unplug.
    void Run();
    // Safe from any thread or a signal handler.
    void Stop();
    // Closes the terminal and removes the link, if it is still ours (also on destruction).
    void Unplug();

    std::string LinkPath() const;
    std::string DevicePath() const { return Device; }

    // Called for every event as it happens (the program prints the transcript with it).
    std::function<void(const MsrSimEvent&)> OnEvent;

  private:
    void HandleRecord(const std::string& record);
    void Send(const std::string& bytes, bool mayDrop = false);
    bool PauseMs(int ms); // false when stopped meanwhile
    void Record(bool fromProgram, const std::string& bytes);
    void LoadState();
    void CountHolders();
    void SaveState();

    MsrSimSettings Settings;
    int Master = -1;
    int KeepAlive = -1; // our own handle on the terminal, so it stays up between connections
    int Watch = -1;     // inotify on the terminal: opens and closes by others
    int Holders = 0;    // descriptors others hold on it
    int StopPipe[2] = {-1, -1};
    std::string Device;
    std::string Pending;
    bool CommandMode = false;
    int RecordsAnswered = 0;
    std::uint32_t NoiseState = 12345;
    std::string Current;   // the configuration in use, ten hex digits
    std::string Committed; // the configuration in flash
};
