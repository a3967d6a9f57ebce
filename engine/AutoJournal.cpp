#include "engine/AutoJournal.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "platform/UserFolders.h"
#include "text/Text.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

constexpr const char* StartText = "Début de la sauvegarde automatique de ";
constexpr const char* OutcomeText = "Fin de la sauvegarde automatique : ";
constexpr std::size_t StampLength = 19;  // "dd/mm/yyyy hh:nn:ss"

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> readWhole(const std::string& path) {
    std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const int64_t got = file->read(buffer, sizeof buffer);
        if (got < 0) {
            file->close();
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file->close();
    return bytes;
}

// Lines split at CR LF, LF or CR; a last line without its end counts.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::string two(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

// The number after the last "(code " of an outcome text.
std::optional<int> codeIn(const std::string& text) {
    const std::size_t at = text.rfind("(code ");
    if (at == std::string::npos) return std::nullopt;
    int code = 0;
    std::size_t i = at + 6;
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && code < 100000; ++i)
        code = code * 10 + (text[i] - '0');
    return code;
}

}  // namespace

std::string AutoExitWords(int status) {
    switch (status) {
        case autoexit::Ok:
            return "réussie";
        case autoexit::NoSettings:
            return "échec, fichier AutoSave.cfg absent ou sans archive";
        case autoexit::NoArchive:
            return "échec, archive introuvable";
        case autoexit::NoScript:
            return "échec, script introuvable, rien n'a été archivé";
        case autoexit::Unreadable:
            return "échec, archive illisible, laissée telle quelle";
        case autoexit::Incomplete:
            return "échec, des fichiers n'ont pas été archivés";
        case autoexit::NoRoom:
            return "échec, espace disque insuffisant, archive laissée telle quelle";
        case autoexit::NotReplaced:
            return "échec, l'archive n'a pas pu être remplacée, laissée telle quelle";
        case autoexit::InUse:
            return "échec, archive utilisée par un autre programme, laissée telle quelle";
        case autoexit::Stopped:
            return "échec, sauvegarde interrompue par une erreur, archive laissée telle quelle";
        default:
            return "échec, code inconnu";
    }
}

std::string JournalPath() {
    return ScriptFolder() + "Journal_AutoSave.txt";
}

bool AppendJournalLine(const std::string& path, const std::string& line, JournalWrite mode) {
    std::vector<std::string> lines;
    if (platform().fileExists(path)) {
        const std::optional<std::string> bytes = readWhole(path);
        if (!bytes) return false;
        lines = splitLines(text::decodeTextFile(*bytes));
    } else if (mode == JournalWrite::IfExists) {
        return false;
    }
    lines.push_back(line);
    return WriteJournal(path, lines);
}

bool WriteJournal(const std::string& path, const std::vector<std::string>& lines) {
    Platform& host = platform();
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    const std::string folder = FolderOf(path);
    if (!folder.empty() && !host.directoryExists(RemoveBackslash(folder)))
        host.createDirectory(RemoveBackslash(folder));
    return ReplaceFileContents(path, out);
}

std::string JournalStamp(const DateTime& at) {
    return two(at.day) + "/" + two(at.month) + "/" + std::to_string(at.year) + " " + two(at.hour) +
           ":" + two(at.minute) + ":" + two(at.second);
}

std::string JournalLine(const DateTime& at, const std::string& text) {
    return JournalStamp(at) + " - " + text;
}

std::string JournalStartLine(const DateTime& at, const std::string& archive) {
    return JournalLine(at, StartText + archive);
}

std::string JournalOutcomeLine(const DateTime& at, const RunEnd& end, int64_t seconds) {
    std::string what;
    switch (end.kind) {
        case RunEnd::Kind::Exited:
            what = AutoExitWords(end.code) + " (code " + std::to_string(end.code) + ")";
            break;
        case RunEnd::Kind::Signalled:
            what = "échec, Korvelt s'est arrêté anormalement (signal " + std::to_string(end.code) +
                   ")";
            break;
        case RunEnd::Kind::NotStarted:
            what = "échec, Korvelt n'a pas pu être démarré";
            break;
        case RunEnd::Kind::Abandoned:
            what = "inconnue, l'automate a été arrêté pendant la sauvegarde";
            break;
        case RunEnd::Kind::NotLaunched:
            what = "non lancée, " + AutoExitWords(end.code).substr(std::string("échec, ").size()) +
                   " (code " + std::to_string(end.code) + ")";
            break;
    }
    return JournalLine(at, OutcomeText + what + ", durée " + formatDuration(seconds));
}

std::optional<DateTime> parseJournalStamp(const std::string& line) {
    if (line.size() < StampLength) return std::nullopt;
    auto digits = [&](std::size_t at, std::size_t count) -> int {
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (line[i] < '0' || line[i] > '9') return -1;
            value = value * 10 + (line[i] - '0');
        }
        return value;
    };
    if (line[2] != '/' || line[5] != '/' || line[10] != ' ' || line[13] != ':' || line[16] != ':')
        return std::nullopt;
    DateTime at{digits(6, 4),  digits(3, 2),  digits(0, 2),
                digits(11, 2), digits(14, 2), digits(17, 2)};
    if (at.year < 0 || at.month < 1 || at.month > 12 || at.day < 1 || at.day > 31 || at.hour < 0 ||
        at.hour > 23 || at.minute < 0 || at.minute > 59 || at.second < 0 || at.second > 59)
        return std::nullopt;
    return at;
}

JournalSummary ReadJournalSummary(const std::string& path) {
    JournalSummary summary;
    if (!platform().fileExists(path)) return summary;
    const std::optional<std::string> bytes = readWhole(path);
    if (!bytes) return summary;
    const std::string start = std::string(" - ") + StartText;
    const std::string outcome = std::string(" - ") + OutcomeText;
    for (const std::string& line : splitLines(text::decodeTextFile(*bytes))) {
        const std::optional<DateTime> at = parseJournalStamp(line);
        if (!at) continue;
        if (line.compare(StampLength, start.size(), start) == 0) {
            summary.lastStart = at;
        } else if (line.compare(StampLength, outcome.size(), outcome) == 0) {
            summary.lastOutcomeTime = at;
            summary.lastOutcomeText = line.substr(StampLength + outcome.size());
            const std::optional<int> code = codeIn(summary.lastOutcomeText);
            const bool good =
                summary.lastOutcomeText.rfind("réussie", 0) == 0 && code && *code == autoexit::Ok;
            summary.lastOutcomeFailed = !good;
            if (good) summary.lastSuccess = at;
        }
    }
    return summary;
}

}  // namespace kv
