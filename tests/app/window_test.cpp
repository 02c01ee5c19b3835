// The main window as a person finds it: controls, texts, tooltips, order, start state,
// enabling rules, About, Enter and Escape.
#include "test_window.h"

#include <gtest/gtest.h>

using Texts = std::vector<std::string>;

TEST(MainWindow, ControlsTextsAndStartState) {
    Window w;
    EXPECT_EQ(w.Ui->Caption(), "ZYN KVR MSR Configuration Utility");
    // clang-format off
    const std::pair<int, const char*> captions[] = {
        {1001, "Raw Data Mode(AAMVA Mode)"}, {1002, "Carriage Return Enabled"}, {1003, "Track 1 Enabled"},
        {1004, "Track 2 Enabled"}, {1005, "Track 3 Enabled"}, {1006, "Strip Sentinels"}, {1007, "Use Custom Config"},
        {1008, "Hide Error Tracks"}, {1009, "Get Current MSR Config"}, {1010, "Commit Config"},
        {1011, "Save Current Settings"}, {1012, "Load Saved Config"}};
    for (auto [id, text] : captions)
        EXPECT_EQ(w.Controls().Text(id), text) << id;
    EXPECT_EQ(w.Ui->StaticTexts(), (Texts{"Baud Rate", "COM Port", "Configuration File Operations", "End Sentinel",
        "Firmware Revision : ", "MSR Communication Parameters", "MSR Configuration Parameters",
        "Start Sentinel(Track 1)", "Start Sentinel(Track 2)", "Start Sentinel(Track 3)"}));
    EXPECT_EQ(w.Ui->ListEntries(IDC_PORT), (Texts{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8",
        "COM9", "COM10", "COM11"}));
    // clang-format on
    EXPECT_EQ(w.Ui->ListEntries(IDC_BAUD), (Texts{"19200", "38400", "9600"}));
    EXPECT_EQ(w.Controls().SelectedListText(IDC_PORT), "COM3");
    EXPECT_EQ(w.Controls().SelectedListText(IDC_BAUD), "19200");
    EXPECT_EQ(w.Checked(), "00000000");
    EXPECT_EQ(w.Sentinels(), (Texts{"", "", "", ""}));
    EXPECT_EQ(w.Controls().Text(IDC_FIRMWARE), "");
    EXPECT_EQ(w.Buttons(), "E--E");
    EXPECT_EQ(w.Ui->TabOrder(),
              (std::vector<int>{1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                                1012, 1015, 1016, 1017, 1018, 1019, 1020}));
    EXPECT_EQ(w.Ui->LayoutProblems(), Texts{});
}

TEST(MainWindow, ToolTipsAreExact) {
    Window w;
    // clang-format off
    const std::pair<int, const char*> tips[] = {
        {1001, "\nEnabling this option removes MSR data formatting.  The raw card contents are returned in the data stream.\n\nThis mode also enables AAMVA(California Driver's License Mode).\n"},
        {1002, "\nEnabling this option appends a carriage return after each returned track.\n"},
        {1003, "Enable this option to include Track 1 in the data stream after a swipe.  \n\nThe swiped card must contain a valid Track 1."},
        {1004, "Enable this option to include Track 2 in the data stream after a swipe.  \n\nThe swiped card must contain a valid Track 2."},
        {1005, "Enable this option to include Track 3 in the data stream after a swipe.  \n\nThe swiped card must contain a valid Track 3."},
        {1006, "\nEnabling this option removes the start and stop sentinels from the MSR returned data stream.\n"},
        {1007, "\n**If this option is disabled, the default configuration is used by the MSR**\n\nThis option must be enabled for the MSR to use the custom configuration.\n"},
        {1008, "\nEnabling this option disables error reporting after a bad card swipe.\n"},
        {1009, "\nGets the current active MSR configuration from the MSR located on the specified COM port. The specified COM port must not be in use by other applications.\n"},
        {1010, "\nCommits the shown confIguration to the MSR flash.\n"},
        {1011, "\nSaves the current configuration to a configuration file.\n"},
        {1012, "\nLoads a saved configuration from a configuration file.\n"},
        {1015, "\nSets the Track 1 start sentinel.\n"},
        {1016, "\nSets the Track 2 start sentinel.\n"},
        {1017, "\nSets the Track 3 start sentinel.\n"},
        {1018, "\nSets the end sentinel for each track.\n"}};
    // clang-format on
    for (auto [id, tip] : tips)
        EXPECT_EQ(w.Ui->ToolTip(id), tip) << id;
    // A greyed button still tells what it does.
    ASSERT_FALSE(w.Controls().IsEnabled(IDC_COMMIT));
    EXPECT_EQ(w.Ui->HoverToolTip(IDC_COMMIT), tips[9].second);
}

TEST(MainWindow, EditingEnablesCommitAndSave) {
    for (int id = IDC_RAW_DATA; id <= IDC_HIDE_ERRORS; ++id) {
        Window w;
        w.Ui->Click(id);
        EXPECT_EQ(w.Buttons(), "EEEE") << id;
    }
    for (int id = IDC_TRACK1_START; id <= IDC_END_SENTINEL; ++id) {
        Window w;
        w.Ui->Type(id, "\u4e2d"); // no 8-bit code: refused, whatever the system's code page
        EXPECT_EQ(w.Controls().Text(id), "");
        EXPECT_EQ(w.Buttons(), "E--E") << id;
        w.Ui->Type(id, "\u00a7"); // an 8-bit sentinel
        EXPECT_EQ(w.Controls().Text(id), "\xA7");
        EXPECT_EQ(w.Buttons(), "EEEE") << id;
    }
}

// The platform's own boxes: About leaves the window as it was; choosers name the file types.
TEST(MainWindow, AboutAndTheChoosers) {
    Window w;
    EXPECT_EQ(w.Ui->AboutText(), "ZYN KVR MSR Configuration Utility\nVersion " MSRCONFIG_VERSION);
    EXPECT_TRUE(w.Ui->IsShown());
    EXPECT_EQ(w.Buttons(), "E--E");
    EXPECT_EQ(w.Ui->ChooserFileTypes(), (Texts{"All", "Text"}));
}

TEST(MainWindow, EscapeClosesButEnterDoesNot) {
    Window w;
    w.Ui->Later([&] {
        w.Ui->Press(IDC_TRACK1_START, TestWindow::Key::Enter);
        EXPECT_TRUE(w.Ui->IsShown());
        EXPECT_TRUE(w.Dialogs.ChooserTitles.empty()); // no button was pressed either
        // With a push button focused, Enter presses it.
        w.Ui->Press(IDC_LOAD, TestWindow::Key::Enter);
        EXPECT_EQ(w.Dialogs.ChooserTitles, Texts{"Select the Desired MSR Configuration File"});
        w.Ui->Press(0, TestWindow::Key::Escape);
    });
    EXPECT_EQ(w.Controls().RunModal(), ResultCancel);
    EXPECT_FALSE(w.Ui->IsShown());
}
