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

using B = UserDialogs::Buttons;
using I = UserDialogs::Icon;
using Shown = std::vector<ShownMessage>;
const std::string Header = "ZYN MSR Configuration File\n", Commit = ":0100001109E5";
// A file as this platform's Save writes it.
static std::string Saved(const std::string& line2) {
    return std::string(ConfigFileHeader) + TextLineEnd + line2 + TextLineEnd;
}
// clang-format off
const ShownMessage AskCustom = {"\"Use Custom Configuration\" is not selected.\n\nChanges to the MSR configuration will be stored to flash, but will not be used by the MSR until the custom configuration is enabled.\n\nDo you want to enable it now?", "Enable Custom Configuration?", B::YesNo, I::Information};
const Shown NotClaimed = {{"The MSR has not been claimed by the application.  Please be sure the COM port is not claimed by other applications.", "Error!", B::Ok, I::None}};
// clang-format on
static Shown FileError(const std::string& text) {
    return {{text, "Error!", B::Ok, I::Exclamation}};
}

// A reader named COM12 is offered after COM1..COM11, with where it leads, and Get fills the
// window from it.
TEST(Operations, GetFillsTheWindowFromAReaderBeyondCom11) {
    MsrSimSettings settings;
    // Raw, tracks 1 and 3 off, strip, custom, hide.
    std::tie(settings.PortName, settings.Configuration) = std::tuple("COM12", "F6A7007801");
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
    // Boxes 1001 raw ... 1008 hide errors.
    EXPECT_EQ(
        std::tuple(w.Dialogs.Shown.size(), w.Shows(), w.Buttons()),
        std::tuple(0u, std::tuple("10010111", Texts{"\xA7", "", "x", "\x01"}, "SIM 1.00"), "EEEE"));
    EXPECT_EQ(reader.ReceivedRecords().back(), ":0100001111DD"); // released
}

TEST(Operations, InputMadeDuringAnOperationIsDropped) {
    SimulatedReader reader;
    Window w;
    // A second click on Get and a ticked box, arriving while Get talks to the reader.
    w.Ui->ClickDuring({IDC_GET, IDC_RAW_DATA}, [](TestWindow& ui) { ui.Click(IDC_GET); });
    // What the reader has, from one Get: enter, query, release.
    EXPECT_EQ(std::tuple(w.Checked(), reader.ReceivedRecords().size()), std::tuple("01111010", 3u));
}

