#include "app/start_up.h"

#include "app/config_dlg.h"
#include "app/console_user_dialogs.h"
#include "app/host_name.h"
#include "app/process_guard.h"
#include "app/run_log.h"
#include "app/script_verbs.h"
#include "app/stored_controls.h"
#include "msr/msr_log.h"
#include "msr/port_list.h"
#include "msr/port_name.h"
#include "msr/shown_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace {

const auto Started = std::chrono::steady_clock::now();

// The run's start as ISO 8601 UTC: "2026-12-08T09:30:00Z".
std::string StartTime() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* utc = std::gmtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    return text;
}

void PrintUsage(std::FILE* out, const char* batchNote) {
    const char* lead = "Usage: ";
    for (const CVerbInfo& verb : VerbTable())
        if (*verb.Usage) {
            std::fprintf(out, "%s%s", lead, verb.Usage);
            lead = "       ";
        }
    std::fprintf(
        out,
        "\n"
        "Options: --unattended  no message box and no question: messages are lines on\n"
        "                       standard error, the question is answered No, a file that\n"
        "                       cannot be loaded ends the run\n"
        "         --json        one JSON record of the run on standard output, and\n"
        "                       nothing else there\n"
        "         --attempts N  claim the reader in at most N attempts (1 to 10, default\n"
        "                       10); the verbs give up at once on no-device,\n"
        "                       no-permission and ambiguous\n"
        "         --log FILE    append the run's JSON record to FILE as one line\n"
        "\n"
        "PORT is a port name such as COM3 (the default), BAUD a baud rate such as 19200\n"
        "(the default). A FILE whose name begins with -- is given as ./--name.\n"
        "%s\n"
        "--read, --check, --verify and --ensure never show a box or ask a question.\n"
        "\n"
        "Exit status: 0 done (applied and committed; read; the reader holds the file's\n"
        "configuration; or interactive use), 1 bad command line, 2 file not loaded or not\n"
        "saved, 3 no reader claimed (the log's last line says why), 4 configuration not\n"
        "accepted or not committed, 5 the reader holds another configuration, 128+n ended\n"
        "by signal n.\n",
        batchNote);
}

// The log's progress line would be mixed into the record on standard output.
void LogToErrorStream(LogStream, const char* line) {
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
}

// The COM names that reach a device now, then the serial devices that have no name yet,
// each with the command that names it. Names come from outside and are shown escaped; a
// command is offered only where every word of it can be typed as it is shown.
void ListPorts(CRunReport& report, bool json) {
    std::vector<std::string> taken = PortListNames();
    for (const std::string& name : taken) {
        CPortInfo port = DescribePort(name);
        if (!port.Device.empty() || !port.Problem.empty())
            report.Ports.push_back(std::move(port));
    }
    report.Unnamed = UnnamedSerialDevices();
    if (json)
        return;
    for (const CPortInfo& port : report.Ports) {
        const std::string from =
            port.Folder.empty() ? "" : "  (from " + ShownText(port.Folder) + ")";
        std::printf("%-9s  %s%s\n", ShownText(port.Name).c_str(), DeviceText(port).c_str(),
                    from.c_str());
        if (const std::string identity = IdentityWords(port.VendorId, port.ProductId, port.Serial);
            !identity.empty())
            std::printf("%9s  identity: %s\n", "", identity.c_str());
        if (!port.Problem.empty())
            std::printf("%9s  %s\n", "", port.Problem.c_str());
    }
    if (report.Ports.empty())
        std::printf("No COM name leads to a device.\n");
    if (report.Unnamed.empty())
        return;
    const std::string folder = PortDirectory();
    std::printf("\nSerial devices without a COM name, each with the command that gives it one:\n");
    int next = 12;
    for (const CPortInfo& device : report.Unnamed) {
        while (std::find(taken.begin(), taken.end(), "COM" + std::to_string(next)) != taken.end())
            ++next;
        taken.push_back("COM" + std::to_string(next));
        const std::string& target = IsShownAsIs(device.StableName) && !device.StableName.empty()
                                        ? device.StableName
                                        : device.Device;
        std::printf("%s\n", DeviceText(device).c_str());
        if (!device.Problem.empty())
            std::printf("  %s\n", device.Problem.c_str());
        if (!IsShownAsIs(target) || !IsShownAsIs(folder)) {
            std::printf("  (no command: the device or the port folder has a name that cannot be "
                        "typed as shown)\n");
            continue;
        }
        std::error_code ignored;
        const std::string prepare = std::filesystem::is_directory(folder, ignored)
                                        ? ""
                                        : "mkdir -p " + ShellWord(folder) + " && ";
        const std::string entry = ShellWord(folder + "/" + taken.back());
        std::printf("  %sln -s %s %s\n", prepare.c_str(), ShellWord(target).c_str(), entry.c_str());
        // A kind of reader rather than one adapter: the same entry serves every terminal.
        if (const std::string kind = IdentityWords(device.VendorId, device.ProductId);
            !kind.empty())
            std::printf("  or, for any reader of this kind: %secho %s > %s\n", prepare.c_str(),
                        ShellWord(kind).c_str(), entry.c_str());
    }
}

