// For a batch run without a display: each message becomes one line on standard error,
// "caption: text" with line breaks as blanks, and every question is answered No.
#pragma once

#include "app/user_dialogs.h"

class ConsoleUserDialogs : public UserDialogs {
  public:
    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::string ChooseFileToOpen(const std::string&) override { return std::string(); }
    std::string ChooseFileToSave(const std::string&) override { return std::string(); }
};
