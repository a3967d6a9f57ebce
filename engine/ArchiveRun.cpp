#include "engine/ArchiveRun.h"

#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "engine/EntryExtract.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/Format.h"
#include "util/PathHelpers.h"
#include "util/Text.h"

namespace kv {

namespace {

constexpr const char* PayloadTemporaryName = "tempKVR.tmp";
// Why a row got no fresh entry, as the journal of the automatic mode tells it.
constexpr const char* TooLargeReason = "fichier de 2 Go ou plus, non archivé";
constexpr const char* UnreadableReason =
    "fichier illisible ou utilisé par un autre programme, non archivé";
// The width of a date prefix "[dd/mm/yyyy]" in characters.
constexpr std::size_t DatePrefixLength = 12;

void removeIfThere(const std::string& path) {
    if (!path.empty() && platform().attributes(path) != attr::Invalid) platform().removeFile(path);
}

// Deletes the payload temporary however the step that made it ends.
class PayloadGuard {
  public:
    explicit PayloadGuard(std::string path) : path_(std::move(path)) {}
    ~PayloadGuard() {
        if (file) file->close();
        removeIfThere(path_);
    }
    std::unique_ptr<File> file;

  private:
    std::string path_;
};

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
    return formatDateBracket(session.now(), session.separators) +
           text::dropChars(session.comment, DatePrefixLength);
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
    if (copy_) {
        copy_->close();
        copy_.reset();
    }
    removeIfThere(copyPath_);
    removeIfThere(payloadPath_);
    copyPath_.clear();
}

void ArchiveRun::start() {
    Platform& host = platform();
    if (!host.directoryExists(session_.workFolder)) session_.workFolder = DefaultWorkFolder();
    AddBackslash(session_.workFolder);
    payloadPath_ = session_.workFolder + PayloadTemporaryName;

    const std::string copyPath =
        session_.workFolder + format::uniqueFileName(session_.workFolder, "~kvr");
    copy_ = host.open(copyPath, OpenMode::Create);
    if (!copy_) {
        say(MessageKind::Error, "Opération annulée");
        throw Error("Impossible de créer le fichier " + copyPath);
    }
    copyPath_ = copyPath;
    if (!format::writeHeader(*copy_, format::Header{0, headerComment(session_)}))
        throw Error("Erreur d'écriture du fichier " + copyPath_);

    if (host.fileExists(session_.currentArchive)) {
        old_ = host.open(session_.currentArchive, OpenMode::Read);
        if (!old_) throw Error("Impossible d'ouvrir le fichier " + session_.currentArchive);
        oldSize_ = old_->size();
        if (oldSize_ < 0) throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    }
}

ArchiveRun::Step ArchiveRun::StoreFile(const CatalogRow& row, const std::string& fullPath) {
    Platform& host = platform();
    const std::vector<FindEntry> found = host.find(fullPath, attr::FilesOnly);
    if (!found.empty() && found.front().size >= format::MaxStoredSize) {
        storeFailed(fullPath);
        return carryOver(row, fullPath, false, TooLargeReason);
    }

    // The file is read with its read-only, hidden and system bits cleared, and
    // gets them back whatever the compression gives.
    const uint32_t saved = host.attributes(fullPath);
    const bool cleared = saved != attr::Invalid && (saved & 0xFFF8) != saved;
    if (cleared) host.setAttributes(fullPath, saved & 0xFFF8);

    PayloadGuard payload(payloadPath_);
    session_.gzip.FileSource = fullPath;
    session_.gzip.FileDestination = payloadPath_;
    const int compressed = session_.gzip.Compress();
    if (cleared) host.setAttributes(fullPath, saved);

    int64_t payloadSize = -1;
    if (compressed == 0) {
        payload.file = host.open(payloadPath_, OpenMode::Read);
        if (payload.file) payloadSize = payload.file->size();
    }
    if (payloadSize < 0 || payloadSize >= format::MaxStoredSize) {
        storeFailed(fullPath);
        if (payload.file) payload.file->close();
        payload.file.reset();
        removeIfThere(payloadPath_);
        return carryOver(row, fullPath, false, UnreadableReason);
    }

    format::EntryRecord record;
    record.fileName = FileNameOf(fullPath);
    record.folder = FolderOf(fullPath);
    record.fileDate = host.lastWriteDos(fullPath).value_or(0);
    record.typeName = row.sub[4];
    record.fileSize = FileSizeOf(fullPath);
    record.compressedSize = static_cast<int32_t>(payloadSize);
    if (!format::writeRecord(*copy_, record) || !payload.file->seek(0) ||
        !format::copyBytes(*payload.file, *copy_, payloadSize))
        throw Error("Erreur d'écriture du fichier " + copyPath_);
    ++result_.stored;
    return Step::GoOn;
}

void ArchiveRun::storeFailed(const std::string& fullPath) {
    ++result_.failures;
    say(MessageKind::Error, "Impossible d'archiver le fichier < " + FileNameOf(fullPath) + " >\r" +
                                "ce fichier est probablement utilisé par Windows");
}

ArchiveRun::Step ArchiveRun::carryOver(const CatalogRow& row, const std::string& fullPath,
                                       bool announce, const char* storeFailure) {
    auto leftOut = [&](const char* why) {
        ++result_.leftOut;
        result_.problems.push_back(
            {fullPath, storeFailure ? std::string(storeFailure) + " ; " + why : std::string(why)});
        return Step::GoOn;
    };
    constexpr const char* NotInArchive = "il ne figure pas dans l'archive";
    if (!old_) return leftOut(storeFailure ? NotInArchive : "fichier introuvable, non archivé");
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
        return leftOut(storeFailure ? NotInArchive : "fichier introuvable, non archivé");
    }

