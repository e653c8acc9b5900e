// SPDX-License-Identifier: MIT
#include "album/conversions.h"
#include "base/errors.h"

#include <gtest/gtest.h>

using namespace pictora::album;

TEST(Colour, HexTextToColorReadsBlueGreenRedPieces)
{
    EXPECT_EQ(HexTextToColor("FF0000"), 255u);
    EXPECT_EQ(HexTextToColor("00008B"), 9109504u);
    EXPECT_EQ(HexTextToColor("FFFFFF"), 16777215u);
    EXPECT_EQ(HexTextToColor("ff0000"), 255u);
    EXPECT_EQ(HexTextToColor("00FF00"), 65280u);
}

TEST(Colour, ShortTextsContributeOnlyTheCharactersThatExist)
{
    EXPECT_EQ(HexTextToColor("FF00"), 255u); // pieces "", "00", "FF"
    EXPECT_EQ(HexTextToColor("1"), 1u); // pieces "", "", "1": a very dark red
    EXPECT_EQ(HexTextToColor("ABC"), 0xCABu);
    EXPECT_EQ(HexTextToColor(""), 0u);
}

TEST(Colour, NonHexadecimalTextGivesBlack)
{
    EXPECT_EQ(HexTextToColor("GG0000"), 0u);
    EXPECT_EQ(HexTextToColor("FF 000"), 0u);
    EXPECT_EQ(HexTextToColor("#FF000"), 0u);
}

TEST(Colour, ColorToHexTextWritesRedGreenBlueUpperCase)
{
    EXPECT_EQ(ColorToHexText(255), "FF0000");
    EXPECT_EQ(ColorToHexText(9109504), "00008B");
    EXPECT_EQ(ColorToHexText(0), "000000");
    EXPECT_EQ(ColorToHexText(0xFF123456u), "563412"); // high bits ignored
}

TEST(Colour, RoundTripThroughBothConversions)
{
    for (std::uint32_t c : { 0u, 1u, 128u, 65280u, 8388608u, 16711680u, 0x00ABCDEFu })
        EXPECT_EQ(HexTextToColor(ColorToHexText(c)), c);
}

TEST(Numbers, IntegerConversionAcceptsBlanksAndSign)
{
    EXPECT_EQ(toInteger("160"), 160);
    EXPECT_EQ(toInteger("  -7"), -7);
    EXPECT_EQ(toInteger("+12"), 12);
    EXPECT_EQ(toInteger("2147483647"), 2147483647);
    EXPECT_EQ(toInteger("-2147483648"), -2147483647 - 1);
}

TEST(Numbers, IntegerConversionFailsWithTheRuntimeMessage)
{
    for (const char *bad : { "", "abc", "12px", "1.5", "-", "2147483648", "99999999999999999999" }) {
        try {
            (void)toInteger(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const pictora::base::ConversionError &e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' は整数ではありません");
        }
    }
}

TEST(Numbers, FloatingPointConversion)
{
    EXPECT_DOUBLE_EQ(toDouble("640"), 640.0);
    EXPECT_DOUBLE_EQ(toDouble(" 1.5 "), 1.5);
    EXPECT_DOUBLE_EQ(toDouble("-2e2"), -200.0);
    try {
        (void)toDouble("64O");
        ADD_FAILURE();
    } catch (const pictora::base::ConversionError &e) {
        EXPECT_STREQ(e.what(), "'64O' は浮動小数点数ではありません");
    }
    EXPECT_THROW((void)toDouble(""), pictora::base::ConversionError);
}
