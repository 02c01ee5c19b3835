#include "msr/msr_configuration.h"
#include "msr/text_conversion.h"

#include <gtest/gtest.h>

TEST(DeviceFlags, TrackBitsAreInverted) {
    CMsrConfiguration all{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
    EXPECT_EQ(EncodeDeviceFlags(all), 0xE3);
    EXPECT_EQ(EncodeDeviceFlags(CMsrConfiguration{}), 0x1C);

    CMsrConfiguration decoded;
    DecodeDeviceFlags(0x1C, decoded);
    EXPECT_EQ(decoded, CMsrConfiguration{});
    DecodeDeviceFlags(0xE3, decoded);
    EXPECT_EQ(decoded, all);
}

TEST(DeviceFlags, EveryByteSurvivesDecodeThenEncode) {
    for (int byte = 0; byte < 256; ++byte) {
        CMsrConfiguration r;
        DecodeDeviceFlags(static_cast<std::uint8_t>(byte), r);
        for (std::uint8_t option :
             {r.CarriageReturn, r.RawDataMode, r.Track1Enabled, r.Track2Enabled, r.Track3Enabled,
              r.StripSentinels, r.UseCustomConfig, r.HideErrorTracks})
            ASSERT_LE(option, 1);
        ASSERT_EQ(EncodeDeviceFlags(r), byte);
    }
}

TEST(TextConversion, HexFieldsFollowStrtol) {
    EXPECT_EQ(ConvertHexField("5d"), 0x5D);
    EXPECT_EQ(ConvertHexField("5D"), 0x5D);
    EXPECT_EQ(ConvertHexField(" 7"), 7);
    EXPECT_EQ(ConvertHexField("\t\n a"), 10);
    EXPECT_EQ(ConvertHexField("-1") & 0xFF, 0xFF);
    EXPECT_EQ(ConvertHexField("+f"), 15);
    EXPECT_EQ(ConvertHexField("zz"), 0);
    EXPECT_EQ(ConvertHexField(""), 0);
    EXPECT_EQ(ConvertHexField("--1"), 0);
    EXPECT_EQ(ConvertHexField("0x"), 0); // no digit after the prefix: the "0" is the number
    EXPECT_EQ(ConvertHexField("0x1f"), 0x1F);
    EXPECT_EQ(ConvertHexField("0X1F"), 0x1F);
    EXPECT_EQ(ConvertHexField("7g"), 7);
    EXPECT_EQ(ConvertHexField("fffffffffff"), 0x7FFFFFFF);
}

TEST(TextConversion, DecimalSaturatesAndSkipsBlanks) {
    EXPECT_EQ(ConvertDecimal("19200"), 19200);
    EXPECT_EQ(ConvertDecimal(" 9600"), 9600);
    EXPECT_EQ(ConvertDecimal("baud"), 0);
    EXPECT_EQ(ConvertDecimal("-5"), -5);
    EXPECT_EQ(ConvertDecimal("12ab"), 12);
    EXPECT_EQ(ConvertDecimal("99999999999"), 2147483647);
    EXPECT_EQ(ConvertDecimal("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(ConvertDecimal("0x10"), 0);
}