    // The record is copied as read, unused bytes included.
    format::RecordBlock block;
    if (!old_->seek(*offset)) return leftOut("entrée introuvable dans l'archive, fichier retiré");
    const int64_t got = format::readFully(*old_, block.data(), format::RecordSize);
    if (got < 0) throw Error("Erreur de lecture du fichier " + session_.currentArchive);
    const format::EntryRecord record = format::decodeRecord(block);
    if (got != format::RecordSize || !text::equalNoCase(record.fullPath(), fullPath))
        return leftOut("entrée introuvable dans l'archive, fichier retiré");
    if (!format::payloadFits(record, *offset + format::RecordSize, oldSize_)) {
        ++result_.failures;
        say(MessageKind::Error, "Le fichier < " + fullPath + " > est endommagé dans l'archive");
        return leftOut("entrée endommagée dans l'archive, fichier retiré");
    }
    if (!copy_->write(block.data(), format::RecordSize))
        throw Error("Erreur d'écriture du fichier " + copyPath_);
    if (!format::copyBytes(*old_, *copy_, record.compressedSize))
        throw Error("Erreur lors de la copie du fichier < " + fullPath + " > depuis l'archive " +
                    session_.currentArchive);
    ++result_.carriedOver;
    if (storeFailure)
        result_.problems.push_back(
            {fullPath, std::string(storeFailure) + " ; sa copie précédente reste dans l'archive"});
    return Step::GoOn;
}

void ArchiveRun::finishCopy() {
    if (old_) {
        old_->close();
        old_.reset();
    }
    const bool closed = copy_->close();
    copy_.reset();
    if (!closed) throw Error("Erreur d'écriture du fichier " + copyPath_);
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

    if (!HasRoomForCopy(copyPath_, archive)) {
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
    const std::string folder = FolderOf(archive);
    std::string beside;
    if (done) {
        beside = folder + format::uniqueFileName(folder, "~kvr");
        try {
            CopyFileContents(copyPath_, beside);
            done = host.renameFile(beside, archive);
        } catch (const Error&) {
            done = false;
        }
        if (!done) removeIfThere(beside);
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
        run.start();
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

    try {
        if (reload)
            reload();
        else
            LoadArchive(session, ui);
    } catch (const Error&) {
    }
    run.result().reloaded = true;
    return run.result();
}

}  // namespace kv
