// The four operations behind the buttons, and the batch run (Load followed by Commit).
#include "app/config_app.h"
#include "app/config_dlg.h"
#include "app/messages.h"
#include "app/user_dialogs.h"
#include "config_file/configuration_file.h"
#include "config_file/file_flags.h"
#include "msr/msr_connection.h"
#include "msr/stop_request.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int MaxFieldLength = 9; // what is read from a list entry or a sentinel field

const int SentinelIds[] = {IDC_TRACK1_START, IDC_TRACK2_START, IDC_TRACK3_START, IDC_END_SENTINEL};

// Swallows the person's input while it is installed.
class InputEater : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
        }
    }
};

// The window does not respond while the program talks to the reader: the pointer is busy
// meanwhile, and the clicks and key presses made meanwhile are dropped afterwards instead
// of being replayed against a window that has changed under them.
class ReaderWork {
  public:
    ReaderWork() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~ReaderWork() {
        InputEater eater;
        qApp->installEventFilter(&eater);
        QCoreApplication::processEvents();
        qApp->removeEventFilter(&eater);
        QApplication::restoreOverrideCursor();
    }
};

// Disabling the focused button moves the focus on; give it back once the buttons are enabled.
class KeepFocus {
  public:
    explicit KeepFocus(QWidget* window) : Focused(window->focusWidget()) {}
    ~KeepFocus() {
        if (Focused && Focused->isEnabled())
            Focused->setFocus();
    }

  private:
    QPointer<QWidget> Focused;
};

QString SentinelText(std::uint8_t code) {
    return code == 0 ? QString() : QString(QChar(static_cast<char16_t>(code)));
}

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

std::uint8_t* SentinelField(CMsrConfiguration& c, int index) {
    std::uint8_t* fields[] = {&c.Track1StartSentinel, &c.Track2StartSentinel,
                              &c.Track3StartSentinel, &c.EndSentinel};
    return fields[index];
}

} // namespace

void CConfigDlg::Message(const QString& text, const QString& caption, UserDialogs::Icon icon) {
    // A stopped program ends at once: nobody is left to confirm a message.
    if (!StopRequested())
        Dialogs.ShowMessage(text, caption, UserDialogs::Buttons::Ok, icon);
}

void CConfigDlg::ShowConfiguration(const CMsrConfiguration& c, bool withSentinels) {
    const std::pair<int, std::uint8_t> boxes[] = {
        {IDC_RAW_DATA, c.RawDataMode},       {IDC_CARRIAGE_RETURN, c.CarriageReturn},
        {IDC_TRACK1, c.Track1Enabled},       {IDC_TRACK2, c.Track2Enabled},
        {IDC_TRACK3, c.Track3Enabled},       {IDC_STRIP_SENTINELS, c.StripSentinels},
        {IDC_USE_CUSTOM, c.UseCustomConfig}, {IDC_HIDE_ERRORS, c.HideErrorTracks}};
    for (const auto& [id, on] : boxes)
        Check(id)->setChecked(on != 0);
    if (!withSentinels)
        return;
    const std::uint8_t codes[] = {c.Track1StartSentinel, c.Track2StartSentinel,
                                  c.Track3StartSentinel, c.EndSentinel};
    for (int i = 0; i < 4; ++i)
        Edit(SentinelIds[i])->setText(SentinelText(codes[i]));
}

void CConfigDlg::ReadOptions(CMsrConfiguration& c) {
    c.RawDataMode = Check(IDC_RAW_DATA)->isChecked();
    c.CarriageReturn = Check(IDC_CARRIAGE_RETURN)->isChecked();
    c.Track1Enabled = Check(IDC_TRACK1)->isChecked();
    c.Track2Enabled = Check(IDC_TRACK2)->isChecked();
    c.Track3Enabled = Check(IDC_TRACK3)->isChecked();
    c.StripSentinels = Check(IDC_STRIP_SENTINELS)->isChecked();
    c.HideErrorTracks = Check(IDC_HIDE_ERRORS)->isChecked();
    c.UseCustomConfig = Check(IDC_USE_CUSTOM)->isChecked();
    if (!c.UseCustomConfig && !StopRequested() &&
        Dialogs.ShowMessage(Messages::CustomConfigQuestion, Messages::CustomConfigCaption,
                            UserDialogs::Buttons::YesNo,
                            UserDialogs::Icon::Information) == UserDialogs::Answer::Yes) {
        c.UseCustomConfig = 1;
        Check(IDC_USE_CUSTOM)->setChecked(true);
    }
}

std::uint8_t CConfigDlg::SentinelCode(int id) const {
    const QString text = Edit(id)->text();
    return text.isEmpty() ? 0 : static_cast<std::uint8_t>(text.front().unicode());
}

void CConfigDlg::OnGetConfig() {
    KeepFocus focus(this);
    Button(IDC_COMMIT)->setEnabled(false);
    Button(IDC_GET)->setEnabled(false);
    bool claimed = false;
    {
        ReaderWork work;
        Connection = ClaimMsr(Latin1(List(IDC_PORT)->currentText().left(MaxFieldLength)),
                              Latin1(List(IDC_BAUD)->currentText().left(MaxFieldLength)));
        claimed = Connection != nullptr;
        if (claimed) {
            ShowConfiguration(Connection->Configuration, true);
            qobject_cast<QLabel*>(Control(IDC_FIRMWARE))
                ->setText(QString::fromLatin1(Connection->FirmwareRevision));
            Connection.reset(); // back to functional mode, port closed
        }
    }
    if (!claimed)
        Message(Messages::NotClaimed, Messages::ErrorCaption, UserDialogs::Icon::None);
    Button(IDC_COMMIT)->setEnabled(true);
    Button(IDC_GET)->setEnabled(true);
    Button(IDC_SAVE)->setEnabled(true);
}

