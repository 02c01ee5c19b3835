// The window suite's front-end: the Qt window on the offscreen platform.
#include "app/qt/config_window.h"
#include "app/qt/qt_user_dialogs.h"
#include "test_window.h"

#include <QTest>
#include <QtWidgets>

namespace {

class QtTestWindow : public TestWindow {
  public:
    QtTestWindow(CConfigApp& app, ScriptedDialogs& dialogs) : Handler(app, Window, dialogs) {
        Window.SetHandler(&Handler);
    }

    CConfigDlg& Dlg() override { return Handler; }
    DialogControls& Controls() override { return Window; }
    std::unique_ptr<UserDialogs> PlatformDialogs() override {
        return std::make_unique<QtUserDialogs>(&Window);
    }

    void Click(int id) override {
        if (auto* button = qobject_cast<QAbstractButton*>(Window.Control(id)))
            button->click();
    }
    void Type(int id, const std::string& text) override {
        for (QChar c : QString::fromUtf8(text)) // QTest types ASCII only
            QTest::sendKeyEvent(QTest::Click, Window.Control(id), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    }
    void Press(int id, Key key) override {
        QWidget* target = id ? Window.Control(id) : &Window;
        target->setFocus();
        QTest::keyClick(target, key == Key::Enter ? Qt::Key_Return : Qt::Key_Escape);
    }
    void ClickDuring(const std::vector<int>& ids, void (*operation)(TestWindow&)) override {
        for (int id : ids) // queued behind the click that starts the operation
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(Window.Control(id),
                                            new QMouseEvent(type, QPointF(5, 5), QPointF(5, 5),
                                                            Qt::LeftButton, Qt::LeftButton,
                                                            Qt::NoModifier));
        operation(*this);
        QCoreApplication::processEvents();
    }
    void Later(std::function<void()> action, unsigned ms = 0) override {
        QTimer::singleShot(ms, &Window, std::move(action));
    }

    bool IsShown() override { return Window.isVisible(); }
    std::string Caption() override { return Bytes(Window.windowTitle()); }
    std::string ToolTip(int id) override { return Bytes(Window.Control(id)->toolTip()); }
    std::string HoverToolTip(int id) override {
        Window.show();
        QTest::mouseMove(Window.Control(id), Window.Control(id)->rect().center());
        QTest::qWait(1200);
        return QToolTip::isVisible() ? Bytes(QToolTip::text()) : std::string();
    }
    std::vector<int> TabOrder() override {
        std::vector<int> order;
        for (QWidget* next = Window.nextInFocusChain(); next != &Window;
             next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus && !next->objectName().isEmpty())
                order.push_back(next->objectName().toInt());
        return order;
    }
    std::vector<std::string> ListEntries(int id) override { return ListEntries(List(id)); }
    static std::vector<std::string> ListEntries(const QComboBox* list) {
        std::vector<std::string> entries;
        for (int i = 0; list && i < list->count(); ++i)
            entries.push_back(Bytes(list->itemText(i)));
        return entries;
    }
    std::string ListEntryToolTip(int id, int index) override {
        return List(id)->itemData(index, Qt::ToolTipRole).toString().toStdString();
    }
    std::vector<std::string> StaticTexts() override {
        std::vector<std::string> texts;
        for (QLabel* label : Window.findChildren<QLabel*>())
            if (label->objectName().isEmpty())
                texts.push_back(Bytes(label->text()));
        for (QGroupBox* group : Window.findChildren<QGroupBox*>())
            texts.push_back(Bytes(group->title()));
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    std::vector<std::string> ChooserFileTypes() override {
        std::vector<std::string> types;
        QTimer::singleShot(300, &Window, [&] { // a chooser that did not open fails the test here
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            types = ListEntries(chooser->findChild<QComboBox*>("fileTypeCombo"));
            chooser->reject();
        });
        PlatformDialogs()->ChooseFileToOpen("Select");
        return types;
    }
    std::string AboutText() override {
        std::string text;
        Window.show();
        Window.activateWindow();
        if (!QTest::qWaitForWindowActive(&Window)) // shortcuts are the active window's
            return "the window did not become active";
        QTimer::singleShot(0, [&] { // in the context menu
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QTimer::singleShot(0, [&] { // in the About box, if one opened
                if (auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    text = Bytes(about->findChild<QLabel*>("aboutText")->text());
                    about->accept();
                }
            });
            for (QAction* action : menu ? menu->actions() : QList<QAction*>())
                if (action->text() == QLatin1String("&About Tavlon..."))
                    action->trigger();
            if (menu)
                menu->close();
        });
        // From the keyboard, as the mouse's right button gives the same menu.
        QTest::keyClick(Window.Control(IDC_RAW_DATA), Qt::Key_F10, Qt::ShiftModifier);
        return text;
    }
    std::vector<std::string> LayoutProblems() override {
        std::vector<std::string> problems;
        if (Window.minimumSize() != Window.maximumSize())
            problems.push_back("resizable");
        if (Window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
            problems.push_back("minimise or maximise box");
        for (QWidget* child : Window.findChildren<QWidget*>())
            if (!child->isWindowType() &&
                !child->parentWidget()->rect().contains(child->geometry()))
                problems.push_back("outside: " + Bytes(child->objectName()));
        for (QCheckBox* box : Window.findChildren<QCheckBox*>())
            if (box->sizeHint().width() > box->width())
                problems.push_back("does not fit: " + Bytes(box->text()));
        for (QLabel* label : Window.findChildren<QLabel*>())
            if (label->fontMetrics().horizontalAdvance(label->text().trimmed()) > label->width())
                problems.push_back("does not fit: " + Bytes(label->text()));
        for (int id : {IDC_RAW_DATA, IDC_GET}) // the longest tooltips
            for (const QString& line :
                 ConfigWindow::WrapToolTip(Window.Control(id)->toolTip(), QToolTip::font(), 300)
                     .split('\n'))
                if (QFontMetrics(QToolTip::font()).horizontalAdvance(line) > 300)
                    problems.push_back("tooltip line too wide: " + Bytes(line));
        return problems;
    }

  private:
    static std::string Bytes(const QString& text) { return text.toLatin1().toStdString(); }
    QComboBox* List(int id) { return qobject_cast<QComboBox*>(Window.Control(id)); }

    ConfigWindow Window;
    CConfigDlg Handler;
};

} // namespace

std::unique_ptr<TestWindow> TestWindow::Create(CConfigApp& app, ScriptedDialogs& dialogs) {
    return std::make_unique<QtTestWindow>(app, dialogs);
}
