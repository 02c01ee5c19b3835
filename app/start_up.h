// What each front-end's main does before any window: answers --help and --version, and
// turns the command line into the application's batch arguments.
#pragma once

#include "app/config_app.h"

#include <optional>
#include <string>

// The exit status when the command line asked for help or the version (printed on standard
// output); none otherwise. `platformNote` is the usage text's line about batch runs here.
std::optional<int> AnswerInformationRequest(const std::string& commandLine,
                                            const char* platformNote);

// The process's exit status once the window (or the batch run without one) has ended:
// 128 + n after signal n, the batch run's status, else 0.
int ExitStatus(const CConfigApp& app);

// Sets the batch arguments; false for a refused command line, with the one-line reason
// ("msrconfig: ...") in `error`.
bool ApplyCommandLine(const std::string& commandLine, CConfigApp& app, std::string& error);
