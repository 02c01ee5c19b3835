// A serial port as a USB adapter's driver registers it with Device Manager, made up for one
// test: "USB Serial Port (COM12)" by FTDI, USB\VID_0403&PID_6001, serial A5069RR4.
#pragma once

#include <string>
#include <windows.h>
// After windows.h:
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>

class FakePort {
  public:
    explicit FakePort(const std::wstring& name) {
        Set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
        Device.cbSize = sizeof Device;
        SetupDiCreateDeviceInfoW(Set, L"USB\\VID_0403&PID_6001\\A5069RR4", &GUID_DEVCLASS_PORTS,
                                 nullptr, nullptr, 0, &Device);
        Property(SPDRP_FRIENDLYNAME, L"USB Serial Port (" + name + L")");
        Property(SPDRP_MFG, L"FTDI");
        Property(SPDRP_HARDWAREID, std::wstring(L"USB\\VID_0403&PID_6001") + L'\0');
        SetupDiRegisterDeviceInfo(Set, &Device, 0, nullptr, nullptr, nullptr);
        HKEY key =
            SetupDiCreateDevRegKeyW(Set, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       DWORD((name.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~FakePort() {
        SetupDiRemoveDevice(Set, &Device);
        SetupDiDestroyDeviceInfoList(Set);
    }

  private:
    void Property(DWORD property, const std::wstring& value) {
        SetupDiSetDeviceRegistryPropertyW(Set, &Device, property,
                                          reinterpret_cast<const BYTE*>(value.c_str()),
                                          DWORD((value.size() + 1) * sizeof(wchar_t)));
    }

    HDEVINFO Set;
    SP_DEVINFO_DATA Device = {};
};
