// A request to end the program soon but through its normal path, made by a signal (or a
// console's close event): the running exchange or wait ends early, no new command and no
// further claim attempt starts, and only the release still goes out to the reader.
#pragma once

// Safe to call from a signal handler. The first request's signal number is kept.
void RequestStop(int signalNumber);
bool StopRequested();
// The signal number of the first request, 0 when none was made.
int StopSignal();
// Forgets a request (for tests that request one on purpose).
void ClearStopRequest();
