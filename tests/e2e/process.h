// Runs the real programs as child processes with a chosen environment and collects what
// they print, with a time limit so a hung program fails the test instead of the run.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct ProcessResult {
    int Status = -1; // exit status, or 128 + signal
    std::string Out;
    std::string Err;
    double Seconds = 0;
};

// The test's environment without any display, with `changes` applied (empty value: unset).
std::vector<std::string> Environment(const std::map<std::string, std::string>& changes);

std::string ReadFile(const std::string& path);

// Where the child's standard output and error go: captured, closed, or a pipe whose
// reading end is already closed.
enum class Streams { Captured, Closed, BrokenPipe };

// A program running in the background until Wait.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 Streams streams = Streams::Captured);
    void Signal(int signalNumber);
    // Killed when it outlives the timeout, so a hung program fails the test, not the run.
    ProcessResult Wait(double timeoutSeconds = 120);

  private:
    std::string Folder;
    pid_t Pid = -1;
    double Started = 0;
};

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         double timeoutSeconds = 120);

// msr-sim in the background, serving one port folder until stopped.
class SimProcess {
  public:
    SimProcess(const std::string& portDir, const std::vector<std::string>& options);
    ~SimProcess();
    // Stops it and returns the records it received ("<- " lines), in order.
    std::vector<std::string> StopAndCollectRecords();
    // Waits until it has received `record`; false after the timeout.
    bool WaitForRecord(const std::string& record, double timeoutSeconds = 30) const;

  private:
    std::string ReadLog() const;

    std::string LogPath;
    pid_t Pid = -1;
};
