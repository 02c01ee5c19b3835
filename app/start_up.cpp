#include "app/start_up.h"

#include "app/command_line.h"

#include <cstdio>

std::optional<int> AnswerInformationRequest(const std::string& commandLine,
                                            const char* platformNote) {
    if (commandLine == "--help" || commandLine == "-h") {
        std::printf(
            "Usage: msrconfig                      open the configuration window\n"
            "       msrconfig FILE[,PORT[,BAUD]]   apply a configuration file to a reader and end\n"
            "       msrconfig --help | --version\n"
            "\n"
            "PORT is a port name such as COM3 (the default), BAUD a baud rate such as 19200 "
            "(the\n"
            "default). %s\n"
            "Exit status: 0 applied and committed (or interactive use), 1 bad command line,\n"
            "2 file not loaded, 3 no reader claimed, 4 configuration not accepted or not "
            "committed.\n",
            platformNote);
        return ExitOk;
    }
    if (commandLine == "--version") {
        std::printf("msrconfig %s\n", MSRCONFIG_VERSION);
        return ExitOk;
    }
    return std::nullopt;
}

bool ApplyCommandLine(const std::string& commandLine, CConfigApp& app, std::string& error) {
    BatchArguments batch;
    if (!ParseCommandLine(commandLine, batch, error)) {
        error = "msrconfig: " + error;
        return false;
    }
    app.BatchMode = batch.BatchMode ? 1 : 0;
    app.BatchFile = batch.BatchFile;
    app.BatchPort = batch.BatchPort;
    app.BatchBaud = batch.BatchBaud;
    return true;
}
