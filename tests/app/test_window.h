// The real front-end as the window suite drives it: built from the layout table, behind the
// controls seam, handled by CConfigDlg, with only the modal dialogs scripted. Each
// front-end implements this once; the suite itself is the same for all of them.
#pragma once

#include "app/config_app.h"
#include "app/config_dlg.h"
#include "msr/msr_settings.h"
#include "scripted_dialogs.h"

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

class TestWindow {
  public:
    enum class Key { Enter, Escape };

    // A window for app (batch arguments set beforehand), not yet initialised.
    static std::unique_ptr<TestWindow> Create(CConfigApp& app, ScriptedDialogs& dialogs);
    virtual ~TestWindow() = default;

    virtual CConfigDlg& Dlg() = 0;
    virtual DialogControls& Controls() = 0;
    // The front-end's own message boxes and file choosers, for ScriptedDialogs::Real.
    virtual std::unique_ptr<UserDialogs> PlatformDialogs() = 0;

    // What a person does.
    virtual void Click(int id) = 0;
    virtual void Type(int id, const std::string& text) = 0;
    virtual void Press(int id, Key key) = 0;
    // Clicks that arrive while `operation` keeps the window from responding (queued behind
    // the click that starts it), and whatever the window does with them afterwards.
    virtual void ClickDuring(const std::vector<int>& ids, void (*operation)(TestWindow&)) = 0;
    // Runs `action` once the window's event loop has run for `ms` (as RunModal starts it).
    virtual void Later(std::function<void()> action, unsigned ms = 0) = 0;

    // What a person sees.
    virtual bool IsShown() = 0;
    virtual std::string Caption() = 0;
    virtual std::string ToolTip(int id) = 0;
    // The tip that shows when the pointer rests on the control; "" when none does.
    virtual std::string HoverToolTip(int id) = 0;
    virtual std::vector<int> TabOrder() = 0;
    virtual std::vector<std::string> ListEntries(int id) = 0;
    // The tip shown when the pointer rests on a list's entry.
    virtual std::string ListEntryToolTip(int id, int index) = 0;
    // Labels and group boxes, sorted.
    virtual std::vector<std::string> StaticTexts() = 0;
    // Opens the platform's file chooser and gives the file types it offers.
    virtual std::vector<std::string> ChooserFileTypes() = 0;
    // Opens About the platform's way and gives its text, or "" when there is none.
    virtual std::string AboutText() = 0;
    // What is wrong with the geometry: resizable, minimise or maximise box, controls
    // outside the window, texts that do not fit, tooltip lines over 320 pixels.
    virtual std::vector<std::string> LayoutProblems() = 0;
};

using Texts = std::vector<std::string>;

// A window with its application object and scripted dialogs, and the states tests compare.
struct Window {
    CConfigApp App;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TestWindow> Ui;
    std::string During; // Buttons() while the last message was up

    explicit Window(bool initialise = true) : Ui(TestWindow::Create(App, Dialogs)) {
        Dialogs.WhileShowing = [this] { During = Buttons(); };
        if (initialise)
            Ui->Dlg().Initialise();
    }
    DialogControls& Controls() { return Ui->Controls(); }
    // Clicks Load or Save with `path` picked in the file chooser.
    void Choose(int id, const std::string& path) {
        (id == IDC_LOAD ? Dialogs.OpenPath : Dialogs.SavePath) = path;
        Ui->Click(id);
    }
    // "1" for each checked box, in the window's order.
    std::string Checked() {
        std::string boxes;
        for (const CMsrSetting& setting : MsrSettings)
            if (!setting.IsSentinel())
                boxes += Controls().IsChecked(setting.Control) ? '1' : '0';
        return boxes;
    }
    Texts Sentinels() {
        Texts texts;
        for (int i = 0; i < MsrSentinelCount; ++i)
            texts.push_back(Controls().Text(MsrSentinel(i).Control));
        return texts;
    }
    // What Get and Load fill in: boxes, sentinels, firmware.
    auto Shows() { return std::tuple(Checked(), Sentinels(), Controls().Text(IDC_FIRMWARE)); }
    // Enabled state of Get, Commit, Save, Load.
    std::string Buttons() {
        std::string state;
        for (int id : {IDC_GET, IDC_COMMIT, IDC_SAVE, IDC_LOAD})
            state += Controls().IsEnabled(id) ? 'E' : '-';
        return state;
    }
};
