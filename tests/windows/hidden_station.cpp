// Runs a program in a window station of its own that nobody can see, as a deployment tool
// or a task scheduled to run whether the user is logged on or not starts one, and ends with
// its exit status, or 999 when it has not ended within the seconds given.
// Usage: hidden_station SECONDS PROGRAM [ARGUMENT]
#include <cwchar>
#include <string>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 998;
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    if (argc > 3)
        commandLine += L" " + std::wstring(argv[3]);
    HWINSTA station = CreateWindowStationW(L"msrconfig-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
    HWINSTA own = GetProcessWindowStation();
    if (!station || !SetProcessWindowStation(station) ||
        !CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr) ||
        !SetProcessWindowStation(own))
        return 997;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = const_cast<wchar_t*>(L"msrconfig-hidden\\Default");
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return 996;
    const DWORD limit = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10) * 1000);
    if (WaitForSingleObject(process.hProcess, limit) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 999);
        return 999;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
