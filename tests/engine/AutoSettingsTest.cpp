// AutoSave.cfg, the hours a person types, the runs the settings plan, and the
// journal lines the scheduler and Korvelt share. Times are local to the time
// zone the tests pin (Europe/Paris).

#include <gtest/gtest.h>

#include "engine/AutoJournal.h"
#include "engine/AutoSaveSettings.h"
#include "support/FaultPlatform.h"

namespace kv {
namespace {

struct HourCase {
    const char* name;
    const char* typed;
    const char* stored;  // "" when the text is not a time of day
};

class Hours : public testing::TestWithParam<HourCase> {};

TEST_P(Hours, ReadAsATimeOfDayAndWrittenHhMm) {
    const std::optional<TimeOfDay> time = ParseTimeOfDay(GetParam().typed);
    EXPECT_EQ(time ? FormatTimeOfDay(*time) : std::string(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Hours,
    testing::Values(HourCase{"OneDigitEach", "9:5", "09:05"}, HourCase{"Usual", "7:30", "07:30"},
                    HourCase{"HourAlone", "20", "20:00"},
                    HourCase{"ColonWithoutMinutes", "20:", "20:00"},
                    HourCase{"Seconds", "12:30:45", "12:30"}, HourCase{"Blanks", " 8:15 ", "08:15"},
                    HourCase{"Midnight", "0:00", "00:00"}, HourCase{"HourTooBig", "25:00", ""},
                    HourCase{"MinuteTooBig", "12:60", ""}, HourCase{"Empty", "", ""},
                    HourCase{"Letter", "12h30", ""}, HourCase{"NoHour", ":30", ""},
                    HourCase{"ThreeDigits", "123", ""}, HourCase{"FourParts", "1:2:3:4", ""}),
    [](const auto& info) { return std::string(info.param.name); });

std::time_t at(int year, int month, int day, int hour, int minute) {
    return localTimeOf(DateTime{year, month, day, hour, minute, 0});
}

struct PlanCase {
    const char* name;
    int day;
    const char* hour;
    std::time_t from;
    std::time_t next;  // NextPlannedRun(from)
    std::time_t last;  // LastPlannedRun(from)
};

class Plans : public testing::TestWithParam<PlanCase> {};

// 08/12/2026 is a Tuesday.
TEST_P(Plans, NextAndLastRunInLocalTime) {
    AutoSaveSettings s;
    s.execute = true;
    s.day = GetParam().day;
    s.hour = GetParam().hour;
    EXPECT_EQ(NextPlannedRun(s, GetParam().from), GetParam().next);
    EXPECT_EQ(LastPlannedRun(s, GetParam().from), GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Plans,
    testing::Values(PlanCase{"EveryDayLaterToday", 0, "20:00", at(2026, 12, 8, 10, 0),
                             at(2026, 12, 8, 20, 0), at(2026, 12, 7, 20, 0)},
                    PlanCase{"EveryDayAtTheHour", 0, "20:00", at(2026, 12, 8, 20, 0),
                             at(2026, 12, 9, 20, 0), at(2026, 12, 8, 20, 0)},
                    PlanCase{"MondaysFromTuesday", 1, "9:30", at(2026, 12, 8, 10, 0),
                             at(2026, 12, 14, 9, 30), at(2026, 12, 7, 9, 30)},
                    PlanCase{"SundaysAcrossTheYear", 7, "23:59", at(2026, 12, 31, 12, 0),
                             at(2027, 1, 3, 23, 59), at(2026, 12, 27, 23, 59)},
                    PlanCase{"TuesdaysOnTuesdayBefore", 2, "20:00", at(2026, 12, 8, 19, 59),
                             at(2026, 12, 8, 20, 0), at(2026, 12, 1, 20, 0)},
                    // Summer time starts on 29/03/2026 at 02:00: 02:30 is skipped.
                    PlanCase{"HourTheClockSkips", 0, "02:30", at(2026, 3, 29, 0, 0),
                             at(2026, 3, 29, 3, 30), at(2026, 3, 28, 2, 30)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlanRules, NothingWhenOffOrTheHourIsNotATime) {
    AutoSaveSettings s;
    s.hour = "20:00";
    EXPECT_FALSE(NextPlannedRun(s, at(2026, 12, 8, 10, 0)));
    s.execute = true;
    for (const char* hour : {"", "25:00"}) {
        s.hour = hour;
        EXPECT_FALSE(PlansRuns(s));
        EXPECT_FALSE(LastPlannedRun(s, at(2026, 12, 8, 10, 0)));
    }
    s.hour = "20:00";
    s.day = 8;
    EXPECT_FALSE(NextPlannedRun(s, at(2026, 12, 8, 10, 0)));
}

TEST(AutoSaveFile, FiveSectionsInOrderAndReadBack) {
    test::TempDrives drives;
    const std::string path = AutoSavePath();
    EXPECT_FALSE(ReadAutoSaveSettings(path));
    AutoSaveSettings s{"C:\\Arch\\à.kvr", "C:\\Korvelt\\Script\\docs.kvl", true, 3, "07:45"};
    ASSERT_TRUE(WriteAutoSaveSettings(path, s));
    EXPECT_EQ(
        drives.readFile(path),
        "[Archive]\r\nAuto_Arch=C:\\Arch\\à.kvr\r\n[Script]\r\nAuto_Script=C:\\Korvelt\\Script\\"
        "docs.kvl\r\n[Execute]\r\nAuto_Exec=1\r\n[Periode]\r\nFJour=3\r\n[Heure]\r\nFHeure=07:"
        "45\r\n");
    const std::optional<AutoSaveSettings> back = ReadAutoSaveSettings(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->archive, s.archive);
    EXPECT_EQ(back->script, s.script);
    EXPECT_TRUE(back->execute);
    EXPECT_EQ(back->day, 3);
    EXPECT_EQ(back->hour, "07:45");
    // A file without the keys gives their defaults.
    drives.writeFile(path, "");
    EXPECT_EQ(ReadAutoSaveSettings(path)->hour, "20:00");
    EXPECT_EQ(ReadAutoSaveSettings(path)->day, 0);
}

TEST(AutoSaveFile, DayThatIsNoNumberPlansNoRunLikeADayOutOfTheList) {
    test::TempDrives drives;
    const std::string path = AutoSavePath();
    for (const char* day : {"abc", "2147483648", "99", "", "-1"}) {
        drives.writeFile(path, std::string("[Execute]\r\nAuto_Exec=1\r\n[Periode]\r\nFJour=") +
                                   day + "\r\n[Heure]\r\nFHeure=20:00\r\n");
        const std::optional<AutoSaveSettings> s = ReadAutoSaveSettings(path);
        ASSERT_TRUE(s);
        EXPECT_FALSE(PlansRuns(*s)) << "FJour=" << day;
    }
}

TEST(Journal, OutcomeLinesTellEveryEnd) {
    const DateTime t{2026, 12, 8, 20, 1, 12};
    const std::string head = "08/12/2026 20:01:12 - Fin de la sauvegarde automatique : ";
    EXPECT_EQ(JournalOutcomeLine(t, {RunEnd::Kind::Exited, 0}, 72),
              head + "réussie (code 0), durée 1 min 12 s");
    EXPECT_EQ(JournalOutcomeLine(t, {RunEnd::Kind::Exited, 6}, 3),
              head +
                  "échec, espace disque insuffisant, archive laissée telle quelle (code 6), "
                  "durée 3 s");
    EXPECT_EQ(JournalOutcomeLine(t, {RunEnd::Kind::Signalled, 11}, 3661),
              head + "échec, Korvelt s'est arrêté anormalement (signal 11), durée 1 h 1 min 1 s");
    EXPECT_EQ(JournalOutcomeLine(t, {RunEnd::Kind::NotLaunched, 2}, 0),
              head + "non lancée, archive introuvable (code 2), durée 0 s");
    EXPECT_EQ(JournalStartLine(DateTime{2026, 1, 2, 3, 4, 5}, "C:\\a.kvr"),
              "02/01/2026 03:04:05 - Début de la sauvegarde automatique de C:\\a.kvr");
    for (int code = 1; code <= 9; ++code)
        EXPECT_EQ(AutoExitWords(code).rfind("échec, ", 0), 0u) << code;
}

TEST(Journal, SummaryFindsTheLastStartSuccessAndOutcome) {
    test::TempDrives drives;
    const std::string path = JournalPath();
    EXPECT_FALSE(ReadJournalSummary(path).lastStart);
    ASSERT_TRUE(AppendJournalLine(path, "lundi", JournalWrite::Create));
    const DateTime monday{2026, 12, 7, 20, 0, 0}, tuesday{2026, 12, 8, 20, 0, 0};
    AppendJournalLine(path, JournalStartLine(monday, "C:\\a.kvr"));
    AppendJournalLine(path, JournalOutcomeLine(monday, {RunEnd::Kind::Exited, 0}, 4));
    AppendJournalLine(path, JournalStartLine(tuesday, "C:\\a.kvr"));
    AppendJournalLine(path, JournalLine(tuesday, "C:\\Docs\\a.txt : fichier illisible"));
    AppendJournalLine(path, JournalOutcomeLine(tuesday, {RunEnd::Kind::Exited, 5}, 4));

    JournalSummary s = ReadJournalSummary(path);
    EXPECT_EQ(JournalStamp(*s.lastStart), "08/12/2026 20:00:00");
    EXPECT_EQ(JournalStamp(*s.lastSuccess), "07/12/2026 20:00:00");
    EXPECT_TRUE(s.lastOutcomeFailed);
    EXPECT_EQ(s.lastOutcomeText, "échec, des fichiers n'ont pas été archivés (code 5), durée 4 s");

    AppendJournalLine(path, JournalOutcomeLine(tuesday, {RunEnd::Kind::Abandoned, 0}, 1));
    EXPECT_TRUE(ReadJournalSummary(path).lastOutcomeFailed);
    AppendJournalLine(path, JournalOutcomeLine(tuesday, {RunEnd::Kind::Exited, 0}, 1));
    s = ReadJournalSummary(path);
    EXPECT_FALSE(s.lastOutcomeFailed);
    EXPECT_EQ(JournalStamp(*s.lastSuccess), "08/12/2026 20:00:00");
}

}  // namespace
}  // namespace kv
