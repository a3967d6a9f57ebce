#pragma once
// The scheduler's rules, apart from how it waits: which planned run is due,
// when the next one comes, and what one run writes into the journal.
//
// A planned run (FHeure on the days of FJour, local time) is due when it lies
// after the last run the journal records, after the settings were last
// written, and after the last run this scheduler finished. So a run missed
// while the machine slept or the user was logged off is made once when the
// scheduler next looks, never once per missed day, and switching automation
// on does not bring up the runs planned before it. A stamp later than now (a
// journal line or a settings file written while the clock was set ahead) is
// ignored, with a journal line when a run begins, so that such a clock once
// does not stop every run until it is reached again.
//
// Paths are Windows paths through platform(). Nothing here throws.

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/AutoJournal.h"
#include "engine/AutoSaveSettings.h"

namespace kv::vantrel {

// Starts "Korvelt /AUTOSAVE" and waits for its end.
using Launcher = std::function<RunEnd()>;

class Scheduler {
  public:
    // folder: the program folder (where Korvelt is), ending in a backslash.
    // The settings and the journal are where the automatic run finds them
    // (platform/UserFolders.h).
    explicit Scheduler(std::string folder);

    const std::string& folder() const { return folder_; }
    std::string settingsPath() const { return AutoSavePath(); }
    std::string journalPath() const { return JournalPath(); }

    // The settings as the file holds them now; nullopt without a file.
    std::optional<AutoSaveSettings> settings() const;

    // The planned run due at `now` (see the file comment); nullopt when none is.
    std::optional<std::time_t> dueRun(std::time_t now) const;
    // The first planned run after `now`; nullopt when the settings plan none.
    std::optional<std::time_t> nextRun(std::time_t now) const;

    // Starts a due run: a line for each stamp ignored as later than now
    // (futureStamps), then the start line, go to the journal (created when
    // missing). When the archive or the script is missing, the run is not
    // launched: the outcome line says why, the run counts as finished, the
    // result is false and *notLaunched (when given) receives that end.
    bool beginRun(std::time_t now, RunEnd* notLaunched = nullptr);
    // The outcome line of the run begun last: how it ended and how long it took.
    void finishRun(std::time_t now, const RunEnd& end, int64_t seconds);

    // One due check at `now`: when a run is due, begins it, launches Korvelt
    // through launch and finishes it. The run's end, or nullopt when nothing
    // was due. The duration is measured on the steady clock.
    std::optional<RunEnd> checkOnce(std::time_t now, const Launcher& launch);

    // What --status prints: the next run, a run that is due, or why none is planned.
    std::string statusText(std::time_t now) const;

    // What dueRun ignores at `now` as later than it, one French text each
    // ("le dernier départ noté dans le journal (01/03/2027 20:00:00)", ...).
    std::vector<std::string> futureStamps(std::time_t now) const;

  private:
    // The last of the stamps a planned run must lie after, those later than
    // now left out (described in ignored, when given).
    std::time_t lastDone(std::time_t now, std::vector<std::string>* ignored) const;

    std::string folder_;
    std::time_t finishedAt_ = 0;  // the end of the last run this scheduler made
    std::time_t startedAt_ = 0;   // the start of the run going on
};

}  // namespace kv::vantrel
