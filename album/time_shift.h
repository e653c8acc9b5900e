// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pictora::album
{

/// A capture time as the time-stamp text shows it: to the minute.
struct StampTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    auto operator<=>(const StampTime &) const = default;
};

/// Reads a time-stamp text of the form "2004年05月01日 13時05分" (blanks around it allowed).
/// Nothing for free text, or for a date that is no day of the calendar (00月, 02月30日, 25時).
[[nodiscard]] std::optional<StampTime> parseTimeStamp(std::string_view text);

/// The time-stamp text of a time, "%u年%02u月%02u日 %02u時%02u分" as a new entry's is made.
[[nodiscard]] std::string formatTimeStamp(const StampTime &time);

/// `time` moved by `minutes` (negative: earlier), across midnight, month and year ends and leap
/// days. Nothing when the result leaves the years 1 to 9999.
[[nodiscard]] std::optional<StampTime> shiftedBy(const StampTime &time, long long minutes);

/// Reads an offset such as "+1h30m", "-2d", "+1d12h" or "45m" (no sign: later) into minutes.
/// Each of d, h and m at most once, in that order. Nothing for anything else, or beyond 100 years.
[[nodiscard]] std::optional<long long> parseTimeOffset(std::string_view text);

/// The offset as parseTimeOffset reads it, always signed: "+1h30m", "-2d", "+0m".
[[nodiscard]] std::string offsetText(long long minutes);

/// What the time-shift dialog answers: the offset, and whether the list is then put in the order of
/// its time stamps.
struct TimeShiftChoice {
    long long minutes = 0;
    bool sortByTime = false;
};

} // namespace pictora::album
