#include "msr/msr_protocol.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <gtest/gtest.h>

namespace {

ResponseBuffer Response(const std::string& text) {
    ResponseBuffer buffer;
    buffer.Stored = std::min(text.size(), ResponseBuffer::Capacity - 1);
    buffer.Received = text.size();
    std::memcpy(buffer.Text, text.data(), buffer.Stored);
    return buffer;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A well-formed query answer: echo, ".", an 11-character header, the five bytes, firmware.
const std::string QueryAnswer = std::string(MSR_GET_CONFIGURATION) + "." + ":0E00001102" +
                                "41253B2B3F" + "5A594E20312E3034" + "9C";

} // namespace

TEST(CommandRecord, FramingGivesTheFixedRecords) {
    EXPECT_EQ(Upper(BuildCommandRecord({0x10})), MSR_ENTER_COMMAND_MODE);
    EXPECT_EQ(Upper(BuildCommandRecord({0x11})), MSR_RESTORE_FUNCTIONAL_MODE);
    EXPECT_EQ(Upper(BuildCommandRecord({0x02, 0x00})), MSR_GET_CONFIGURATION);
    EXPECT_EQ(Upper(BuildCommandRecord({0x09})), MSR_COMMIT_CONFIGURATION);
}

TEST(CommandRecord, SetRecordIsLowercaseAndAlways23Characters) {
    CMsrConfiguration r;
    DecodeDeviceFlags(0x41, r);
    r.Track1StartSentinel = '%';
    r.Track2StartSentinel = ';';
    r.Track3StartSentinel = '+';
    r.EndSentinel = '?';
    EXPECT_EQ(BuildSetConfigurationRecord(r), ":060000110141253b2b3fdd");

    CMsrConfiguration high{1, 1, 1, 1, 1, 1, 1, 1, 0xFF, 0x80, 0x00, 0xAB};
    std::string record = BuildSetConfigurationRecord(high);
    EXPECT_EQ(record, ":0600001101e3ff8000abdb");
    EXPECT_EQ(record.size(), 23u);
}

TEST(Acknowledgement, DotMustFollowTheEchoDirectly) {
    const std::string query = MSR_GET_CONFIGURATION;
    EXPECT_TRUE(IsAcknowledged(query, Response(query + ".1234")));    // 20 characters
    EXPECT_TRUE(IsAcknowledged(query, Response("xxxxxxxxxxxxxxx."))); // echo not compared
    EXPECT_FALSE(IsAcknowledged(query, Response(query)));             // no byte at 15
    EXPECT_FALSE(IsAcknowledged(query, Response(query + "?.")));
    EXPECT_FALSE(IsAcknowledged(query, Response("z" + query + "."))); // noise shifts it
    EXPECT_FALSE(IsAcknowledged(query, Response("")));

    const std::string set = ":060000110141253b2b3fdd";
    EXPECT_TRUE(IsAcknowledged(set, Response(set + ".")));
    EXPECT_FALSE(IsAcknowledged(set, Response(query + ".")));
}

TEST(Acknowledgement, CommitLooksAtTheLastCharacterBeforeAZero) {
    EXPECT_TRUE(IsCommitAcknowledged(Response(std::string(MSR_COMMIT_CONFIGURATION) + ".")));
    EXPECT_TRUE(IsCommitAcknowledged(Response(".")));
    EXPECT_FALSE(IsCommitAcknowledged(Response(MSR_COMMIT_CONFIGURATION)));
    EXPECT_FALSE(IsCommitAcknowledged(Response("")));
    EXPECT_FALSE(IsCommitAcknowledged(Response(std::string("\0.", 2)))); // empty text
    EXPECT_TRUE(IsCommitAcknowledged(Response(std::string("ab.\0x", 5))));
}

TEST(QueryDecoding, FullResponse) {
    CMsrConfiguration r;
    char firmware[9];
    std::memset(firmware, 'X', sizeof firmware);
    DecodeConfigurationResponse(Response(QueryAnswer), r, firmware);
    CMsrConfiguration expected;
    DecodeDeviceFlags(0x41, expected);
    expected.Track1StartSentinel = '%';
    expected.Track2StartSentinel = ';';
    expected.Track3StartSentinel = '+';
    expected.EndSentinel = '?';
    EXPECT_EQ(r, expected);
    EXPECT_STREQ(firmware, "ZYN 1.04");
}

TEST(QueryDecoding, ShortResponsesNeverReadPastWhatArrived) {
    CMsrConfiguration r;
    char firmware[9];
    // Cut inside the firmware: the half field converts from its one digit, the rest are 0.
    DecodeConfigurationResponse(Response(QueryAnswer.substr(0, 42)), r, firmware);
    EXPECT_EQ(r.EndSentinel, '?');
    EXPECT_STREQ(firmware, "ZY\x04");

    // Nothing beyond the acknowledgement: every field is 0, and flags 0 means tracks on.
    std::string shortAnswer = std::string(MSR_GET_CONFIGURATION) + ".";
    ResponseBuffer buffer = Response(shortAnswer);
    std::memset(buffer.Text + buffer.Stored + 1, '7', 20); // stale bytes past the terminator
    DecodeConfigurationResponse(buffer, r, firmware);
    EXPECT_EQ(EncodeDeviceFlags(r), 0x00);
    EXPECT_EQ(r.Track1StartSentinel, 0);
    EXPECT_EQ(r.EndSentinel, 0);
    EXPECT_STREQ(firmware, "");
}

TEST(QueryDecoding, ZeroFieldEndsTheFirmwareEarlyAndSignsAreAccepted) {
    std::string answer = QueryAnswer;
    answer.replace(27, 2, "-1");
    answer.replace(41, 2, "00");
    CMsrConfiguration r;
    char firmware[9];
    DecodeConfigurationResponse(Response(answer), r, firmware);
    EXPECT_EQ(EncodeDeviceFlags(r), 0xFF);
    EXPECT_STREQ(firmware, "ZY");
}
