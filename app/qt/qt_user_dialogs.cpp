#include "app/qt/qt_user_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>

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

// Qt's own chooser names its lists ("Look in", "Files of type") by their current values and
// gives them no label relation; a screen reader should say what a list is for, as the label
// beside it does ("lookInLabel" for "lookInCombo").
void NameListsByLabels(QFileDialog& chooser) {
    for (QComboBox* list : chooser.findChildren<QComboBox*>()) {
        const QString stem =
            list->objectName().chopped(list->objectName().endsWith(QLatin1String("Combo")) ? 5 : 0);
        if (auto* label = chooser.findChild<QLabel*>(stem + QLatin1String("Label"))) {
            label->setBuddy(list);
            list->setAccessibleName(label->text()
                                        .remove(QLatin1Char('&'))
                                        .remove(QRegularExpression(QStringLiteral("\\s*:\\s*$"))));
        }
    }
}

// Qt's chooser makes its lists only as it is shown.
class ListNamer : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            NameListsByLabels(*static_cast<QFileDialog*>(watched));
        return false;
    }
};

// The file chosen, or "" when the person cancels.
std::string Choose(QWidget* owner, const std::string& title, QFileDialog::AcceptMode mode) {
    NormalCursor cursor;
    QFileDialog chooser(owner, Local(title), QString(), Filters);
    chooser.setOptions(NamesOnly);
    chooser.setAcceptMode(mode);
    chooser.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    ListNamer namer;
    chooser.installEventFilter(&namer);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::string();
    return QFile::encodeName(chooser.selectedFiles().constFirst()).toStdString();
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
    return Choose(Owner(), title, QFileDialog::AcceptOpen);
}

std::string QtUserDialogs::ChooseFileToSave(const std::string& title) {
    return Choose(Owner(), title, QFileDialog::AcceptSave);
}

void QtUserDialogs::DismissAll() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window);
            dialog && dialog != Parent && dialog->isVisible())
            dialog->reject();
}
