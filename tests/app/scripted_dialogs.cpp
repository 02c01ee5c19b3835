#include "scripted_dialogs.h"

#include <ostream>

UserDialogs::Answer ScriptedDialogs::ShowMessage(const QString& text, const QString& caption,
                                                 Buttons buttons, Icon icon) {
    Shown.push_back({text, caption, buttons, icon});
    if (WhileShowing)
        WhileShowing();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    Answer answer = Answers.empty() ? Answer::No : Answers.front();
    if (!Answers.empty())
        Answers.pop_front();
    return answer;
}

QString ScriptedDialogs::ChooseFileToOpen(const QString& title) {
    ChooserTitles << title;
    return OpenPath;
}

QString ScriptedDialogs::ChooseFileToSave(const QString& title) {
    ChooserTitles << title;
    return SavePath;
}

ShownMessage Msg(const QString& text, const QString& caption, UserDialogs::Buttons buttons,
                 UserDialogs::Icon icon) {
    return {text, caption, buttons, icon};
}

void PrintTo(const ShownMessage& m, std::ostream* out) {
    *out << "{\"" << m.Text.toStdString() << "\", \"" << m.Caption.toStdString() << "\", "
         << int(m.Buttons) << ", " << int(m.Icon) << "}";
}
