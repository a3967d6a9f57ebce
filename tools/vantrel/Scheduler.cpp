#include "tools/vantrel/Scheduler.h"

#include <algorithm>
#include <chrono>

#include "platform/Platform.h"

namespace kv::vantrel {

namespace {

// Said of each stamp ignored as later than now.
constexpr const char* FutureStampText =
    "Attention : date à venir ignorée (l'horloge a sans doute été avancée puis remise à "
    "l'heure) : ";

const char* const WeekDays[7] = {"dimanche", "lundi",    "mardi", "mercredi",
                                 "jeudi",    "vendredi", "samedi"};

std::string whenText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    const std::string stamp = JournalStamp(localDateTime(t));
    return std::string("le ") + WeekDays[tm.tm_wday] + " " + stamp.substr(0, 10) + " à " +
           stamp.substr(11, 5);
}

// Why the settings plan no run, or empty when they plan one.
std::string whyNoPlan(const std::optional<AutoSaveSettings>& settings) {
    if (!settings) return "le fichier AutoSave.cfg est absent";
    if (!settings->execute) return "la sauvegarde automatique n'est pas activée";
    if (settings->day < 0 || settings->day >= DayChoiceCount) return "le jour n'est pas valide";
    if (!ParseTimeOfDay(settings->hour)) return "l'heure n'est pas valide";
    return {};
}

}  // namespace

Scheduler::Scheduler(std::string folder) : folder_(std::move(folder)) {}

std::optional<AutoSaveSettings> Scheduler::settings() const {
    return ReadAutoSaveSettings(settingsPath());
}

std::optional<std::time_t> Scheduler::dueRun(std::time_t now) const {
    const std::optional<AutoSaveSettings> s = settings();
    if (!s || !PlansRuns(*s)) return std::nullopt;
    const std::optional<std::time_t> planned = LastPlannedRun(*s, now);
    if (!planned || *planned <= lastDone(now, nullptr)) return std::nullopt;
    return planned;
}

std::time_t Scheduler::lastDone(std::time_t now, std::vector<std::string>* ignored) const {
    std::time_t after = 0;
    auto take = [&](std::time_t stamp, const std::string& what) {
        if (stamp <= now)
            after = std::max(after, stamp);
        else if (ignored)
            ignored->push_back(what + " (" + JournalStamp(localDateTime(stamp)) + ")");
    };
    if (finishedAt_ != 0) take(finishedAt_, "la fin de la dernière sauvegarde de l'automate");
    if (const std::optional<DateTime> start = ReadJournalSummary(journalPath()).lastStart)
        take(localTimeOf(*start), "le dernier départ noté dans le journal");
    if (const std::optional<int32_t> written = platform().lastWriteDos(settingsPath()))
        if (const std::optional<DateTime> at = fromDosDateTime(*written))
            take(localTimeOf(*at), "la date du fichier AutoSave.cfg");
    return after;
}

std::vector<std::string> Scheduler::futureStamps(std::time_t now) const {
    std::vector<std::string> ignored;
    lastDone(now, &ignored);
    return ignored;
}

std::optional<std::time_t> Scheduler::nextRun(std::time_t now) const {
    const std::optional<AutoSaveSettings> s = settings();
    if (!s) return std::nullopt;
    return NextPlannedRun(*s, now);
}

bool Scheduler::beginRun(std::time_t now, RunEnd* notLaunched) {
    const AutoSaveSettings s = settings().value_or(AutoSaveSettings{});
    for (const std::string& stamp : futureStamps(now))
        AppendJournalLine(journalPath(),
                          JournalLine(localDateTime(now), FutureStampText + stamp + "."),
                          JournalWrite::Create);
    AppendJournalLine(journalPath(), JournalStartLine(localDateTime(now), s.archive),
                      JournalWrite::Create);
    startedAt_ = now;
    int missing = autoexit::Ok;
    if (s.archive.empty() || !platform().fileExists(s.archive))
        missing = autoexit::NoArchive;
    else if (s.script.empty() || !platform().fileExists(s.script))
        missing = autoexit::NoScript;
    if (missing == autoexit::Ok) return true;
    const RunEnd end{RunEnd::Kind::NotLaunched, missing};
    finishRun(now, end, 0);
    if (notLaunched) *notLaunched = end;
    return false;
}

void Scheduler::finishRun(std::time_t now, const RunEnd& end, int64_t seconds) {
    AppendJournalLine(journalPath(), JournalOutcomeLine(localDateTime(now), end, seconds),
                      JournalWrite::Create);
    // A run planned while this one went on is covered by it.
    finishedAt_ = std::max(now, startedAt_);
}

std::optional<RunEnd> Scheduler::checkOnce(std::time_t now, const Launcher& launch) {
    if (!dueRun(now)) return std::nullopt;
    RunEnd notLaunched;
    if (!beginRun(now, &notLaunched)) return notLaunched;
    const auto started = std::chrono::steady_clock::now();
    const RunEnd end = launch();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
            .count();
    finishRun(now + static_cast<std::time_t>(seconds), end, seconds);
    return end;
}

std::string Scheduler::statusText(std::time_t now) const {
    const std::optional<AutoSaveSettings> s = settings();
    if (const std::string why = whyNoPlan(s); !why.empty())
        return "Aucune sauvegarde automatique n'est planifiée : " + why + ".";
    std::string text;
    if (const std::optional<std::time_t> due = dueRun(now))
        text = "La sauvegarde planifiée " + whenText(*due) +
               " n'a pas été faite : l'automate la lance dès qu'il est en marche.\n";
    text += "Prochaine sauvegarde automatique : " + whenText(*nextRun(now)) + ".\n";
    text += "Archive : " + s->archive + "\n";
    text += "Script : " + s->script;
    for (const std::string& stamp : futureStamps(now))
        text += "\n" + std::string(FutureStampText) + stamp + ".";
    if (s->archive.empty() || !platform().fileExists(s->archive))
        text += "\nAttention : l'archive est introuvable, la sauvegarde ne sera pas faite.";
    else if (s->script.empty() || !platform().fileExists(s->script))
        text += "\nAttention : le script est introuvable, la sauvegarde ne sera pas faite.";
    return text;
}

}  // namespace kv::vantrel
