#pragma once
// The Automation settings, AutoSave.cfg beside the program, and the runs they
// plan. Each of the five keys has a section of its own:
//
//   [Archive] Auto_Arch    full path of the archive the automatic mode updates
//   [Script]  Auto_Script  full path of the selection script whose files it adds
//   [Execute] Auto_Exec    1 when automation is on
//   [Periode] FJour        0 every day, 1 Monday ... 7 Sunday
//   [Heure]   FHeure       "hh:mm", local time; empty when none
//
// Korvelt's options command writes the file; the automatic mode reads the two
// paths; the scheduler reads all five and plans a run at FHeure on the days
// of FJour. Nothing here throws.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct AutoSaveSettings {
    std::string archive;         // Auto_Arch
    std::string script;          // Auto_Script
    bool execute = false;        // Auto_Exec
    int day = 0;                 // FJour
    std::string hour = "20:00";  // FHeure
};

// The day list: "Tous les jours", "Le lundi", ..., "Le dimanche" (FJour 0 to 7).
constexpr int DayChoiceCount = 8;
// What an FJour that is not a number (or beyond an int) reads as: a day
// outside the list, which plans no run.
constexpr int InvalidDay = -1;
extern const char* const DayChoices[DayChoiceCount];

// The program folder + "AutoSave.cfg".
std::string AutoSavePath();

// The five keys, with the defaults of a file that exists (FJour absent: 0);
// nullopt when there is no file.
std::optional<AutoSaveSettings> ReadAutoSaveSettings(const std::string& path);

// Writes the five keys in the order above (a new file gets the five sections
// in that order). False when a write failed; the keys written before it stay.
bool WriteAutoSaveSettings(const std::string& path, const AutoSaveSettings& settings);

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
};

// A time of day typed by a person: "h", "h:m" or "h:m:s" (one or two digits
// each, blanks around allowed, hours 0 to 23, minutes and seconds 0 to 59),
// and "h:" taken as "h:00". nullopt for anything else ("25:00", "12:61", "").
std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text);
// "hh:mm".
std::string FormatTimeOfDay(const TimeOfDay& time);

// Automation is on: Auto_Exec set, FJour 0 to 7 and FHeure a time of day.
// (Whether the two files exist is for the caller to ask.)
bool PlansRuns(const AutoSaveSettings& settings);

// The days between two planned runs: 1 for every day, 7 for one day a week.
int PlanPeriodDays(const AutoSaveSettings& settings);

// The first planned run strictly after `after`, in local time; nullopt when
// the settings plan none. A time that the clock skips (the hour lost to
// summer time) runs when the clock reaches it as mktime normalises it.
std::optional<std::time_t> NextPlannedRun(const AutoSaveSettings& settings, std::time_t after);
// The last planned run at or before `atOrBefore`; nullopt when none is planned.
std::optional<std::time_t> LastPlannedRun(const AutoSaveSettings& settings, std::time_t atOrBefore);

}  // namespace kv
