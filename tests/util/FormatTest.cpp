#include <gtest/gtest.h>

#include "util/Format.h"

using kv::DateTime;
using kv::LocaleSeparators;

namespace {

const std::string nbsp = "\xC2\xA0";

struct NumberCase {
    const char* name;
    double value;
    const char* two;   // "%.2n", French separators with "." for the no-break space
    const char* zero;  // "%0.n"
};

std::string frenchWithDots(std::string s) {
    for (size_t p; (p = s.find(nbsp)) != std::string::npos;) s.replace(p, nbsp.size(), ".");
    return s;
}

class NumberFormat : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberFormat, FrenchSeparators) {
    const auto& c = GetParam();
    auto fr = LocaleSeparators::french();
    EXPECT_EQ(frenchWithDots(kv::formatNumber2(c.value, fr)), c.two);
    EXPECT_EQ(frenchWithDots(kv::formatNumber0(c.value, fr)), c.zero);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NumberFormat,
    testing::Values(NumberCase{"KiloOfFourThousand", 4000 / 1000.0, "4,00", "4"},
                    NumberCase{"Zero", 0.0, "0,00", "0"},
                    NumberCase{"HalfUpAtTwoDecimals", 0.125, "0,13", "0"},
                    NumberCase{"HalfUpAtZeroDecimals", 2.5, "2,50", "3"},
                    NumberCase{"GroupsOfThree", 1234567.891, "1.234.567,89", "1.234.568"},
                    NumberCase{"ExactlyAThousand", 1000.0, "1.000,00", "1.000"},
                    NumberCase{"NineHundredNinetyNineRoundsUp", 999.999, "1.000,00", "1.000"},
                    NumberCase{"Negative", -1234.5, "-1.234,50", "-1.235"},
                    NumberCase{"NegativeRoundingToZeroHasNoSign", -0.001, "0,00", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberFormat, SeparatorsComeFromTheArgument) {
    LocaleSeparators en;  // "." and ","
    EXPECT_EQ(kv::formatNumber2(1234.5, en), "1,234.50");
    LocaleSeparators none;
    none.thousands = "";
    EXPECT_EQ(kv::formatNumber0(1234567, none), "1234567");
    EXPECT_EQ(kv::formatNumber2(1234567, LocaleSeparators::french()),
              "1" + nbsp + "234" + nbsp + "567,00");
}

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

TEST(DateText, PaddedFieldsWithTheLocaleSeparators) {
    auto fr = LocaleSeparators::french();
    DateTime dt{2004, 3, 7, 9, 5, 0};
    EXPECT_EQ(kv::formatDateTime(dt, fr), "07/03/2004 09:05");
    EXPECT_EQ(kv::formatDateBracket(dt, fr), "[07/03/2004]");
    LocaleSeparators other;
    other.date = ".";
    other.time = "h";
    EXPECT_EQ(kv::formatDateTime(dt, other), "07.03.2004 09h05");
    EXPECT_EQ(kv::formatDateBracket(dt, other), "[07.03.2004]");
}

}  // namespace
