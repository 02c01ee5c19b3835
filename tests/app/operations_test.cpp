// The four operations and the batch run, through the real window against the simulated
// reader and real files; only the modal dialogs are scripted.
#include "app/process_guard.h"
#include "config_file/configuration_file.h"
#include "config_file/file_replacement.h"
#include "msr/stop_request.h"
#include "support/sim_fixture.h"
#include "test_window.h"
#ifdef _WIN32
#include "support/win32/fake_port.h"
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using B = UserDialogs::Buttons;
using I = UserDialogs::Icon;
using Texts = std::vector<std::string>;
using Shown = std::vector<ShownMessage>;
const std::string Header = "ZYN MSR Configuration File\n", Commit = ":0100001109E5";
// A file as this platform's Save writes it.
std::string Saved(const std::string& line2) {
    return std::string(ConfigFileHeader) + TextLineEnd + line2 + TextLineEnd;
}
// clang-format off
const ShownMessage AskCustom = {"\"Use Custom Configuration\" is not selected.\n\nChanges to the MSR configuration will be stored to flash, but will not be used by the MSR until the custom configuration is enabled.\n\nDo you want to enable it now?", "Enable Custom Configuration?", B::YesNo, I::Information};
const Shown NotClaimed = {{"The MSR has not been claimed by the application.  Please be sure the COM port is not claimed by other applications.", "Error!", B::Ok, I::None}};
// clang-format on
Shown FileError(const std::string& text) {
    return {{text, "Error!", B::Ok, I::Exclamation}};
}

} // namespace

// A reader named COM12 is offered after COM1..COM11, with where it leads, and Get fills the
// window from it.
TEST(Operations, GetFillsTheWindowFromAReaderBeyondCom11) {
    MsrSimSettings settings;
    settings.PortName = "COM12";
    settings.Configuration = "F6A7007801"; // raw, tracks 1 and 3 off, strip, custom, hide
    SimulatedReader reader(settings);
#ifdef _WIN32 // as a USB adapter's driver registers it
    const FakePort port(L"COM12");
    const std::string leads =
        "USB Serial Port (COM12)  FTDI, USB\\VID_0403&PID_6001, serial A5069RR4";
#else
    const std::string leads = std::filesystem::read_symlink(reader.PortDir() + "/COM12").string();
#endif
    Window w;
    EXPECT_EQ(w.Ui->ListEntries(IDC_PORT).back(), "COM12");
    EXPECT_EQ(w.Ui->ListEntryToolTip(IDC_PORT, 11), "COM12 leads to " + leads);
    EXPECT_EQ(w.Ui->ListEntryToolTip(IDC_PORT, 10), "COM11 leads to no device");
    w.Controls().SelectListEntry(IDC_PORT, 11);
    w.Ui->Click(IDC_GET);
    EXPECT_TRUE(w.Dialogs.Shown.empty());
    EXPECT_EQ(w.Checked(), "10010111"); // 1001 raw ... 1008 hide errors
    EXPECT_EQ(w.Sentinels(), (Texts{"\xA7", "", "x", "\x01"}));
    EXPECT_EQ(w.Controls().Text(IDC_FIRMWARE), "SIM 1.00");
    EXPECT_EQ(w.Buttons(), "EEEE");
    EXPECT_EQ(reader.ReceivedRecords().back(), ":0100001111DD"); // released
}

TEST(Operations, InputMadeDuringAnOperationIsDropped) {
    SimulatedReader reader;
    Window w;
    // A second click on Get and a ticked box, arriving while Get talks to the reader.
    w.Ui->ClickDuring({IDC_GET, IDC_RAW_DATA}, [](TestWindow& ui) { ui.Click(IDC_GET); });
    EXPECT_EQ(w.Checked(), "01111010");             // what the reader has
    EXPECT_EQ(reader.ReceivedRecords().size(), 3u); // one Get: enter, query, release
}

// A stop closes whatever box is open, also the real one a batch run shows before the window
// exists; and a stop during the Save's question withdraws the save.
TEST(Operations, StopSignalsCloseBoxesAndWithdrawSaves) {
    ASSERT_TRUE(InstallStopSignals());
    TempDir dir;
    Window w(false);
    const auto platform = w.Ui->PlatformDialogs();
    w.Dialogs.Real = platform.get();
    w.App.BatchMode = 1;
    w.App.BatchFile = dir.File("missing.txt");
    w.Ui->Later([] { std::raise(SIGTERM); }, 500);   // while the box is up
    EXPECT_EQ(w.Ui->Dlg().RunModal(), ResultCancel); // would wait for a person otherwise
    EXPECT_EQ(w.Dialogs.Shown, FileError("Error opening configuration file."));
    EXPECT_FALSE(w.Ui->IsShown());
    EXPECT_EQ(StoppedExitStatus(), 128 + SIGTERM);
    ClearStopRequest();

    Window saving;
    saving.Ui->Click(IDC_TRACK1); // custom configuration clear: the question comes
    saving.Dialogs.SavePath = dir.File("s.txt");
    saving.Dialogs.WhileShowing = [] { std::raise(SIGTERM); };
    saving.Ui->Click(IDC_SAVE);
    EXPECT_EQ(saving.Dialogs.Shown, std::vector{AskCustom}); // and no message that it was saved
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    ClearStopRequest();
}

