#include <gtest/gtest.h>

#include "platform/DosTime.h"

using kv::DateTime;

namespace {

TEST(DosDateTime, RoundTripsEveryField) {
    DateTime dt{2023, 12, 31, 23, 59, 58};
    auto dos = kv::toDosDateTime(dt);
    ASSERT_TRUE(dos);
    auto back = kv::fromDosDateTime(*dos);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->year, 2023);
    EXPECT_EQ(back->month, 12);
    EXPECT_EQ(back->day, 31);
    EXPECT_EQ(back->hour, 23);
    EXPECT_EQ(back->minute, 59);
    EXPECT_EQ(back->second, 58);
}

TEST(DosDateTime, KnownBitLayout) {
    // 15/06/2001 14:30:20: years 21, month 6, day 15, hour 14, minute 30, 10 two-second units.
    int32_t expected = (21 << 25) | (6 << 21) | (15 << 16) | (14 << 11) | (30 << 5) | 10;
    EXPECT_EQ(kv::toDosDateTime({2001, 6, 15, 14, 30, 21}), expected);  // odd second drops to even
    EXPECT_EQ(kv::fromDosDateTime(expected)->second, 20);
    // Years past 2043 set the sign bit: the value is still a valid date.
    auto late = kv::toDosDateTime({2107, 12, 31, 0, 0, 0});
    ASSERT_TRUE(late);
    EXPECT_LT(*late, 0);
    EXPECT_EQ(kv::fromDosDateTime(*late)->year, 2107);
}

TEST(DosDateTime, InvalidValuesGiveNothing) {
    auto dos = [](int y, int mo, int d, int h, int mi, int s2) {
        return static_cast<int32_t>(
            static_cast<uint32_t>(y - 1980) << 25 | static_cast<uint32_t>(mo) << 21 |
            static_cast<uint32_t>(d) << 16 | static_cast<uint32_t>(h) << 11 |
            static_cast<uint32_t>(mi) << 5 | static_cast<uint32_t>(s2));
    };
    EXPECT_FALSE(kv::fromDosDateTime(0));  // day 0, month 0
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 13, 1, 0, 0, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 0, 1, 0, 0, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2001, 2, 29, 0, 0, 0)));  // not a leap year
    EXPECT_TRUE(kv::fromDosDateTime(dos(2000, 2, 29, 0, 0, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 4, 31, 0, 0, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 1, 1, 24, 0, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 1, 1, 0, 60, 0)));
    EXPECT_FALSE(kv::fromDosDateTime(dos(2000, 1, 1, 0, 0, 30)));  // 60 seconds

    EXPECT_FALSE(kv::toDosDateTime({1979, 12, 31, 23, 59, 58}));
    EXPECT_FALSE(kv::toDosDateTime({2108, 1, 1, 0, 0, 0}));
    EXPECT_FALSE(kv::toDosDateTime({2001, 2, 29, 0, 0, 0}));
}

TEST(DosDateTime, HostTimesAreHeldToWhatTheFormSays) {
    const int32_t first = *kv::toDosDateTime(DateTime{});
    EXPECT_EQ(first, 0x00210000);
    EXPECT_EQ(kv::dosFromTime(0), first);  // 1970
    EXPECT_EQ(kv::dosFromTime(kv::localTimeOf({2200, 1, 1, 0, 0, 0})),
              kv::toDosDateTime({2107, 12, 31, 23, 59, 58}));
    const std::time_t t = kv::localTimeOf({2024, 2, 29, 13, 5, 42});
    EXPECT_EQ(kv::timeFromDos(kv::dosFromTime(t)), t);
    EXPECT_FALSE(kv::timeFromDos(0));
}

}  // namespace
