#include "app/qt/qt_user_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// "All" shows every file, also names without a dot; "Text" matches .txt in any case. The
// list shows the names alone, as the Windows chooser does.
const QString Filters = QStringLiteral("All (*);;Text (*.[Tt][Xx][Tt])");
constexpr QFileDialog::Options NamesOnly = QFileDialog::HideNameFilterDetails;

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

// Message texts are ASCII but for the paths in them, which are the system's own bytes.
QString Local(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

} // namespace

QWidget* QtUserDialogs::Owner() const {
    // A window that is not shown (a batch run) would place the box at the screen's corner.
    return Parent && Parent->isVisible() ? Parent : nullptr;
}

UserDialogs::Answer QtUserDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                               Buttons buttons, Icon icon) {
    NormalCursor cursor;
    QMessageBox box(Owner());
    box.setWindowTitle(Local(caption));
    box.setTextFormat(Qt::PlainText); // paths are shown as they are, never as markup
    box.setText(Local(text));
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

std::string QtUserDialogs::ChooseFileToOpen(const std::string& title) {
    NormalCursor cursor;
    return QFile::encodeName(QFileDialog::getOpenFileName(Owner(), Local(title), QString(), Filters,
                                                          nullptr, NamesOnly))
        .toStdString();
}

std::string QtUserDialogs::ChooseFileToSave(const std::string& title) {
    NormalCursor cursor;
    return QFile::encodeName(QFileDialog::getSaveFileName(Owner(), Local(title), QString(), Filters,
                                                          nullptr, NamesOnly))
        .toStdString();
}

void QtUserDialogs::DismissAll() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window);
            dialog && dialog != Parent && dialog->isVisible())
            dialog->reject();
}
