#include "msr/serial_port.h"

#include "msr/port_name.h"

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open(const std::string& portSuffix, std::int32_t baud) {
    Failure = {};
    if (IsOpen())
        return false;
    const CPortTarget target = ResolvePort(portSuffix);
    if (target.Device.empty()) {
        Failure = {target.Cause, target.Problem};
        return false;
    }
    const std::intptr_t handle = OpenDevice(target.Device, baud, Failure, FoundLine);
    if (handle == InvalidHandle) {
        // A fallback device that is not there: the name may be missing from a folder.
        if (Failure.Cause == ClaimCause::NoDevice && !target.Searched.empty())
            Failure.Text += "; " + target.Searched;
        return false;
    }
    Handle = handle;
    Gone = false;
    return true;
}
