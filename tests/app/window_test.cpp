#include "app/about_dlg.h"
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "scripted_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

struct Window {
    CConfigApp App;
    ScriptedDialogs Dialogs;
    CConfigDlg Dlg{App, Dialogs};
    Window() { Dlg.Initialise(); }

    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(Dlg.Control(id)); }
    QCheckBox* Check(int id) { return qobject_cast<QCheckBox*>(Dlg.Control(id)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Dlg.Control(id)); }
    QComboBox* List(int id) { return qobject_cast<QComboBox*>(Dlg.Control(id)); }
    bool CommitAndSaveEnabled() {
        return Button(IDC_COMMIT)->isEnabled() && Button(IDC_SAVE)->isEnabled();
    }
};

QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

TEST(MainWindow, ControlsTextsAndStartState) {
    Window w;
    EXPECT_EQ(w.Dlg.windowTitle(), "ZYN KVR MSR Configuration Utility");
    const std::pair<int, const char*> checks[] = {
        {1001, "Raw Data Mode(AAMVA Mode)"}, {1002, "Carriage Return Enabled"},
        {1003, "Track 1 Enabled"},           {1004, "Track 2 Enabled"},
        {1005, "Track 3 Enabled"},           {1006, "Strip Sentinels"},
        {1007, "Use Custom Config"},         {1008, "Hide Error Tracks"}};
    for (auto [id, text] : checks) {
        ASSERT_TRUE(w.Check(id)) << id;
        EXPECT_EQ(w.Check(id)->text(), text);
        EXPECT_FALSE(w.Check(id)->isChecked());
    }
    const std::tuple<int, const char*, bool> buttons[] = {{1009, "Get Current MSR Config", true},
                                                          {1010, "Commit Config", false},
                                                          {1011, "Save Current Settings", false},
                                                          {1012, "Load Saved Config", true}};
    for (auto [id, text, enabled] : buttons) {
        ASSERT_TRUE(w.Button(id)) << id;
        EXPECT_EQ(w.Button(id)->text(), text);
        EXPECT_EQ(w.Button(id)->isEnabled(), enabled) << id;
    }
    for (int id : {1015, 1016, 1017, 1018}) {
        ASSERT_TRUE(w.Edit(id)) << id;
        EXPECT_TRUE(w.Edit(id)->text().isEmpty());
    }
    auto* firmware = qobject_cast<QLabel*>(w.Dlg.Control(IDC_FIRMWARE));
    ASSERT_TRUE(firmware);
    EXPECT_TRUE(firmware->text().isEmpty());

    QStringList labels, groups;
    for (QLabel* label : w.Dlg.findChildren<QLabel*>())
        if (label->objectName().isEmpty())
            labels << label->text();
    for (QGroupBox* group : w.Dlg.findChildren<QGroupBox*>())
        groups << group->title();
    labels.sort();
    groups.sort();
    EXPECT_EQ(labels, (QStringList{"Baud Rate", "COM Port", "End Sentinel",
                                   "Firmware Revision : ", "Start Sentinel(Track 1)",
                                   "Start Sentinel(Track 2)", "Start Sentinel(Track 3)"}));
    EXPECT_EQ(groups, (QStringList{"Configuration File Operations", "MSR Communication Parameters",
                                   "MSR Configuration Parameters"}));

    EXPECT_EQ(Items(w.List(IDC_PORT)), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
                                                    "COM7", "COM8", "COM9", "COM10", "COM11"}));
    EXPECT_EQ(Items(w.List(IDC_BAUD)), (QStringList{"19200", "38400", "9600"}));
    EXPECT_EQ(w.List(IDC_PORT)->currentText(), "COM3");
    EXPECT_EQ(w.List(IDC_BAUD)->currentText(), "19200");
    EXPECT_FALSE(w.List(IDC_PORT)->isEditable());
    EXPECT_FALSE(w.Dlg.windowIcon().isNull());
}

TEST(MainWindow, TabOrderFollowsTheLayout) {
    Window w;
    const int order[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009,
                         1010, 1011, 1012, 1015, 1016, 1017, 1018, 1019, 1020};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* next = w.Dlg.Control(order[i])->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus) || next->parentWidget() != &w.Dlg)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, w.Dlg.Control(order[i + 1])) << order[i];
    }
}

TEST(MainWindow, GeometryIsFixedAndControlsStayInside) {
    Window w;
    EXPECT_EQ(w.Dlg.minimumSize(), w.Dlg.maximumSize());
    EXPECT_FALSE(w.Dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.Dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QRect inside = w.Dlg.rect();
    for (QWidget* child : w.Dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(inside.contains(child->geometry())) << child->objectName().toStdString();
    // Dialog units keep proportions: the commit button sits right of the get button, same size.
    EXPECT_EQ(w.Button(IDC_GET)->size(), w.Button(IDC_COMMIT)->size());
    EXPECT_LT(w.Button(IDC_GET)->geometry().right(), w.Button(IDC_COMMIT)->geometry().left());
    // Check box and label texts fit their controls.
    for (QCheckBox* box : w.Dlg.findChildren<QCheckBox*>())
        EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
    for (QLabel* label : w.Dlg.findChildren<QLabel*>())
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text().trimmed()),
                  label->width())
            << label->text().toStdString();
}

