#include "engine/ArchiveRun.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <system_error>
#include <utility>

#include "engine/ArchiveFormat.h"
#include "engine/BufferedReader.h"
#include "engine/CatalogReader.h"
#include "engine/DatedComment.h"
#include "engine/EntryCheck.h"
#include "engine/StoredPath.h"
#include "platform/DosTime.h"
#include "text/Text.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/Format.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

// How far the workers may run ahead of the row in hand: so many rows, and so
// many bytes of files (beyond one row per worker), whose payload temporaries
// wait in the Work folder to be appended.
constexpr std::size_t MaxAhead = 256;
constexpr int64_t MaxAheadBytes = int64_t(160) << 20;
// Kept members of one range copied from the old archive whose trailers wait
// to be read back, and the bytes of such a range: past either, it is copied.
constexpr std::size_t MaxCarriedChecks = 4096;
constexpr int64_t MaxCarriedBytes = int64_t(1) << 30;
// The bytes of the copy whose writing to the disk is started at a time, so
// that the flush that ends the run finds them written.
constexpr int64_t WriteBehindBytes = int64_t(8) << 20;
// The smallest member: header, an empty deflate block, trailer.
constexpr int64_t SmallestMember = 20;
// The bytes of a stored record and its member that the files cache's check
// reads at once (a longer member has only its trailer read).
constexpr int64_t RecordAndMemberRead = 4096;
// Why a file could not be stored: the second line of its message, and the
// journal's reason for its row.
std::string causeText(const FileMember& member) {
    using Cause = FileMember::Cause;
    if (member.outcome == FileMember::Outcome::Vanished)
        return "fichier disparu pendant l'archivage";
    switch (member.cause) {
        case Cause::ReadError:
            break;
        case Cause::AccessDenied:
            return "accès refusé : vous n'avez pas le droit de lire ce fichier";
        case Cause::SpecialFile:
            return "fichier spécial (tube nommé, socket ou périphérique), qui n'est pas lu";
        case Cause::InUse:
            return "fichier utilisé par un autre programme";
        case Cause::Changed:
            return "fichier modifié pendant sa lecture";
        case Cause::WorkFolder:
            return "écriture impossible dans le dossier de travail (disque plein ?)";
    }
    return "erreur de lecture du fichier";
}

// The hash of a folded full path, by which the old archive's entries are
// found; equal for two paths that differ only in letter case.
uint64_t pathKey(const std::string& fullPath) {
    return std::hash<std::string>{}(text::foldKey(fullPath));
}

// A member made ahead is the file's only while the file has not moved since
// it was read; a failure stands as the row's outcome.
bool stillCurrent(const FileMember& member, const std::string& fullPath) {
    switch (member.outcome) {
        case FileMember::Outcome::Made:
        case FileMember::Outcome::Reused: {
            const std::optional<FileSnapshot> now = snapshotOf(fullPath);
            return now && *now == member.after;
        }
        case FileMember::Outcome::Vanished:
        case FileMember::Outcome::Stopped:
            return false;
        case FileMember::Outcome::Unreadable:
        case FileMember::Outcome::Failed:
            break;
    }
    return true;
}

}  // namespace

std::string headerComment(const OpenArchive& archive, const RunOptions& options,
                          const Environment& env) {
    if (!options.dateComment) return archive.comment;
    return datedComment(formatDateBracket(env.now(), env.separators), archive.comment);
}

std::string changedMessage(const std::string& archivePath) {
    return "L'archive < " + archivePath +
           " > a été modifiée par une autre opération depuis qu'elle a été chargée :\r"
           "l'archivage est annulé pour ne rien perdre de ce que cette opération y a écrit.\r"
           "Chargez l'archive de nouveau, puis relancez l'archivage.";
}

ArchiveRun::ArchiveRun(OpenArchive& archive, RunOptions& options, const Environment& env, Ui& ui,
                       Mode mode, const WriterLock* held)
    : archive_(archive), options_(options), env_(env), ui_(ui), mode_(mode), held_(held) {}

ArchiveRun::~ArchiveRun() {
    closeOld();
    removeTemporaries();
}

void ArchiveRun::stopWorkers() {
    pool_.reset();
    ahead_.clear();
    aheadKeys_.clear();
    aheadBytes_ = 0;
}

void ArchiveRun::closeOld() {
    stopWorkers();
    maker_.reset();
    oldView_.reset();
    if (old_) old_->close();
    old_.reset();
}

void ArchiveRun::say(MessageKind kind, const std::string& text) {
    if (mode_ == Mode::Interactive) ui_.message(kind, text, Buttons::Ok);
}

void ArchiveRun::removeTemporaries() {
    copy_ = TempFile();
}

