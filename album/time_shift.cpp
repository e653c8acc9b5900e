// SPDX-License-Identifier: MIT
#include "album/time_shift.h"

#include <chrono>
#include <cstdio>

namespace pictora::album
{

namespace
{

constexpr long long kMinutesPerDay = 24LL * 60;
/// Beyond any camera's clock error, and far from overflowing the day count.
constexpr long long kMaxOffsetMinutes = 100LL * 366 * kMinutesPerDay;

/// Reads 1 to `maxDigits` ASCII digits at the front of `text`.
std::optional<int> takeNumber(std::string_view &text, std::size_t maxDigits)
{
    std::size_t n = 0;
    int value = 0;
    while (n < text.size() && n < maxDigits && text[n] >= '0' && text[n] <= '9') {
        value = value * 10 + (text[n] - '0');
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    text.remove_prefix(n);
    return value;
}

bool takeWord(std::string_view &text, std::string_view word)
{
    if (!text.starts_with(word))
        return false;
    text.remove_prefix(word.size());
    return true;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<StampTime> parseTimeStamp(std::string_view text)
{
    text = trimmed(text);
    StampTime t;
    const auto year = takeNumber(text, 4);
    if (!year || !takeWord(text, "年"))
        return std::nullopt;
    const auto month = takeNumber(text, 2);
    if (!month || !takeWord(text, "月"))
        return std::nullopt;
    const auto day = takeNumber(text, 2);
    if (!day || !takeWord(text, "日") || !takeWord(text, " "))
        return std::nullopt;
    const auto hour = takeNumber(text, 2);
    if (!hour || !takeWord(text, "時"))
        return std::nullopt;
    const auto minute = takeNumber(text, 2);
    if (!minute || !takeWord(text, "分") || !text.empty())
        return std::nullopt;
    t = { *year, *month, *day, *hour, *minute };
    const std::chrono::year_month_day date { std::chrono::year(t.year),
        std::chrono::month(static_cast<unsigned>(t.month)),
        std::chrono::day(static_cast<unsigned>(t.day)) };
    if (t.year < 1 || !date.ok() || t.hour > 23 || t.minute > 59)
        return std::nullopt;
    return t;
}

std::string formatTimeStamp(const StampTime &time)
{
    char text[64];
    std::snprintf(text,
        sizeof text,
        "%u年%02u月%02u日 %02u時%02u分",
        static_cast<unsigned>(time.year),
        static_cast<unsigned>(time.month),
        static_cast<unsigned>(time.day),
        static_cast<unsigned>(time.hour),
        static_cast<unsigned>(time.minute));
    return text;
}

std::optional<StampTime> shiftedBy(const StampTime &time, long long minutes)
{
    using namespace std::chrono;
    const sys_days day { year_month_day { year(time.year),
        month(static_cast<unsigned>(time.month)),
        std::chrono::day(static_cast<unsigned>(time.day)) } };
    const long long total = static_cast<long long>(day.time_since_epoch().count()) * kMinutesPerDay
        + time.hour * 60LL + time.minute + minutes;
    // Floor division, so that a time before the epoch falls on the right day.
    long long days = total / kMinutesPerDay;
    long long inDay = total % kMinutesPerDay;
    if (inDay < 0) {
        inDay += kMinutesPerDay;
        --days;
    }
    const year_month_day shifted { sys_days { std::chrono::days { days } } };
    const int y = static_cast<int>(shifted.year());
    if (y < 1 || y > 9999)
        return std::nullopt;
    return StampTime { y,
        static_cast<int>(static_cast<unsigned>(shifted.month())),
        static_cast<int>(static_cast<unsigned>(shifted.day())),
        static_cast<int>(inDay / 60),
        static_cast<int>(inDay % 60) };
}

std::optional<long long> parseTimeOffset(std::string_view text)
{
    text = trimmed(text);
    long long sign = 1;
    if (takeWord(text, "-"))
        sign = -1;
    else
        takeWord(text, "+");
    if (text.empty())
        return std::nullopt;
    long long minutes = 0;
    bool any = false;
    for (const auto &[unit, factor] : { std::pair { 'd', kMinutesPerDay }, { 'h', 60LL }, { 'm', 1LL } }) {
        std::string_view rest = text;
        const auto value = takeNumber(rest, 6);
        if (!value || rest.empty() || rest.front() != unit)
            continue;
        rest.remove_prefix(1);
        text = rest;
        minutes += *value * factor;
        any = true;
    }
    if (!any || !text.empty() || minutes > kMaxOffsetMinutes)
        return std::nullopt;
    return sign * minutes;
}

std::string offsetText(long long minutes)
{
    std::string text = minutes < 0 ? "-" : "+";
    long long rest = minutes < 0 ? -minutes : minutes;
    const long long days = rest / kMinutesPerDay;
    rest %= kMinutesPerDay;
    if (days)
        text += std::to_string(days) + "d";
    if (rest / 60)
        text += std::to_string(rest / 60) + "h";
    if (rest % 60 || text.size() == 1)
        text += std::to_string(rest % 60) + "m";
    return text;
}

} // namespace pictora::album
