#include "msr/msr_connection.h"
#include "msr/msr_protocol.h"
#include "support/sim_fixture.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

MsrSimSettings With(void (*change)(MsrSimSettings&)) {
    MsrSimSettings settings;
    change(settings);
    return settings;
}

} // namespace

TEST(Connection, AcknowledgementWaitIsBoundedByAttemptsAndTime) {
    SimulatedReader reader(With([](MsrSimSettings& s) { s.Silent = true; }));
    CSerialPort port;
    ASSERT_TRUE(port.Open("3", 19200));
    // Each attempt on a silent line is a 500 ms read and a 1 ms pause; the whole wait also
    // ends at its time limit (the program's 60 s are the fault matrix's).
    auto start = Clock::now();
    EXPECT_FALSE(WaitForAcknowledge(port, 2));
    EXPECT_GE(SecondsSince(start), 0.9);
    start = Clock::now();
    EXPECT_FALSE(WaitForAcknowledge(port, CommitAcknowledgeAttempts, std::chrono::seconds(2)));
    EXPECT_LT(SecondsSince(start), 3.5);
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
