#include "msr/port_list.h"

#include "msr/win32/wide_text.h"

#include <algorithm>
#include <utility>
#include <windows.h>
// After windows.h; initguid.h makes this file define the device class it names.
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>

namespace {

// The ports Device Manager shows: COM name, friendly name ("USB Serial Port (COM5)"), and
// maker, hardware ID and serial number.
struct SystemPort {
    std::string Name, Device, Details, VendorId, ProductId, Serial;
};

// "0403" from "USB\VID_0403&PID_6001&REV_0600" for "VID_".
std::string HardwareIdPart(const std::string& hardware, const char* key) {
    const std::size_t at = hardware.find(key);
    return at == std::string::npos ? std::string() : hardware.substr(at + 4, 4);
}

std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t value[512] = L"";
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(value), sizeof value - 2,
                                           nullptr))
        return std::string();
    return Utf8(value); // a list of texts gives its first
}

std::vector<SystemPort> DeviceManagerPorts() {
    std::vector<SystemPort> ports;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t name[64] = L"";
        DWORD size = sizeof name - 2, type = 0;
        const bool named =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        if (!named)
            continue;
        SystemPort port{Utf8(name), Property(set, device, SPDRP_FRIENDLYNAME), {}, {}, {}, {}};
        std::string details = Property(set, device, SPDRP_MFG);
        const std::string hardware = Property(set, device, SPDRP_HARDWAREID);
        // A USB device's instance ends in its serial number: USB\VID_0403&PID_6001\A5069RR4.
        wchar_t instance[512] = L"";
        std::string serial;
        if (SetupDiGetDeviceInstanceIdW(set, &device, instance, 512, nullptr) &&
            Utf8(instance).rfind("USB\\", 0) == 0) {
            serial = Utf8(instance);
            serial = serial.substr(serial.rfind('\\') + 1);
            if (serial.find('&') != std::string::npos)
                serial.clear(); // made up by Windows, not the device's own
        }
        for (const std::string& part : {hardware, serial.empty() ? "" : "serial " + serial})
            if (!part.empty())
                details += (details.empty() ? "" : ", ") + part;
        port.Details = details;
        if (hardware.rfind("USB\\", 0) == 0) {
            port.VendorId = HardwareIdPart(hardware, "VID_");
            port.ProductId = HardwareIdPart(hardware, "PID_");
            port.Serial = serial;
        }
        ports.push_back(port);
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// Every serial port the system's drivers made: device name and COM name.
std::vector<std::pair<std::string, std::string>> SerialCommPorts() {
    std::vector<std::pair<std::string, std::string>> ports;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t device[256], name[256];
        DWORD deviceLength = 256, nameLength = sizeof name - 2, type = 0;
        if (RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(name), &nameLength) != ERROR_SUCCESS)
            break;
        name[nameLength / 2] = L'\0';
        if (type == REG_SZ)
            ports.emplace_back(Utf8(device), Utf8(name));
    }
    RegCloseKey(key);
    return ports;
}

} // namespace

std::vector<std::string> FurtherPortNames() {
    std::vector<std::string> names;
    const auto add = [&](const std::string& name) {
        if (IsFurtherPortName(name) && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    for (const SystemPort& port : DeviceManagerPorts())
        add(port.Name);
    for (const auto& [device, name] : SerialCommPorts())
        add(name);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

CPortInfo DescribePort(const std::string& name) {
    CPortInfo info{name, {}, {}, {}, {}, {}, {}, {}, {}};
    for (const SystemPort& port : DeviceManagerPorts())
        if (port.Name == name) {
            info.Device = port.Device.empty() ? name : port.Device;
            info.Details = port.Details;
            info.VendorId = port.VendorId;
            info.ProductId = port.ProductId;
            info.Serial = port.Serial;
            return info;
        }
    for (const auto& [device, comName] : SerialCommPorts())
        if (comName == name)
            info.Device = device;
    return info;
}

std::vector<CPortInfo> UnnamedSerialDevices() {
    return {}; // every port Windows lists has its COM name
}