bool ArchiveRun::start() {
    Platform& host = platform();
    if (!host.directoryExists(options_.workFolder)) options_.workFolder = DefaultWorkFolder();
    AddBackslash(options_.workFolder);
    const std::string& path = archive_.path;
    if (!held_) {
        lock_ = std::make_unique<WriterLock>(path);
        if (lock_->busy()) {
            result_.busy = true;
            say(MessageKind::Error, lock_->message());
        } else if (lock_->refused()) {
            // Said in both runs: the automatic one journals it.
            ++result_.failures;
            ui_.message(MessageKind::Error, lock_->message(), Buttons::Ok);
        }
        if (lock_->stops()) {
            lock_.reset();
            return false;
        }
    }
    // Under the lock, the archive is the one the catalog was read from, or
    // another writer came between: its entries are not in the catalog.
    if (archive_.catalogSource && *archive_.catalogSource != ArchiveStampOf(path)) {
        lock_.reset();
        result_.changed = true;
        say(MessageKind::Error, changedMessage(path));
        return false;
    }
    // The file written: the archive, or the one its link leads to.
    const std::string& archive = writerLock().target();
    // Leftovers of runs that were killed: in the Work folder, and beside the
    // archive (the copy that was to replace it).
    RemoveStaleTemporaries(options_.workFolder);
    const std::string archiveFolder = FolderOf(archive);
    if (!text::equalNoCase(archiveFolder, options_.workFolder))
        RemoveStaleTemporaries(archiveFolder);

    if (host.fileExists(archive)) {
        std::unique_ptr<File> old = host.open(archive, OpenMode::Read);
        if (!old) throw Error("Impossible d'ouvrir le fichier " + archive);
        oldSize_ = old->size();
        if (oldSize_ < 0) throw Error("Erreur de lecture du fichier " + archive);
        checkOldRecords(*old);
        old_ = std::make_unique<SharedReader>(std::move(old));
        oldView_ = old_->reader();
    }

    copy_ = TempFile(options_.workFolder, TempFile::CopyStem);
    if (!copy_) {
        say(MessageKind::Error, "Opération annulée");
        throw Error("Impossible de créer un fichier dans le dossier de travail " +
                    options_.workFolder);
    }
    // The copy starts in the layout its rows' sizes (or the old archive, whose
    // rows may not all be read yet) call for; holdInCopy changes it when a
    // size read now says otherwise.
    header_ = format::Header{0, headerComment(archive_, options_, env_)};
    copyVersion_ = oldVersion_;
    for (const CatalogRow& row : archive_.rows)
        if (row.size >= format::V1SizeLimit) copyVersion_ = format::Version::V2;
    header_.version = copyVersion_;
    if (!format::writeHeader(copy_.file(), header_))
        throw Error("Erreur d'écriture du fichier " + copy_.path());
    echo_ = old_ && oldHeader_ == format::encodeHeader(header_);

    if (old_ && !options_.recompressAll && !options_.verifyUnchanged)
        cache_ = FilesCache::load(archive);
    maker_ = std::make_unique<MemberMaker>(options_.workFolder, old_.get(), env_.clockNs());
    if (const int threads = workerThreads(options_.threads); threads > 1) {
        try {
            pool_ = std::make_unique<MemberPool>(
                threads, [this](const MemberRequest& request, const std::atomic<bool>& stop,
                                const MemberPool::Progress& progress) {
                    try {
                        if (std::optional<FileMember> member = vouched(request, &stop))
                            return std::move(*member);
                        return maker_->make(request, stop, progress);
                    } catch (const std::exception& e) {
                        FileMember failed;
                        failed.outcome = FileMember::Outcome::Failed;
                        failed.error = e.what();
                        return failed;
                    }
                });
        } catch (const std::system_error&) {
            // No threads to be had: the members are made one at a time, in turn.
        }
        fillAhead();
    }
    return true;
}

void ArchiveRun::checkOldRecords(File& old) {
    format::HeaderBlock& header = oldHeader_;
    // An old archive without the signature is refused by CarryOver, with its box,
    // when a row needs it.
    if (!format::readHeaderBlock(old, header))
        throw Error("Erreur de lecture du fichier " + archive_.path);
    if (!format::CheckSignature(header)) return;
    oldVersion_ = format::decodeHeader(header).version;
    BufferedReader buffered(old);
    format::ArchiveWalker walk(buffered);
    while (const std::optional<format::EntryRecord> entry = walk.next())
        oldEntries_.push_back(OldEntry{walk.offset(), pathKey(entry->fullPath()),
                                       StoredEntry{walk.payloadStart(), entry->compressedSize,
                                                   entry->fileSize, entry->fileDate}});
    oldEntries_.shrink_to_fit();
    byPath_.resize(oldEntries_.size());
    for (std::size_t i = 0; i < byPath_.size(); ++i) byPath_[i] = i;
    std::sort(byPath_.begin(), byPath_.end(), [this](std::size_t a, std::size_t b) {
        return oldEntries_[a].pathKey != oldEntries_[b].pathKey
                   ? oldEntries_[a].pathKey < oldEntries_[b].pathKey
                   : a < b;
    });
    if (walk.failed()) throw Error("Erreur de lecture du fichier " + archive_.path);
    const std::string problem = walk.problem();
    if (!problem.empty())
        throw Error("L'archive < " + archive_.path + " > est endommagée : " + problem +
                    ".\rElle n'est pas réécrite, pour ne rien perdre de ce qu'elle contient.\r"
                    "Réparez-la : « Réparer l'archive » (kvr repair).");
}

