#include "msr/serial_port.h"

#include <cstdio>
#include <windows.h>

namespace {
HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}
} // namespace

std::intptr_t CSerialPort::OpenDevice(const std::string& device, std::int32_t baud) {
    HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return InvalidHandle;

    // A refused rate (0 or less) leaves the speed as found; the rest is still applied.
    char settings[64];
    if (baud > 0)
        std::snprintf(settings, sizeof settings, "baud=%li parity=N data=8 stop=1",
                      static_cast<long>(baud));
    else
        std::snprintf(settings, sizeof settings, "parity=N data=8 stop=1");
    DCB state = {};
    state.DCBlength = sizeof state;
    GetCommState(port, &state);
    BuildCommDCBA(settings, &state);
    SetCommState(port, &state);

    COMMTIMEOUTS timeouts = {};
    GetCommTimeouts(port, &timeouts);
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
        CloseHandle(Native(Handle));
        Handle = InvalidHandle;
    }
    return true;
}
