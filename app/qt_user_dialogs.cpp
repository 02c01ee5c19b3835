#include "app/qt_user_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// "All" shows every file, also names without a dot; "Text" matches .txt in any case.
const QString Filters = QStringLiteral("All (*);;Text (*.[Tt][Xx][Tt])");

// A busy pointer over an operation should not stay busy over a question to the person.
class NormalCursor {
  public:
    NormalCursor() : Busy(QApplication::overrideCursor() != nullptr) {
        if (Busy)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursor() {
        if (Busy)
            QApplication::restoreOverrideCursor();
    }

  private:
    bool Busy;
};

} // namespace

UserDialogs::Answer QtUserDialogs::ShowMessage(const QString& text, const QString& caption,
                                               Buttons buttons, Icon icon) {
    NormalCursor cursor;
    QMessageBox box(Parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText); // paths are shown as they are, never as markup
    box.setText(text);
    box.setIcon(icon == Icon::Information   ? QMessageBox::Information
                : icon == Icon::Exclamation ? QMessageBox::Warning
                                            : QMessageBox::NoIcon);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtUserDialogs::ChooseFileToOpen(const QString& title) {
    NormalCursor cursor;
    return QFileDialog::getOpenFileName(Parent, title, QString(), Filters);
}

QString QtUserDialogs::ChooseFileToSave(const QString& title) {
    NormalCursor cursor;
    return QFileDialog::getSaveFileName(Parent, title, QString(), Filters);
}
