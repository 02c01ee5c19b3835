#include "app/console_user_dialogs.h"

#include <algorithm>
#include <cstdio>

UserDialogs::Answer ConsoleUserDialogs::ShowMessage(const std::string& text,
                                                    const std::string& caption, Buttons buttons,
                                                    Icon) {
    std::string line = caption + ": " + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    if (buttons == Buttons::YesNo)
        line += " No";
    Say(line);
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

void ConsoleUserDialogs::Say(const std::string& text) const {
    const std::string line = (About.empty() ? "" : About + ": ") + text + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
