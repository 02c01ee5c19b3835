// The one seam through which the window talks to the person: modal message boxes and file
// choosers. The program shows real ones; tests script the answers; a batch run without a
// display writes the messages to standard error.
#pragma once

#include <QString>

class UserDialogs {
  public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Information, Exclamation };
    enum class Answer { Ok, Yes, No };

    virtual ~UserDialogs() = default;
    virtual Answer ShowMessage(const QString& text, const QString& caption, Buttons buttons,
                               Icon icon) = 0;
    // An empty path when the person cancels.
    virtual QString ChooseFileToOpen(const QString& title) = 0;
    virtual QString ChooseFileToSave(const QString& title) = 0;
};
