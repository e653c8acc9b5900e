// SPDX-License-Identifier: MIT
#include "album/time_shift.h"

#include <gtest/gtest.h>

using namespace pictora::album;

TEST(TimeShift, StampsMoveAcrossMidnightMonthYearAndLeapDays)
{
    struct Row {
        const char *stamp;
        const char *offset;
        const char *shifted; ///< nullptr: the stamp stays as it is
    };
    const Row rows[] = {
        { "2004年05月01日 13時05分", "+1h30m", "2004年05月01日 14時35分" },
        { "2004年05月01日 23時50分", "+15m", "2004年05月02日 00時05分" },
        { "2004年05月01日 00時05分", "-10m", "2004年04月30日 23時55分" },
        { "2024年12月31日 23時30分", "+1h", "2025年01月01日 00時30分" },
        { "2025年01月01日 00時30分", "-1h", "2024年12月31日 23時30分" },
        { "2024年02月28日 12時00分", "+1d", "2024年02月29日 12時00分" }, // leap year
        { "2023年02月28日 12時00分", "+1d", "2023年03月01日 12時00分" },
        { "2100年02月28日 12時00分", "+1d", "2100年03月01日 12時00分" }, // no leap day in 2100
        { "2000年03月01日 01時00分", "-1d2h", "2000年02月28日 23時00分" }, // but one in 2000
        { "2004年01月31日 10時00分", "+30d", "2004年03月01日 10時00分" },
        { "2004年05月01日 13時05分", "-366d", "2003年05月01日 13時05分" },
        { "2004年05月01日 13時05分", "90m", "2004年05月01日 14時35分" },
        { "  2004年05月01日 13時05分 ", "+0m", "2004年05月01日 13時05分" },
        { "9999年12月31日 23時59分", "+1m", nullptr }, // beyond the calendar
        { "0000年00月00日 00時00分", "+1h", nullptr }, // an Exif file without a date
        { "2004年02月30日 10時00分", "+1h", nullptr },
        { "2004年05月01日 24時00分", "+1h", nullptr },
        { "2004年05月01日13時05分", "+1h", nullptr },
        { "運動会の朝", "+1h", nullptr },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.stamp) + " " + row.offset);
        const auto minutes = parseTimeOffset(row.offset);
        ASSERT_TRUE(minutes);
        const auto time = parseTimeStamp(row.stamp);
        const auto shifted = time ? shiftedBy(*time, *minutes) : std::nullopt;
        if (!row.shifted) {
            EXPECT_FALSE(shifted);
            continue;
        }
        ASSERT_TRUE(shifted);
        EXPECT_EQ(formatTimeStamp(*shifted), row.shifted);
    }
}

TEST(TimeShift, OffsetsNeedUnitsInOrderAndReadBackAsWritten)
{
    EXPECT_EQ(parseTimeOffset("+1d2h3m"), 1 * 1440 + 2 * 60 + 3);
    EXPECT_EQ(parseTimeOffset("-2h"), -120);
    EXPECT_EQ(parseTimeOffset("+1h90m"), 150);
    for (const char *wrong : { "", "+", "1", "+1x", "+1m1h", "+1h1h", "1.5h", "+ 1h", "--1h", "+1000000d" })
        EXPECT_FALSE(parseTimeOffset(wrong)) << wrong;
    for (const long long minutes : { 0LL, 90LL, -1500LL, 2 * 1440LL })
        EXPECT_EQ(parseTimeOffset(offsetText(minutes)), minutes) << offsetText(minutes);
    EXPECT_EQ(offsetText(-1500), "-1d1h");
}
