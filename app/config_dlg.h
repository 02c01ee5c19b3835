// The main window: eight option check boxes, four sentinel fields, port and baud lists,
// the firmware revision and the four operations (Get, Commit, Load, Save). The controls
// are the only place the configuration lives between operations.
#pragma once

#include "app/dialog_layout.h"
#include "app/user_dialogs.h"
#include "msr/msr_configuration.h"

#include <QDialog>
#include <QMap>
#include <memory>

class CConfigApp;
class CMsrConnection;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Control identifiers; each control is also found by its identifier as object name.
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

inline constexpr int ToolTipMaxWidth = 320;
inline constexpr int ResultCancel = 2;

class CConfigDlg : public QDialog {
    Q_OBJECT
  public:
    CConfigDlg(CConfigApp& app, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~CConfigDlg() override;

    // Runs the initialisation (and the batch run, if any), then the window until it closes.
    // A batch run that succeeds in loading closes the window before it is ever shown.
    int RunModal();
    // The initialisation alone; false when the window was closed during it.
    bool Initialise();

    QWidget* Control(int id) const { return Controls.value(id); }
    // A tooltip text broken into lines no wider than the tooltip's maximum width.
    static QString WrapToolTip(const QString& text, const QFont& font, int maxWidth);

  public slots:
    void OnGetConfig();
    void OnCommitConfig();
    void OnSaveConfig();
    void OnLoadConfig();
    void EnableEditing();
    void ShowAbout();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

  private:
    enum class CommitOutcome { Committed, NotClaimed, NotAccepted };

    void BuildControls(const DialogLayout& layout);
    CommitOutcome Commit(bool batch);
    bool Load(bool batch);
    void RunBatch();
    void ShowConfiguration(const CMsrConfiguration& configuration, bool withSentinels);
    // The options from the check boxes, asking to enable the custom configuration when clear.
    void ReadOptions(CMsrConfiguration& configuration);
    std::uint8_t SentinelCode(int id) const;
    void Message(const QString& text, const QString& caption, UserDialogs::Icon icon);

    QCheckBox* Check(int id) const;
    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    QComboBox* List(int id) const;

    CConfigApp& App;
    UserDialogs& Dialogs;
    QMap<int, QWidget*> Controls;
    std::unique_ptr<CMsrConnection> Connection; // only while Get or Commit runs
    bool Closed = false;
};
