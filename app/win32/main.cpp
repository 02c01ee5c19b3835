// msrconfig.exe: reads, changes and stores the configuration of a magnetic stripe reader.
#include "app/command_line.h"
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "app/win32/config_window.h"
#include "app/win32/win32_user_dialogs.h"

#include <cstdio>
#include <windows.h>

namespace {

const char Usage[] =
    "Usage: msrconfig                      open the configuration window\n"
    "       msrconfig FILE[,PORT[,BAUD]]   apply a configuration file to a reader and end\n"
    "       msrconfig --help | --version\n"
    "\n"
    "PORT is a port name such as COM3 (the default), BAUD a baud rate such as 19200 (the\n"
    "default). From a console or script: start /wait msrconfig FILE,COM3,19200\n"
    "Exit status: 0 applied and committed (or interactive use), 1 bad command line,\n"
    "2 file not loaded, 3 no reader claimed, 4 configuration not accepted or not committed.\n";

// The executable's file name without its extension.
std::string ProgramName() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length);
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    OpenStandardStreams();
    InstallStopSignals();
    // The command line as the system hands it: quotation marks are the user's, and kept.
    const std::string text = CommandLineAfterProgramName(GetCommandLineA());
    if (text == "--help" || text == "-h" || text == "/?") {
        std::fputs(Usage, stdout);
        return ExitOk;
    }
    if (text == "--version") {
        std::printf("msrconfig %s\n", MSRCONFIG_VERSION);
        return ExitOk;
    }

    CConfigApp app;
    BatchArguments batch;
    std::string error;
    if (!ParseCommandLine(text, batch, error)) {
        std::fprintf(stderr, "msrconfig: %s\n", error.c_str());
        MessageBoxA(nullptr, ("msrconfig: " + error).c_str(), "Error!", MB_OK | MB_ICONEXCLAMATION);
        return ExitBadCommandLine;
    }
    app.BatchMode = batch.BatchMode ? 1 : 0;
    app.BatchFile = batch.BatchFile;
    app.BatchPort = batch.BatchPort;
    app.BatchBaud = batch.BatchBaud;
    app.ApplicationName = ProgramName();

    ConfigWindow window(instance);
    Win32UserDialogs dialogs;
    dialogs.SetOwner(window.Window());
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    if (StopSignal())
        return StoppedExitStatus();
    return app.BatchMode ? app.Status : ExitOk;
}
