// Good and bad readers, streams and signals, end to end: each ends in its log lines, message and
// exit status, within the protocol's waits, with the reader released.
#include "e2e_support.h"
#include "msr/serial_port.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Records = std::vector<std::string>;

// clang-format off
const std::string Entering = "Entering command mode...\n";
const std::string NoAnswer = "Failed to enter command mode.\nError restoring functional mode.\n";
const std::string NotAcknowledged = "Error validating MSR_GET_CONFIGURATION response.\n";
const std::string CommitFailed = About + "msrconfig: Error occurred while committing changes to the MSR configuration.\n";
const std::string SetRejected = "MSR_SET_CONFIGURATION did not apply properly.\n" + About + "msrconfig: Error occurred while applying changes to the MSR configuration.\n";
const std::string UnpluggedBeforeSet = "Failed to send MSR_SET_CONFIGURATION.\n" + About + "msrconfig: Error occurred while applying changes to the MSR configuration.\nFailed to send MSR_COMMIT_CONFIGURATION.\n" + CommitFailed + "Error restoring functional mode.\n";
const std::string Enter = ":0100001110DE", Query = ":020000110200EB", Release = ":0100001111DD";
const Records WholeRun = {Enter, Query, ":060000110141253b2b3fdd", ":0100001109E5", Release};
const Records Queried = {Enter, Query, Release};
// A file that differs from the reader: custom configuration off, "!" as the end sentinel.
const std::string OtherFile = "1d%;+!", OtherSet = ":060000110101253b2b213b";
const Records Ensured = {Enter, Query, OtherSet, ":0100001109E5", Query, Release};
const std::string Differences = About + "Use Custom Config: reader on, file off\n" + About + "End Sentinel: reader \"?\" (0x3f), file \"!\" (0x21)\n";
const std::string Tries = Repeat(Entering, 10);
// Ten failed attempts, the cause of the last one and the message.
std::string NotClaimed(const std::string& attemptLines, const std::string& cause, const std::string& about = About, const std::string& port = "COM3") {
    return Repeat(attemptLines, 10) + "No MSR claimed on " + port + " (" + cause + ".\n" + about + NotClaimedMessage;
}
const std::string NoReplyCause = "no-answer): the reader does not answer";
const std::string NakCause = "not-acknowledged): the reader did not acknowledge the configuration query";
const std::string Missing = NotClaimed("Error opening com port : 0\nError restoring functional mode.\n", "no-device): the port name leads to no device", "COM0 config.txt: ", "COM0");
// clang-format on

struct Fault {
    const char* Name;
    std::vector<std::string> Command = {}; // options before the batch text
    std::vector<std::string> SimOptions = {};
    int Status = 0;
    std::string Out = "", Err = "";
    double MinSeconds = 0, MaxSeconds = 10; // from the start, or from the signal when one is sent
    Records Received = {};                  // checked when not empty
    std::string File = "5d%;+?";            // the configuration file's second line
    std::string BatchText = ConfigFile + ",COM3,19200";
    ChildSetup Child = {};
    int Signal = 0; // sent once the reader has received the commit record
};

const ChildSetup Closed = {.Output = Streams::Closed}, BrokenPipe = {.Output = Streams::BrokenPipe};

Fault StoppedBy(const char* name, int signalNumber) {
    return {.Name = name,
            .SimOptions = {"--commit-never"},
            .Status = 128 + signalNumber,
            .Out = Entering,
            .MaxSeconds = 3,
            .Received = WholeRun,
            .Signal = signalNumber};
}

