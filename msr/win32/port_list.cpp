#include "msr/port_list.h"

#include <algorithm>
#include <utility>
#include <windows.h>

namespace {

// The system's serial ports: device name and COM name, from the registry.
std::vector<std::pair<std::string, std::string>> SystemPorts() {
    std::vector<std::pair<std::string, std::string>> ports;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        char device[256], name[256];
        DWORD deviceLength = sizeof device, nameLength = sizeof name - 1, type = 0;
        if (RegEnumValueA(key, index, device, &deviceLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(name), &nameLength) != ERROR_SUCCESS)
            break;
        name[nameLength] = '\0';
        if (type == REG_SZ)
            ports.emplace_back(device, name);
    }
    RegCloseKey(key);
    return ports;
}

} // namespace

std::vector<std::string> FurtherPortNames() {
    std::vector<std::string> names;
    for (const auto& [device, name] : SystemPorts()) {
        if (IsFurtherPortName(name) && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

CPortInfo DescribePort(const std::string& name) {
    CPortInfo info{name, {}, {}, {}, {}, {}};
    for (const auto& [device, comName] : SystemPorts())
        if (comName == name)
            info.Device = device;
    return info;
}

std::vector<CPortInfo> UnnamedSerialDevices() {
    return {}; // every port Windows lists has its COM name
}

std::string AccessProblem(const std::string&) {
    return std::string(); // Windows tells only when the port is opened
}
