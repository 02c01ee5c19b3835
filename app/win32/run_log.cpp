#include "app/run_log.h"

#include "msr/win32/wide_text.h"

#include <filesystem>
#include <windows.h>

namespace {

std::string SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? Utf8(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

} // namespace

bool AppendRunLog(const std::string& path, const std::string& line, std::string& error) {
    const std::wstring wide = Wide(path);
    std::error_code ignored; // a folder that cannot be made shows as the open's failure
    const std::filesystem::path folder = std::filesystem::path(wide).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    // Appending access alone: every write lands at the end, whoever else writes meanwhile.
    const HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemText(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok =
        GetFileType(file) == FILE_TYPE_DISK &&
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size();
    if (!ok)
        error =
            GetFileType(file) != FILE_TYPE_DISK ? "no regular file" : SystemText(GetLastError());
    CloseHandle(file);
    return ok;
}
