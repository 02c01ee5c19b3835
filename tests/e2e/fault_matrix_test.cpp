// Good and bad readers, streams and signals, end to end: each ends in its log lines, message and
// exit status, within the protocol's waits, with the reader released.
#include "e2e_support.h"
#include "msr/serial_port.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Records = std::vector<std::string>;

const std::string Entering = "Entering command mode...\n";
const std::string NoAnswer = "Failed to enter command mode.\nError restoring functional mode.\n";
const std::string NotAcknowledged = "Error validating MSR_GET_CONFIGURATION response.\n";
const std::string CommitFailed =
    "msrconfig: Error occurred while committing changes to the MSR configuration.\n";
const Records WholeRun = {":0100001110DE", ":020000110200EB", ":060000110141253b2b3fdd",
                          ":0100001109E5", ":0100001111DD"};

struct Fault {
    const char* Name;
    std::vector<std::string> SimOptions;
    int Status;
    std::string Out, Err;
    double MinSeconds, MaxSeconds; // from the start, or from the signal when one is sent
    ChildSetup Child = {};
    int Signal = 0;        // sent once the reader has received the commit record
    Records Received = {}; // checked when not empty
};

const std::string Tries = Repeat(Entering, 10);
std::string NotClaimed(const std::string& attemptLines) {
    return Repeat(attemptLines, 10) + NotClaimedLine;
}
const std::string SetRejected =
    "MSR_SET_CONFIGURATION did not apply properly.\n"
    "msrconfig: Error occurred while applying changes to the MSR configuration.\n";
const std::string UnpluggedBeforeSet =
    "Failed to send MSR_SET_CONFIGURATION.\n"
    "msrconfig: Error occurred while applying changes to the MSR configuration.\n"
    "Failed to send MSR_COMMIT_CONFIGURATION.\n" +
    CommitFailed + "Error restoring functional mode.\n";
const ChildSetup Captured = {};
const ChildSetup Closed = {.Output = Streams::Closed}, BrokenPipe = {.Output = Streams::BrokenPipe};

Fault StoppedBy(const char* name, int signalNumber) {
    return {name, {"--commit-never"}, 128 + signalNumber, Entering, "", 0,
            3,    Captured,           signalNumber,       WholeRun};
}

// clang-format off
const Fault Faults[] = {
    {"Applied", {}, 0, Entering, "", 0, 10, Captured, 0, WholeRun},
    {"LateCommitAcknowledgement", {"--commit-delay", "1500"}, 0, Entering, "", 3, 10, Captured, 0, WholeRun},
    {"RejectedSetIsStillCommitted", {"--set-reject"}, 4, Entering, SetRejected, 0, 10, Captured, 0, WholeRun},
    // Ten attempts of a 500 ms read (no shorter) and a 500 ms pause.
    {"Silent", {"--silent"}, 3, Tries, NotClaimed(NoAnswer), 9, 20},
    {"NoCommandMode", {"--no-command-mode"}, 3, Tries, NotClaimed(NoAnswer), 0, 20},
    // Not claimed, yet every attempt still returns the reader to functional mode.
    {"QueryNotAcknowledged", {"--query-nak"}, 3, Tries, NotClaimed(NotAcknowledged), 0, 35, Captured, 0,
     Repeat(Records{":0100001110DE", ":020000110200EB", ":0100001111DD"}, 10)},
    {"BytesBeforeTheEcho", {"--prefix", "\r\n"}, 3, Tries, NotClaimed(NotAcknowledged), 0, 35},
    {"TenKilobytesOfGarbage", {"--garbage", "10240"}, 3, Tries, NotClaimed(NotAcknowledged), 0, 35},
    // Never silent: each answer is cut off, so ten attempts stay far below two minutes.
    {"ByteEvery450ms", {"--drip", "450"}, 3, Tries, NotClaimed(NotAcknowledged), 0, 120},
    {"CommitNeverAcknowledged", {"--commit-never"}, 4, Entering, CommitFailed, 60, 75},
    {"UnpluggedBeforeTheSet", {"--unplug-after", "2"}, 4, Entering, UnpluggedBeforeSet, 0, 10},
    // Gone in the middle of the commit's echo: the wait sees the hang-up, not silence.
    {"VanishedDuringTheCommit", {"--vanish-after", "3"}, 4, Entering, CommitFailed + "Error restoring functional mode.\n", 0, 10},
    // Log lines must never reach the port, and a closed pipe must not end the run.
    {"StreamsClosed", {"--set-reject"}, 4, "", "", 0, 10, Closed, 0, WholeRun},
    {"StreamsABrokenPipe", {"--set-reject"}, 4, "", "", 0, 10, BrokenPipe, 0, WholeRun},
    // A signal that would end the process, sent during the commit's wait: the run ends
    // through its normal path, so the reader is still released.
    StoppedBy("SIGINT", SIGINT),     StoppedBy("SIGTERM", SIGTERM), StoppedBy("SIGHUP", SIGHUP),
    StoppedBy("SIGQUIT", SIGQUIT),   StoppedBy("SIGUSR1", SIGUSR1), StoppedBy("SIGUSR2", SIGUSR2),
    StoppedBy("SIGALRM", SIGALRM),   StoppedBy("SIGPROF", SIGPROF), StoppedBy("SIGVTALRM", SIGVTALRM),
    StoppedBy("SIGXCPU", SIGXCPU),   StoppedBy("SIGXFSZ", SIGXFSZ),
    // Ignored from the start (nohup): the run goes on to its end.
    {"SIGHUPUnderNohup", {"--commit-delay", "1500"}, 0, Entering, "", 0, 10, {.IgnoredSignal = SIGHUP}, SIGHUP, WholeRun},
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
    const auto start = std::chrono::steady_clock::now();
    ChildProcess program({MSRCONFIG_BIN, setup.CommandLine()},
                         {{"MSRCONFIG_PORT_DIR", setup.PortDir()}}, fault.Child);
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

TEST(PortHeldByAnotherProgram, EveryAttemptFailsToOpen) {
    BatchSetup setup;
    CSerialPort holder;
    ASSERT_TRUE(holder.Open("3", 19200));
    ProcessResult run = setup.Run();
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err,
              Repeat("Error opening com port : 3\nError restoring functional mode.\n", 10) +
                  NotClaimedLine);
    EXPECT_TRUE(setup.Records().empty());
}
