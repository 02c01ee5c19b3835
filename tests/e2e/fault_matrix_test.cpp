// Bad readers, end to end: each ends in its log lines, message and exit status, within the
// protocol's waits.
#include "e2e_support.h"
#include "msr/serial_port.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const std::string ClaimAttemptWithoutAnswer =
    "Failed to enter command mode.\nError restoring functional mode.\n";
const std::string ClaimAttemptNotAcknowledged =
    "Error validating MSR_GET_CONFIGURATION response.\n";

void ExpectNotClaimed(const ProcessResult& run, const std::string& attemptLines,
                      double maxSeconds) {
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(run.Out, Repeat("Entering command mode...\n", 10));
    EXPECT_EQ(run.Err, Repeat(attemptLines, 10) + NotClaimedLine);
    EXPECT_LT(run.Seconds, maxSeconds);
}

} // namespace

TEST(FaultMatrix, ReaderThatNeverEntersCommandMode) {
    for (const char* fault : {"--silent", "--no-command-mode"}) {
        BatchSetup setup({fault});
        // Ten attempts of one 500 ms read and one 500 ms pause.
        ExpectNotClaimed(setup.RunFile(), ClaimAttemptWithoutAnswer, 20);
    }
}

TEST(FaultMatrix, QueryNotAcknowledged) {
    BatchSetup setup({"--query-nak"});
    ExpectNotClaimed(setup.RunFile(), ClaimAttemptNotAcknowledged, 35);
}

TEST(FaultMatrix, BytesBeforeTheEcho) {
    BatchSetup setup({"--prefix", "\r\n"});
    ExpectNotClaimed(setup.RunFile(), ClaimAttemptNotAcknowledged, 35);
}

TEST(FaultMatrix, TenKilobytesOfGarbage) {
    BatchSetup setup({"--garbage", "10240"});
    ExpectNotClaimed(setup.RunFile(), ClaimAttemptNotAcknowledged, 35);
}

TEST(FaultMatrix, CommitNeverAcknowledgedEndsAfterAMinute) {
    BatchSetup setup({"--commit-never"});
    ProcessResult run = setup.RunFile("COM3", 100);
    EXPECT_EQ(run.Status, 4);
    EXPECT_EQ(run.Err,
              "msrconfig: Error occurred while committing changes to the MSR configuration.\n");
    EXPECT_GT(run.Seconds, 60);
    EXPECT_LT(run.Seconds, 75);
}

TEST(FaultMatrix, ReaderUnpluggedMidExchange) {
    BatchSetup setup({"--unplug-after", "2"});
    ProcessResult run = setup.RunFile();
    EXPECT_EQ(run.Status, 4);
    EXPECT_EQ(run.Out, "Entering command mode...\n");
    EXPECT_EQ(run.Err, "Failed to send MSR_SET_CONFIGURATION.\n"
                       "msrconfig: Error occurred while applying changes to the MSR "
                       "configuration.\n"
                       "Failed to send MSR_COMMIT_CONFIGURATION.\n"
                       "msrconfig: Error occurred while committing changes to the MSR "
                       "configuration.\n"
                       "Error restoring functional mode.\n");
    EXPECT_LT(run.Seconds, 10);
}

TEST(FaultMatrix, PortHeldByAnotherProgram) {
    BatchSetup setup;
    setenv("MSRCONFIG_PORT_DIR", setup.Dir.Path().c_str(), 1);
    CSerialPort holder;
    ASSERT_TRUE(holder.Open("3", 19200));
    ProcessResult run = setup.RunFile();
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err,
              Repeat("Error opening com port : 3\nError restoring functional mode.\n", 10) +
                  NotClaimedLine);
    EXPECT_TRUE(setup.Records().empty());
}