MemberRequest ArchiveRun::requestFor(const CatalogRow& row, const std::string& fullPath) const {
    MemberRequest request{fullPath, std::nullopt};
    if (!old_ || options_.recompressAll) return request;
    const std::optional<int64_t> offset = row.entryOffset;
    if (!offset) return request;
    // A stored member is only ever used once it compared equal, byte for
    // byte, with the file: the hash of the path is check enough here.
    const OldEntry* found = entryAt(*offset);
    if (!found || found->pathKey != pathKey(fullPath)) {
        // The archive was replaced since the catalog was read: by its path.
        const std::optional<int64_t> moved = entryOffsetOf(fullPath);
        found = moved ? entryAt(*moved) : nullptr;
    }
    if (found) request.stored = found->entry;
    return request;
}

std::optional<FileMember> ArchiveRun::vouched(const MemberRequest& request,
                                              const std::atomic<bool>* stop) const {
    if (cache_.empty() || !request.stored || !old_) return std::nullopt;
    const StoredEntry& stored = *request.stored;
    const CachedEntry* cached = cache_.at(stored.payloadStart - format::recordSize(oldVersion_));
    if (!cached) return std::nullopt;
    // The file is looked at through a handle: one the program may not open
    // now is not stored from the cache either.
    const std::unique_ptr<File> file = platform().open(request.fullPath, OpenMode::Read);
    if (!file) return std::nullopt;
    const std::optional<FileIdentity> now = identityOf(file->openedInfo());
    file->close();
    if (!now || *now != cached->file) return std::nullopt;
    // What the proof would ask first: the size and date of the stored entry.
    const int32_t lastWrite = dosFromNs(now->lastWriteNs);
    if (now->size != stored.fileSize || lastWrite != stored.fileDate) return std::nullopt;
    // The member is where the cache saw it. A small member is read with its
    // record, which StoreFile then compares without reading it again.
    if (stored.compressedSize < SmallestMember) return std::nullopt;
    const int64_t recordSize = format::recordSize(oldVersion_);
    const int64_t end = stored.payloadStart + stored.compressedSize;
    const bool withRecord = recordSize + stored.compressedSize <= RecordAndMemberRead;
    const int64_t from = withRecord ? stored.payloadStart - recordSize : end - 8;
    uint8_t bytes[RecordAndMemberRead];
    const std::unique_ptr<File> old = old_->reader(stop);
    if (!old->seek(from) || format::readFully(*old, bytes, end - from) != end - from)
        return std::nullopt;
    const uint8_t* trailer = bytes + (end - from - 8);
    if (format::littleEndian32(trailer) != cached->crc ||
        format::littleEndian32(trailer + 4) != static_cast<uint32_t>(now->size))
        return std::nullopt;
    FileMember member;
    if (withRecord) {
        member.storedRecord.emplace();
        std::copy(bytes, bytes + recordSize, member.storedRecord->begin());
    }
    member.outcome = FileMember::Outcome::Reused;
    member.fromCache = true;
    member.truePath = platform().trueCase(request.fullPath);
    member.source = stored;
    member.crc = cached->crc;
    member.length = now->size;
    member.after = FileSnapshot{now->size, lastWrite};
    member.identity = now;
    return member;
}

void ArchiveRun::fillAhead() {
    // Topped up by half a window at a time, rather than a row at a time.
    if (!pool_ || ahead_.size() > MaxAhead / 2) return;
    const std::size_t least = static_cast<std::size_t>(pool_->threads());
    while (planned_ < archive_.rows.size() && ahead_.size() < MaxAhead &&
           (aheadBytes_ < MaxAheadBytes || ahead_.size() < least)) {
        const std::size_t index = planned_++;
        const CatalogRow& row = archive_.rows[index];
        const std::string fullPath = row.fullPath();
        if (!format::storedPathProblem(fullPath).empty()) continue;
        MemberRequest request = requestFor(row, fullPath);
        // A file listed twice is not read by two workers at once: the second
        // row makes its member in turn.
        std::string key = text::foldKey(fullPath);
        if (!aheadKeys_.insert(key).second) continue;
        std::shared_ptr<MemberPool::Job> job = pool_->submit(request);
        const int64_t bytes = row.size;
        ahead_.push_back(Ahead{index, std::move(request), std::move(job), bytes, std::move(key)});
        aheadBytes_ += bytes;
    }
}