// An answer that is not whole is no answer: Get says so and the window keeps what it showed.
class DamagedAnswer : public testing::TestWithParam<std::pair<std::string, int>> {};
TEST_P(DamagedAnswer, LeavesTheWindowAsItWas) {
    MsrSimSettings settings;
    std::tie(settings.QueryDamage, settings.CharDelayMs) = GetParam();
    settings.Configuration = "F6A7007801";
    SimulatedReader reader(settings);
    Window w;
    const std::string before = w.Checked() + w.Controls().Text(IDC_FIRMWARE);
    const Texts sentinels = w.Sentinels();
    w.Ui->Click(IDC_GET);
    EXPECT_EQ(w.Dialogs.Shown, NotClaimed);
    EXPECT_EQ(w.Checked() + w.Controls().Text(IDC_FIRMWARE), before);
    EXPECT_EQ(w.Sentinels(), sentinels);
    EXPECT_EQ(reader.ReceivedRecords().size(), 30u); // enter, query, release, ten times
}
INSTANTIATE_TEST_SUITE_P(Operations, DamagedAnswer,
                         testing::Values(std::pair("", 30), std::pair("corrupt", 0),
                                         std::pair("short", 0), std::pair("odd", 0)));

// Without a reader, Get and Commit say so and leave the window usable.
TEST(Operations, AFailedClaimLeavesTheButtonsUsable) {
    EmptyPortDir noReader;
    Window w;
    w.Controls().SelectListEntry(IDC_PORT, 10); // COM11: no device
    std::string during;
    w.Dialogs.WhileShowing = [&] { during = w.Buttons(); };
    for (int button : {IDC_GET, IDC_COMMIT}) {
        w.Dialogs.Shown.clear();
        w.Ui->Click(button);
        EXPECT_EQ(w.Dialogs.Shown, NotClaimed);
        EXPECT_EQ(during, button == IDC_GET ? "---E" : "--EE"); // while the box is up
        EXPECT_EQ(w.Buttons(), "EEEE"); // then Commit and Get, and Save after a Get
    }
}

TEST(Operations, CommitSendsTheWindowAndAsksAboutCustomConfig) {
    SimulatedReader reader;
    Window w;
    w.Ui->Click(IDC_CARRIAGE_RETURN);
    w.Ui->Click(IDC_TRACK2);
    w.Ui->Type(IDC_TRACK1_START, "\u00e9");
    w.Ui->Type(IDC_TRACK2_START, ";;"); // only the first character is sent
    w.Ui->Type(IDC_END_SENTINEL, "?");
    std::string during;
    w.Dialogs.WhileShowing = [&] { during = w.Buttons(); };
    w.Ui->Click(IDC_COMMIT);
    EXPECT_EQ(w.Dialogs.Shown, std::vector{AskCustom});
    EXPECT_EQ(during, "--EE"); // Get and Commit are off while the reader is held
    EXPECT_EQ(w.Buttons(), "EEEE");
    EXPECT_FALSE(w.Controls().IsChecked(IDC_USE_CUSTOM)); // answered No
    // Track 2 on, 1 and 3 off, carriage return: flags 0x15; custom bit clear.
    EXPECT_EQ(reader.ReceivedRecords().at(2), ":060000110115e93b003f70");
    EXPECT_EQ(std::ranges::count(reader.ReceivedRecords(), Commit), 1);
    EXPECT_EQ(w.Controls().Text(IDC_FIRMWARE), ""); // Commit does not show the firmware

    w.Dialogs.Shown.clear();
    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Ui->Click(IDC_COMMIT);
    EXPECT_EQ(w.Dialogs.Shown, std::vector{AskCustom});
    EXPECT_TRUE(w.Controls().IsChecked(IDC_USE_CUSTOM));
    const auto records = reader.ReceivedRecords(); // custom configuration on, and committed:
    EXPECT_EQ(std::vector(records.end() - 3, records.end() - 1),
              (Texts{":060000110155e93b003f30", Commit}));
}

TEST(Operations, LoadShowsTheFileAndSaveWritesItBack) {
    TempDir dir;
    dir.Write("in.txt", Header + "5d%;+?\n");
    dir.Write("empty.txt", Header + std::string("5d\0\0\0\0\n", 7));
    Window w;
    w.Dialogs.OpenPath = dir.File("in.txt");
    w.Ui->Click(IDC_LOAD);
    EXPECT_EQ(w.Checked(), "01111010"); // 1002-1005 and 1007
    EXPECT_EQ(w.Sentinels(), (Texts{"%", ";", "+", "?"}));
    EXPECT_EQ(w.Buttons(), "EEEE");
    w.Dialogs.SavePath = dir.File("out %s %1.txt");
    w.Ui->Click(IDC_SAVE);
    EXPECT_EQ(dir.Read("out %s %1.txt"), Saved("5d%;+?"));
    // clang-format off
    EXPECT_EQ(w.Dialogs.ChooserTitles, (Texts{"Select the Desired MSR Configuration File", "Select the Desired Target MSR Configuration File"}));
    EXPECT_EQ(w.Dialogs.Shown, (Shown{
        {"Configuration file " + w.Dialogs.OpenPath + " loaded successfully!\n\nClick \"Commit Configuration\" for the loaded configuration to be applied to the MSR.", "Configuration Loaded Successfully!", B::Ok, I::Information},
        {"Configuration successfully saved to " + w.Dialogs.SavePath + "!\n", "Settings Saved!", B::Ok, I::Information}}));
    // clang-format on

    // Empty sentinels loaded into empty fields change no text, and still enable Save.
    Window fresh;
    fresh.Dialogs.OpenPath = dir.File("empty.txt");
    fresh.Ui->Click(IDC_LOAD);
    EXPECT_EQ(fresh.Sentinels(), (Texts{"", "", "", ""}));
    EXPECT_EQ(fresh.Buttons(), "EEEE");
}

