// The one seam through which the window talks to the person: modal message boxes and file
// choosers. Texts are bytes, one per character as the sentinels travel; paths are the
// system's own bytes. The program shows real ones; tests script the answers; a batch run
// without a display writes the messages to standard error.
#pragma once

#include <string>

class UserDialogs {
  public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Information, Exclamation };
    enum class Answer { Ok, Yes, No };

    virtual ~UserDialogs() = default;
    virtual Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                               Icon icon) = 0;
    // An empty path when the person cancels.
    virtual std::string ChooseFileToOpen(const std::string& title) = 0;
    virtual std::string ChooseFileToSave(const std::string& title) = 0;
    // Closes whatever box or chooser is open, as if cancelled (a question: No).
    virtual void DismissAll() {}
    // What a No means, for whoever answered on the person's behalf; a person who answered
    // the box needs no telling.
    virtual void ExplainAnswer(const std::string&) {}
};