FileMember ArchiveRun::memberFor(std::size_t index, const CatalogRow& row,
                                 const std::string& fullPath) {
    const MemberRequest request = requestFor(row, fullPath);
    std::shared_ptr<MemberPool::Job> job;
    // The jobs of rows passed without a store (gone, carried over, left out)
    // are dropped; this row's job is used when it was made for this row as it
    // stands (the pump may have run the window's events).
    while (!ahead_.empty() && ahead_.front().row <= index) {
        Ahead front = std::move(ahead_.front());
        ahead_.pop_front();
        aheadBytes_ -= front.bytes;
        aheadKeys_.erase(front.key);
        if (front.row == index && front.request == request)
            job = std::move(front.job);
        else
            pool_->drop(*front.job);
    }
    planned_ = std::max(planned_, index + 1);
    fillAhead();

    const MemberMaker::Progress progress = [this](int percent) {
        if (mode_ != Mode::Interactive) return;
        ui_.setFilePercent(percent);
        ui_.pump();
    };
    if (job) {
        FileMember member = pool_->take(*job, progress);
        // A member the files cache vouched for was the file's a moment ago,
        // as one vouched for now would be.
        if (member.fromCache || stillCurrent(member, fullPath)) return member;
        // The file moved since the worker read it: its member is made now.
    }
    if (std::optional<FileMember> member = vouched(request)) return std::move(*member);
    const std::atomic<bool> goOn{false};
    return maker_->make(request, goOn, progress);
}

ArchiveRun::Step ArchiveRun::StoreFile(std::size_t index, const CatalogRow& row,
                                       const std::string& fullPath) {
    if (const std::string problem = format::storedPathProblem(fullPath); !problem.empty()) {
        ++result_.failures;
        ++result_.leftOut;
        result_.problems.push_back({fullPath, "non archivé : " + problem});
        say(MessageKind::Error, "Le fichier < " + fullPath + " > n'est pas archivé : " + problem);
        return Step::GoOn;
    }

    FileMember member = memberFor(index, row, fullPath);
    using Outcome = FileMember::Outcome;
    switch (member.outcome) {
        case Outcome::Made:
        case Outcome::Reused:
            break;
        case Outcome::Failed:
            throw Error(member.error);
        case Outcome::Unreadable:
        case Outcome::Vanished:
        case Outcome::Stopped:
            return notStored(row, fullPath, causeText(member));
    }
    const bool reused = member.outcome == Outcome::Reused;
    const int64_t payloadSize =
        reused ? member.source.compressedSize : member.payload.file().size();
    if (payloadSize < 0) {
        member = FileMember();
        return notStored(row, fullPath, "erreur de lecture dans le dossier de travail");
    }

    // The record is written afresh either way: the date read now, the row's
    // type text, the size read. It names the file as the disk spells it, so
    // that a row loaded from an archive written with upper-cased folders is
    // stored under the folders that exist.
    const std::string truePath =
        member.fromCache ? std::move(member.truePath) : platform().trueCase(fullPath);
    format::EntryRecord record;
    record.fileName = FileNameOf(truePath);
    record.folder = FolderOf(truePath);
    record.fileDate = member.after.lastWrite;
    record.typeName = row.typeName;
    record.fileSize = member.length;
    record.compressedSize = payloadSize;
    holdInCopy(record);
    const format::RecordBuffer fresh = format::encodeRecord(record, copyVersion_);
    const int64_t freshSize = format::recordSize(copyVersion_);
    File& copy = copy_.file();
    int64_t recordAt = -1;
    if (reused) {
        // A kept member whose record is the one stored, byte for byte, is
        // copied with it, and with the entries around it that are copied too.
        const int64_t storedAt = member.source.payloadStart - freshSize;
        format::RecordBuffer stored = member.storedRecord.value_or(format::RecordBuffer{});
        const bool same = oldVersion_ == copyVersion_ &&
                          (member.storedRecord ||
                           (oldView_->seek(storedAt) &&
                            format::readFully(*oldView_, stored.data(), freshSize) == freshSize)) &&
                          std::equal(stored.begin(), stored.begin() + freshSize, fresh.begin());
        if (same) {
            carry(storedAt, freshSize + payloadSize, fullPath);
            // The range is not in the copy yet: it starts at the copy's end.
            recordAt = copy.position() + carried_.length - freshSize - payloadSize;
        } else {
            flushCarried();
            recordAt = copy.position();
            if (recordAt < 0 || !copy.write(fresh.data(), freshSize))
                throw Error("Erreur d'écriture du fichier " + copy_.path());
            carry(member.source.payloadStart, payloadSize, fullPath);
        }
        if (!echo_) {
            carried_.checks.push_back(
                Carried::Check{carried_.length, member.crc, member.length, fullPath});
            if (carried_.checks.size() >= MaxCarriedChecks) flushCarried();
        }
    } else {
        flushCarried();
        recordAt = copy.position();
        if (recordAt < 0 || !copy.write(fresh.data(), freshSize))
            throw Error("Erreur d'écriture du fichier " + copy_.path());
        const int64_t end = recordAt + freshSize + payloadSize;
        if (!copy.appendFrom(member.payload.file(), 0, payloadSize) || copy.position() != end)
            throw Error("Erreur d'écriture du fichier " + copy_.path());
        verifyTrailer(end, fullPath, member.crc, member.length);
        writeBehind();
    }
    if (member.identity) newCache_.push_back(CachedEntry{recordAt, member.crc, *member.identity});
    ++result_.stored;
    if (reused) ++result_.reused;
    return Step::GoOn;
}

