// Scripted answers for the window's message boxes and file choosers, with a record of
// everything that was shown.
#pragma once

#include "app/user_dialogs.h"

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct ShownMessage {
    std::string Text;
    std::string Caption;
    UserDialogs::Buttons Buttons;
    UserDialogs::Icon Icon;
    bool operator==(const ShownMessage&) const = default;
};
inline void PrintTo(const ShownMessage& m, std::ostream* out) {
    *out << "{\"" << m.Text << "\", \"" << m.Caption << "\", " << int(m.Buttons) << ", "
         << int(m.Icon) << "}";
}

class ScriptedDialogs : public UserDialogs {
  public:
    Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override {
        Shown.push_back({text, caption, buttons, icon});
        if (WhileShowing)
            WhileShowing();
        if (Real)
            return Real->ShowMessage(text, caption, buttons, icon);
        if (buttons == Buttons::Ok || Answers.empty())
            return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
        const Answer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::string ChooseFileToOpen(const std::string& title) override {
        ChooserTitles.push_back(title);
        return OpenPath;
    }
    std::string ChooseFileToSave(const std::string& title) override {
        ChooserTitles.push_back(title);
        return SavePath;
    }
    void DismissAll() override {
        if (Real)
            Real->DismissAll();
    }
    // The messages shown so far, leaving none.
    std::vector<ShownMessage> Take() { return std::exchange(Shown, {}); }

    std::vector<ShownMessage> Shown;
    std::vector<std::string> ChooserTitles;
    std::deque<Answer> Answers; // for Yes/No questions; No when none is left
    std::string OpenPath;       // empty: the person cancels
    std::string SavePath;
    std::function<void()> WhileShowing; // runs inside each message, as a modal box would
    UserDialogs* Real = nullptr;        // messages also go to the platform's real boxes
};
