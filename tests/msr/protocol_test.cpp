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

TEST(CommandRecord, FramingGivesTheFixedRecordsAndTheLowercaseSetRecord) {
    EXPECT_EQ(Upper(BuildCommandRecord({0x10})), MSR_ENTER_COMMAND_MODE);
    EXPECT_EQ(Upper(BuildCommandRecord({0x11})), MSR_RESTORE_FUNCTIONAL_MODE);
    EXPECT_EQ(Upper(BuildCommandRecord({0x02, 0x00})), MSR_GET_CONFIGURATION);
    EXPECT_EQ(Upper(BuildCommandRecord({0x09})), MSR_COMMIT_CONFIGURATION);
    EXPECT_EQ(BuildSetConfigurationRecord({1, 0, 1, 1, 1, 0, 1, 0, '%', ';', '+', '?'}),
              ":060000110141253b2b3fdd");
    EXPECT_EQ(BuildSetConfigurationRecord({1, 1, 1, 1, 1, 1, 1, 1, 0xFF, 0x80, 0x00, 0xAB}),
              ":0600001101e3ff8000abdb");
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

TEST(QueryDecoding, FieldsAtTheirPositionsNeverPastWhatArrived) {
    CMsrConfiguration r;
    char firmware[9];
    std::memset(firmware, 'X', sizeof firmware);
    DecodeConfigurationResponse(Response(QueryAnswer), r, firmware);
    EXPECT_EQ(r, (CMsrConfiguration{1, 0, 1, 1, 1, 0, 1, 0, '%', ';', '+', '?'}));
    EXPECT_STREQ(firmware, "ZYN 1.04");

    // Signs are accepted, and a zero field ends the firmware early.
    std::string answer = QueryAnswer;
    answer.replace(27, 2, "-1").replace(41, 2, "00");
    DecodeConfigurationResponse(Response(answer), r, firmware);
    EXPECT_EQ(EncodeDeviceFlags(r), 0xFF);
    EXPECT_STREQ(firmware, "ZY");

    // Cut inside the firmware: the half field converts from its one digit, the rest are 0.
    DecodeConfigurationResponse(Response(QueryAnswer.substr(0, 42)), r, firmware);
    EXPECT_EQ(r.EndSentinel, '?');
    EXPECT_STREQ(firmware, "ZY\x04");
    // Nothing beyond the acknowledgement: every field is 0, stale bytes are not read.
    ResponseBuffer buffer = Response(std::string(MSR_GET_CONFIGURATION) + ".");
    std::memset(buffer.Text + buffer.Stored + 1, '7', 20);
    DecodeConfigurationResponse(buffer, r, firmware);
    EXPECT_EQ(r, (CMsrConfiguration{0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_STREQ(firmware, "");
}