void ArchiveRun::verifyTrailer(int64_t end, const std::string& fullPath, uint32_t crc,
                               int64_t length) {
    File& copy = copy_.file();
    const int64_t position = copy.position();
    uint8_t trailer[8];
    // A file that reads at a position without moving its own is not sought
    // back: the flush of a run of carried entries checks many at once.
    const bool read = position >= end &&
                      end >= format::HeaderSize + format::recordSize(copyVersion_) + 8 &&
                      copy.readAt(end - 8, trailer, 8) == 8 &&
                      (copy.readsAtConcurrently() || copy.seek(position));
    if (!read || format::littleEndian32(trailer) != crc ||
        format::littleEndian32(trailer + 4) != static_cast<uint32_t>(length))
        throw Error("Erreur d'écriture du fichier " + copy_.path() + " : l'entrée < " + fullPath +
                    " > ne se relit pas comme elle a été écrite");
}

void ArchiveRun::carry(int64_t from, int64_t count, const std::string& fullPath) {
    const bool follows =
        carried_.length > 0 ? carried_.from + carried_.length == from : from == format::HeaderSize;
    // The copy goes on standing for the old archive, however long the range.
    if (echo_ && !follows) flushCarried();
    if (!echo_ && carried_.length > 0 && (!follows || carried_.length >= MaxCarriedBytes))
        flushCarried();
    if (carried_.length == 0) {
        carried_.from = from;
        carried_.firstPath = fullPath;
    }
    carried_.length += count;
}

void ArchiveRun::flushCarried() {
    const bool echoed = std::exchange(echo_, false);
    if (carried_.length == 0) return;
    File& copy = copy_.file();
    const int64_t start = copy.position();
    // A long range (all the old archive before the first row that changes
    // it) goes in pieces, the window kept alive between them.
    for (int64_t done = 0; done < carried_.length;) {
        const int64_t piece = std::min(carried_.length - done, MaxCarriedBytes);
        if (start < 0 || !old_->appendTo(copy, carried_.from + done, piece) ||
            copy.position() != start + done + piece) {
            // Said as the side that failed: the old archive's bytes are there
            // to be read, or the copy did not take them.
            uint8_t last;
            const bool readable = oldView_->seek(carried_.from + carried_.length - 1) &&
                                  oldView_->read(&last, 1) == 1;
            if (readable) throw Error("Erreur d'écriture du fichier " + copy_.path());
            throw Error("Erreur lors de la copie du fichier < " + carried_.firstPath +
                        " > depuis l'archive " + archive_.path);
        }
        done += piece;
        if (done < carried_.length && mode_ == Mode::Interactive) ui_.pump();
    }
    if (echoed) checkEchoed(carried_.from, carried_.length, start);
    for (const Carried::Check& check : carried_.checks)
        verifyTrailer(start + check.end, check.fullPath, check.crc, check.length);
    carried_ = Carried();
    writeBehind();
}

void ArchiveRun::writeBehind() {
    File& copy = copy_.file();
    const int64_t end = copy.position();
    if (end - writtenBack_ < WriteBehindBytes) return;
    copy.startWriteback(writtenBack_, end - writtenBack_);
    writtenBack_ = end;
}

