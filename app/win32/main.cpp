// msrconfig.exe: reads, changes and stores the configuration of a magnetic stripe reader.
#include "app/command_line.h"
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "app/start_up.h"
#include "app/win32/config_window.h"
#include "app/win32/win32_user_dialogs.h"

#include <cstdio>
#include <windows.h>

namespace {

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
    if (const auto status = AnswerInformationRequest(
            text == "/?" ? "--help" : text,
            "From a console or script: start /wait msrconfig FILE,COM3,19200"))
        return *status;
    CConfigApp app;
    std::string error;
    if (!ApplyCommandLine(text, app, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        MessageBoxA(nullptr, error.c_str(), "Error!", MB_OK | MB_ICONEXCLAMATION);
        return ExitBadCommandLine;
    }
    app.ApplicationName = ProgramName();

    ConfigWindow window(instance);
    Win32UserDialogs dialogs;
    dialogs.SetOwner(window.Window());
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    return ExitStatus(app);
}