TEST(MainWindow, ToolTipsAreExactAndWrapWithin320Pixels) {
    Window w;
    const std::pair<int, const char*> tips[] = {
        {1001, "\nEnabling this option removes MSR data formatting.  The raw card contents are "
               "returned in the data stream.\n\nThis mode also enables AAMVA(California Driver's "
               "License Mode).\n"},
        {1002, "\nEnabling this option appends a carriage return after each returned track.\n"},
        {1003, "Enable this option to include Track 1 in the data stream after a swipe.  \n\nThe "
               "swiped card must contain a valid Track 1."},
        {1004, "Enable this option to include Track 2 in the data stream after a swipe.  \n\nThe "
               "swiped card must contain a valid Track 2."},
        {1005, "Enable this option to include Track 3 in the data stream after a swipe.  \n\nThe "
               "swiped card must contain a valid Track 3."},
        {1006, "\nEnabling this option removes the start and stop sentinels from the MSR returned "
               "data stream.\n"},
        {1007, "\n**If this option is disabled, the default configuration is used by the MSR**\n\n"
               "This option must be enabled for the MSR to use the custom configuration.\n"},
        {1008, "\nEnabling this option disables error reporting after a bad card swipe.\n"},
        {1009, "\nGets the current active MSR configuration from the MSR located on the specified "
               "COM port. The specified COM port must not be in use by other applications.\n"},
        {1010, "\nCommits the shown confIguration to the MSR flash.\n"},
        {1011, "\nSaves the current configuration to a configuration file.\n"},
        {1012, "\nLoads a saved configuration from a configuration file.\n"},
        {1015, "\nSets the Track 1 start sentinel.\n"},
        {1016, "\nSets the Track 2 start sentinel.\n"},
        {1017, "\nSets the Track 3 start sentinel.\n"},
        {1018, "\nSets the end sentinel for each track.\n"}};
    const QFontMetrics metrics(QToolTip::font());
    for (auto [id, tip] : tips) {
        EXPECT_EQ(w.Dlg.Control(id)->toolTip(), tip) << id;
        const QString wrapped = CConfigDlg::WrapToolTip(tip, QToolTip::font(), 300);
        EXPECT_EQ(QString(wrapped).replace('\n', ' ').simplified(),
                  QString(tip).replace('\n', ' ').simplified());
        for (const QString& line : wrapped.split('\n'))
            EXPECT_LE(metrics.horizontalAdvance(line), 300) << line.toStdString();
    }
    EXPECT_GT(CConfigDlg::WrapToolTip(tips[8].second, QToolTip::font(), 300).count('\n'), 2);
}

TEST(MainWindow, EditingEnablesCommitAndSave) {
    for (int id : {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008}) {
        Window w;
        w.Check(id)->click();
        EXPECT_TRUE(w.CommitAndSaveEnabled()) << id;
    }
    for (int id : {1015, 1016, 1017, 1018}) {
        Window w;
        w.Edit(id)->setFocus();
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "%");
        QApplication::sendEvent(w.Edit(id), &typed);
        EXPECT_EQ(w.Edit(id)->text(), "%");
        EXPECT_TRUE(w.CommitAndSaveEnabled()) << id;
    }
    Window programmatic;
    programmatic.Edit(1018)->setText("?");
    EXPECT_TRUE(programmatic.CommitAndSaveEnabled());

    // A character without an 8-bit code cannot be typed into a sentinel field.
    Window w;
    QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)));
    QApplication::sendEvent(w.Edit(1015), &euro);
    QKeyEvent section(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0xA7)));
    QApplication::sendEvent(w.Edit(1016), &section);
    EXPECT_EQ(w.Edit(1015)->text(), "");
    EXPECT_EQ(w.Edit(1016)->text(), QString(QChar(0xA7)));
}

TEST(MainWindow, AboutFromTheContextMenu) {
    Window w;
    w.Dlg.show();
    QString aboutText;
    bool menuHadEntry = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() != "&About Tavlon...")
                continue;
            menuHadEntry = true;
            QTimer::singleShot(0, [&] {
                auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
                ASSERT_TRUE(about);
                aboutText = about->findChild<QLabel*>("aboutText")->text();
                about->accept();
            });
            action->trigger();
        }
        menu->close();
    });
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(3, 3),
                                 w.Dlg.mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(&w.Dlg, &rightClick);
    EXPECT_TRUE(menuHadEntry);
    EXPECT_EQ(aboutText, "ZYN KVR MSR Configuration Utility\nVersion " MSRCONFIG_VERSION);
    EXPECT_TRUE(w.Dlg.isVisible());
    EXPECT_FALSE(w.CommitAndSaveEnabled());
}

TEST(MainWindow, EscapeClosesButEnterDoesNot) {
    Window w;
    w.Dlg.show();
    w.Edit(1015)->setFocus();
    PressKey(w.Edit(1015), Qt::Key_Return);
    PressKey(w.Edit(1015), Qt::Key_Enter);
    EXPECT_TRUE(w.Dlg.isVisible());
    EXPECT_TRUE(w.Dialogs.ChooserTitles.isEmpty()); // no button was pressed either

    // With a push button focused, Enter presses it.
    w.Dialogs.OpenPath.clear();
    w.Button(IDC_LOAD)->setFocus();
    PressKey(w.Button(IDC_LOAD), Qt::Key_Return);
    EXPECT_EQ(w.Dialogs.ChooserTitles, QStringList{"Select the Desired MSR Configuration File"});

    PressKey(&w.Dlg, Qt::Key_Escape);
    EXPECT_FALSE(w.Dlg.isVisible());
    EXPECT_EQ(w.Dlg.result(), ResultCancel);
}
