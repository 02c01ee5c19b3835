// Records framed by the rule, and the query answer taken apart by position; the exchange and
// the acknowledgements are checked end to end against the simulator and by the fuzzer.
#include "msr/msr_protocol.h"

#include <algorithm>
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

// A well-formed query answer: echo, ".", an 11-character header, the five bytes, firmware.
const std::string QueryAnswer = std::string(MSR_GET_CONFIGURATION) + "." + ":0E00001102" +
                                "41253B2B3F" + "5A594E20312E3034" + "9C";

} // namespace

// The framing examples, in the lower case the builder writes; the fixed records travel as the
// end-to-end transcripts show them.
TEST(Framing, TheFixedRecordsAndTheSetRecord) {
    // clang-format off
    const std::pair<std::vector<std::uint8_t>, std::string> records[] = {
        {{0x10}, ":0100001110de"}, {{0x11}, ":0100001111dd"}, {{0x02, 0x00}, ":020000110200eb"}, {{0x09}, ":0100001109e5"},
        {{0x01, 0x41, '%', ';', '+', '?'}, ":060000110141253b2b3fdd"}, {{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ":0600001101ffffffffffed"}};
    // clang-format on
    for (const auto& [data, text] : records)
        EXPECT_EQ(BuildCommandRecord(data), text);
    EXPECT_EQ(BuildSetConfigurationRecord({1, 0, 1, 1, 1, 0, 1, 0, '%', ';', '+', '?'}),
              ":060000110141253b2b3fdd");
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
