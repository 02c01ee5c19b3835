#include "msr/msr_connection.h"
#include "msr/msr_protocol.h"
#include "support/sim_fixture.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

MsrSimSettings With(void (*change)(MsrSimSettings&)) {
    MsrSimSettings settings;
    change(settings);
    return settings;
}

} // namespace

TEST(Connection, PortTextShorterThanThreeGivesAnEmptySuffix) {
    EmptyPortDir ports;
    LogCapture log;
    CMsrConnection connection(std::string(), 19200);
    EXPECT_EQ(connection.Claimed, 0);
    EXPECT_EQ(log.Lines(), Lines{"err: Error opening com port : "});
}

TEST(Connection, UnacknowledgedQueryLeavesThePortOpenUntilRelease) {
    for (auto fault : {+[](MsrSimSettings& s) { s.QueryNotAcknowledged = true; },
                       +[](MsrSimSettings& s) { s.GarbageBytes = 10000; }}) {
        SimulatedReader reader(With(fault));
        LogCapture log;
        {
            CMsrConnection connection("3", 19200);
            EXPECT_EQ(connection.Claimed, 0);
            EXPECT_FALSE(connection.ApplyConfiguration()); // nothing sent when not claimed
            EXPECT_FALSE(connection.CommitConfiguration());
        }
        EXPECT_EQ(log.Lines(), (Lines{"out: Entering command mode...",
                                      "err: Error validating MSR_GET_CONFIGURATION response."}));
        EXPECT_EQ(reader.Sim().ReceivedRecords(),
                  (Lines{":0100001110DE", ":020000110200EB", ":0100001111DD"}));
    }
}

TEST(Connection, AcknowledgementWaitIsBoundedByAttemptsAndTime) {
    SimulatedReader reader(With([](MsrSimSettings& s) { s.Silent = true; }));
    CSerialPort port;
    ASSERT_TRUE(port.Open("3", 19200));
    auto start = Clock::now();
    EXPECT_FALSE(WaitForAcknowledge(port, 2));
    EXPECT_GE(SecondsSince(start), 0.9);
    start = Clock::now();
    EXPECT_FALSE(WaitForAcknowledge(port, CommitAcknowledgeAttempts, std::chrono::seconds(2)));
    double waited = SecondsSince(start);
    EXPECT_GE(waited, 1.9);
    EXPECT_LT(waited, 3.5);
}

TEST(Connection, ReaderThatNeverFallsSilentCannotHoldTheProgram) {
    SimulatedReader reader(With([](MsrSimSettings& s) { s.DripMs = 5; }));
    CSerialPort port;
    ASSERT_TRUE(port.Open("3", 19200));
    ResponseBuffer response;
    auto start = Clock::now();
    EXPECT_TRUE(Exchange(port, MSR_ENTER_COMMAND_MODE, response));
    double waited = SecondsSince(start);
    EXPECT_GE(waited, 0.9);
    EXPECT_LT(waited, 2.5);
    EXPECT_GT(response.Received, response.Stored); // more came than the buffer holds
    EXPECT_EQ(response.Stored, ResponseBuffer::Capacity - 1);
    EXPECT_EQ(response.Text[response.Stored], '\0');
}
