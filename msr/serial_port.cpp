#include "msr/serial_port.h"

#include "msr/port_name.h"

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open(const std::string& portSuffix, std::int32_t baud) {
    std::string device;
    if (IsOpen() || !ResolvePortDevice(portSuffix, device))
        return false;
    const std::intptr_t handle = OpenDevice(device, baud);
    if (handle == InvalidHandle)
        return false;
    Handle = handle;
    Gone = false;
    return true;
}
