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

// False where no person can answer a box: a service in session 0, or a window station that is
// not shown (a scheduled task run whether the user is logged on or not, a deployment tool).
bool SomeoneCanSeeWindows() {
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0)
        return false;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return !GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                      &needed) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    OpenStandardStreams();
    InstallStopSignals();
    CConfigApp app;
    FrontEnd here;
    here.PersonPresent = SomeoneCanSeeWindows();
    here.BatchNote = "From a console or script: start /wait msrconfig FILE,COM3,19200";
    here.NoWindowNote = "msrconfig: nobody can see a window here (a service, or a window "
                        "station that is not shown); give a FILE to apply.\n";
    // The command line as the system hands it: quotation marks are the user's, and kept.
    std::string text = CommandLineAfterProgramName(GetCommandLineA());
    if (text == "/?")
        text = "--help";
    if (const auto status = StartWithoutWindow(text, here, app))
        return *status;
    app.ApplicationName = ProgramName();

    ConfigWindow window(instance);
    Win32UserDialogs dialogs;
    dialogs.SetOwner(window.Window());
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    return FinishRun(app);
}
