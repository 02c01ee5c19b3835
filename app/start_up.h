// What each front-end's main does before it needs a window: takes the options and the batch
// arguments from the command line, answers --help, --version and --list-ports, runs the
// script verbs, and runs the batch run itself where nobody can answer a box; and what it
// does once the window has ended.
#pragma once

#include "app/config_app.h"

#include <optional>
#include <string>

// What the front-end knows of where it runs.
struct FrontEnd {
    // Someone can see and answer a window: a display (Linux), a visible window station
    // outside session 0 (Windows).
    bool PersonPresent = true;
    // Linux: opens the display the window will use, false when none can be reached; asked
    // only when the window may be needed.
    bool (*OpenDisplay)() = nullptr;
    // The usage text's line about batch runs here.
    const char* BatchNote = "";
    // Why the window cannot open, for a start without a batch run where nobody is present.
    const char* NoWindowNote = "";
    // Windows: a batch text or a file wholly in quotation marks stands for what is inside,
    // "/?" and its kin ask for the usage, and paths may be long.
    bool UnquotePaths = false;
    bool HelpWords = false;
    std::size_t MaxFileLength = ::MaxFileLength;
};

// The exit status when the run is over, or none when the window is to run next, with `app`
// set up for it (interactive use, or a batch run a person can answer).
std::optional<int> StartWithoutWindow(const std::string& commandLine, const FrontEnd& frontEnd,
                                      CConfigApp& app);

// Once the run is over: prints the JSON record if one was asked for; gives the exit status:
// 128 + n after signal n, the batch run's or the verb's status, else 0.
int FinishRun(CConfigApp& app);
