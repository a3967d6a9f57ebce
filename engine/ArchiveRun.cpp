#include "engine/ArchiveRun.h"

#include <optional>

#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "engine/DatedComment.h"
#include "engine/EntryCheck.h"
#include "engine/StoredPath.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/Format.h"
#include "util/PathHelpers.h"
#include "text/Text.h"

namespace kv {

namespace {

// A file that changed while it was compressed is compressed this many times at most.
constexpr int CompressAttempts = 2;
// Why a row got no fresh entry, as the journal of the automatic mode tells it.
constexpr const char* TooLargeReason = "fichier de 2 Go ou plus, non archivé";
constexpr const char* UnreadableReason =
    "fichier illisible ou utilisé par un autre programme, non archivé";

// What a file looks like on disk: compressed while this stays the same, its
// payload is the file.
struct Snapshot {
    int64_t size = 0;
    int32_t lastWrite = 0;
    bool operator==(const Snapshot&) const = default;
};

std::optional<Snapshot> snapshotOf(const std::string& path) {
    const std::vector<FindEntry> found = platform().find(path, attr::FilesOnly);
    if (found.empty()) return std::nullopt;
    return Snapshot{found.front().size, found.front().dosDateTime};
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Sends the compression's progress events to the progress frame for as long
// as the run lasts, and gives the previous handler back afterwards.
class ProgressForward {
  public:
    ProgressForward(TGzip& gzip, Ui& ui) : gzip_(gzip), saved_(std::move(gzip.OnProgress)) {
        gzip_.OnProgress = [&ui](TGzip& sender) {
            ui.setFilePercent(sender.Percent());
            ui.pump();
        };
    }
    ~ProgressForward() { gzip_.OnProgress = std::move(saved_); }

  private:
    TGzip& gzip_;
    std::function<void(TGzip&)> saved_;
};

}  // namespace

std::string headerComment(const Session& session) {
    if (!session.dateComment) return session.comment;
    return datedComment(formatDateBracket(session.now(), session.separators), session.comment);
}

ArchiveRun::ArchiveRun(Session& session, Ui& ui, Mode mode)
    : session_(session), ui_(ui), mode_(mode) {}

ArchiveRun::~ArchiveRun() {
    if (old_) old_->close();
    removeTemporaries();
}

void ArchiveRun::say(MessageKind kind, const std::string& text) {
    if (mode_ == Mode::Interactive) ui_.message(kind, text, Buttons::Ok);
}

void ArchiveRun::removeTemporaries() {
    copy_ = TempFile();
}

bool ArchiveRun::start() {
    Platform& host = platform();
    if (!host.directoryExists(session_.workFolder)) session_.workFolder = DefaultWorkFolder();
    AddBackslash(session_.workFolder);
    const std::string& archive = session_.currentArchive;

    lock_ = std::make_unique<WriterLock>(archive);
    if (lock_->busy()) {
        lock_.reset();
        result_.busy = true;
        say(MessageKind::Error, WriterLock::busyMessage(archive));
        return false;
    }
    // Leftovers of runs that were killed: in the Work folder, and beside the
    // archive (the copy that was to replace it).
    RemoveStaleTemporaries(session_.workFolder);
    const std::string archiveFolder = FolderOf(archive);
    if (!text::equalNoCase(archiveFolder, session_.workFolder))
        RemoveStaleTemporaries(archiveFolder);

    if (host.fileExists(archive)) {
        old_ = host.open(archive, OpenMode::Read);
        if (!old_) throw Error("Impossible d'ouvrir le fichier " + archive);
        oldSize_ = old_->size();
        if (oldSize_ < 0) throw Error("Erreur de lecture du fichier " + archive);
        checkOldRecords();
    }

    copy_ = TempFile(session_.workFolder, TempFile::CopyStem);
    if (!copy_) {
        say(MessageKind::Error, "Opération annulée");
        throw Error("Impossible de créer un fichier dans le dossier de travail " +
                    session_.workFolder);
    }
    if (!format::writeHeader(copy_.file(), format::Header{0, headerComment(session_)}))
        throw Error("Erreur d'écriture du fichier " + copy_.path());
    return true;
}

void ArchiveRun::checkOldRecords() {
    format::HeaderBlock header;
    // An old archive without the signature is refused by CarryOver, with its box,
    // when a row needs it.
    if (!format::readHeaderBlock(*old_, header))
        throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    if (!format::CheckSignature(header)) return;
    format::ArchiveWalker walk(*old_);
    while (walk.next()) {
    }
    if (walk.failed()) throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    const std::string problem = walk.problem();
    if (!problem.empty())
        throw Error("L'archive < " + session_.currentArchive + " > est endommagée : " + problem +
                    ".\rElle n'est pas réécrite, pour ne rien perdre de ce qu'elle contient.");
}

ArchiveRun::Step ArchiveRun::StoreFile(const CatalogRow& row, const std::string& fullPath) {
    Platform& host = platform();
    if (const std::string problem = format::storedPathProblem(fullPath); !problem.empty()) {
        ++result_.failures;
        ++result_.leftOut;
        result_.problems.push_back({fullPath, "non archivé : " + problem});
        say(MessageKind::Error, "Le fichier < " + fullPath + " > n'est pas archivé : " + problem);
        return Step::GoOn;
    }
    std::optional<Snapshot> before = snapshotOf(fullPath);
    if (before && before->size >= format::MaxStoredSize) {
        storeFailed(fullPath);
        return carryOver(row, fullPath, false, TooLargeReason);
    }

    // The file is read with its read-only, hidden and system bits cleared, and
    // gets them back whatever the compression gives.
    const uint32_t saved = host.attributes(fullPath);
    const bool cleared = saved != attr::Invalid && (saved & attr::KeepWritable) != saved;
    if (cleared) host.setAttributes(fullPath, saved & attr::KeepWritable);

    TGzip& gzip = session_.gzip;
    TempFile payload;
    std::optional<Snapshot> after;
    bool stored = false;
    for (int attempt = 0; attempt < CompressAttempts && !stored; ++attempt) {
        if (attempt > 0) before = snapshotOf(fullPath);
        payload = TempFile(session_.workFolder, TempFile::PayloadStem);
        if (!payload) {
            if (cleared) host.setAttributes(fullPath, saved);
            throw Error("Impossible de créer un fichier dans le dossier de travail " +
                        session_.workFolder);
        }
        gzip.FileSource = fullPath;
        if (gzip.CompressInto(payload.file()) != TGzip::Done) break;
        // The payload is the file only when nothing moved while it was read.
        after = snapshotOf(fullPath);
        stored = before && after && *before == *after && gzip.MemberLength() == after->size;
    }
    if (cleared) host.setAttributes(fullPath, saved);

    const int64_t payloadSize = stored ? payload.file().size() : -1;
    if (payloadSize < 0 || payloadSize >= format::MaxStoredSize) {
        storeFailed(fullPath);
        payload = TempFile();
        return carryOver(row, fullPath, false, UnreadableReason);
    }

    format::EntryRecord record;
    record.fileName = FileNameOf(fullPath);
    record.folder = FolderOf(fullPath);
    record.fileDate = after->lastWrite;
    record.typeName = row.sub[4];
    record.fileSize = static_cast<int32_t>(gzip.MemberLength());
    record.compressedSize = static_cast<int32_t>(payloadSize);
    File& copy = copy_.file();
    const int64_t recordAt = copy.position();
    if (recordAt < 0 || !format::writeRecord(copy, record) || !payload.file().seek(0) ||
        !format::copyBytes(payload.file(), copy, payloadSize))
        throw Error("Erreur d'écriture du fichier " + copy_.path());
    verifyAppended(recordAt, fullPath, payloadSize);
    ++result_.stored;
    return Step::GoOn;
}

void ArchiveRun::verifyAppended(int64_t recordAt, const std::string& fullPath,
                                int64_t payloadSize) {
    File& copy = copy_.file();
    const int64_t end = recordAt + format::RecordSize + payloadSize;
    uint8_t trailer[8];
    const bool read = copy.position() == end && payloadSize >= 8 && copy.seek(end - 8) &&
                      format::readFully(copy, trailer, 8) == 8 && copy.seek(end);
    const TGzip& gzip = session_.gzip;
    if (!read || le32(trailer) != gzip.MemberCrc() ||
        le32(trailer + 4) != static_cast<uint32_t>(gzip.MemberLength()))
        throw Error("Erreur d'écriture du fichier " + copy_.path() + " : l'entrée < " + fullPath +
                    " > ne se relit pas comme elle a été écrite");
}

void ArchiveRun::storeFailed(const std::string& fullPath) {
    ++result_.failures;
    say(MessageKind::Error, "Impossible d'archiver le fichier < " + FileNameOf(fullPath) + " >\r" +
                                "ce fichier est probablement utilisé par Windows");
}

ArchiveRun::Step ArchiveRun::carryOver(const CatalogRow& row, const std::string& fullPath,
                                       bool announce, const char* storeFailure) {
    auto problem = [&](const std::string& why) {
        result_.problems.push_back(
            {fullPath, storeFailure ? std::string(storeFailure) + " ; " + why : why});
    };
    auto leftOut = [&](const char* why) {
        ++result_.leftOut;
        problem(why);
        return Step::GoOn;
    };
    constexpr const char* NotInArchive = "il ne figure pas dans l'archive";
    constexpr const char* Missing = "fichier introuvable, non archivé";
    if (!old_) return leftOut(storeFailure ? NotInArchive : Missing);
    format::HeaderBlock header;
    if (!old_->seek(0) || !format::readHeaderBlock(*old_, header))
        throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    if (!format::CheckSignature(header)) {
        ui_.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        return Step::Stop;
    }

    const std::optional<int64_t> offset = format::parseEntryOffset(row.sub[5]);
    if (!offset) {
        if (announce)
            say(MessageKind::Information,
                "Le fichier < " + fullPath + " > ne se trouve pas dans l'archive");
        return leftOut(storeFailure ? NotInArchive : Missing);
    }

    // The record is copied as read, unused bytes included.
    format::RecordBlock block;
    auto readAt = [&](int64_t at) {
        if (!old_->seek(at)) return false;
        const int64_t got = format::readFully(*old_, block.data(), format::RecordSize);
        if (got < 0) throw Error("Erreur de lecture du fichier " + session_.currentArchive);
        return got == format::RecordSize &&
               text::equalNoCase(format::decodeRecord(block).fullPath(), fullPath);
    };
    int64_t at = *offset;
    if (!readAt(at)) {
        // The catalog was read from an archive another writer has replaced
        // since: the entry is looked for by its path rather than lost.
        const std::optional<int64_t> moved = entryOffsetOf(fullPath);
        if (!moved || !readAt(*moved))
            return leftOut("entrée introuvable dans l'archive, fichier retiré");
        at = *moved;
    }
    const format::EntryRecord record = format::decodeRecord(block);
    const int64_t payloadStart = at + format::RecordSize;
    const format::EntryCheck check = format::CheckEntry(*old_, record, payloadStart);
    if (!check.sound()) {
        ++result_.failures;
        say(MessageKind::Error, "Le fichier < " + fullPath + " > est endommagé dans l'archive");
        if (!format::payloadFits(record, payloadStart, oldSize_))
            return leftOut("entrée endommagée dans l'archive, fichier retiré");
        problem("entrée endommagée dans l'archive, gardée telle quelle");
    }
    if (!copy_.file().write(block.data(), format::RecordSize))
        throw Error("Erreur d'écriture du fichier " + copy_.path());
    if (!old_->seek(payloadStart) || !format::copyBytes(*old_, copy_.file(), record.compressedSize))
        throw Error("Erreur lors de la copie du fichier < " + fullPath + " > depuis l'archive " +
                    session_.currentArchive);
    ++result_.carriedOver;
    if (storeFailure && check.sound()) problem("sa copie précédente reste dans l'archive");
    return Step::GoOn;
}

std::optional<int64_t> ArchiveRun::entryOffsetOf(const std::string& fullPath) {
    if (!index_) {
        index_.emplace();
        format::ArchiveWalker walk(*old_);
        // The last entry of a path wins, as the last one written is the newest.
        while (auto entry = walk.next())
            (*index_)[text::foldKey(entry->fullPath())] = walk.offset();
        if (walk.failed()) throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    }
    const auto found = index_->find(text::foldKey(fullPath));
    if (found == index_->end()) return std::nullopt;
    return found->second;
}

void ArchiveRun::finishCopy() {
    if (old_) {
        old_->close();
        old_.reset();
    }
}

ArchiveRun::Replace ArchiveRun::ReplaceArchive() {
    Platform& host = platform();
    const std::string& archive = session_.currentArchive;
    const bool interactive = mode_ == Mode::Interactive;

    auto label = [&](const char* text) {
        if (interactive) {
            ui_.setLabel(ProgressLabel::File, text);
            ui_.pump();
        }
    };

    if (!HasRoomForCopy(copy_.path(), archive)) {
        say(MessageKind::Warning, "Espace insuffisant sur le lecteur ( " + archive.substr(0, 1) +
                                      ")," + "\rOpération annulée.");
        removeTemporaries();
        label("Opération annulée");
        result_.noRoom = true;
        return Replace::NoRoom;
    }

    // A read-only archive is not replaced, as a copy over it would fail.
    const uint32_t existing = host.attributes(archive);
    bool done = existing == attr::Invalid || (existing & attr::ReadOnly) == 0;
    if (done) {
        // The finished copy, read back through its handle, goes to a temporary
        // beside the archive, and that whole file replaces the archive.
        TempFile beside(FolderOf(archive), TempFile::CopyStem);
        File& copy = copy_.file();
        const int64_t size = copy.size();
        done = beside && size >= 0 && copy.seek(0) && format::copyBytes(copy, beside.file(), size);
        done = beside && beside.close() && done && beside.renameTo(archive);
    }
    removeTemporaries();
    if (!done) {
        say(MessageKind::Error, "Opération annulée");
        label("Opération annulée");
        return Replace::Failed;
    }
    result_.replaced = true;
    label("Mise à jour de l'archive OK");
    return Replace::Replaced;
}

void ArchiveRun::abandon() {
    if (old_) {
        old_->close();
        old_.reset();
    }
    removeTemporaries();
    result_.stopped = true;
}

ArchiveResult ArchiveFiles(Session& session, Ui& ui, const ReloadHook& reload) {
    if (session.currentArchive.empty()) return {};
    ProgressForward progress(session.gzip, ui);
    ArchiveRun run(session, ui, ArchiveRun::Mode::Interactive);
    auto finished = [&ui] {
        ui.setLabel(ProgressLabel::File, "Terminé");
        ui.pump();
    };

    bool stopped = false;
    try {
        if (!run.start()) {
            run.abandon();
            ui.setLabel(ProgressLabel::File, "Opération annulée");
            finished();
            return run.result();
        }
        for (std::size_t i = 0; i < session.rows.size() && !stopped; ++i) {
            const std::string fullPath = session.rows[i].fullPath();
            // A new archive skips the rows whose files are gone without showing them.
            if (!run.isUpdate() && !platform().fileExists(fullPath)) {
                run.leaveOut();
                continue;
            }
            ui.setOverall(static_cast<int>(i));
            ui.setLabel(ProgressLabel::File, "Fichier : " + FileNameOf(fullPath));
            ui.setLabel(ProgressLabel::Path, "Dossier : " + FolderOf(fullPath));
            ui.pump();
            if (ui.cancelRequested()) {
                stopped = true;
                break;
            }
            // The row is read again: the pump may have run the window's events.
            const CatalogRow row = session.rows[i];
            ArchiveRun::Step step = ArchiveRun::Step::GoOn;
            if (platform().fileExists(fullPath))
                step = run.StoreFile(row, fullPath);
            else if (session.checkRecupeFile)
                run.leaveOut();
            else
                step = run.CarryOver(row, fullPath);
            stopped = step == ArchiveRun::Step::Stop;
        }
        if (!stopped) run.finishCopy();
    } catch (const Error&) {
        run.abandon();
        finished();
        throw;
    }

    if (stopped) {
        run.abandon();
        ui.setLabel(ProgressLabel::Path, "");
        ui.setLabel(ProgressLabel::File, "Opération annulée");
        finished();
        return run.result();
    }

    ui.setLabel(ProgressLabel::File, "Mise à jour de l'archive...");
    ui.setLabel(ProgressLabel::Path, "");
    ui.pump();
    run.ReplaceArchive();
    finished();

    // The archive is written; a catalog that cannot be read back is said, and
    // the result does not claim it was.
    try {
        if (reload)
            reload();
        else
            LoadArchive(session, ui);
        run.result().reloaded = true;
    } catch (const Error& error) {
        ui.message(MessageKind::Error, error.what());
    }
    return run.result();
}

}  // namespace kv
