#pragma once
// The journal of the automatic runs, Script\Journal_AutoSave.txt beside the
// program, and the exit statuses of "Korvelt /AUTOSAVE" that it reports.
//
// The scheduler writes two lines per run, the start and the outcome; Korvelt
// adds, between them, one line per failure it met (only when the journal
// exists: the scheduler creates it before each run). Every line but the
// lack-of-space line begins with the stamp "dd/mm/yyyy hh:nn:ss" (fixed
// separators, so that the lines read back the same whatever the locale):
//
//   08/12/2026 20:00:00 - Début de la sauvegarde automatique de C:\Docs\a.kvr
//   08/12/2026 20:00:03 - C:\Docs\b.txt : fichier utilisé par un autre ...
//   08/12/2026 20:00:04 - Fin de la sauvegarde automatique : échec, fichiers
//                         non archivés (code 5), durée 4 s
//
// The journal is a text file of lines (UTF-8 written, UTF-8 or Windows-1252
// read, any line end), CR LF after every line. Writes replace it whole
// through a new file beside it, so a failure leaves the old journal.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/Format.h"

namespace kv {

// The exit statuses of "Korvelt /AUTOSAVE": 0 only when every row was stored
// or carried over and the archive was replaced. docs/automation.md lists them.
namespace autoexit {
constexpr int Ok = 0;           // every row stored or carried over, archive replaced
constexpr int NoSettings = 1;   // no AutoSave.cfg, or it names no archive
constexpr int NoArchive = 2;    // the archive it names does not exist
constexpr int NoScript = 3;     // the script it names does not exist: nothing archived
constexpr int Unreadable = 4;   // the archive could not be read: left as it was
constexpr int Incomplete = 5;   // archive replaced, but some rows have no fresh or kept entry
constexpr int NoRoom = 6;       // no room on the archive's drive: left as it was
constexpr int NotReplaced = 7;  // the new archive could not replace the old one: left as it was
constexpr int InUse = 8;        // another run kept the archive for more than a minute
constexpr int Stopped = 9;      // an error stopped the run: the archive left as it was
}  // namespace autoexit

// The words the journal gives an exit status: "réussie" for 0, "échec, ..."
// for the others ("échec, code inconnu" for a status not in the list).
std::string AutoExitWords(int status);

// The journal: the program folder + "Script\Journal_AutoSave.txt".
std::string JournalPath();

enum class JournalWrite {
    IfExists,  // Korvelt: only a journal that exists gets the line
    Create,    // the scheduler: a missing journal is created (its folder too)
};

// Appends a line: the journal is read as lines (any line end), the line added
// last, and the whole written to a new file beside it (UTF-8, CR LF after
// every line) that is renamed over the old one. False, with the journal
// unchanged, when it does not exist (IfExists) or cannot be read or replaced.
bool AppendJournalLine(const std::string& path, const std::string& line,
                       JournalWrite mode = JournalWrite::IfExists);

// Writes the journal whole: these lines (UTF-8, CR LF after each; none gives
// an empty file) into a new file beside it, renamed over it; the folder is
// created when missing. False, with the old journal as it was, on a failure.
bool WriteJournal(const std::string& path, const std::vector<std::string>& lines);

// "dd/mm/yyyy hh:nn:ss".
std::string JournalStamp(const DateTime& at);
// The stamp, " - ", the text.
std::string JournalLine(const DateTime& at, const std::string& text);
std::string JournalStartLine(const DateTime& at, const std::string& archive);

// How a run ended, as the scheduler saw it.
struct RunEnd {
    enum class Kind {
        Exited,       // Korvelt ended with an exit status
        Signalled,    // Korvelt was killed by a signal
        NotStarted,   // Korvelt could not be started
        NotLaunched,  // not started: the archive or the script is missing
        Abandoned,    // the scheduler was closed while Korvelt ran
    };
    Kind kind = Kind::Exited;
    int code = 0;  // Exited: the exit status; Signalled: the signal;
                   // NotLaunched: the exit status the run would have had
    bool succeeded() const { return kind == Kind::Exited && code == autoexit::Ok; }
};

// "... - Fin de la sauvegarde automatique : réussie (code 0), durée 1 min 12 s".
std::string JournalOutcomeLine(const DateTime& at, const RunEnd& end, int64_t seconds);

// What the journal says about the last runs.
struct JournalSummary {
    std::optional<DateTime> lastStart;        // the last start line
    std::optional<DateTime> lastSuccess;      // the last outcome line of a run that succeeded
    std::optional<DateTime> lastOutcomeTime;  // the last outcome line ...
    bool lastOutcomeFailed = false;           // ... ended in a failure
    std::string lastOutcomeText;              // what follows "automatique : " on that line
};

// Reads the journal; an empty summary when it is missing or cannot be read.
JournalSummary ReadJournalSummary(const std::string& path);

// The stamp at the start of a journal line, when it has one.
std::optional<DateTime> parseJournalStamp(const std::string& line);

}  // namespace kv
