// Message boxes and file choosers of Windows, owned by the main window while it is shown.
#pragma once

#include "app/user_dialogs.h"

#include <windows.h>

class Win32UserDialogs : public UserDialogs {
  public:
    explicit Win32UserDialogs(HWND owner = nullptr) : Owner(owner) {}
    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::string ChooseFileToOpen(const std::string& title) override;
    std::string ChooseFileToSave(const std::string& title) override;
    void DismissAll() override;

  private:
    HWND ShownOwner() const;
    std::string ChooseFile(const std::string& title, bool save);

    HWND Owner;
};
