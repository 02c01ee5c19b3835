// The real programs as child processes, in an environment without any display, with what
// they print collected; a hung program is killed so that it fails its test, not the run.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int Status = -1; // exit status; 1000 when the program died
    std::string Out;
    std::string Err;
    double Seconds = 0;
};

// Where the child's standard output and error go: captured, both into one (as `>log 2>&1`
// keeps them, in Out), closed, or a pipe whose reading end is already closed.
enum class Streams { Captured, Merged, Closed, BrokenPipe };

// Variables to set in the child's environment; an empty value unsets one.
using Variables = std::map<std::string, std::string>;

// How the child starts beside its arguments and environment.
struct ChildSetup {
    Streams Output = Streams::Captured;
    // Folders the child sees in place of others (a fake /dev over the real one), in a mount
    // namespace of its own; needs root.
    std::vector<std::pair<std::string, std::string>> Mounts = {};
    int IgnoredSignal = 0; // ignored from the start, as nohup ignores SIGHUP
    unsigned User = 0;     // run as this user (and its own group) instead of root
    std::string WorkingDirectory = {};
};

class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const Variables& variables,
                 const ChildSetup& setup = {});
    void Signal(int signalNumber);
    ProcessResult Wait(double timeoutSeconds = 120);

  private:
    QProcess Process;
    QElapsedTimer Clock;
};

ProcessResult RunProgram(const std::vector<std::string>& argv, const Variables& variables,
                         double timeoutSeconds = 120, const ChildSetup& setup = {});
