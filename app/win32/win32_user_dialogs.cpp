#include "app/win32/win32_user_dialogs.h"

#include "msr/win32/wide_text.h"

#include <commdlg.h>

namespace {

constexpr DWORD NameLength = 260; // 259 characters and the terminator

BOOL CALLBACK DismissOne(HWND window, LPARAM owner) {
    char name[16];
    // Message boxes and choosers are dialogs ("#32770"); the main window is one too.
    if (window != reinterpret_cast<HWND>(owner) && IsWindowVisible(window) &&
        GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0)
        EndDialog(window, IDNO);
    return TRUE;
}

} // namespace

HWND Win32UserDialogs::ShownOwner() const {
    return Owner && IsWindowVisible(Owner) ? Owner : nullptr;
}

UserDialogs::Answer Win32UserDialogs::ShowMessage(const std::string& text,
                                                  const std::string& caption, Buttons buttons,
                                                  Icon icon) {
    UINT style = buttons == Buttons::YesNo ? MB_YESNO : MB_OK;
    if (icon == Icon::Information)
        style |= MB_ICONINFORMATION;
    else if (icon == Icon::Exclamation)
        style |= MB_ICONEXCLAMATION;
    // Without a shown owner (a batch run) the box is centred on the screen.
    const int answer = MessageBoxW(ShownOwner(), Wide(text).c_str(), Wide(caption).c_str(), style);
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answer == IDYES ? Answer::Yes : Answer::No;
}

std::string Win32UserDialogs::ChooseFile(const std::string& title, bool save) {
    wchar_t name[NameLength] = L"";
    const std::wstring wideTitle = Wide(title);
    OPENFILENAMEW chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = ShownOwner();
    chooser.lpstrFilter = L"All\0*.*\0Text\0*.TXT\0";
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = name;
    chooser.nMaxFile = NameLength;
    chooser.lpstrTitle = wideTitle.c_str();
    chooser.Flags = save ? OFN_OVERWRITEPROMPT : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const BOOL chosen = save ? GetSaveFileNameW(&chooser) : GetOpenFileNameW(&chooser);
    return chosen ? Utf8(name) : std::string();
}

std::string Win32UserDialogs::ChooseFileToOpen(const std::string& title) {
    return ChooseFile(title, false);
}

std::string Win32UserDialogs::ChooseFileToSave(const std::string& title) {
    return ChooseFile(title, true);
}

void Win32UserDialogs::DismissAll() {
    EnumThreadWindows(GetCurrentThreadId(), DismissOne, reinterpret_cast<LPARAM>(Owner));
}