// A stop closes whatever box is open, also the real one a batch run shows before the window
// exists; and a stop during the Save's question withdraws the save.
TEST(Operations, StopSignalsCloseBoxesAndWithdrawSaves) {
    ASSERT_TRUE(InstallStopSignals());
    TempDir dir;
    Window w(false);
    const auto platform = w.Ui->PlatformDialogs();
    w.Dialogs.Real = platform.get();
    std::tie(w.App.BatchMode, w.App.BatchFile) = std::tuple(1, dir.File("missing.txt"));
    w.Ui->Later([] { std::raise(SIGTERM); }, 500);   // while the box is up
    EXPECT_EQ(w.Ui->Dlg().RunModal(), ResultCancel); // would wait for a person otherwise
    EXPECT_EQ(std::tuple(w.Dialogs.Shown, w.Ui->IsShown(), StoppedExitStatus()),
              std::tuple(FileError("Error opening configuration file."), false, 128 + SIGTERM));
    ClearStopRequest();

    Window saving;
    saving.Ui->Click(IDC_TRACK1); // custom configuration clear: the question comes
    saving.Dialogs.WhileShowing = [] { std::raise(SIGTERM); };
    saving.Choose(IDC_SAVE, dir.File("s.txt"));
    // And no message that it was saved.
    EXPECT_EQ(std::tuple(saving.Dialogs.Shown, std::filesystem::is_empty(dir.Path())),
              std::tuple(std::vector{AskCustom}, true));
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
    const auto before = w.Shows();
    w.Ui->Click(IDC_GET);
    EXPECT_EQ(std::tuple(w.Dialogs.Shown, w.Shows()), std::tuple(NotClaimed, before));
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
    for (int button : {IDC_GET, IDC_COMMIT}) {
        w.Ui->Click(button);
        // While the box is up; then Commit and Get, and Save after a Get.
        EXPECT_EQ(std::tuple(w.Dialogs.Take(), w.During, w.Buttons()),
                  std::tuple(NotClaimed, button == IDC_GET ? "---E" : "--EE", "EEEE"));
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
    w.Ui->Click(IDC_COMMIT);
    // Get and Commit are off while the reader is held; answered No.
    EXPECT_EQ(
        std::tuple(w.Dialogs.Take(), w.During, w.Buttons(), w.Controls().IsChecked(IDC_USE_CUSTOM)),
        std::tuple(std::vector{AskCustom}, "--EE", "EEEE", false));
    // Track 2 on, 1 and 3 off, carriage return: flags 0x15; custom bit clear. Commit does not
    // show the firmware.
    EXPECT_EQ(std::tuple(reader.ReceivedRecords().at(2),
                         std::ranges::count(reader.ReceivedRecords(), Commit),
                         w.Controls().Text(IDC_FIRMWARE)),
              std::tuple(":060000110115e93b003f70", 1, ""));

    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Ui->Click(IDC_COMMIT);
    const auto records = reader.ReceivedRecords(); // custom configuration on, and committed:
    EXPECT_EQ(std::tuple(w.Dialogs.Shown, w.Controls().IsChecked(IDC_USE_CUSTOM),
                         std::vector(records.end() - 3, records.end() - 1)),
              std::tuple(std::vector{AskCustom}, true, Texts{":060000110155e93b003f30", Commit}));
}

TEST(Operations, LoadShowsTheFileAndSaveWritesItBack) {
    TempDir dir;
    dir.Write("in.txt", Header + "5d%;+?\n");
    dir.Write("empty.txt", Header + std::string("5d\0\0\0\0\n", 7));
    Window w;
    w.Choose(IDC_LOAD, dir.File("in.txt"));
    // Boxes 1002-1005 and 1007.
    EXPECT_EQ(std::tuple(w.Checked(), w.Sentinels(), w.Buttons()),
              std::tuple("01111010", Texts{"%", ";", "+", "?"}, "EEEE"));
    w.Choose(IDC_SAVE, dir.File("out %s %1.txt"));
    EXPECT_EQ(dir.Read("out %s %1.txt"), Saved("5d%;+?"));
    // clang-format off
    EXPECT_EQ(w.Dialogs.ChooserTitles, (Texts{"Select the Desired MSR Configuration File", "Select the Desired Target MSR Configuration File"}));
    EXPECT_EQ(w.Dialogs.Shown, (Shown{
        {"Configuration file " + w.Dialogs.OpenPath + " loaded successfully!\n\nClick \"Commit Configuration\" for the loaded configuration to be applied to the MSR.", "Configuration Loaded Successfully!", B::Ok, I::Information},
        {"Configuration successfully saved to " + w.Dialogs.SavePath + "!\n", "Settings Saved!", B::Ok, I::Information}}));
    // clang-format on

    // Empty sentinels loaded into empty fields change no text, and still enable Save.
    Window fresh;
    fresh.Choose(IDC_LOAD, dir.File("empty.txt"));
    EXPECT_EQ(std::tuple(fresh.Sentinels(), fresh.Buttons()), std::tuple(Texts(4), "EEEE"));
}

// Failures leave the window as it was; Save asks its question only once the target is open.
TEST(Operations, FileFailuresAndTheSaveQuestion) {
    TempDir dir;
    dir.Write("short.txt", Header); // the texts of the other failures: CommandLineRun
    Window w;
    w.Choose(IDC_LOAD, dir.File("short.txt"));
    EXPECT_EQ(
        std::tuple(w.Dialogs.Take(), w.Checked(), w.Buttons()),
        std::tuple(FileError("Error getting configuration data from file."), "00000000", "E--E"));
    Window cancelled;
    for (int id : {IDC_LOAD, IDC_USE_CUSTOM, IDC_SAVE})
        cancelled.Ui->Click(id);
    EXPECT_EQ(std::tuple(cancelled.Dialogs.Shown.size(), cancelled.Dialogs.ChooserTitles.size()),
              std::tuple(0u, 2u));

    w.Ui->Click(IDC_TRACK1); // custom config clear; no question before the target opens
    w.Choose(IDC_SAVE, dir.File("no/folder.txt"));
    EXPECT_EQ(w.Dialogs.Take(),
              FileError("Error opening target configuration file.\nConfiguration not saved."));
    w.Dialogs.Answers = {UserDialogs::Answer::Yes};
    w.Choose(IDC_SAVE, dir.File("ok.txt"));
    EXPECT_EQ(std::tuple(w.Dialogs.Take().front(), w.Controls().IsChecked(IDC_USE_CUSTOM)),
              std::tuple(AskCustom, true));
    EXPECT_EQ(dir.Read("ok.txt"), Saved(std::string("44\0\0\0\0", 6))); // empty fields
    // Content the file cannot carry (a line feed before a sentinel) is reported; the old
    // file stays.
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
    std::tie(w.App.BatchMode, w.App.BatchFile, w.App.BatchPort, w.App.BatchBaud) =
        std::tuple(1, dir.File("later.txt"), "COM9", "9600");
    // The window opens after the message.
    EXPECT_EQ((std::tuple{w.Ui->Dlg().Initialise(), w.Dialogs.Take(), w.App.Status}),
              std::tuple(true, FileError("Error opening configuration file."), ExitLoadFailed));
    // Commit uses COM9 from the command line although the list says COM3.
    w.Ui->Click(IDC_USE_CUSTOM);
    w.Ui->Click(IDC_COMMIT);
    EXPECT_EQ(std::tuple(w.Dialogs.Shown.size(),
                         std::ranges::count(reader.ReceivedRecords(), Commit), w.App.Status),
              std::tuple(0u, 1, ExitOk));
    // Load reads the batch file without a chooser, commits and closes the window.
    dir.Write("later.txt", Header + "5d%;+?\n");
    w.Ui->Later([&] { w.Ui->Click(IDC_LOAD); });
    EXPECT_EQ(w.Controls().RunModal(), 0);
    const auto records = reader.ReceivedRecords();
    EXPECT_EQ(std::tuple(w.Dialogs.ChooserTitles.size(),
                         std::vector(records.end() - 3, records.end() - 1), w.App.Status),
              std::tuple(0u, Texts{":060000110141253b2b3fdd", Commit}, ExitOk));
}
