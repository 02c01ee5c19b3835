#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/process_guard.h"
#include "msr/stop_request.h"
#include "scripted_dialogs.h"
#include "support/sim_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

namespace {

using B = UserDialogs::Buttons;
using I = UserDialogs::Icon;
const std::string Header = "ZYN MSR Configuration File\n";
const QString NotClaimed = "The MSR has not been claimed by the application.  Please be sure the "
                           "COM port is not claimed by other applications.";
const QString Question = "\"Use Custom Configuration\" is not selected.\n\nChanges to the MSR "
                         "configuration will be stored to flash, but will not be used by the MSR "
                         "until the custom configuration is enabled.\n\nDo you want to enable it "
                         "now?";
const ShownMessage AskCustom =
    Msg(Question, "Enable Custom Configuration?", B::YesNo, I::Information);

struct Window {
    CConfigApp App;
    ScriptedDialogs Dialogs;
    std::unique_ptr<CConfigDlg> Dlg;

    explicit Window(bool initialise = true) {
        App.ApplicationName = "msrconfig";
        if (initialise)
            Start();
    }
    void Batch(const std::string& file, const std::string& port, const std::string& baud) {
        App.BatchMode = 1;
        App.BatchFile = file;
        App.BatchPort = port;
        App.BatchBaud = baud;
    }
    bool Start() {
        Dlg = std::make_unique<CConfigDlg>(App, Dialogs);
        return Dlg->Initialise();
    }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(Dlg->Control(id)); }
    QCheckBox* Check(int id) { return qobject_cast<QCheckBox*>(Dlg->Control(id)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Dlg->Control(id)); }
    QString Firmware() { return qobject_cast<QLabel*>(Dlg->Control(IDC_FIRMWARE))->text(); }
    QString Checked() {
        QString boxes;
        for (int id = 1001; id <= 1008; ++id)
            boxes += Check(id)->isChecked() ? '1' : '0';
        return boxes;
    }
    QStringList Sentinels() {
        return {Edit(1015)->text(), Edit(1016)->text(), Edit(1017)->text(), Edit(1018)->text()};
    }
    // Enabled state of Get, Commit, Save, Load.
    QString Buttons() {
        QString state;
        for (int id : {IDC_GET, IDC_COMMIT, IDC_SAVE, IDC_LOAD})
            state += Button(id)->isEnabled() ? 'E' : '-';
        return state;
    }
};

MsrSimSettings Reader(CMsrConfiguration configuration) {
    MsrSimSettings settings;
    settings.Configuration = configuration;
    return settings;
}

const CMsrConfiguration Stored{1, 0, 1, 1, 1, 0, 1, 0, '%', ';', '+', '?'}; // line 2 "5d%;+?"

} // namespace

TEST(Operations, GetFillsTheWindowAndEnablesEverything) {
    CMsrConfiguration c{0, 1, 0, 1, 0, 1, 1, 1, 0xA7, 0x00, 'x', 0x01};
    SimulatedReader reader(Reader(c));
    Window w;
    w.Button(IDC_GET)->click();
    EXPECT_TRUE(w.Dialogs.Shown.empty());
    EXPECT_EQ(w.Checked(), "10010111"); // 1001 raw ... 1008 hide errors
    EXPECT_EQ(w.Sentinels(), (QStringList{QString(QChar(0xA7)), "", "x", QString(QChar(1))}));
    EXPECT_EQ(w.Firmware(), "SIM 1.00");
    EXPECT_EQ(w.Buttons(), "EEEE");
    EXPECT_EQ(reader.Sim().ReceivedRecords().back(), ":0100001111DD"); // released
}

TEST(Operations, InputMadeDuringAnOperationIsDropped) {
    SimulatedReader reader;
    Window w;
    w.Dlg->show();
    // A second click on Get and a ticked box, queued while Get talks to the reader.
    std::vector<std::pair<QWidget*, QEvent*>> clicks;
    for (QWidget* target : {w.Dlg->Control(IDC_GET), w.Dlg->Control(IDC_RAW_DATA)})
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            clicks.emplace_back(target,
                                new QMouseEvent(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                                                Qt::LeftButton, Qt::NoModifier));
    std::thread person([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (auto [target, event] : clicks)
            QCoreApplication::postEvent(target, event);
    });
    w.Button(IDC_GET)->click();
    person.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Checked(), "01111010");                   // what the reader has
    EXPECT_EQ(reader.Sim().ReceivedRecords().size(), 3u); // one Get: enter, query, release
}

