#include "config_file/file_replacement.h"

#include <windows.h>

const char TextLineEnd[] = "\r\n";

struct CFileReplacement::State {
    std::string Target;
    std::string Temporary; // empty once it has replaced the target, or when there is none
    HANDLE File = INVALID_HANDLE_VALUE;
};

CFileReplacement::CFileReplacement() : Data(std::make_unique<State>()) {}

CFileReplacement::~CFileReplacement() {
    if (Data->File != INVALID_HANDLE_VALUE)
        CloseHandle(Data->File);
    if (!Data->Temporary.empty())
        DeleteFileA(Data->Temporary.c_str());
}

bool CFileReplacement::Prepare(const std::string& path) {
    State& d = *Data;
    d.Target = path;
    if (path.empty())
        return false;
    // Only plain files are replaced, and never one with the read-only attribute.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)))
        return false;
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;

    char full[MAX_PATH];
    char* name = nullptr;
    if (GetFullPathNameA(path.c_str(), MAX_PATH, full, &name) == 0 || !name)
        return false;
    const std::string folder(full, static_cast<std::size_t>(name - full));
    char temporary[MAX_PATH];
    if (GetTempFileNameA(folder.c_str(), "msr", 0, temporary) == 0)
        return false;
    d.Temporary = temporary;
    d.File = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    return d.File != INVALID_HANDLE_VALUE;
}

bool CFileReplacement::Commit(const std::string& data) {
    State& d = *Data;
    DWORD written = 0;
    bool ok = WriteFile(d.File, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size() && FlushFileBuffers(d.File);
    ok = CloseHandle(d.File) && ok;
    d.File = INVALID_HANDLE_VALUE;
    if (!ok || !MoveFileExA(d.Temporary.c_str(), d.Target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    d.Temporary.clear();
    return true;
}