void ArchiveRun::checkEchoed(int64_t from, int64_t length, int64_t start) {
    File& copy = copy_.file();
    const int64_t position = copy.position();
    const int64_t recordSize = format::recordSize(oldVersion_);
    auto entry = std::lower_bound(oldEntries_.begin(), oldEntries_.end(), from,
                                  [](const OldEntry& old, int64_t at) { return old.offset < at; });
    for (; entry != oldEntries_.end() && entry->offset < from + length; ++entry) {
        const int64_t end = entry->entry.payloadStart + entry->entry.compressedSize;
        if (end > from + length) break;
        uint8_t stored[8];
        uint8_t copied[8];
        const bool same = oldView_->seek(end - 8) && format::readFully(*oldView_, stored, 8) == 8 &&
                          copy.readAt(start + (end - 8 - from), copied, 8) == 8 &&
                          std::equal(stored, stored + 8, copied);
        if (same) continue;
        format::RecordBuffer record{};
        std::string fullPath;
        if (oldView_->seek(entry->offset) &&
            format::readFully(*oldView_, record.data(), recordSize) == recordSize)
            fullPath = format::decodeRecord(record, oldVersion_).fullPath();
        throw Error("Erreur d'écriture du fichier " + copy_.path() + " : l'entrée < " + fullPath +
                    " > ne se relit pas comme elle a été écrite");
    }
    if (!copy.readsAtConcurrently() && !copy.seek(position))
        throw Error("Erreur d'écriture du fichier " + copy_.path());
}

ArchiveRun::Step ArchiveRun::notStored(const CatalogRow& row, const std::string& fullPath,
                                       const std::string& cause) {
    ++result_.failures;
    say(MessageKind::Error,
        "Impossible d'archiver le fichier < " + FileNameOf(fullPath) + " >\r" + cause);
    const std::string reason = cause + ", non archivé";
    return carryOver(row, fullPath, false, &reason);
}

