// What the Windows tests ask of the system, under Wine:
//   win_probe hidden SECONDS PROGRAM [ARGUMENT]
//       runs a program in a window station of its own that nobody can see, as a deployment
//       tool or a task scheduled to run whether the user is logged on or not starts one, and
//       ends with its exit status, or 999 when it has not ended within the seconds given
//   win_probe version FILE    prints the version resource's texts, one "name=value" a line
//   win_probe manifest FILE   prints the application manifest
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include <windows.h>

namespace {

int Hidden(int argc, wchar_t** argv) {
    std::wstring commandLine = L"\"" + std::wstring(argv[3]) + L"\"";
    if (argc > 4)
        commandLine += L" " + std::wstring(argv[4]);
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
    const DWORD limit = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000);
    if (WaitForSingleObject(process.hProcess, limit) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 999);
        return 999;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}

int Version(const wchar_t* file) {
    std::vector<BYTE> data(GetFileVersionInfoSizeW(file, nullptr));
    if (data.empty() || !GetFileVersionInfoW(file, 0, DWORD(data.size()), data.data()))
        return 1;
    for (const wchar_t* name :
         {L"CompanyName", L"FileDescription", L"FileVersion", L"LegalCopyright",
          L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        wchar_t* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data.data(),
                           (L"\\StringFileInfo\\040904b0\\" + std::wstring(name)).c_str(),
                           reinterpret_cast<void**>(&value), &length))
            std::printf("%ls=%ls\n", name, value);
    }
    return 0;
}

int Manifest(const wchar_t* file) {
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found =
        module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    if (!found)
        return 1;
    std::fwrite(LockResource(LoadResource(module, found)), 1, SizeofResource(module, found),
                stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 2 ? argv[1] : L"";
    if (mode == L"hidden" && argc > 3)
        return Hidden(argc, argv);
    return mode == L"version" ? Version(argv[2]) : mode == L"manifest" ? Manifest(argv[2]) : 998;
}
