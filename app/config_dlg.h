// The main window's behaviour: the initialisation, the enabling rules, the four operations
// (Get, Commit, Load, Save), the batch run and the closing rules. It reaches the screen only
// through the controls seam and UserDialogs; the controls are the only place the
// configuration lives between operations.
#pragma once

#include "app/dialog_controls.h"
#include "app/user_dialogs.h"
#include "msr/msr_configuration.h"
#include "msr/msr_settings.h"

#include <memory>
#include <optional>
#include <string>

class CConfigApp;
class CMsrConnection;
class CRunReport;
struct CClaimPolicy;

// Control identifiers; the settings' controls are the settings table's.
enum ControlId {
    IDC_RAW_DATA = MsrSettingControl("raw_data_mode"),
    IDC_CARRIAGE_RETURN = MsrSettingControl("carriage_return"),
    IDC_TRACK1 = MsrSettingControl("track1_enabled"),
    IDC_TRACK2 = MsrSettingControl("track2_enabled"),
    IDC_TRACK3 = MsrSettingControl("track3_enabled"),
    IDC_STRIP_SENTINELS = MsrSettingControl("strip_sentinels"),
    IDC_USE_CUSTOM = MsrSettingControl("use_custom_config"),
    IDC_HIDE_ERRORS = MsrSettingControl("hide_error_tracks"),
    IDC_GET = 1009,
    IDC_COMMIT = 1010,
    IDC_SAVE = 1011,
    IDC_LOAD = 1012,
    IDC_TRACK1_START = MsrSettingControl("track1_start_sentinel"),
    IDC_TRACK2_START = MsrSettingControl("track2_start_sentinel"),
    IDC_TRACK3_START = MsrSettingControl("track3_start_sentinel"),
    IDC_END_SENTINEL = MsrSettingControl("end_sentinel"),
    IDC_PORT = 1019,
    IDC_BAUD = 1020,
    IDC_FIRMWARE = 1023,
};

inline constexpr int ResultOk = 1;
inline constexpr int ResultCancel = 2;

class CConfigDlg {
  public:
    CConfigDlg(CConfigApp& app, DialogControls& controls, UserDialogs& dialogs);
    CConfigDlg(const CConfigDlg&) = delete;
    CConfigDlg& operator=(const CConfigDlg&) = delete;
    ~CConfigDlg();

    // Runs the initialisation (and the batch run, if any), then the window until it closes.
    // A batch run that succeeds in loading closes the window before it is ever shown.
    int RunModal();
    // The initialisation alone; false when the window was closed during it.
    bool Initialise();

    // What the front-end reports: a click on a button or check box, a changed edit field.
    void OnClicked(int id);
    void OnTextChanged(int id);
    // Escape or the close box: the cancel command.
    void OnCancel();
    // A stop signal: whatever box is open closes, and so does the window.
    void OnStopRequested();
    // The window is gone for good (its display went away) and nothing will unwind: the
    // reader, if one is claimed, is released now.
    void ReleaseReader();

    void OnGetConfig();
    void OnCommitConfig();
    void OnSaveConfig();
    void OnLoadConfig();
    void EnableEditing();

  private:
    enum class CommitOutcome { Committed, NotClaimed, NotAccepted };

    // Claims the reader, fills its record from the window and writes it; `report` learns
    // what the reader held, what changed and why a claim failed.
    CommitOutcome Commit(const std::string& port, const std::string& baud,
                         const CClaimPolicy& policy, CRunReport& report);
    void CommitBatch();
    // The file into the window; false, the message shown, when it cannot be loaded.
    std::optional<CMsrConfiguration> Load(const std::string& path);
    void RunBatch();
    void ShowConfiguration(const CMsrConfiguration& configuration, bool withSentinels);
    // The options as the check boxes show them.
    void ReadOptions(CMsrConfiguration& configuration) const;
    // When "Use Custom Config" is clear, asks whether to turn it on.
    void AskForCustomConfig(CMsrConfiguration& configuration);
    std::uint8_t SentinelCode(int id) const;
    std::string FieldText(int id) const;
    void Message(const std::string& text, const std::string& caption, UserDialogs::Icon icon);
    void Close(int result);

    CConfigApp& App;
    DialogControls& Controls;
    UserDialogs& Dialogs;
    std::unique_ptr<CMsrConnection> Connection; // only while Get or Commit runs
    bool Closed = false;
    int Result = 0;
};