ArchiveRun::Step ArchiveRun::carryOver(const CatalogRow& row, const std::string& fullPath,
                                       bool announce, const std::string* storeFailure) {
    auto problem = [&](const std::string& why) {
        result_.problems.push_back({fullPath, storeFailure ? *storeFailure + " ; " + why : why});
    };
    auto leftOut = [&](const char* why) {
        ++result_.leftOut;
        problem(why);
        return Step::GoOn;
    };
    constexpr const char* NotInArchive = "il ne figure pas dans l'archive";
    constexpr const char* Missing = "fichier introuvable, non archivé";
    if (!old_) return leftOut(storeFailure ? NotInArchive : Missing);
    if (!format::CheckSignature(oldHeader_)) {
        ui_.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        return Step::Stop;
    }

    const std::optional<int64_t> offset = row.entryOffset;
    if (!offset) {
        if (announce)
            say(MessageKind::Information,
                "Le fichier < " + fullPath + " > ne se trouve pas dans l'archive");
        return leftOut(storeFailure ? NotInArchive : Missing);
    }

    // The record is copied as read, unused bytes included (in the layout of
    // the new copy when the two differ).
    const int64_t recordSize = format::recordSize(oldVersion_);
    format::RecordBuffer block{};
    auto readAt = [&](int64_t at) {
        if (!oldView_->seek(at)) return false;
        const int64_t got = format::readFully(*oldView_, block.data(), recordSize);
        if (got < 0) throw Error("Erreur de lecture du fichier " + archive_.path);
        return got == recordSize &&
               text::equalNoCase(format::decodeRecord(block, oldVersion_).fullPath(), fullPath);
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
    const format::EntryRecord record = format::decodeRecord(block, oldVersion_);
    const int64_t payloadStart = at + recordSize;
    const format::EntryCheck check = format::CheckEntry(*oldView_, record, payloadStart);
    if (!check.sound()) {
        ++result_.failures;
        say(MessageKind::Error, "Le fichier < " + fullPath + " > est endommagé dans l'archive");
        if (!format::payloadFits(record, payloadStart, oldSize_))
            return leftOut("entrée endommagée dans l'archive, fichier retiré");
        problem("entrée endommagée dans l'archive, gardée telle quelle");
    }
    holdInCopy(record);
    if (oldVersion_ == copyVersion_) {
        carry(at, recordSize + record.compressedSize, fullPath);
    } else {
        flushCarried();
        const format::RecordBuffer written =
            format::convertRecord(block, oldVersion_, copyVersion_);
        if (!copy_.file().write(written.data(), format::recordSize(copyVersion_)))
            throw Error("Erreur d'écriture du fichier " + copy_.path());
        carry(payloadStart, record.compressedSize, fullPath);
    }
    ++result_.carriedOver;
    if (storeFailure && check.sound()) problem("sa copie précédente reste dans l'archive");
    return Step::GoOn;
}

const ArchiveRun::OldEntry* ArchiveRun::entryAt(int64_t offset) const {
    const auto found =
        std::lower_bound(oldEntries_.begin(), oldEntries_.end(), offset,
                         [](const OldEntry& entry, int64_t at) { return entry.offset < at; });
    return found != oldEntries_.end() && found->offset == offset ? &*found : nullptr;
}

std::optional<int64_t> ArchiveRun::entryOffsetOf(const std::string& fullPath) const {
    const uint64_t key = pathKey(fullPath);
    const auto first =
        std::lower_bound(byPath_.begin(), byPath_.end(), key,
                         [this](std::size_t i, uint64_t k) { return oldEntries_[i].pathKey < k; });
    auto last = first;
    while (last != byPath_.end() && oldEntries_[*last].pathKey == key) ++last;
    // The last entry of a path wins, as the last one written is the newest.
    while (last != first) {
        const int64_t offset = oldEntries_[*--last].offset;
        if (format::readRecordAt(*oldView_, oldVersion_, offset, fullPath)) return offset;
    }
    return std::nullopt;
}

void ArchiveRun::nextRows() {
    if (pool_)
        for (Ahead& ahead : ahead_) pool_->drop(*ahead.job);
    ahead_.clear();
    aheadKeys_.clear();
    aheadBytes_ = 0;
    planned_ = 0;
    fillAhead();
}

void ArchiveRun::holdInCopy(const format::EntryRecord& record) {
    if (format::fitsV1(record)) return;
    ++largeEntries_;
    if (copyVersion_ == format::Version::V1) convertCopy(format::Version::V2);
}

void ArchiveRun::convertCopy(format::Version to) {
    TempFile converted(options_.workFolder, TempFile::CopyStem);
    if (!converted)
        throw Error("Impossible de créer un fichier dans le dossier de travail " +
                    options_.workFolder);
    const std::string failed = "Erreur d'écriture du fichier " + converted.path();
    header_.version = to;
    if (!format::writeHeader(converted.file(), header_)) throw Error(failed);
    flushCarried();
    File& copy = copy_.file();
    const int64_t end = copy.size();
    // The entries the files cache will know move with their records.
    auto cached = newCache_.begin();
    const int64_t fromSize = format::recordSize(copyVersion_);
    for (int64_t at = format::HeaderSize; at < end;) {
        format::RecordBuffer block{};
        if (!copy.seek(at) || format::readFully(copy, block.data(), fromSize) != fromSize)
            throw Error("Erreur de lecture du fichier " + copy_.path());
        const int64_t payloadSize = format::decodeRecord(block, copyVersion_).compressedSize;
        const format::RecordBuffer record = format::convertRecord(block, copyVersion_, to);
        if (cached != newCache_.end() && cached->offset == at)
            (cached++)->offset = converted.file().position();
        if (!converted.file().write(record.data(), format::recordSize(to)) ||
            !format::copyBytes(copy, converted.file(), payloadSize))
            throw Error(failed);
        at += fromSize + payloadSize;
    }
    copy_ = std::move(converted);
    copyVersion_ = to;
    writtenBack_ = 0;
}

void ArchiveRun::finishCopy() {
    // A copy begun in V2 for a file that is no longer large is written in
    // V1 after all, as every archive without a large entry is.
    const bool toV1 = copyVersion_ == format::Version::V2 && largeEntries_ == 0;
    const int64_t echoEnd =
        carried_.length > 0 ? carried_.from + carried_.length : int64_t(format::HeaderSize);
    unchanged_ = echo_ && !toV1 && echoEnd == oldSize_;
    if (!unchanged_) flushCarried();
    closeOld();
    if (!unchanged_ && toV1) convertCopy(format::Version::V1);
}

ArchiveRun::Replace ArchiveRun::ReplaceArchive() {
    Platform& host = platform();
    const std::string& archive = writerLock().target();
    const bool interactive = mode_ == Mode::Interactive;
    result_.completed = true;

    auto label = [&](const char* text) {
        if (interactive) {
            ui_.setLabel(ProgressLabel::File, text);
            ui_.pump();
        }
    };

    if (unchanged_) {
        // The archive already holds, byte for byte, what the run would write.
        removeTemporaries();
        result_.replaced = true;
        if (!cache_.knowsJust(newCache_)) FilesCache::save(archive, newCache_);
        label("Mise à jour de l'archive OK");
        return Replace::Replaced;
    }

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
        // One write: the finished copy itself replaces the archive when the
        // Work folder lies on the archive's file system; else it is copied
        // once, beside the archive, and that copy replaces it.
        done = copy_.close();
        if (done && !copy_.renameTo(archive)) done = copyBeside(archive);
    }
    removeTemporaries();
    if (!done) {
        say(MessageKind::Error, "Opération annulée");
        label("Opération annulée");
        return Replace::Failed;
    }
    result_.replaced = true;
    // The next update keeps what this one stored without reading it again,
    // as long as nobody else rewrites the archive.
    FilesCache::save(archive, newCache_);
    label("Mise à jour de l'archive OK");
    return Replace::Replaced;
}

bool ArchiveRun::copyBeside(const std::string& archive) {
    const std::unique_ptr<File> copy = platform().open(copy_.path(), OpenMode::Read);
    TempFile beside = TempFile::beside(archive);
    const int64_t size = copy ? copy->size() : -1;
    const bool copied = beside && size >= 0 && format::copyBytes(*copy, beside.file(), size);
    if (copy) copy->close();
    return beside && beside.close() && copied && beside.renameTo(archive);
}

