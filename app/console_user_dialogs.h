// For a batch run without a display: each message becomes one line on standard error,
// "caption: text" with line breaks as blanks, and every question is answered No.
#pragma once

#include "app/user_dialogs.h"

class ConsoleUserDialogs : public UserDialogs {
  public:
    Answer ShowMessage(const QString& text, const QString& caption, Buttons buttons,
                       Icon icon) override;
    QString ChooseFileToOpen(const QString&) override { return QString(); }
    QString ChooseFileToSave(const QString&) override { return QString(); }

    // The line written for a message (without its line feed).
    static QString FormatLine(const QString& text, const QString& caption, Buttons buttons);
};
