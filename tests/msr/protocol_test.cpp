// Records framed by the rule, and the query answer taken apart by position; the exchange and
// the acknowledgements are checked end to end against the simulator and by the fuzzer.
#include "msr/msr_protocol.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

static ResponseBuffer Response(const std::string& text, bool cutOff = false) {
    ResponseBuffer buffer;
    std::tie(buffer.Stored, buffer.Received, buffer.CutOff) =
        std::tuple(std::min(text.size(), ResponseBuffer::Capacity - 1), text.size(), cutOff);
    std::memcpy(buffer.Text, text.data(), buffer.Stored);
    return buffer;
}

// A well-formed query answer: echo, ".", an 11-character header, the five bytes, firmware.
const std::string WholeAnswer = std::string(MSR_GET_CONFIGURATION) + "." + ":0E00001102" +
                                "41253B2B3F" + "5A594E20312E3034" + "F0";
// The whole answer with the two characters at `at` replaced.
static std::string Damaged(std::size_t at, const char* text) {
    return std::string(WholeAnswer).replace(at, 2, text);
}

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

TEST(QueryDecoding, FieldsAtTheirPositions) {
    CMsrConfiguration r;
    char firmware[9] = {'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X'}; // no terminator
    DecodeConfigurationResponse(Response(WholeAnswer), r, firmware);
    EXPECT_EQ(r, (CMsrConfiguration{1, 0, 1, 1, 1, 0, 1, 0, '%', ';', '+', '?'}));
    EXPECT_STREQ(firmware, "ZYN 1.04");
    DecodeConfigurationResponse(Response(Damaged(41, "00")), r, firmware);
    EXPECT_STREQ(firmware, "ZY"); // a zero field ends the firmware early
}

// Only a whole answer is decoded; anything else says why it is not believed.
TEST(QueryDecoding, OnlyAWholeAnswerIsBelieved) {
    const std::string echo = MSR_GET_CONFIGURATION, record = WholeAnswer.substr(16);
    // clang-format off
    const std::pair<ResponseBuffer, QueryAnswer> answers[] = {
        {Response(WholeAnswer), QueryAnswer::Whole},
        {Response(echo + "." + ":0F00001102" + "41253B2B3F" + "5A594E20312E3034" + "FF" + "F0"), QueryAnswer::Whole},
        {Response(echo + "?" + record), QueryAnswer::NotAcknowledged},
        {Response("\r\n" + WholeAnswer), QueryAnswer::Noise},
        {Response(WholeAnswer, true), QueryAnswer::CutOff},
        {Response(Damaged(27, "40")), QueryAnswer::NotWhole},       // a digit flipped: the checksum
        {Response(WholeAnswer.substr(0, 49)), QueryAnswer::NotWhole}, // short of its count
        {Response(WholeAnswer + "0"), QueryAnswer::NotWhole},       // odd
        {Response(WholeAnswer + "00"), QueryAnswer::NotWhole},      // longer than its count
        {Response(Damaged(17, "0D")), QueryAnswer::NotWhole},       // a count too small for the fields
        {Response(Damaged(19, "01")), QueryAnswer::NotWhole},       // address
        {Response(Damaged(23, "12")), QueryAnswer::NotWhole},       // type
        {Response(Damaged(29, "2g")), QueryAnswer::NotWhole},       // no hex digit
        {Response(std::string(WholeAnswer).replace(16, 1, ";")), QueryAnswer::NotWhole},
        {Response(WholeAnswer + std::string(60, '0')), QueryAnswer::NotWhole}, // beyond the buffer
    };
    // clang-format on
    for (const auto& [buffer, expected] : answers)
        EXPECT_EQ(CheckConfigurationResponse(buffer), expected) << buffer.Text;
}