void ArchiveRun::abandon() {
    carried_ = Carried();
    closeOld();
    removeTemporaries();
    result_.stopped = true;
}

namespace {

// Rows of the old archive an update that does not hold its catalog takes at a
// time: enough for the workers to run ahead, little enough to cost nothing.
constexpr std::size_t BlockRows = 4096;

// One row of the interactive run, archive.rows[i] (row `shown` of the whole):
// its labels, the stop button, then its file stored, or its entry dropped or
// carried over. True when the run must stop.
bool interactiveRow(ArchiveRun& run, OpenArchive& archive, const RunOptions& options, Ui& ui,
                    std::size_t i, std::size_t shown) {
    const std::string fullPath = archive.rows[i].fullPath();
    // A new archive skips the rows whose files are gone without showing them.
    if (!run.isUpdate() && !platform().fileExists(fullPath)) {
        run.leaveOut();
        return false;
    }
    ui.setOverall(static_cast<int>(shown));
    ui.setLabel(ProgressLabel::File, "Fichier : " + FileNameOf(fullPath));
    ui.setLabel(ProgressLabel::Path, "Dossier : " + FolderOf(fullPath));
    ui.pump();
    if (ui.cancelRequested()) return true;
    // The row is read again: the pump may have run the window's events.
    const CatalogRow row = archive.rows[i];
    ArchiveRun::Step step = ArchiveRun::Step::GoOn;
    if (platform().fileExists(fullPath))
        step = run.StoreFile(i, row, fullPath);
    else if (options.checkRecupeFile)
        run.leaveOut();
    else
        step = run.CarryOver(row, fullPath);
    return step == ArchiveRun::Step::Stop;
}

// The interactive run over archive.rows, and then over each block of rows
// that nextBlock puts there, until it answers false; the run's result says
// how it ended.
void interactiveRun(ArchiveRun& run, OpenArchive& archive, const RunOptions& options, Ui& ui,
                    const std::function<bool()>& nextBlock) {
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
            return;
        }
        std::size_t shown = 0;
        for (bool more = true; more && !stopped;) {
            for (std::size_t i = 0; i < archive.rows.size() && !stopped; ++i, ++shown)
                stopped = interactiveRow(run, archive, options, ui, i, shown);
            more = !stopped && nextBlock && nextBlock();
            if (more) run.nextRows();
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
        return;
    }

    ui.setLabel(ProgressLabel::File, "Mise à jour de l'archive...");
    ui.setLabel(ProgressLabel::Path, "");
    ui.pump();
    run.ReplaceArchive();
    finished();
}

}  // namespace

ArchiveResult ArchiveFiles(OpenArchive& archive, RunOptions& options, const Environment& env,
                           Ui& ui, const WriterLock* held) {
    if (archive.path.empty()) return {};
    ArchiveRun run(archive, options, env, ui, ArchiveRun::Mode::Interactive, held);
    interactiveRun(run, archive, options, ui, {});
    return run.result();
}

ArchiveResult UpdateArchive(OpenArchive& archive, RunOptions& options, const Environment& env,
                            Ui& ui, const WriterLock* held) {
    const std::string& path = archive.path;
    if (path.empty() || !platform().fileExists(path))
        return ArchiveFiles(archive, options, env, ui, held);

    const std::unique_ptr<File> old = platform().open(path, OpenMode::Read);
    if (!old) throw Error("Impossible d'ouvrir le fichier " + path);
    format::HeaderBlock header;
    if (!format::readHeaderBlock(*old, header)) throw Error("Erreur de lecture du fichier " + path);
    if (!format::CheckSignature(header)) {
        ui.message(MessageKind::Error, format::IncompatibleMessage, Buttons::Ok);
        ArchiveResult refused;
        refused.stopped = true;
        return refused;
    }

    // The old archive's entries in file order, a block at a time; then the
    // rows the caller added, less the files the old archive holds already.
    Catalog added = std::move(archive.rows);
    archive.rows.clear();
    ArchiveRun run(archive, options, env, ui, ArchiveRun::Mode::Interactive, held);
    BufferedReader buffered(*old);
    format::ArchiveWalker walk(buffered);
    bool walked = false;
    auto nextBlock = [&] {
        archive.rows.clear();
        while (!walked && archive.rows.size() < BlockRows) {
            const std::optional<format::EntryRecord> entry = walk.next();
            if (!entry) {
                if (walk.failed()) throw Error("Erreur de lecture du fichier " + path);
                walked = true;
                for (CatalogRow& row : added)
                    if (!run.holds(row.fullPath())) archive.rows.push_back(std::move(row));
                added.clear();
                break;
            }
            archive.rows.push_back(rowFromRecord(*entry, walk.offset()));
        }
        return !archive.rows.empty();
    };
    interactiveRun(run, archive, options, ui, nextBlock);
    return run.result();
}

}  // namespace kv
