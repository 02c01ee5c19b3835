// For a run nobody can answer (no display, --unattended, the script verbs): each message
// becomes one line on standard error, "PORT FILE: caption: text" with line breaks as blanks,
// so that the lines of parallel runs can be told apart, and every question is answered No.
#pragma once

#include "app/user_dialogs.h"

class ConsoleUserDialogs : public UserDialogs {
  public:
    // `about` names what the lines are about: the port and the file.
    explicit ConsoleUserDialogs(std::string about = {}) : About(std::move(about)) {}
    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::string ChooseFileToOpen(const std::string&) override { return std::string(); }
    std::string ChooseFileToSave(const std::string&) override { return std::string(); }
    void ExplainAnswer(const std::string& text) override { Say(text); }
    // One line that is no message box: "PORT FILE: text".
    void Say(const std::string& text) const;

  private:
    std::string About;
};
