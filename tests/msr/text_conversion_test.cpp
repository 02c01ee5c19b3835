#include "msr/msr_configuration.h"
#include "msr/text_conversion.h"

#include <gtest/gtest.h>

TEST(DeviceFlags, TrackBitsAreInvertedAndEveryByteSurvives) {
    const CMsrConfiguration all{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(EncodeDeviceFlags(all), 0xE3);
    EXPECT_EQ(EncodeDeviceFlags(CMsrConfiguration{}), 0x1C);
    for (int byte = 0; byte < 256; ++byte) {
        CMsrConfiguration r;
        DecodeDeviceFlags(static_cast<std::uint8_t>(byte), r);
        ASSERT_EQ(EncodeDeviceFlags(r), byte);
        ASSERT_LE(r.CarriageReturn + r.RawDataMode + r.Track1Enabled + r.Track2Enabled +
                      r.Track3Enabled + r.StripSentinels + r.UseCustomConfig + r.HideErrorTracks,
                  8); // each 0 or 1
    }
}

TEST(TextConversion, HexFieldsAndDecimalFollowStrtol) {
    const std::pair<const char*, std::int32_t> hex[] = {
        {"5d", 0x5D},   {"5D", 0x5D},
        {" 7", 7},      {"\t\n a", 10},
        {"+f", 15},     {"zz", 0},
        {"", 0},        {"--1", 0},
        {"0x", 0},      {"0x1f", 0x1F},
        {"7g", 7},      {"-1", -1},
        {"0X1F", 0x1F}, {"fffffffffff", 0x7FFFFFFF}};
    for (auto [text, value] : hex)
        EXPECT_EQ(ConvertHexField(text), value) << text;
    const std::pair<const char*, std::int32_t> decimal[] = {
        {"19200", 19200}, {" 9600", 9600},
        {"baud", 0},      {"-5", -5},
        {"12ab", 12},     {"99999999999", 2147483647},
        {"0x10", 0},      {"-99999999999", -2147483647 - 1}};
    for (auto [text, value] : decimal)
        EXPECT_EQ(ConvertDecimal(text), value) << text;
}