// Start-up's side of each verb.
class CVerbs final : public CVerbRunner {
  public:
    CVerbs(CConfigApp& app, const FrontEnd& frontEnd) : App(app), Front(frontEnd) {}
    int Help() override {
        PrintUsage(stdout, Front.BatchNote);
        return ExitOk;
    }
    int Version() override {
        std::printf("msrconfig %s\n", MSRCONFIG_VERSION);
        return ExitOk;
    }
    int ListPorts() override {
        ::ListPorts(App.Report, App.Options.Json);
        return ExitOk;
    }
    int Read() override { return RunRead(App); }
    int Check() override { return RunCheck(App); }
    int Verify() override { return RunVerify(App); }
    int Ensure() override { return RunEnsure(App); }

  private:
    CConfigApp& App;
    const FrontEnd& Front;
};

// A batch run on the window's behaviour, with its controls in memory and its messages as
// lines: nothing waits for a person.
void RunBatchUnattended(CConfigApp& app) {
    CStoredControls controls;
    ConsoleUserDialogs lines(ShownText(app.BatchPort) + " " + ShownText(app.BatchFile));
    CConfigDlg dlg(app, controls, lines);
    controls.SetHandler(&dlg);
    dlg.Initialise(); // a file that cannot be loaded ends the run: there is no window to open
}

} // namespace

std::optional<int> StartWithoutWindow(const std::string& commandLine, const FrontEnd& frontEnd,
                                      CConfigApp& app) {
    std::string text = commandLine, error;
    BatchArguments batch;
    CRunReport& report = app.Report;
    report.Host = HostName();
    report.Time = StartTime();
    report.Version = MSRCONFIG_VERSION;
    if (frontEnd.HelpWords && IsWindowsHelpRequest(text))
        text = "--help";
    const bool optionsTaken = TakeOptions(text, app.Options, error);
    bool parsed = optionsTaken && ParseCommandLine(frontEnd.UnquotePaths ? Unquoted(text) : text,
                                                   batch, error, frontEnd.MaxFileLength);
    app.BatchFile = frontEnd.UnquotePaths ? Unquoted(batch.BatchFile) : batch.BatchFile;
    if (parsed && app.Options.Json && app.Options.What == Verb::Read && app.BatchFile == "-") {
        error = "--json takes standard output; --read needs a file";
        parsed = false;
    }
    if (!parsed) {
        std::fprintf(stderr, "msrconfig: %s\n", ShownText(error).c_str());
        PrintUsage(stderr, frontEnd.BatchNote);
        // A script that asked for a record gets one, also when its command line is refused.
        if (!optionsTaken)
            RecoverOptions(commandLine, app.Options);
        report.What = app.Options.What;
        report.Unread = !optionsTaken && app.Options.What == Verb::None;
        report.UsageError = error;
        app.Status = ExitBadCommandLine;
        return FinishRun(app);
    }
    app.BatchMode = batch.BatchMode ? 1 : 0;
    app.BatchPort = batch.BatchPort;
    app.BatchBaud = batch.BatchBaud;
    report.What = app.Options.What;
    report.Port = app.BatchPort;
    report.Baud = app.BatchBaud;
    report.File = app.BatchFile;
    // Standard output holds the record, or the file itself.
    if (app.Options.Json || (app.Options.What == Verb::Read && app.BatchFile == "-"))
        SetLogSink(LogToErrorStream);

    const CVerbInfo& verb = VerbOf(app.Options.What);
    if (verb.Run) {
        CVerbs verbs(app, frontEnd);
        app.Status = (verbs.*verb.Run)();
        return verb.Records ? FinishRun(app) : app.Status;
    }
    const bool someone =
        (app.BatchMode && app.Options.Unattended)
            ? false
            : frontEnd.PersonPresent && (!frontEnd.OpenDisplay || frontEnd.OpenDisplay());
    if (app.BatchMode && !someone) {
        RunBatchUnattended(app);
        return FinishRun(app);
    }
    if (!someone) {
        std::fputs(frontEnd.NoWindowNote, stderr);
        return ExitBadCommandLine;
    }
    return std::nullopt;
}

int FinishRun(CConfigApp& app) {
    const int status = StopSignal() ? StoppedExitStatus() : app.Status;
    if (!app.Options.Json && app.Options.LogFile.empty())
        return status;
    CRunReport& report = app.Report;
    if (!report.Port.empty() && VerbOf(report.What).UsesPort)
        if (CPortInfo port = DescribePort(report.Port); !port.Device.empty())
            report.Device = port;
    report.Status = status;
    report.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
    const std::string record = report.Json() + "\n";
    if (app.Options.Json) {
        std::fwrite(record.data(), 1, record.size(), stdout);
        std::fflush(stdout);
    }
    // The log serves the run; a log that cannot be written never fails it.
    if (std::string why;
        !app.Options.LogFile.empty() && !AppendRunLog(app.Options.LogFile, record, why))
        std::fprintf(stderr, "msrconfig: the run is not logged in %s: %s\n",
                     ShownText(app.Options.LogFile).c_str(), ShownText(why).c_str());
    return status;
}
