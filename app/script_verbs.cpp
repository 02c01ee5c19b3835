#include "app/script_verbs.h"

#include "app/console_user_dialogs.h"
#include "app/messages.h"
#include "app/process_guard.h"
#include "config_file/configuration_file.h"
#include "msr/msr_connection.h"
#include "msr/shown_text.h"
#include "msr/stop_request.h"

#include <cstdio>

namespace {

using Icon = UserDialogs::Icon;

class VerbRun {
  public:
    explicit VerbRun(CConfigApp& app)
        : App(app), Report(app.Report),
          About(app.Options.What == Verb::Check
                    ? ShownText(app.BatchFile)
                    : ShownText(app.BatchPort) + " " + ShownText(app.BatchFile)),
          Lines(About) {}

    int Read();
    int Check();
    int Verify();
    int Ensure();

  private:
    // A result line, on standard output unless that holds the file or the JSON record.
    void Result(const std::string& text, bool outputTaken = false) {
        if (App.Options.Json || outputTaken) {
            Lines.Say(text);
            return;
        }
        std::printf("%s: %s\n", About.c_str(), text.c_str());
        std::fflush(stdout);
    }
    void Error(const std::string& text, const std::string& caption = Messages::ErrorCaption,
               Icon icon = Icon::Exclamation) {
        if (!StopRequested())
            Lines.ShowMessage(text, caption, UserDialogs::Buttons::Ok, icon);
    }
    bool Load(CMsrConfiguration& file) {
        ConfigFileContent content;
        const ConfigFileResult result = ReadConfigurationFile(App.BatchFile, content);
        if (result != ConfigFileResult::Ok) {
            Error(Messages::LoadFailed(result));
            return false;
        }
        file = ConfigurationOf(content);
        Report.FileConfiguration = file;
        return true;
    }
    // The file loaded and the reader claimed: 0, else the run's status.
    int LoadAndClaim(CMsrConfiguration& file) {
        return !Load(file) ? ExitLoadFailed : !Claim() ? ExitNotClaimed : ExitOk;
    }
    bool Claim() {
        // A script gets its answer at once where no retry can mend the cause.
        const CClaimPolicy policy{App.Options.Attempts ? App.Options.Attempts : ClaimAttempts,
                                  false};
        Connection = ClaimMsr(App.BatchPort, App.BatchBaud, &Report.Failure, policy);
        if (!Connection) {
            Error(Messages::NotClaimed, Messages::ErrorCaption, Icon::None);
            return false;
        }
        Report.Reader = Connection->Configuration;
        Report.Firmware = Connection->FirmwareRevision;
        return true;
    }
    // One line per setting where the reader differs from the file.
    int Differs(const std::vector<CDifference>& differences) {
        Report.Differences = differences;
        for (const CDifference& difference : differences)
            Result(DifferenceText(difference));
        return ExitDiffers;
    }

    CConfigApp& App;
    CRunReport& Report;
    const std::string About; // the port and the file, naming every line
    ConsoleUserDialogs Lines;
    std::unique_ptr<CMsrConnection> Connection;
};

// The reader first: no file is touched, not even a temporary one, before its configuration
// is in hand, whole, and the reader released.
int VerbRun::Read() {
    if (!Claim())
        return ExitNotClaimed;
    const ConfigFileContent content = ContentOf(Connection->Configuration);
    Connection.reset();
    if (StopRequested())
        return ExitNotClaimed; // the run ends by the signal's status; nothing is written
    const bool toOutput = App.BatchFile == "-";
    ConfigFileResult result = ConfigFileResult::CannotWrite;
    if (!toOutput)
        result = WriteConfigurationFile(App.BatchFile, [&] { return std::optional(content); });
    else if (const std::optional<std::string> text = FormatConfigurationFile(content))
        result = WriteStandardOutput(*text) ? ConfigFileResult::Ok : ConfigFileResult::CannotWrite;
    if (result != ConfigFileResult::Ok) {
        Error(result == ConfigFileResult::CannotOpen ? Messages::CannotOpenTarget
                                                     : Messages::CannotWriteTarget);
        return ExitLoadFailed;
    }
    Result("firmware revision " + ShownText(*Report.Firmware), toOutput);
    return ExitOk;
}

int VerbRun::Check() {
    CMsrConfiguration file;
    if (!Load(file))
        return ExitLoadFailed;
    Result("a whole configuration");
    return ExitOk;
}

int VerbRun::Verify() {
    CMsrConfiguration file;
    if (const int failed = LoadAndClaim(file))
        return failed;
    Connection.reset();
    const std::vector<CDifference> differences = Compare(*Report.Reader, file);
    if (!differences.empty())
        return Differs(differences);
    Result("the MSR holds the file's configuration");
    return ExitOk;
}

int VerbRun::Ensure() {
    CMsrConfiguration file;
    if (const int failed = LoadAndClaim(file))
        return failed;
    Report.Differences = Compare(*Report.Reader, file);
    if (Report.Differences.empty()) {
        Connection.reset();
        Result("unchanged");
        return ExitOk;
    }
    // Written, committed and read back, as a device programmer verifies what it wrote.
    Connection->Configuration = file;
    const bool applied = Connection->ApplyConfiguration();
    if (!applied)
        Error(Messages::ApplyFailed, App.ApplicationName, Icon::None);
    const bool committed = applied && Connection->CommitConfiguration();
    if (applied && !committed)
        Error(Messages::CommitFailed, App.ApplicationName, Icon::None);
    Report.Changed = applied;
    if (!committed)
        return ExitNotAccepted;
    if (!Connection->QueryConfiguration()) {
        Error(Messages::ReadBackFailed, App.ApplicationName, Icon::None);
        return ExitNotAccepted;
    }
    const std::vector<CDifference> differences = Compare(Connection->Configuration, file);
    Connection.reset();
    if (!differences.empty())
        return Differs(differences);
    Result("changed");
    return ExitOk;
}

} // namespace

int RunRead(CConfigApp& app) {
    return VerbRun(app).Read();
}

int RunCheck(CConfigApp& app) {
    return VerbRun(app).Check();
}

int RunVerify(CConfigApp& app) {
    return VerbRun(app).Verify();
}

int RunEnsure(CConfigApp& app) {
    return VerbRun(app).Ensure();
}
