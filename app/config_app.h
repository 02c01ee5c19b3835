// The application object: the batch arguments and options of this run, the program's name
// for message captions, and the exit status and record that tell a script what a batch run
// did.
#pragma once

#include "app/command_line.h"
#include "app/run_report.h"

#include <cstdint>
#include <string>

// Exit statuses of the program; a run ended by signal n ends with 128 + n.
enum ExitStatus : int {
    ExitOk = 0,
    ExitBadCommandLine = 1,
    ExitLoadFailed = 2,
    ExitNotClaimed = 3,
    ExitNotAccepted = 4,
    ExitDiffers = 5, // the reader holds something else than the file
};

class CConfigApp {
  public:
    std::uint8_t BatchMode = 0;
    std::string BatchPort;
    std::string BatchBaud;
    std::string BatchFile;

    CommandOptions Options;

    // The executable's file name without its extension.
    std::string ApplicationName = "msrconfig";
    // Set by the batch run's steps; stays ExitOk for interactive use.
    int Status = ExitOk;
    // What the batch run did, filled in as it goes.
    CRunReport Report;
};