// clang-format off
const Fault Faults[] = {
    {.Name = "Applied", .Out = Entering, .Received = WholeRun},
    {.Name = "LateCommitAcknowledgement", .SimOptions = {"--commit-delay", "1500"}, .Out = Entering, .MinSeconds = 3, .Received = WholeRun},
    {.Name = "RejectedSetIsStillCommitted", .SimOptions = {"--set-reject"}, .Status = 4, .Out = Entering, .Err = SetRejected, .Received = WholeRun},
    // Ten attempts of a 500 ms read (no shorter) and a 500 ms pause.
    {.Name = "Silent", .SimOptions = {"--silent"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NoAnswer, NoReplyCause), .MinSeconds = 9, .MaxSeconds = 20},
    {.Name = "NoCommandMode", .SimOptions = {"--no-command-mode"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NoAnswer, NoReplyCause), .MaxSeconds = 20},
    // Not claimed, yet every attempt still returns the reader to functional mode.
    {.Name = "QueryNotAcknowledged", .SimOptions = {"--query-nak"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NotAcknowledged, NakCause), .MaxSeconds = 35, .Received = Repeat(Queried, 10)},
    {.Name = "BytesBeforeTheEcho", .SimOptions = {"--prefix", "\r\n"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NotAcknowledged, NakCause), .MaxSeconds = 35},
    {.Name = "TenKilobytesOfGarbage", .SimOptions = {"--garbage", "10240"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NotAcknowledged, NakCause), .MaxSeconds = 35},
    // Never silent: each answer is cut off, so ten attempts stay far below two minutes.
    {.Name = "ByteEvery450ms", .SimOptions = {"--drip", "450"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NotAcknowledged, NakCause), .MaxSeconds = 120},
    {.Name = "CommitNeverAcknowledged", .SimOptions = {"--commit-never"}, .Status = 4, .Out = Entering, .Err = CommitFailed, .MinSeconds = 60, .MaxSeconds = 75},
    {.Name = "UnpluggedBeforeTheSet", .SimOptions = {"--unplug-after", "2"}, .Status = 4, .Out = Entering, .Err = UnpluggedBeforeSet},
    // Gone in the middle of the commit's echo: the wait sees the hang-up, not silence.
    {.Name = "VanishedDuringTheCommit", .SimOptions = {"--vanish-after", "3"}, .Status = 4, .Out = Entering, .Err = CommitFailed + "Error restoring functional mode.\n"},
    {.Name = "MissingReader", .Status = 3, .Err = Missing, .BatchText = ConfigFile + ",COM0"},
    // Answers the enter record, then falls silent: the query itself fails.
    {.Name = "QuerySilent", .SimOptions = {"--query-silent"}, .Status = 3, .Out = Tries, .Err = NotClaimed("Error querying MSR configuration.\n", "no-answer): the reader stopped answering in command mode"), .MaxSeconds = 25},
    // One stream, as operators keep the log (>log 2>&1): every line flushed, in order.
    {.Name = "LogAsOneStream", .SimOptions = {"--set-reject"}, .Status = 4, .Out = Entering + SetRejected, .Received = WholeRun, .Child = {.Output = Streams::Merged}},
    // Log lines must never reach the port, and a closed pipe must not end the run.
    {.Name = "StreamsClosed", .SimOptions = {"--set-reject"}, .Status = 4, .Received = WholeRun, .Child = Closed},
    {.Name = "StreamsABrokenPipe", .SimOptions = {"--set-reject"}, .Status = 4, .Received = WholeRun, .Child = BrokenPipe},
    // A signal that would end the process, sent during the commit's wait: the run ends
    // through its normal path, so the reader is still released.
    StoppedBy("SIGINT", SIGINT), StoppedBy("SIGTERM", SIGTERM), StoppedBy("SIGHUP", SIGHUP), StoppedBy("SIGQUIT", SIGQUIT),
    StoppedBy("SIGUSR1", SIGUSR1), StoppedBy("SIGUSR2", SIGUSR2), StoppedBy("SIGALRM", SIGALRM), StoppedBy("SIGPROF", SIGPROF),
    StoppedBy("SIGVTALRM", SIGVTALRM), StoppedBy("SIGXCPU", SIGXCPU), StoppedBy("SIGXFSZ", SIGXFSZ),
    // Ignored from the start (nohup): the run goes on to its end.
    {.Name = "SIGHUPUnderNohup", .SimOptions = {"--commit-delay", "1500"}, .Out = Entering, .Received = WholeRun, .Child = {.IgnoredSignal = SIGHUP}, .Signal = SIGHUP},

    // The verbs for scripts: each with a matching, a differing, a missing and a refusing reader.
    {.Name = "ReadToStandardOutput", .Command = {"--read"}, .Out = Entering + Header + "5d%;+?\n", .Err = "COM3 -: firmware revision SIM 1.00\n", .Received = Queried, .BatchText = "-,COM3"},
    {.Name = "ReadMissing", .Command = {"--read"}, .Status = 3, .Err = Missing, .BatchText = ConfigFile + ",COM0"},
    {.Name = "ReadRefused", .Command = {"--read"}, .SimOptions = {"--query-nak"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NotAcknowledged, NakCause), .MaxSeconds = 35},
    {.Name = "VerifyMatching", .Command = {"--verify"}, .Out = Entering + About + "the MSR holds the file's configuration\n", .Received = Queried},
    {.Name = "VerifyDiffering", .Command = {"--verify"}, .Status = 5, .Out = Entering + Differences, .Received = Queried, .File = OtherFile},
    {.Name = "VerifyMissing", .Command = {"--verify"}, .Status = 3, .Err = Missing, .BatchText = ConfigFile + ",COM0"},
    {.Name = "VerifyRefused", .Command = {"--verify"}, .SimOptions = {"--no-command-mode"}, .Status = 3, .Out = Tries, .Err = NotClaimed(NoAnswer, NoReplyCause), .MaxSeconds = 20},
    {.Name = "EnsureUnchanged", .Command = {"--ensure"}, .Out = Entering + About + "unchanged\n", .Received = Queried},
    {.Name = "EnsureChanged", .Command = {"--ensure"}, .Out = Entering + About + "changed\n", .Received = Ensured, .File = OtherFile},
    {.Name = "EnsureMissing", .Command = {"--ensure"}, .Status = 3, .Err = Missing, .BatchText = ConfigFile + ",COM0"},
    {.Name = "EnsureRefused", .Command = {"--ensure"}, .SimOptions = {"--set-reject"}, .Status = 4, .Out = Entering, .Err = SetRejected, .Received = {Enter, Query, OtherSet, Release}, .File = OtherFile},
    {.Name = "EnsureNotKept", .Command = {"--ensure"}, .SimOptions = {"--set-ignored"}, .Status = 5, .Out = Entering + Differences, .Received = Ensured, .File = OtherFile},
};
// clang-format on

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.Name;
}

