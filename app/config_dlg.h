// The main window's behaviour: the initialisation, the enabling rules, the four operations
// (Get, Commit, Load, Save), the batch run and the closing rules. It reaches the screen only
// through the controls seam and UserDialogs; the controls are the only place the
// configuration lives between operations.
#pragma once

#include "app/dialog_controls.h"
#include "app/user_dialogs.h"
#include "msr/msr_configuration.h"

#include <memory>
#include <string>

class CConfigApp;
class CMsrConnection;

// Control identifiers.
enum ControlId {
    IDC_RAW_DATA = 1001,
    IDC_CARRIAGE_RETURN = 1002,
    IDC_TRACK1 = 1003,
    IDC_TRACK2 = 1004,
    IDC_TRACK3 = 1005,
    IDC_STRIP_SENTINELS = 1006,
    IDC_USE_CUSTOM = 1007,
    IDC_HIDE_ERRORS = 1008,
    IDC_GET = 1009,
    IDC_COMMIT = 1010,
    IDC_SAVE = 1011,
    IDC_LOAD = 1012,
    IDC_TRACK1_START = 1015,
    IDC_TRACK2_START = 1016,
    IDC_TRACK3_START = 1017,
    IDC_END_SENTINEL = 1018,
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

    void OnGetConfig();
    void OnCommitConfig();
    void OnSaveConfig();
    void OnLoadConfig();
    void EnableEditing();

  private:
    enum class CommitOutcome { Committed, NotClaimed, NotAccepted };

    CommitOutcome Commit(bool batch);
    bool Load(bool batch);
    void RunBatch();
    void ShowConfiguration(const CMsrConfiguration& configuration, bool withSentinels);
    // The options from the check boxes, asking to enable the custom configuration when clear.
    void ReadOptions(CMsrConfiguration& configuration);
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
