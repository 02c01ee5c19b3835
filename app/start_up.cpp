#include "app/start_up.h"

#include "app/command_line.h"
#include "app/process_guard.h"
#include "msr/port_list.h"
#include "msr/port_name.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

// A word the shell takes as it stands.
std::string ShellWord(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789_./:+,=@-") == std::string::npos)
        return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The COM names that reach a device now, then the serial devices that have no name yet,
// each with the command that names it. Names come from outside and are shown escaped; a
// command is offered only where every word of it can be typed as it is shown.
void ListPorts() {
    std::vector<std::string> taken = PortListNames();
    bool any = false;
    for (const std::string& name : taken) {
        const CPortInfo port = DescribePort(name);
        if (!port.Device.empty()) {
            std::printf("%-9s  %s\n", ShownText(name).c_str(), DeviceText(port).c_str());
            any = true;
        }
    }
    if (!any)
        std::printf("No COM name leads to a device.\n");
    const std::vector<CPortInfo> unnamed = UnnamedSerialDevices();
    if (unnamed.empty())
        return;
    const std::string folder = PortDirectory();
    std::printf("\nSerial devices without a COM name, each with the command that gives it one:\n");
    int next = 12;
    for (const CPortInfo& device : unnamed) {
        while (std::find(taken.begin(), taken.end(), "COM" + std::to_string(next)) != taken.end())
            ++next;
        taken.push_back("COM" + std::to_string(next));
        const std::string& target = IsShownAsIs(device.StableName) && !device.StableName.empty()
                                        ? device.StableName
                                        : device.Device;
        std::printf("%s\n", DeviceText(device).c_str());
        if (!IsShownAsIs(target) || !IsShownAsIs(folder)) {
            std::printf("  (no command: the device or the port folder has a name that cannot be "
                        "typed as shown)\n");
            continue;
        }
        std::error_code ignored;
        const std::string prepare = std::filesystem::is_directory(folder, ignored)
                                        ? ""
                                        : "mkdir -p " + ShellWord(folder) + " && ";
        std::printf("  %sln -s %s %s\n", prepare.c_str(), ShellWord(target).c_str(),
                    ShellWord(folder + "/" + taken.back()).c_str());
    }
}

} // namespace

std::optional<int> AnswerInformationRequest(const std::string& commandLine,
                                            const char* platformNote) {
    if (commandLine == "--help" || commandLine == "-h") {
        std::printf(
            "Usage: msrconfig                      open the configuration window\n"
            "       msrconfig FILE[,PORT[,BAUD]]   apply a configuration file to a reader and end\n"
            "       msrconfig --list-ports         show which COM names reach a device\n"
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
    if (commandLine == "--list-ports") {
        ListPorts();
        return ExitOk;
    }
    if (commandLine == "--version") {
        std::printf("msrconfig %s\n", MSRCONFIG_VERSION);
        return ExitOk;
    }
    return std::nullopt;
}

int ExitStatus(const CConfigApp& app) {
    if (StopSignal())
        return StoppedExitStatus();
    return app.BatchMode ? app.Status : ExitOk;
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