class FaultMatrix : public testing::TestWithParam<Fault> {};

} // namespace

TEST_P(FaultMatrix, EndsAsDocumented) {
    const Fault& fault = GetParam();
    BatchSetup setup(fault.SimOptions);
    setup.Dir.Write(ConfigFile, Header + fault.File + "\n");
    std::vector<std::string> argv = {MSRCONFIG_BIN};
    argv.insert(argv.end(), fault.Command.begin(), fault.Command.end());
    argv.push_back(fault.BatchText);
    ChildSetup child = fault.Child;
    child.WorkingDirectory = setup.Dir.Path();
    const auto start = std::chrono::steady_clock::now();
    ChildProcess program(argv, {{"MSRCONFIG_PORT_DIR", setup.PortDir()}}, child);
    double signalled = 0;
    if (fault.Signal) {
        ASSERT_TRUE(setup.Sim->WaitFor("<- :0100001109E5\n"));
        usleep(300000); // into the acknowledgement wait
        signalled = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        program.Signal(fault.Signal);
    }
    ProcessResult run = program.Wait(fault.MaxSeconds + 60);
    run.Seconds -= signalled;
    EXPECT_EQ(run.Status, fault.Status);
    EXPECT_EQ(run.Out, fault.Out);
    EXPECT_EQ(run.Err, fault.Err);
    EXPECT_GE(run.Seconds, fault.MinSeconds);
    EXPECT_LT(run.Seconds, fault.MaxSeconds);
    if (!fault.Received.empty()) {
        EXPECT_EQ(setup.Records(), fault.Received);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, FaultMatrix, testing::ValuesIn(Faults),
                         [](const testing::TestParamInfo<Fault>& info) { return info.param.Name; });

// Why a port did not open: held by another program, or not this user's to open.
TEST(PortRefused, SaysWhyAndWhatToDo) {
    BatchSetup setup;
    const std::string device = std::filesystem::read_symlink(setup.PortDir() + "/COM3");
    const std::string attempts =
        Repeat("Error opening com port : 3\nError restoring functional mode.\n", 10);
    {
        CSerialPort holder;
        ASSERT_TRUE(holder.Open("3", 19200));
        ProcessResult run = setup.Run();
        EXPECT_EQ(run.Status, 3);
        EXPECT_EQ(run.Err, attempts + "No MSR claimed on COM3 (busy): " + device +
                               " is held by another program.\n" + About + NotClaimedMessage);
    }
    ASSERT_EQ(chown(device.c_str(), 0, 20), 0); // group dialout, as serial devices have
    ASSERT_EQ(chmod(device.c_str(), 0660), 0);
    ProcessResult run = setup.Run({}, {.User = 4321});
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, attempts + "No MSR claimed on COM3 (no-permission): you may not open " +
                           device +
                           ", which belongs to group dialout; join it with: sudo adduser "
                           "\"$USER\" dialout, then log in again.\n" +
                           About + NotClaimedMessage);
    EXPECT_TRUE(setup.Records().empty());
}