void CConfigDlg::OnCommitConfig() {
    KeepFocus focus(this);
    const CommitOutcome outcome = Commit(App.BatchMode != 0);
    if (App.BatchMode)
        App.Status = outcome == CommitOutcome::Committed    ? ExitOk
                     : outcome == CommitOutcome::NotClaimed ? ExitNotClaimed
                                                            : ExitNotAccepted;
}

CConfigDlg::CommitOutcome CConfigDlg::Commit(bool batch) {
    std::string port, baud;
    if (batch) {
        port = App.BatchPort;
        baud = App.BatchBaud;
    } else {
        Button(IDC_COMMIT)->setEnabled(false);
        Button(IDC_GET)->setEnabled(false);
        port = Latin1(List(IDC_PORT)->currentText().left(MaxFieldLength));
        baud = Latin1(List(IDC_BAUD)->currentText().left(MaxFieldLength));
    }

    {
        ReaderWork work;
        Connection = ClaimMsr(port, baud);
    }
    if (!Connection) {
        Message(Messages::NotClaimed, Messages::ErrorCaption, UserDialogs::Icon::None);
        Button(IDC_COMMIT)->setEnabled(true);
        Button(IDC_GET)->setEnabled(true);
        return CommitOutcome::NotClaimed;
    }

    // The question is asked while the reader is held, as the record is filled.
    CMsrConfiguration& record = Connection->Configuration;
    ReadOptions(record);
    for (int i = 0; i < 4; ++i)
        *SentinelField(record, i) = SentinelCode(SentinelIds[i]);

    bool applied = false, committed = false;
    {
        ReaderWork work;
        applied = Connection->ApplyConfiguration();
    }
    if (!applied)
        Message(Messages::ApplyFailed, App.ApplicationName, UserDialogs::Icon::None);
    // Committed also after a failed apply: the reader still holds what it had applied before.
    {
        ReaderWork work;
        committed = Connection->CommitConfiguration();
    }
    if (!committed)
        Message(Messages::CommitFailed, App.ApplicationName, UserDialogs::Icon::None);

    Button(IDC_COMMIT)->setEnabled(true);
    Button(IDC_GET)->setEnabled(true);
    ReaderWork work;
    Connection.reset();
    return applied && committed ? CommitOutcome::Committed : CommitOutcome::NotAccepted;
}

void CConfigDlg::OnLoadConfig() {
    Load(App.BatchMode != 0);
}

bool CConfigDlg::Load(bool batch) {
    QString path;
    if (batch) {
        path = QFile::decodeName(QByteArray::fromStdString(App.BatchFile));
    } else {
        path = StopRequested() ? QString() : Dialogs.ChooseFileToOpen(Messages::OpenTitle);
        if (path.isEmpty())
            return false;
    }

    ConfigFileContent content;
    const ConfigFileResult result =
        batch ? ReadConfigurationFile(App.BatchFile, content)
              : ReadConfigurationFile(QFile::encodeName(path).toStdString(), content);
    if (result != ConfigFileResult::Ok) {
        const QString& text = result == ConfigFileResult::BadHeader    ? Messages::BadHeader
                              : result == ConfigFileResult::NoDataLine ? Messages::NoDataLine
                                                                       : Messages::CannotOpenFile;
        Message(text, Messages::ErrorCaption, UserDialogs::Icon::Exclamation);
        if (batch)
            App.Status = ExitLoadFailed;
        return false;
    }

    CMsrConfiguration options;
    DecodeFileFlags(content.Flags, options);
    ShowConfiguration(options, false);
    for (int i = 0; i < 4; ++i)
        Edit(SentinelIds[i])
            ->setText(QString::fromLatin1(content.Sentinels[i].c_str(),
                                          qsizetype(content.Sentinels[i].size())));
    // Also when no field's text changed (empty sentinels loaded into empty fields).
    Button(IDC_SAVE)->setEnabled(true);

    if (batch) {
        OnCommitConfig();
        Closed = true;
        done(0);
    } else {
        Dialogs.ShowMessage(Messages::Loaded(path), Messages::LoadedCaption,
                            UserDialogs::Buttons::Ok, UserDialogs::Icon::Information);
    }
    Button(IDC_COMMIT)->setEnabled(true);
    return true;
}

void CConfigDlg::OnSaveConfig() {
    const QString path =
        StopRequested() ? QString() : Dialogs.ChooseFileToSave(Messages::SaveTitle);
    if (path.isEmpty())
        return;

    // The content is gathered (and the question asked) only once the target could be opened.
    const ConfigFileResult result = WriteConfigurationFile(
        QFile::encodeName(path).toStdString(), [this]() -> std::optional<ConfigFileContent> {
            CMsrConfiguration options;
            ReadOptions(options);
            if (StopRequested())
                return std::nullopt; // the new file is removed, the target left as it was
            ConfigFileContent content;
            content.Flags = EncodeFileFlags(options);
            for (int i = 0; i < 4; ++i)
                content.Sentinels[i] = Latin1(Edit(SentinelIds[i])->text().left(MaxFieldLength));
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

void CConfigDlg::RunBatch() {
    Load(true);
}