TEST(Operations, StopSignalEndsTheWindowAfterReleasingTheReader) {
    MsrSimSettings settings;
    settings.CommitNeverAcknowledged = true;
    SimulatedReader reader(settings);
    ASSERT_TRUE(InstallStopSignals());
    Window w(false);
    QTimer::singleShot(0, [&] {
        w.Check(IDC_USE_CUSTOM)->click();
        w.Button(IDC_COMMIT)->click();
    });
    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // in the commit's wait
        kill(getpid(), SIGTERM);
    });
    const auto start = std::chrono::steady_clock::now();
    w.Dlg = std::make_unique<CConfigDlg>(w.App, w.Dialogs);
    EXPECT_EQ(w.Dlg->RunModal(), ResultCancel);
    signaller.join();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 8);
    EXPECT_TRUE(w.Dialogs.Shown.empty()); // nobody is left to confirm a message
    const std::vector<std::string> records = reader.Sim().ReceivedRecords();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[3], ":0100001109E5");
    EXPECT_EQ(records[4], ":0100001111DD");
    EXPECT_EQ(StoppedExitStatus(), 128 + SIGTERM);
    ClearStopRequest();
}

TEST(Operations, GetWithoutAReader) {
    EmptyPortDir ports;
    Window w;
    w.Check(1002)->setChecked(true);
    w.Button(IDC_GET)->click();
    EXPECT_EQ(w.Dialogs.Shown, (std::vector{Msg(NotClaimed, "Error!", B::Ok, I::None)}));
    EXPECT_EQ(w.Buttons(), "EEEE");
    EXPECT_EQ(w.Checked(), "01000000"); // nothing in the window changed
}

TEST(Operations, CommitSendsTheWindowAndAsksAboutCustomConfig) {
    SimulatedReader reader;
    Window w;
    w.Check(IDC_CARRIAGE_RETURN)->click();
    w.Check(IDC_TRACK2)->click();
    w.Edit(1015)->setText(QString(QChar(0xE9)));
    w.Edit(1016)->setText(";;"); // only the first character is sent
    w.Edit(1018)->setText("?");
    QString during;
    w.Dialogs.WhileShowing = [&] { during = w.Buttons(); };
    w.Button(IDC_COMMIT)->click();

    EXPECT_EQ(w.Dialogs.Shown, (std::vector{AskCustom}));
    EXPECT_EQ(during, "--EE"); // Get and Commit are off while the reader is held
    EXPECT_EQ(w.Buttons(), "EEEE");
    EXPECT_FALSE(w.Check(IDC_USE_CUSTOM)->isChecked()); // answered No
    // Track 2 on, 1 and 3 off, carriage return: flags 0x15; custom bit clear.
    EXPECT_EQ(reader.Sim().ReceivedRecords().at(2), ":060000110115e93b003f70");
    EXPECT_EQ(reader.Sim().CommitCount(), 1);
    EXPECT_EQ(w.App.Status, ExitOk);
    EXPECT_EQ(w.Firmware(), ""); // Commit does not show the firmware

    w.Dialogs.Shown.clear();
    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Button(IDC_COMMIT)->click();
    EXPECT_EQ(w.Dialogs.Shown, (std::vector{AskCustom}));
    EXPECT_TRUE(w.Check(IDC_USE_CUSTOM)->isChecked());
    EXPECT_EQ(reader.Sim().Committed().UseCustomConfig, 1);
}

TEST(Operations, FailedApplyAndCommitAreReportedAndTheCommitStillSent) {
    // A rejected set record is still followed by a commit; a reader gone before the commit
    // makes the commit fail.
    const std::pair<void (*)(MsrSimSettings&), QString> cases[] = {
        {[](MsrSimSettings& s) { s.SetRejected = true; },
         "Error occurred while applying changes to the MSR configuration."},
        {[](MsrSimSettings& s) { s.UnplugAfterRecords = 3; }, // enter, query, set
         "Error occurred while committing changes to the MSR configuration."}};
    for (const auto& [fault, text] : cases) {
        MsrSimSettings settings;
        fault(settings);
        SimulatedReader reader(settings);
        Window w;
        w.Check(IDC_USE_CUSTOM)->click();
        w.Button(IDC_COMMIT)->click();
        EXPECT_EQ(w.Dialogs.Shown, (std::vector{Msg(text, "msrconfig", B::Ok, I::None)}));
        EXPECT_EQ(reader.Sim().ReceivedRecords().at(3), ":0100001109E5");
        EXPECT_EQ(w.Buttons(), "EEEE");
    }
}

