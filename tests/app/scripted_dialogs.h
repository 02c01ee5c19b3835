// Scripted answers for the window's message boxes and file choosers, with a record of
// everything that was shown.
#pragma once

#include "app/user_dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

struct ShownMessage {
    QString Text;
    QString Caption;
    UserDialogs::Buttons Buttons;
    UserDialogs::Icon Icon;
    bool operator==(const ShownMessage&) const = default;
};

class ScriptedDialogs : public UserDialogs {
  public:
    Answer ShowMessage(const QString& text, const QString& caption, Buttons buttons,
                       Icon icon) override;
    QString ChooseFileToOpen(const QString& title) override;
    QString ChooseFileToSave(const QString& title) override;

    std::vector<ShownMessage> Shown;
    QStringList ChooserTitles;
    std::deque<Answer> Answers; // for Yes/No questions; No when none is left
    QString OpenPath;           // empty: the person cancels
    QString SavePath;
    std::function<void()> WhileShowing; // runs inside each message, as a modal box would
};

// The whole message as the tests compare it.
ShownMessage Msg(const QString& text, const QString& caption, UserDialogs::Buttons buttons,
                 UserDialogs::Icon icon);
void PrintTo(const ShownMessage& message, std::ostream* out);
