#include "config_file/file_source.h"

#include "msr/win32/wide_text.h"

#include <windows.h>

CFileSource::~CFileSource() {
    if (Handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(Handle));
}

bool CFileSource::Open(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Only files on disk: a pipe or a device may never deliver or never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return false;
    }
    Handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

std::size_t CFileSource::Read(char* buffer, std::size_t size) {
    DWORD read = 0;
    if (Handle == -1 || !ReadFile(reinterpret_cast<HANDLE>(Handle), buffer,
                                  static_cast<DWORD>(size), &read, nullptr))
        return 0;
    return read;
}