TEST(Operations, LoadShowsTheFileAndSaveWritesItBack) {
    TempDir dir;
    dir.Write("in.txt", Header + "5d%;+?\n");
    Window w;
    w.Dialogs.OpenPath = QString::fromStdString(dir.File("in.txt"));
    w.Button(IDC_LOAD)->click();
    EXPECT_EQ(w.Dialogs.ChooserTitles, QStringList{"Select the Desired MSR Configuration File"});
    EXPECT_EQ(w.Checked(), "01111010"); // 1002-1005 and 1007
    EXPECT_EQ(w.Sentinels(), (QStringList{"%", ";", "+", "?"}));
    EXPECT_EQ(w.Dialogs.Shown,
              (std::vector{Msg("Configuration file " + w.Dialogs.OpenPath +
                                   " loaded successfully!\n\nClick \"Commit Configuration\" for "
                                   "the loaded configuration to be applied to the MSR.",
                               "Configuration Loaded Successfully!", B::Ok, I::Information)}));
    EXPECT_EQ(w.Buttons(), "EEEE");

    w.Dialogs.Shown.clear();
    w.Dialogs.SavePath = QString::fromStdString(dir.File("out %s %1.txt"));
    w.Button(IDC_SAVE)->click();
    EXPECT_EQ(w.Dialogs.ChooserTitles.last(), "Select the Desired Target MSR Configuration File");
    EXPECT_EQ(dir.Read("out %s %1.txt"), Header + "5d%;+?\n");
    EXPECT_EQ(w.Dialogs.Shown,
              (std::vector{Msg("Configuration successfully saved to " + w.Dialogs.SavePath + "!\n",
                               "Settings Saved!", B::Ok, I::Information)}));
}

TEST(Operations, LoadEnablesSaveAlsoWhenNoFieldChanges) {
    TempDir dir;
    dir.Write("empty.txt", Header + std::string("5d\0\0\0\0\n", 7));
    Window w;
    w.Dialogs.OpenPath = QString::fromStdString(dir.File("empty.txt"));
    w.Button(IDC_LOAD)->click();
    EXPECT_EQ(w.Sentinels(), (QStringList{"", "", "", ""}));
    EXPECT_EQ(w.Buttons(), "EEEE");
}

TEST(Operations, FileFailuresLeaveTheWindowAlone) {
    TempDir dir;
    dir.Write("bad.txt", "not a configuration\n5d%;+?\n");
    dir.Write("short.txt", Header);
    const std::pair<std::string, QString> cases[] = {
        {"missing.txt", "Error opening configuration file."},
        {"bad.txt", "Bad configuration file header."},
        {"short.txt", "Error getting configuration data from file."}};
    for (const auto& [file, text] : cases) {
        Window w;
        w.Dialogs.OpenPath = QString::fromStdString(dir.File(file));
        w.Button(IDC_LOAD)->click();
        EXPECT_EQ(w.Dialogs.Shown, (std::vector{Msg(text, "Error!", B::Ok, I::Exclamation)}));
        EXPECT_EQ(w.Checked(), "00000000");
        EXPECT_EQ(w.Buttons(), "E--E");
    }

    Window cancelled;
    cancelled.Button(IDC_LOAD)->click();
    cancelled.Check(IDC_USE_CUSTOM)->click();
    cancelled.Button(IDC_SAVE)->click();
    EXPECT_TRUE(cancelled.Dialogs.Shown.empty());
    EXPECT_EQ(cancelled.Dialogs.ChooserTitles.size(), 2);
}

