// The four operations behind the buttons, and the batch run (Load followed by Commit).
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/messages.h"
#include "config_file/configuration_file.h"
#include "config_file/file_flags.h"
#include "msr/msr_connection.h"
#include "msr/msr_settings.h"
#include "msr/stop_request.h"

namespace {

constexpr std::size_t MaxFieldLength = 9; // what is read from a list entry or a sentinel field

// The window does not respond while the program talks to the reader: the pointer is busy
// meanwhile, and the clicks and key presses made meanwhile are dropped afterwards instead
// of being replayed against a window that has changed under them.
class ReaderWork {
  public:
    explicit ReaderWork(DialogControls& controls) : Controls(controls) { Controls.SetBusy(true); }
    ~ReaderWork() {
        Controls.DropQueuedInput();
        Controls.SetBusy(false);
    }

  private:
    DialogControls& Controls;
};

} // namespace

void CConfigDlg::Message(const std::string& text, const std::string& caption,
                         UserDialogs::Icon icon) {
    // A stopped program ends at once: nobody is left to confirm a message.
    if (!StopRequested())
        Dialogs.ShowMessage(text, caption, UserDialogs::Buttons::Ok, icon);
}

std::string CConfigDlg::FieldText(int id) const {
    return Controls.Text(id).substr(0, MaxFieldLength);
}

void CConfigDlg::ShowConfiguration(const CMsrConfiguration& c, bool withSentinels) {
    for (const CMsrSetting& setting : MsrSettings) {
        const std::uint8_t value = c.*setting.Value;
        if (!setting.IsSentinel())
            Controls.SetChecked(setting.Control, value != 0);
        else if (withSentinels)
            Controls.SetText(setting.Control,
                             value == 0 ? std::string() : std::string(1, static_cast<char>(value)));
    }
}

void CConfigDlg::ReadOptions(CMsrConfiguration& c) const {
    for (const CMsrSetting& setting : MsrSettings)
        if (!setting.IsSentinel())
            c.*setting.Value = Controls.IsChecked(setting.Control) ? 1 : 0;
}

void CConfigDlg::AskForCustomConfig(CMsrConfiguration& c) {
    if (c.UseCustomConfig || StopRequested())
        return;
    if (Dialogs.ShowMessage(Messages::CustomConfigQuestion, Messages::CustomConfigCaption,
                            UserDialogs::Buttons::YesNo,
                            UserDialogs::Icon::Information) != UserDialogs::Answer::Yes) {
        Dialogs.ExplainAnswer(Messages::KeepsDefaultConfiguration);
        return;
    }
    c.UseCustomConfig = 1;
    Controls.SetChecked(IDC_USE_CUSTOM, true);
}

std::uint8_t CConfigDlg::SentinelCode(int id) const {
    const std::string text = Controls.Text(id);
    return text.empty() ? 0 : static_cast<std::uint8_t>(text.front());
}

void CConfigDlg::OnGetConfig() {
    Controls.SetEnabled(IDC_COMMIT, false);
    Controls.SetEnabled(IDC_GET, false);
    bool claimed = false;
    {
        ReaderWork work(Controls);
        Connection = ClaimMsr(Controls.SelectedListText(IDC_PORT).substr(0, MaxFieldLength),
                              Controls.SelectedListText(IDC_BAUD).substr(0, MaxFieldLength));
        claimed = Connection != nullptr;
        if (claimed) {
            ShowConfiguration(Connection->Configuration, true);
            Controls.SetText(IDC_FIRMWARE, Connection->FirmwareRevision);
            Connection.reset(); // back to functional mode, port closed
        }
    }
    if (!claimed)
        Message(Messages::NotClaimed, Messages::ErrorCaption, UserDialogs::Icon::None);
    Controls.SetEnabled(IDC_COMMIT, true);
    Controls.SetEnabled(IDC_GET, true);
    Controls.SetEnabled(IDC_SAVE, true);
}

void CConfigDlg::OnCommitConfig() {
    // After a batch run's failed Load the window commits where the command line said.
    if (App.BatchMode) {
        CommitBatch();
        return;
    }
    Controls.SetEnabled(IDC_COMMIT, false);
    Controls.SetEnabled(IDC_GET, false);
    CRunReport unused;
    Commit(Controls.SelectedListText(IDC_PORT).substr(0, MaxFieldLength),
           Controls.SelectedListText(IDC_BAUD).substr(0, MaxFieldLength), CClaimPolicy(), unused);
}

void CConfigDlg::CommitBatch() {
    CClaimPolicy policy;
    if (App.Options.Attempts)
        policy.Attempts = App.Options.Attempts;
    const CommitOutcome outcome = Commit(App.BatchPort, App.BatchBaud, policy, App.Report);
    App.Status = outcome == CommitOutcome::Committed    ? ExitOk
                 : outcome == CommitOutcome::NotClaimed ? ExitNotClaimed
                                                        : ExitNotAccepted;
}

