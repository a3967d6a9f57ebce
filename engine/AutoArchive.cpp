#include "engine/AutoArchive.h"

#include <vector>

#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "util/Error.h"
#include "util/PathHelpers.h"
#include "util/Text.h"

namespace kv {

const char* const NoRoomJournalLine =
    "======================= L'opération mentionnée ci-dessous a été annulée en raison d'un manque "
    "d'espace disque =======================";

namespace {

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

}  // namespace

std::string JournalPath() {
    return platform().programFolder() + "Script\\Journal_AutoSave.txt";
}

bool AppendJournalLine(const std::string& path, const std::string& line) {
    if (!platform().fileExists(path)) return false;
    const std::optional<std::string> bytes = readWhole(path);
    if (!bytes) return false;
    std::string out;
    for (const std::string& old : splitLines(text::decodeTextFile(*bytes))) out += old + "\r\n";
    out += line + "\r\n";
    return ReplaceFileContents(path, out);
}

ArchiveResult AutoArchiveFiles(Session& session, Ui& ui) {
    // No progress events while the run lasts: nothing is shown.
    auto progress = std::move(session.gzip.OnProgress);
    session.gzip.OnProgress = nullptr;
    struct Restore {
        TGzip& gzip;
        std::function<void(TGzip&)>& saved;
        ~Restore() { gzip.OnProgress = std::move(saved); }
    } restore{session.gzip, progress};

    ArchiveRun run(session, ui, ArchiveRun::Mode::Automatic);
    bool stopped = false;
    try {
        if (!run.start()) {
            run.abandon();
            return run.result();
        }
        for (std::size_t i = 0; i < session.rows.size() && !stopped; ++i) {
            const CatalogRow& row = session.rows[i];
            const std::string fullPath = row.fullPath();
            const ArchiveRun::Step step = platform().fileExists(fullPath)
                                              ? run.StoreFile(row, fullPath)
                                              : run.CarryOver(row, fullPath, false);
            stopped = step == ArchiveRun::Step::Stop;
        }
        if (!stopped) run.finishCopy();
    } catch (const Error&) {
        run.abandon();
        throw;
    }
    if (stopped) {
        run.abandon();
        return run.result();
    }
    if (run.ReplaceArchive() == ArchiveRun::Replace::NoRoom)
        AppendJournalLine(JournalPath(), NoRoomJournalLine);
    return run.result();
}

}  // namespace kv
