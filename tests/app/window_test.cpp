// The main window as a person finds it: controls, texts, tooltips, order, start state,
// enabling rules, About, Enter and Escape.
#include "layout_text.h"
#include "test_window.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

TEST(MainWindow, ControlsTextsAndStartState) {
    Window w;
    EXPECT_EQ(w.Ui->Caption(), "ZYN KVR MSR Configuration Utility");
    Texts captions; // of boxes and buttons, 1001 to 1012
    for (int id = 1001; id <= 1012; ++id)
        captions.push_back(w.Controls().Text(id));
    // clang-format off
    EXPECT_EQ(captions, (Texts{"Raw Data Mode(AAMVA Mode)", "Carriage Return Enabled", "Track 1 Enabled",
        "Track 2 Enabled", "Track 3 Enabled", "Strip Sentinels", "Use Custom Config", "Hide Error Tracks",
        "Get Current MSR Config", "Commit Config", "Save Current Settings", "Load Saved Config"}));
    EXPECT_EQ(w.Ui->StaticTexts(), (Texts{"Baud Rate", "COM Port", "Configuration File Operations", "End Sentinel",
        "Firmware Revision : ", "MSR Communication Parameters", "MSR Configuration Parameters",
        "Start Sentinel(Track 1)", "Start Sentinel(Track 2)", "Start Sentinel(Track 3)"}));
    EXPECT_EQ(w.Ui->ListEntries(IDC_PORT), (Texts{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8",
        "COM9", "COM10", "COM11"}));
    EXPECT_EQ(w.Ui->TabOrder(), (std::vector<int>{1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
        1012, 1015, 1016, 1017, 1018, 1019, 1020}));
    // clang-format on
    EXPECT_EQ(w.Ui->ListEntries(IDC_BAUD), (Texts{"19200", "38400", "9600"}));
    EXPECT_EQ(std::tuple(w.Controls().SelectedListText(IDC_PORT),
                         w.Controls().SelectedListText(IDC_BAUD), w.Shows(), w.Buttons()),
              std::tuple("COM3", "19200", std::tuple("00000000", Texts(4), ""), "E--E"));
    EXPECT_EQ(w.Ui->LayoutProblems(), Texts{});
}

// Each control's tooltip as the layout table gives it, "\n" read as a line break.
TEST(MainWindow, ToolTipsAreExact) {
    Window w;
    std::istringstream lines(LayoutText);
    std::smatch cells; // a control's id, six columns, a tooltip
    unsigned tips = 0;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_match(line, cells, std::regex(R"((\d+)(\t[^\t]*){6}\t([^\t]+))"))) {
            ++tips;
            EXPECT_EQ(w.Ui->ToolTip(std::stoi(cells[1])),
                      std::regex_replace(cells[3].str(), std::regex(R"(\\n)"), "\n"))
                << cells[1];
        }
    EXPECT_EQ(tips, 16u);
    // Two as written, should the table and the window go wrong alike.
    const char* const commit = "\nCommits the shown confIguration to the MSR flash.\n";
    EXPECT_EQ(w.Ui->ToolTip(IDC_USE_CUSTOM),
              "\n**If this option is disabled, the default configuration is used by the MSR**\n\n"
              "This option must be enabled for the MSR to use the custom configuration.\n");
    // A greyed button still tells what it does.
    EXPECT_EQ((std::tuple{w.Ui->ToolTip(IDC_COMMIT), w.Controls().IsEnabled(IDC_COMMIT),
                          w.Ui->HoverToolTip(IDC_COMMIT)}),
              std::tuple(commit, false, commit));
}

TEST(MainWindow, EditingEnablesCommitAndSave) {
    for (const CMsrSetting& option : MsrSettings) {
        const int id = option.Control;
        Window w;
        if (option.IsSentinel()) {
            w.Ui->Type(id, "\u4e2d"); // no 8-bit code: refused, whatever the system's code page
            EXPECT_EQ(std::tuple(w.Controls().Text(id), w.Buttons()), std::tuple("", "E--E")) << id;
            w.Ui->Type(id, "\u00a7"); // an 8-bit sentinel
            EXPECT_EQ(w.Controls().Text(id), "\xA7") << id;
        } else {
            w.Ui->Click(id);
        }
        EXPECT_EQ(w.Buttons(), "EEEE") << option.Key;
    }
}

// The platform's own boxes: About leaves the window as it was; choosers name the file types.
TEST(MainWindow, AboutAndTheChoosers) {
    Window w;
    EXPECT_EQ(w.Ui->AboutText(), "ZYN KVR MSR Configuration Utility\nVersion " MSRCONFIG_VERSION);
    EXPECT_EQ(std::tuple(w.Ui->IsShown(), w.Buttons()), std::tuple(true, "E--E"));
    EXPECT_EQ(w.Ui->ChooserFileTypes(), (Texts{"All", "Text"}));
}

TEST(MainWindow, EscapeClosesButEnterDoesNot) {
    Window w;
    w.Ui->Later([&] {
        w.Ui->Press(IDC_TRACK1_START, TestWindow::Key::Enter);
        // No button was pressed either.
        EXPECT_EQ(std::tuple(w.Ui->IsShown(), w.Dialogs.ChooserTitles), std::tuple(true, Texts{}));
        // With a push button focused, Enter presses it.
        w.Ui->Press(IDC_LOAD, TestWindow::Key::Enter);
        EXPECT_EQ(w.Dialogs.ChooserTitles, Texts{"Select the Desired MSR Configuration File"});
        w.Ui->Press(0, TestWindow::Key::Escape);
    });
    EXPECT_EQ((std::tuple{w.Controls().RunModal(), w.Ui->IsShown()}),
              std::tuple(ResultCancel, false));
}
