#include "app/host_name.h"

#include "msr/win32/wide_text.h"

#include <windows.h>

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return std::string();
    return Utf8(std::wstring(name, size));
}
