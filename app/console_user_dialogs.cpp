#include "app/console_user_dialogs.h"

#include <cstdio>

QString ConsoleUserDialogs::FormatLine(const QString& text, const QString& caption,
                                       Buttons buttons) {
    QString line =
        caption + QStringLiteral(": ") + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (buttons == Buttons::YesNo)
        line += QStringLiteral(" No");
    return line;
}

UserDialogs::Answer ConsoleUserDialogs::ShowMessage(const QString& text, const QString& caption,
                                                    Buttons buttons, Icon) {
    const QByteArray line = FormatLine(text, caption, buttons).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}
