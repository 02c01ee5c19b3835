// The application object: the batch arguments of this run, the program's name for message
// captions, and the exit status that tells a script whether a batch run worked.
#pragma once

#include <cstdint>
#include <string>

// Exit statuses of the program; a run ended by signal n ends with 128 + n.
enum ExitStatus : int {
    ExitOk = 0,
    ExitBadCommandLine = 1,
    ExitLoadFailed = 2,
    ExitNotClaimed = 3,
    ExitNotAccepted = 4,
};

class CConfigApp {
  public:
    std::uint8_t BatchMode = 0;
    std::string BatchPort;
    std::string BatchBaud;
    std::string BatchFile;

    // The executable's file name without its extension.
    std::string ApplicationName = "msrconfig";
    // Set by the batch run's steps; stays ExitOk for interactive use.
    int Status = ExitOk;
};
