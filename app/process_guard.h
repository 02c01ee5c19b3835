// What the process needs before it touches a reader: standard streams that cannot be
// mistaken for the port, writes to closed streams that fail quietly, and stop signals
// that end the run through its normal path, so the reader is always released.
#pragma once

#include "msr/stop_request.h"

#include <string>

// POSIX: opens /dev/null on standard input, output and error where they are closed, so
// that no file or port opened later takes their place. Windows: a windowed program writes
// to the console it was started from, if its streams were not redirected.
void OpenStandardStreams();

// Writes the bytes to standard output as they are (no line-end translation on Windows) and
// flushes them. False when any of them could not be written, also when standard output was
// closed when the program started (the bytes went to /dev/null).
bool WriteStandardOutput(const std::string& bytes);

// SIGPIPE is ignored: a line written to a closed pipe is lost, and the run goes on.
// Every other signal that would end the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT, ...)
// requests a stop (msr/stop_request.h) and wakes the window, unless it was ignored when the
// program started. False when the handlers could not be installed.
bool InstallStopSignals();

// Readable once a stop has been requested by a signal; -1 before InstallStopSignals.
int StopNotification();

// The exit status for a run that was stopped by a signal: 128 + its number; 0 when none.
inline int StoppedExitStatus() {
    return StopSignal() > 0 ? 128 + StopSignal() : 0;
}
