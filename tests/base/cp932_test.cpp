// SPDX-License-Identifier: MIT
#include "base/cp932.h"

#include <gtest/gtest.h>

namespace cp932 = pictora::base::cp932;

TEST(Cp932, JapaneseTextEncodesToShiftJisBytes)
{
    EXPECT_EQ(cp932::encodeWithReferences("旅行 2004"), "\x97\xB7\x8D\x73 2004");
    EXPECT_EQ(cp932::encode("ｱ"), std::optional<std::string>("\xB1")); // half-width katakana
    EXPECT_EQ(cp932::encode("～"), std::optional<std::string>("\x81\x60"));
    EXPECT_EQ(cp932::encode("\\"), std::optional<std::string>("\\"));
}

TEST(Cp932, CharactersThatComeBackChangedDoNotFit)
{
    // Yen sign and wave dash convert, but decode as backslash and full-width tilde.
    EXPECT_FALSE(cp932::fits("\u00A5"));
    EXPECT_FALSE(cp932::fits("\u301C"));
    EXPECT_FALSE(cp932::fits("é"));
    EXPECT_FALSE(cp932::fits("😀"));
    EXPECT_TRUE(cp932::fits("写真アルバム～①"));
    EXPECT_EQ(cp932::encode("a\u00A5b"), std::nullopt);
}

TEST(Cp932, UnfitCharactersBecomeDecimalReferences)
{
    EXPECT_EQ(cp932::encodeWithReferences("a\u00A5b"), "a&#165;b");
    EXPECT_EQ(cp932::encodeWithReferences("\u301C"), "&#12316;");
    EXPECT_EQ(cp932::encodeWithReferences("😀写"), "&#128512;\x8E\xCA");
    EXPECT_EQ(cp932::encodeWithReferences("x\xFFy"), "x&#65533;y"); // not UTF-8
}

TEST(Cp932, DecodingRoundTripsAndRejectsBrokenBytes)
{
    const std::string text = "タイトル\r\nC:\\photo\\a.jpg";
    auto bytes = cp932::encode(text);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(cp932::decode(*bytes), text);
    EXPECT_EQ(cp932::decode("\x82"), std::nullopt); // lead byte without its trail
    EXPECT_EQ(cp932::decodeLenient("a\x82"), "a\uFFFD");
}
