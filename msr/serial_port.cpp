#include "msr/serial_port.h"

#include "msr/port_name.h"

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open(const std::string& portSuffix, std::int32_t baud) {
    std::string device;
    Failure = {};
    if (IsOpen())
        return false;
    if (!ResolvePortDevice(portSuffix, device)) {
        Failure = {ClaimCause::NoDevice, "the port name leads to no device"};
        return false;
    }
    const std::intptr_t handle = OpenDevice(device, baud, Failure);
    if (handle == InvalidHandle)
        return false;
    Handle = handle;
    Gone = false;
    return true;
}