TEST(Operations, SaveFailuresAndTheQuestionAfterOpening) {
    TempDir dir;
    Window w;
    w.Check(IDC_TRACK1)->click(); // custom config clear
    w.Dialogs.SavePath = QString::fromStdString(dir.File("no/folder.txt"));
    w.Button(IDC_SAVE)->click();
    EXPECT_EQ(w.Dialogs.Shown,
              (std::vector{Msg("Error opening target configuration file.\nConfiguration not saved.",
                               "Error!", B::Ok, I::Exclamation)})); // no question before it

    w.Dialogs.Shown.clear();
    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Dialogs.SavePath = QString::fromStdString(dir.File("ok.txt"));
    w.Button(IDC_SAVE)->click();
    EXPECT_EQ(w.Dialogs.Shown.front(), AskCustom);
    EXPECT_TRUE(w.Check(IDC_USE_CUSTOM)->isChecked());
    EXPECT_EQ(dir.Read("ok.txt"), Header + std::string("44\0\0\0\0\n", 7)); // empty fields

    // A disk that fills up half-way is reported, and the old file stays.
    w.Dialogs.Shown.clear();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = saved;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    w.Button(IDC_SAVE)->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(w.Dialogs.Shown,
              (std::vector{Msg("Error writing target configuration file.\nConfiguration not saved.",
                               "Error!", B::Ok, I::Exclamation)}));
    EXPECT_EQ(dir.Read("ok.txt"), Header + std::string("44\0\0\0\0\n", 7));
}

TEST(Operations, EightBitSentinelSurvivesGetSaveLoadCommit) {
    CMsrConfiguration c{0, 0, 1, 1, 1, 0, 1, 0, 0xF1, 0x80, 0xFF, 0xA7};
    SimulatedReader reader(Reader(c));
    TempDir dir;
    Window w;
    w.Button(IDC_GET)->click();
    w.Dialogs.SavePath = QString::fromStdString(dir.File("eight.txt"));
    w.Button(IDC_SAVE)->click();
    EXPECT_EQ(dir.Read("eight.txt"), Header + "5c\xF1\x80\xFF\xA7\n");

    Window fresh;
    fresh.Dialogs.OpenPath = w.Dialogs.SavePath;
    fresh.Button(IDC_LOAD)->click();
    EXPECT_EQ(fresh.Sentinels(), w.Sentinels());
    fresh.Button(IDC_COMMIT)->click();
    EXPECT_EQ(reader.Sim().Committed(), c);
}

TEST(Operations, BatchRunClosesTheWindowBeforeItShows) {
    SimulatedReader reader;
    TempDir dir;
    dir.Write("batch.txt", Header + "1c!\"#$\n"); // tracks on, custom config clear
    Window w(false);
    w.Batch(dir.File("batch.txt"), "COM3", "19200");
    EXPECT_FALSE(w.Start());
    EXPECT_FALSE(w.Dlg->isVisible());
    EXPECT_EQ(w.Dialogs.Shown, (std::vector{AskCustom})); // no "loaded" message in batch mode
    EXPECT_EQ(reader.Sim().Committed(),
              (CMsrConfiguration{0, 0, 1, 1, 1, 0, 0, 0, '!', '"', '#', '$'}));
    EXPECT_EQ(w.App.Status, ExitOk);
}

TEST(Operations, BatchRunAfterAFailedLoadUsesTheBatchArguments) {
    MsrSimSettings settings;
    settings.PortName = "COM9";
    SimulatedReader reader(settings);
    TempDir dir;
    Window w(false);
    w.Batch(dir.File("later.txt"), "COM9", "9600");
    EXPECT_TRUE(w.Start()); // the window opens after the message
    EXPECT_EQ(w.Dialogs.Shown, (std::vector{Msg("Error opening configuration file.", "Error!",
                                                B::Ok, I::Exclamation)}));
    EXPECT_EQ(w.App.Status, ExitLoadFailed);

    // Commit uses COM9 from the command line although the list says COM3.
    w.Dialogs.Shown.clear();
    w.Check(IDC_USE_CUSTOM)->click();
    w.Button(IDC_COMMIT)->click();
    EXPECT_TRUE(w.Dialogs.Shown.empty());
    EXPECT_EQ(reader.Sim().CommitCount(), 1);
    EXPECT_EQ(w.App.Status, ExitOk);

    // Load reads the batch file without a chooser, commits and closes the window.
    dir.Write("later.txt", Header + "5d%;+?\n");
    w.Dlg->show();
    w.Button(IDC_LOAD)->click();
    EXPECT_TRUE(w.Dialogs.ChooserTitles.isEmpty());
    EXPECT_FALSE(w.Dlg->isVisible());
    EXPECT_EQ(reader.Sim().Committed(), Stored);
    EXPECT_EQ(w.App.Status, ExitOk);
}
