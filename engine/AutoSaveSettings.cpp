#include "engine/AutoSaveSettings.h"

#include <cstdio>

#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "util/IniFile.h"

namespace kv {

const char* const DayChoices[DayChoiceCount] = {"Tous les jours", "Le lundi",   "Le mardi",
                                                "Le mercredi",    "Le jeudi",   "Le vendredi",
                                                "Le samedi",      "Le dimanche"};

namespace {

// The local midnight of the day `days` days after the day of t.
std::tm localDay(std::time_t t, int days) {
    std::tm day{};
    localtime_r(&t, &day);
    day.tm_mday += days;
    day.tm_hour = 0;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    std::time_t normal = std::mktime(&day);
    localtime_r(&normal, &day);
    return day;
}

// The planned run on that day, when the day is one of the plan's.
std::optional<std::time_t> runOn(std::tm day, int weekday, const TimeOfDay& time) {
    const int isoDay = day.tm_wday == 0 ? 7 : day.tm_wday;
    if (weekday != 0 && weekday != isoDay) return std::nullopt;
    day.tm_hour = time.hour;
    day.tm_min = time.minute;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    const std::time_t t = std::mktime(&day);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

}  // namespace

std::string AutoSavePath() {
    return SettingsFolder() + "AutoSave.cfg";
}

std::optional<AutoSaveSettings> ReadAutoSaveSettings(const std::string& path) {
    if (!platform().fileExists(path)) return std::nullopt;
    const IniFile ini(path);
    AutoSaveSettings s;
    s.archive = ini.readString("Archive", "Auto_Arch", "");
    s.script = ini.readString("Script", "Auto_Script", "");
    s.execute = ini.readBool("Execute", "Auto_Exec", false);
    // A day that is not a number is no day, like 99: "every day" is only
    // what the key says, or the key's absence.
    s.day =
        ini.valueExists("Periode", "FJour") ? ini.readInteger("Periode", "FJour", InvalidDay) : 0;
    s.hour = ini.readString("Heure", "FHeure", "20:00");
    return s;
}

bool WriteAutoSaveSettings(const std::string& path, const AutoSaveSettings& s) {
    IniFile ini(path);
    return ini.writeString("Archive", "Auto_Arch", s.archive) &&
           ini.writeString("Script", "Auto_Script", s.script) &&
           ini.writeBool("Execute", "Auto_Exec", s.execute) &&
           ini.writeInteger("Periode", "FJour", s.day) &&
           ini.writeString("Heure", "FHeure", s.hour);
}

std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    int parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    while (count < 3) {
        int digits = 0, value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3) {
            value = value * 10 + (text[i] - '0');
            ++digits;
            ++i;
        }
        // "h:" stands for "h:00": only the minutes may be left out after a colon.
        if (digits == 0 && !(count == 1 && i == text.size())) return std::nullopt;
        if (digits > 2) return std::nullopt;
        parts[count++] = value;
        if (i == text.size()) break;
        if (text[i] != ':') return std::nullopt;
        ++i;
    }
    if (i != text.size()) return std::nullopt;
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
    return TimeOfDay{parts[0], parts[1]};
}

std::string FormatTimeOfDay(const TimeOfDay& time) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", time.hour % 100, time.minute % 100);
    return buffer;
}

bool PlansRuns(const AutoSaveSettings& settings) {
    return settings.execute && settings.day >= 0 && settings.day < DayChoiceCount &&
           ParseTimeOfDay(settings.hour).has_value();
}

int PlanPeriodDays(const AutoSaveSettings& settings) {
    return settings.day == 0 ? 1 : 7;
}

std::optional<std::time_t> NextPlannedRun(const AutoSaveSettings& settings, std::time_t after) {
    const std::optional<TimeOfDay> time = ParseTimeOfDay(settings.hour);
    if (!settings.execute || settings.day < 0 || settings.day >= DayChoiceCount || !time)
        return std::nullopt;
    for (int d = 0; d <= 8; ++d) {
        const std::optional<std::time_t> run = runOn(localDay(after, d), settings.day, *time);
        if (run && *run > after) return run;
    }
    return std::nullopt;
}

std::optional<std::time_t> LastPlannedRun(const AutoSaveSettings& settings,
                                          std::time_t atOrBefore) {
    const std::optional<TimeOfDay> time = ParseTimeOfDay(settings.hour);
    if (!settings.execute || settings.day < 0 || settings.day >= DayChoiceCount || !time)
        return std::nullopt;
    for (int d = 0; d >= -8; --d) {
        const std::optional<std::time_t> run = runOn(localDay(atOrBefore, d), settings.day, *time);
        if (run && *run <= atOrBefore) return run;
    }
    return std::nullopt;
}

}  // namespace kv
