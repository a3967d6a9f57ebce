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

TEST(DateText, DosDateShownOrEmptyWhenNoDate) {
    const int32_t dos = *kv::toDosDateTime(DateTime{2004, 3, 7, 9, 5, 0});
    EXPECT_EQ(kv::formatDosDateTime(dos, LocaleSeparators::french()), "07/03/2004 09:05");
    EXPECT_EQ(kv::formatDosDateTime(0, LocaleSeparators::french()), "");  // month 0
}

TEST(Durations, InWords) {
    EXPECT_EQ(kv::formatDuration(-3), "0 s");
    EXPECT_EQ(kv::formatDuration(4), "4 s");
    EXPECT_EQ(kv::formatDuration(72), "1 min 12 s");
    EXPECT_EQ(kv::formatDuration(7205), "2 h 0 min 5 s");
}

TEST(EnvironmentSeparators, FrenchWhenTheUserChoseNoLocale) {
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "C.utf8"})
        EXPECT_TRUE(kv::isNoLocale(name)) << name;
    for (const char* name : {"fr_FR.UTF-8", "en_US", "Catalan"})
        EXPECT_FALSE(kv::isNoLocale(name)) << name;

    // LC_ALL first, then the category, then LANG; a locale this system does
    // not have counts as none chosen.
    const auto separatorsWith = [](const char* all, const char* lang) {
        const std::string oldAll = getenv("LC_ALL") ? getenv("LC_ALL") : "";
        const std::string oldLang = getenv("LANG") ? getenv("LANG") : "";
        setenv("LC_ALL", all, 1);
        setenv("LANG", lang, 1);
        unsetenv("LC_NUMERIC");
        unsetenv("LC_TIME");
        const LocaleSeparators s = LocaleSeparators::fromEnvironment();
        setenv("LC_ALL", oldAll.c_str(), 1);
        setenv("LANG", oldLang.c_str(), 1);
        return s;
    };
    for (const auto& [all, lang] :
         {std::pair{"C", "C"}, {"POSIX", ""}, {"", "C.UTF-8"}, {"xx_NOWHERE.UTF-8", ""}}) {
        SCOPED_TRACE(std::string(all) + "/" + lang);
        const LocaleSeparators s = separatorsWith(all, lang);
        EXPECT_EQ(s.decimal, ",");
        EXPECT_EQ(s.thousands, nbsp);
        EXPECT_EQ(s.date, "/");
        EXPECT_EQ(s.time, ":");
    }
}

}  // namespace
