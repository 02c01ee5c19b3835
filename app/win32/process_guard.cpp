#include "app/process_guard.h"

#include "msr/stop_request.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        RequestStop(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        RequestStop(SIGTERM);
        return TRUE;
    default:
        return FALSE;
    }
}

// raise() and the C library's own signals take the same normal path.
void OnSignal(int signalNumber) {
    RequestStop(signalNumber);
    std::signal(signalNumber, OnSignal);
}

bool Usable(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

void OpenStandardStreams() {
    // A windowed program has no console of its own: its lines go to the console it was started
    // from, if any, unless its streams were redirected; otherwise they are lost.
    if (Usable(STD_OUTPUT_HANDLE) && Usable(STD_ERROR_HANDLE))
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!Usable(STD_OUTPUT_HANDLE))
        std::freopen("CONOUT$", "w", stdout);
    if (!Usable(STD_ERROR_HANDLE))
        std::freopen("CONOUT$", "w", stderr);
}

bool WriteStandardOutput(const std::string& bytes) {
    // The bytes carry their own line ends: text mode would turn CR LF into CR CR LF.
    if (!Usable(STD_OUTPUT_HANDLE) || _setmode(_fileno(stdout), _O_BINARY) == -1)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    const bool flushed = std::fflush(stdout) == 0 && written && !std::ferror(stdout);
    _setmode(_fileno(stdout), _O_TEXT);
    return flushed;
}

bool InstallStopSignals() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

int StopNotification() {
    return -1; // the window looks at the request on a timer instead
}
