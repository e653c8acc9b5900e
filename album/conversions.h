// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pictora::album
{

/// Colour text (RRGGBB) to screen colour value (0x00BBGGRR); not hexadecimal gives 0 (black).
[[nodiscard]] std::uint32_t HexTextToColor(std::string_view colourText);
/// Screen colour value to colour text: six upper-case digits, red first; bits 24 to 31 ignored.
[[nodiscard]] std::string ColorToHexText(std::uint32_t colour);

/// Whole number from text: optional leading blanks, an optional sign, decimal digits.
/// Throws ConversionError "'<text>' は整数ではありません" otherwise (empty text included).
[[nodiscard]] int toInteger(std::string_view text);
/// Floating-point number from text (blanks around it allowed, decimal point, exponent).
/// Throws ConversionError "'<text>' は浮動小数点数ではありません" otherwise.
[[nodiscard]] double toDouble(std::string_view text);

} // namespace pictora::album
