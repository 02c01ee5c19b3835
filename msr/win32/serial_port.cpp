#include "msr/serial_port.h"

#include "msr/win32/wide_text.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <windows.h>

namespace {
HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The system's own words for an error, on one line.
std::string SystemErrorText(DWORD error) {
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, 512, nullptr);
    std::string line = Utf8(text);
    while (!line.empty() &&
           (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '.'))
        line.pop_back(); // the cause line ends the sentence itself
    return line.empty() ? "error " + std::to_string(error) : line;
}
} // namespace

std::intptr_t CSerialPort::OpenDevice(const std::string& device, std::int32_t baud,
                                      CClaimFailure& failure, std::string& found) {
    HANDLE port = CreateFileW(Wide(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A port another program holds is refused as "access denied".
        const ClaimCause cause =
            error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? ClaimCause::Busy
            : error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                    error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
                    error == ERROR_DEV_NOT_EXIST || error == ERROR_BAD_UNIT
                ? ClaimCause::NoDevice
                : ClaimCause::NoPermission;
        failure = {cause, device.substr(4) + ": " + SystemErrorText(error)};
        return InvalidHandle;
    }

    // A refused rate (0 or less) leaves the speed as found; the rest is still applied.
    char settings[64];
    if (baud > 0)
        std::snprintf(settings, sizeof settings, "baud=%li parity=N data=8 stop=1",
                      static_cast<long>(baud));
    else
        std::snprintf(settings, sizeof settings, "parity=N data=8 stop=1");
    DCB state = {};
    state.DCBlength = sizeof state;
    COMMTIMEOUTS timeouts = {};
    found.clear();
    const bool stateRead = GetCommState(port, &state) != 0;
    if (GetCommTimeouts(port, &timeouts) && stateRead) {
        found.append(reinterpret_cast<const char*>(&state), sizeof state);
        found.append(reinterpret_cast<const char*>(&timeouts), sizeof timeouts);
    }
    BuildCommDCBA(settings, &state);
    SetCommState(port, &state);

    timeouts.ReadIntervalTimeout = ReadTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = ReadTimeoutMs;
    timeouts.ReadTotalTimeoutConstant = 0;
    SetCommTimeouts(port, &timeouts);

    return reinterpret_cast<std::intptr_t>(port);
}

int CSerialPort::ReadByte(unsigned char* destination) {
    if (!IsOpen() || Handle == 0 || Gone)
        return 0;
    DWORD read = 0;
    // A timeout is a success with nothing read; a failure means the device is gone.
    if (!ReadFile(Native(Handle), destination, 1, &read, nullptr)) {
        Gone = true;
        return 0;
    }
    return read == 1 ? 1 : 0;
}

bool CSerialPort::Write(const char* data, std::size_t length) {
    if (!IsOpen() || Handle == 0)
        return false;
    DWORD written = 0;
    return WriteFile(Native(Handle), data, static_cast<DWORD>(length), &written, nullptr) != 0;
}

bool CSerialPort::Close() {
    if (IsOpen()) {
        DCB state;
        COMMTIMEOUTS timeouts;
        if (FoundLine.size() == sizeof state + sizeof timeouts) {
            std::memcpy(&state, FoundLine.data(), sizeof state);
            std::memcpy(&timeouts, FoundLine.data() + sizeof state, sizeof timeouts);
            SetCommState(Native(Handle), &state);
            SetCommTimeouts(Native(Handle), &timeouts);
        }
        FoundLine.clear();
        CloseHandle(Native(Handle));
        Handle = InvalidHandle;
    }
    return true;
}
