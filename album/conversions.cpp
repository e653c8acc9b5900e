// SPDX-License-Identifier: MIT
#include "album/conversions.h"

#include "base/errors.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

namespace pictora::album
{

namespace
{

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The piece of a text from a 0-based offset, as far as the text reaches.
std::string_view piece(std::string_view text, std::size_t offset, std::size_t length)
{
    if (offset >= text.size())
        return {};
    return text.substr(offset, length);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::uint32_t HexTextToColor(std::string_view colourText)
{
    // Blue, green, red pieces make a 0x00BBGGRR number.
    std::string digits;
    digits += piece(colourText, 4, 2);
    digits += piece(colourText, 2, 2);
    digits += piece(colourText, 0, 2);
    if (digits.empty())
        return 0;
    std::uint32_t value = 0;
    for (char c : digits) {
        int d = hexDigit(c);
        if (d < 0)
            return 0;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

std::string ColorToHexText(std::uint32_t colour)
{
    char text[7];
    std::snprintf(
        text, sizeof text, "%02X%02X%02X", colour & 0xFFu, (colour >> 8) & 0xFFu, (colour >> 16) & 0xFFu);
    return text;
}

int toInteger(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    bool anyDigit = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c < '0' || c > '9')
            break;
        anyDigit = true;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            break;
    }
    const long long limit = negative ? -static_cast<long long>(std::numeric_limits<int>::min())
                                     : static_cast<long long>(std::numeric_limits<int>::max());
    if (!anyDigit || pos != text.size() || value > limit)
        throw base::ConversionError("'" + std::string(text) + "' は整数ではありません");
    return static_cast<int>(negative ? -value : value);
}

double toDouble(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    std::string_view body = text.substr(begin, end - begin);
    if (!body.empty() && body.front() == '+')
        body.remove_prefix(1);
    double value = 0;
    bool ok = !body.empty()
        && (std::isdigit(static_cast<unsigned char>(body.front())) || body.front() == '-'
            || body.front() == '.');
    if (ok) {
        auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
        ok = ec == std::errc() && ptr == body.data() + body.size();
    }
    if (!ok)
        throw base::ConversionError("'" + std::string(text) + "' は浮動小数点数ではありません");
    return value;
}

} // namespace pictora::album
