// msrconfig.exe, and its console twin msrconfig.com: reads, changes and stores the
// configuration of a magnetic stripe reader.
#include "app/command_line.h"
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "app/start_up.h"
#include "app/win32/config_window.h"
#include "app/win32/win32_user_dialogs.h"
#include "msr/win32/wide_text.h"

#include <cstdio>
#include <windows.h>

namespace {

// The installer and uninstaller look for it, and wait while msrconfig runs.
constexpr wchar_t RunningMutex[] = L"Global\\msrconfig-running";

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The executable's file name without its extension: "My Tool.v2.exe" is "My Tool.v2".
std::string ProgramName() {
    std::wstring name = ProgramPath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return Utf8(name.substr(0, name.rfind(L'.')));
}

// False where no person can answer a box: a service in session 0, or a window station that is
// not shown (a scheduled task run whether the user is logged on or not, a deployment tool).
bool SomeoneCanSeeWindows() {
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0)
        return false;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return !GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                      &needed) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

#ifdef MSRCONFIG_CONSOLE
// The console twin given no arguments: the window is msrconfig.exe's, which it starts beside
// itself without waiting, as cmd does for a windowed program.
int StartWindowedTwin() {
    std::wstring program = ProgramPath();
    program = program.substr(0, program.rfind(L'.')) + L".exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::fprintf(stderr, "msrconfig: cannot start %s\n", Utf8(program).c_str());
        return ExitBadCommandLine;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ExitOk;
}

// Lines in UTF-8 show as such in the console; its code page is given back at the end.
UINT consoleCodePage = 0;
void RestoreConsoleCodePage() {
    SetConsoleOutputCP(consoleCodePage);
}
#endif

int Run(HINSTANCE instance) {
    // Held until the process ends.
    [[maybe_unused]] HANDLE running = CreateMutexW(nullptr, FALSE, RunningMutex);
    OpenStandardStreams();
    InstallStopSignals();
    CConfigApp app;
    app.ApplicationName = ProgramName();
    FrontEnd here;
    here.PersonPresent = SomeoneCanSeeWindows();
    here.UnquotePaths = true;
    here.HelpWords = true;
    here.MaxFileLength = MaxLongFileLength;
#ifdef MSRCONFIG_CONSOLE
    here.BatchNote = "In a console, msrconfig runs msrconfig.com, which waits and returns the "
                     "status.";
    if ((consoleCodePage = GetConsoleOutputCP()) != 0) {
        SetConsoleOutputCP(CP_UTF8);
        std::atexit(RestoreConsoleCodePage);
    }
#else
    here.BatchNote = "From a console, run msrconfig.com (typed as msrconfig), which waits.";
#endif
    here.NoWindowNote = "msrconfig: nobody can see a window here (a service, or a window "
                        "station that is not shown); give a FILE to apply.\n";
    // The command line as the system hands it: quotation marks are the user's.
    std::string text = CommandLineAfterProgramName(Utf8(GetCommandLineW()));
    if (text == "/?")
        text = "--help";
#ifdef MSRCONFIG_CONSOLE
    if (text.find_first_not_of(" \t") == std::string::npos)
        return StartWindowedTwin();
#endif
    if (const auto status = StartWithoutWindow(text, here, app))
        return *status;

    ConfigWindow window(instance);
    Win32UserDialogs dialogs(window.Window());
    CConfigDlg dlg(app, window, dialogs);
    window.SetHandler(&dlg);
    dlg.RunModal();
    return FinishRun(app);
}

} // namespace

#ifdef MSRCONFIG_CONSOLE
int wmain() {
    return Run(GetModuleHandleW(nullptr));
}
#else
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return Run(instance);
}
#endif