// Failures leave the window as it was; Save asks its question only once the target is open.
TEST(Operations, FileFailuresAndTheSaveQuestion) {
    TempDir dir;
    dir.Write("short.txt", Header); // the texts of the other failures: CommandLineRun
    Window w;
    w.Dialogs.OpenPath = dir.File("short.txt");
    w.Ui->Click(IDC_LOAD);
    EXPECT_EQ(w.Dialogs.Shown, FileError("Error getting configuration data from file."));
    EXPECT_EQ(std::tuple(w.Checked(), w.Buttons()), std::tuple("00000000", "E--E"));
    Window cancelled;
    cancelled.Ui->Click(IDC_LOAD);
    cancelled.Ui->Click(IDC_USE_CUSTOM);
    cancelled.Ui->Click(IDC_SAVE);
    EXPECT_EQ(std::tuple(cancelled.Dialogs.Shown.size(), cancelled.Dialogs.ChooserTitles.size()),
              std::tuple(0u, 2u));

    w.Dialogs.Shown.clear();
    w.Ui->Click(IDC_TRACK1); // custom config clear; no question before the target opens
    w.Dialogs.SavePath = dir.File("no/folder.txt");
    w.Ui->Click(IDC_SAVE);
    EXPECT_EQ(w.Dialogs.Shown,
              FileError("Error opening target configuration file.\nConfiguration not saved."));
    w.Dialogs.Shown.clear();
    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Dialogs.SavePath = dir.File("ok.txt");
    w.Ui->Click(IDC_SAVE);
    EXPECT_EQ(w.Dialogs.Shown.front(), AskCustom);
    EXPECT_TRUE(w.Controls().IsChecked(IDC_USE_CUSTOM));
    EXPECT_EQ(dir.Read("ok.txt"), Saved(std::string("44\0\0\0\0", 6))); // empty fields
    // Content the file cannot carry (a line feed before a sentinel) is reported; the old
    // file stays.
    w.Dialogs.Shown.clear();
    w.Controls().SetText(IDC_TRACK1_START, "\n");
    w.Controls().SetText(IDC_END_SENTINEL, "?");
    w.Ui->Click(IDC_SAVE);
    EXPECT_EQ(w.Dialogs.Shown,
              FileError("Error writing target configuration file.\nConfiguration not saved."));
    EXPECT_EQ(dir.Read("ok.txt"), Saved(std::string("44\0\0\0\0", 6)));
}

TEST(Operations, BatchRunAfterAFailedLoadUsesTheBatchArguments) {
    MsrSimSettings settings;
    settings.PortName = "COM9";
    SimulatedReader reader(settings);
    TempDir dir;
    Window w(false);
    w.App.BatchMode = 1;
    w.App.BatchFile = dir.File("later.txt");
    w.App.BatchPort = "COM9";
    w.App.BatchBaud = "9600";
    EXPECT_TRUE(w.Ui->Dlg().Initialise()); // the window opens after the message
    EXPECT_EQ(w.Dialogs.Shown, FileError("Error opening configuration file."));
    EXPECT_EQ(w.App.Status, ExitLoadFailed);
    // Commit uses COM9 from the command line although the list says COM3.
    w.Dialogs.Shown.clear();
    w.Ui->Click(IDC_USE_CUSTOM);
    w.Ui->Click(IDC_COMMIT);
    EXPECT_TRUE(w.Dialogs.Shown.empty());
    EXPECT_EQ(std::ranges::count(reader.ReceivedRecords(), Commit), 1);
    EXPECT_EQ(w.App.Status, ExitOk);
    // Load reads the batch file without a chooser, commits and closes the window.
    dir.Write("later.txt", Header + "5d%;+?\n");
    w.Ui->Later([&] { w.Ui->Click(IDC_LOAD); });
    EXPECT_EQ(w.Controls().RunModal(), 0);
    EXPECT_TRUE(w.Dialogs.ChooserTitles.empty());
    const auto records = reader.ReceivedRecords();
    EXPECT_EQ(std::vector(records.end() - 3, records.end() - 1),
              (Texts{":060000110141253b2b3fdd", Commit}));
    EXPECT_EQ(w.App.Status, ExitOk);
}