CConfigDlg::CommitOutcome CConfigDlg::Commit(const std::string& port, const std::string& baud,
                                             const CClaimPolicy& policy, CRunReport& report) {
    {
        ReaderWork work(Controls);
        Connection = ClaimMsr(port, baud, &report.Failure, policy);
    }
    if (!Connection) {
        Message(Messages::NotClaimed, Messages::ErrorCaption, UserDialogs::Icon::None);
        Controls.SetEnabled(IDC_COMMIT, true);
        Controls.SetEnabled(IDC_GET, true);
        return CommitOutcome::NotClaimed;
    }

    // The question is asked while the reader is held, as the record is filled.
    CMsrConfiguration& record = Connection->Configuration;
    report.Reader = record;
    report.Firmware = Connection->FirmwareRevision;
    ReadOptions(record);
    AskForCustomConfig(record);
    for (int i = 0; i < MsrSentinelCount; ++i)
        record.*MsrSentinel(i).Value = SentinelCode(MsrSentinel(i).Control);
    report.Differences = Compare(*report.Reader, record);

    bool applied = false, committed = false;
    {
        ReaderWork work(Controls);
        applied = Connection->ApplyConfiguration();
    }
    if (!applied)
        Message(Messages::ApplyFailed, App.ApplicationName, UserDialogs::Icon::None);
    // Committed also after a failed apply: the reader still holds what it had applied before.
    {
        ReaderWork work(Controls);
        committed = Connection->CommitConfiguration();
    }
    if (!committed)
        Message(Messages::CommitFailed, App.ApplicationName, UserDialogs::Icon::None);
    report.Changed = applied || committed; // the reader took something

    Controls.SetEnabled(IDC_COMMIT, true);
    Controls.SetEnabled(IDC_GET, true);
    ReaderWork work(Controls);
    Connection.reset();
    return applied && committed ? CommitOutcome::Committed : CommitOutcome::NotAccepted;
}

void CConfigDlg::OnLoadConfig() {
    // After a batch run's failed Load the button runs the batch again: no chooser.
    if (App.BatchMode) {
        RunBatch();
        return;
    }
    const std::string path =
        StopRequested() ? std::string() : Dialogs.ChooseFileToOpen(Messages::OpenTitle);
    if (path.empty() || !Load(path))
        return;
    Dialogs.ShowMessage(Messages::Loaded(path), Messages::LoadedCaption, UserDialogs::Buttons::Ok,
                        UserDialogs::Icon::Information);
    Controls.SetEnabled(IDC_COMMIT, true);
}

std::optional<CMsrConfiguration> CConfigDlg::Load(const std::string& path) {
    ConfigFileContent content;
    const ConfigFileResult result = ReadConfigurationFile(path, content);
    if (result != ConfigFileResult::Ok) {
        Message(Messages::LoadFailed(result), Messages::ErrorCaption,
                UserDialogs::Icon::Exclamation);
        return std::nullopt;
    }
    CMsrConfiguration options;
    DecodeFileFlags(content.Flags, options);
    ShowConfiguration(options, false);
    for (int i = 0; i < MsrSentinelCount; ++i)
        Controls.SetText(MsrSentinel(i).Control, content.Sentinels[i]);
    // Also when no field's text changed (empty sentinels loaded into empty fields).
    Controls.SetEnabled(IDC_SAVE, true);
    return ConfigurationOf(content);
}

void CConfigDlg::OnSaveConfig() {
    const std::string path =
        StopRequested() ? std::string() : Dialogs.ChooseFileToSave(Messages::SaveTitle);
    if (path.empty())
        return;

    // The content is gathered (and the question asked) only once the target could be opened.
    const ConfigFileResult result =
        WriteConfigurationFile(path, [this]() -> std::optional<ConfigFileContent> {
            CMsrConfiguration options;
            ReadOptions(options);
            AskForCustomConfig(options);
            if (StopRequested())
                return std::nullopt; // the new file is removed, the target left as it was
            ConfigFileContent content;
            content.Flags = EncodeFileFlags(options);
            for (int i = 0; i < MsrSentinelCount; ++i)
                content.Sentinels[i] = FieldText(MsrSentinel(i).Control);
            return content;
        });

    if (result == ConfigFileResult::Withdrawn)
        return;
    if (result == ConfigFileResult::CannotOpen)
        Message(Messages::CannotOpenTarget, Messages::ErrorCaption, UserDialogs::Icon::Exclamation);
    else if (result != ConfigFileResult::Ok)
        Message(Messages::CannotWriteTarget, Messages::ErrorCaption,
                UserDialogs::Icon::Exclamation);
    else
        Dialogs.ShowMessage(Messages::Saved(path), Messages::SavedCaption, UserDialogs::Buttons::Ok,
                            UserDialogs::Icon::Information);
}

// The file into the window, the window into the reader, and the window closed before it is
// ever shown, whatever Commit reported. A file that cannot be loaded leaves the window open.
void CConfigDlg::RunBatch() {
    App.Report.FileConfiguration = Load(App.BatchFile);
    if (!App.Report.FileConfiguration) {
        App.Status = ExitLoadFailed;
        return;
    }
    CommitBatch();
    Close(0);
}
