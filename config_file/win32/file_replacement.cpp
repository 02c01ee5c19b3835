#include "config_file/file_replacement.h"

#include "msr/win32/wide_text.h"

#include <random>
#include <windows.h>

const char TextLineEnd[] = "\r\n";

struct CFileReplacement::State {
    std::wstring Target;
    std::wstring Temporary; // empty once it has replaced the target, or when there is none
    bool Replacing = false; // the target exists
    HANDLE File = INVALID_HANDLE_VALUE;
};

CFileReplacement::CFileReplacement() : Data(std::make_unique<State>()) {}

CFileReplacement::~CFileReplacement() {
    if (Data->File != INVALID_HANDLE_VALUE)
        CloseHandle(Data->File);
    if (!Data->Temporary.empty())
        DeleteFileW(Data->Temporary.c_str());
}

bool CFileReplacement::Prepare(const std::string& path) {
    State& d = *Data;
    if (path.empty())
        return false;
    const std::wstring wide = Wide(path);
    // Only plain files are replaced, and never one with the read-only attribute.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)))
        return false;
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    d.Replacing = attributes != INVALID_FILE_ATTRIBUTES;

    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    d.Target.assign(length, L'\0');
    wchar_t* name = nullptr;
    if (length == 0 || GetFullPathNameW(wide.c_str(), length, d.Target.data(), &name) == 0 || !name)
        return false;
    d.Target.resize(d.Target.size() - 1);
    const std::wstring folder(d.Target.data(), name);
    // The new file beside the target, so that putting it in place is a rename.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && d.File == INVALID_HANDLE_VALUE; ++attempt) {
        d.Temporary = folder + L".msrconfig-" + std::to_wstring(random() % 1000000) + L".tmp";
        d.File = CreateFileW(d.Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (d.File == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (d.File == INVALID_HANDLE_VALUE)
        d.Temporary.clear();
    return d.File != INVALID_HANDLE_VALUE;
}

bool CFileReplacement::Commit(const std::string& data) {
    State& d = *Data;
    DWORD written = 0;
    bool ok = WriteFile(d.File, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size() && FlushFileBuffers(d.File);
    ok = CloseHandle(d.File) && ok;
    d.File = INVALID_HANDLE_VALUE;
    // Replacing keeps what Windows keeps with a file: its access control list, attributes,
    // alternate streams and creation time.
    if (!ok || !(d.Replacing ? ReplaceFileW(d.Target.c_str(), d.Temporary.c_str(), nullptr,
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                             : MoveFileExW(d.Temporary.c_str(), d.Target.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)))
        return false;
    d.Temporary.clear();
    return true;
}
