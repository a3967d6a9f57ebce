#include "engine/ArchiveRepair.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "engine/EntryCheck.h"
#include "platform/TempFile.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

// Bytes read at a time while looking for the next sound entry.
constexpr int64_t ScanBlock = int64_t(1) << 20;
// The first bytes of every gzip member of the deflate method.
constexpr uint8_t MemberStart[3] = {0x1F, 0x8B, 0x08};
// Extra bytes HasRoomForCopy asks beyond a copy's size.
constexpr int64_t RoomMargin = 100;
// "nom.kvr.bak", then "nom.kvr.bak2" up to this number.
constexpr int MaxBackupNumber = 9999;

const char* const CutRecord = "la fin de l'archive est coupée au milieu d'une entrée";
const char* const WrongSize = "taille compressée incorrecte";

// A record that still names a file: a name without a backslash or a control
// character, in a folder that starts with a drive ("C:\") or a server ("\\")
// and ends with a backslash. Bytes that are no record almost never pass.
bool namesAFile(const format::EntryRecord& record) {
    const auto printable = [](const std::string& text) {
        for (unsigned char c : text)
            if (c < 0x20) return false;
        return true;
    };
    const std::string& folder = record.folder;
    const bool drive = folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\';
    const bool server = folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\';
    return !record.fileName.empty() && record.fileName.find('\\') == std::string::npos &&
           printable(record.fileName) && printable(folder) && (drive || server) &&
           folder.back() == '\\';
}

std::string countOf(int64_t count, const char* words) {
    return std::to_string(count) + " " + words;
}

}  // namespace

std::string RepairLoss::text() const {
    if (!path.empty()) return "< " + path + " > : " + reason;
    const std::string where = " à la position " + std::to_string(offset);
    if (!reason.empty()) return reason + " (" + countOf(length, "octet(s)") + where + ")";
    return countOf(length, "octet(s) illisible(s)") + where;
}

// A record read at a position: none when the file ends inside it.
struct ArchiveRepair::Probe {
    std::optional<format::EntryRecord> record;
    int64_t payloadStart = 0;
};

ArchiveRepair::ArchiveRepair(std::string archive) : archive_(std::move(archive)) {}

ArchiveRepair::~ArchiveRepair() {
    walk_.reset();
    if (file_) file_->close();
}

bool ArchiveRepair::goOn(Ui& ui) {
    ui.pump();
    if (!ui.keepGoing()) stopped_ = true;
    return !stopped_;
}

ArchiveRepair::Probe ArchiveRepair::probe(int64_t position) {
    walk_->restartAt(position);
    Probe at;
    at.record = walk_->next();
    if (walk_->failed()) throw Error("Erreur de lecture dans l'archive < " + archive_ + " >");
    if (at.record) at.payloadStart = walk_->payloadStart();
    return at;
}

std::optional<ArchiveRepair::Probe> ArchiveRepair::plausibleAt(int64_t position) {
    Probe at = probe(position);
    if (!at.record) return std::nullopt;
    const format::EntryRecord& record = *at.record;
    if (!namesAFile(record) || record.fileSize < 0 || record.compressedSize <= 0 ||
        !format::payloadFits(record, at.payloadStart, size_))
        return std::nullopt;
    uint8_t start[sizeof MemberStart];
    if (file_->readAt(at.payloadStart, start, sizeof start) != sizeof start ||
        std::memcmp(start, MemberStart, sizeof start) != 0)
        return std::nullopt;
    return at;
}

bool ArchiveRepair::soundAt(int64_t position) {
    const Probe at = probe(position);
    return at.record && format::CheckEntry(*file_, *at.record, at.payloadStart).sound();
}

int64_t ArchiveRepair::nextSoundEntry(int64_t from, Ui& ui, std::vector<int64_t>& damaged) {
    // A sound entry's payload starts as a gzip member, right after its record:
    // each place where a member starts is tried, its record read just before it.
    std::vector<uint8_t> block(static_cast<std::size_t>(std::min(ScanBlock, size_)));
    const int64_t recordSize = format::recordSize(walk_->version());
    int64_t start = from + recordSize;
    while (start + int64_t(sizeof MemberStart) <= size_) {
        if (!goOn(ui)) return size_;
        const int64_t want = std::min<int64_t>(static_cast<int64_t>(block.size()), size_ - start);
        if (!file_->seek(start))
            throw Error("Erreur de lecture dans l'archive < " + archive_ + " >");
        const int64_t n = format::readFully(*file_, block.data(), want);
        if (n < 0) throw Error("Erreur de lecture dans l'archive < " + archive_ + " >");
        if (n < int64_t(sizeof MemberStart)) break;
        const uint8_t* const first = block.data();
        const uint8_t* const last = first + n - (sizeof MemberStart - 1);  // last start that fits
        for (const uint8_t* p = first;
             (p = static_cast<const uint8_t*>(std::memchr(p, MemberStart[0], last - p))); ++p) {
            if (std::memcmp(p, MemberStart, sizeof MemberStart) != 0) continue;
            const int64_t candidate = start + (p - first) - recordSize;
            const std::optional<Probe> at = plausibleAt(candidate);
            if (!at) continue;
            if (format::CheckEntry(*file_, *at->record, at->payloadStart).sound()) return candidate;
            damaged.push_back(candidate);
        }
        // A member start cut by the end of the block is found in the next one.
        start += n - int64_t(sizeof MemberStart - 1);
    }
    return size_;
}

bool ArchiveRepair::keepCorrected(int64_t position, int64_t next) {
    const Probe at = probe(position);
    if (!at.record || !namesAFile(*at.record)) return false;
    format::EntryRecord record = *at.record;
    const int64_t size = next - at.payloadStart;
    // A V1 record holds sizes below 2 GiB only.
    const bool fits = walk_->version() == format::Version::V2 || size <= INT32_MAX;
    if (size <= 0 || !fits || size == record.compressedSize) return false;
    const int64_t stored = record.compressedSize;
    record.compressedSize = size;
    if (!format::CheckEntry(*file_, record, at.payloadStart).sound()) return false;
    corrections_.push_back("< " + record.fullPath() + " > : taille compressée corrigée (" +
                           std::to_string(size) + " au lieu de " + std::to_string(stored) + ")");
    kept_.push_back({position, next - position, std::move(record), at.payloadStart});
    return true;
}

void ArchiveRepair::lose(int64_t from, int64_t to) {
    const Probe at = probe(from);
    RepairLoss loss{from, to - from, {}, {}};
    if (!at.record) {
        loss.reason = CutRecord;
    } else if (namesAFile(*at.record)) {
        loss.path = at.record->fullPath();
        loss.reason = format::CheckEntry(*file_, *at.record, at.payloadStart).text();
        // A sound member whose sizes run over the entry after it.
        if (loss.reason.empty()) loss.reason = WrongSize;
    }
    losses_.push_back(std::move(loss));
}

void ArchiveRepair::loseStretch(int64_t from, int64_t to, const std::vector<int64_t>& damaged) {
    // The stretch is taken entry by entry where records still name files:
    // those the search met, and those that follow one another from its start.
    // Each is kept when only its size was wrong, else told as lost.
    std::vector<int64_t> starts{from};
    for (int64_t at : damaged)
        if (at > from && at < to) starts.push_back(at);
    for (int64_t at = from;;) {
        const Probe here = probe(at);
        if (!here.record || !namesAFile(*here.record) || here.record->compressedSize < 0) break;
        const int64_t end = here.payloadStart + here.record->compressedSize;
        if (end <= at || end >= to) break;
        const Probe next = probe(end);
        if (!next.record || !namesAFile(*next.record)) break;
        starts.push_back(end);
        at = end;
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const int64_t end = i + 1 < starts.size() ? starts[i + 1] : to;
        if (!keepCorrected(starts[i], end)) lose(starts[i], end);
    }
}

ArchiveRepair::Finding ArchiveRepair::examine(Ui& ui) {
    Platform& host = platform();
    lock_ = std::make_unique<WriterLock>(archive_);
    if (lock_->busy()) {
        lock_.reset();
        return Finding::Busy;
    }
    file_ = host.open(archive_, OpenMode::Read);
    if (!file_) throw Error("Impossible d'ouvrir l'archive < " + archive_ + " >");
    if (!format::readHeaderBlock(*file_, header_))
        throw Error("Erreur de lecture dans l'archive < " + archive_ + " >");
    if (!format::CheckSignature(header_)) return Finding::Incompatible;
    size_ = file_->size();
    if (size_ < 0) throw Error("Erreur de lecture dans l'archive < " + archive_ + " >");
    walk_ = std::make_unique<format::ArchiveWalker>(*file_);
    if (size_ < format::HeaderSize)
        losses_.push_back(RepairLoss{0, size_, {}, "en-tête de l'archive incomplet"});

    int64_t position = format::FirstEntryOffset;
    while (position < size_) {
        if (!goOn(ui)) return Finding::Stopped;
        const Probe at = probe(position);
        if (!at.record) {
            lose(position, size_);
            break;
        }
        // The end of the entry when it is sound, -1 when it is not.
        int64_t end = -1;
        if (format::CheckEntry(*file_, *at.record, at.payloadStart).sound()) {
            end = at.payloadStart + at.record->compressedSize;
            if (end == size_ || plausibleAt(end) || soundAt(end)) {
                kept_.push_back({position, end - position, std::nullopt});
                position = end;
                continue;
            }
        }
        // The chain of records breaks here: it starts again at the next sound
        // entry. A sound entry is kept unless it runs over that one.
        std::vector<int64_t> damaged;
        const int64_t next = nextSoundEntry(position + 1, ui, damaged);
        if (stopped_) return Finding::Stopped;
        if (end >= 0 && end <= next) {
            kept_.push_back({position, end - position, std::nullopt});
            if (end < next) loseStretch(end, next, damaged);
        } else {
            loseStretch(position, next, damaged);
        }
        position = next;
    }
    if (losses_.empty() && corrections_.empty()) return Finding::Sound;
    backup_ = freeBackupName();
    return Finding::Damaged;
}

std::string ArchiveRepair::freeBackupName() const {
    const std::string base = archive_ + ".bak";
    if (platform().attributes(base) == attr::Invalid) return base;
    for (int n = 2; n <= MaxBackupNumber; ++n) {
        std::string name = base + std::to_string(n);
        if (platform().attributes(name) == attr::Invalid) return name;
    }
    throw Error("Aucun nom libre pour garder l'archive < " + archive_ +
                " > : supprimez ses "
                "anciennes copies .bak.");
}

void ArchiveRepair::verifyCopy(File& copy) const {
    format::ArchiveWalker walk(copy);
    std::size_t entries = 0;
    bool sound = true;
    while (const std::optional<format::EntryRecord> record = walk.next()) {
        ++entries;
        sound = sound && format::CheckEntry(copy, *record, walk.payloadStart()).sound();
    }
    if (!sound || walk.failed() || !walk.problem().empty() || entries != kept_.size())
        throw Error("La copie réparée de l'archive < " + archive_ +
                    " > ne se relit pas correctement :\rl'archive n'a pas été modifiée.");
}

bool ArchiveRepair::write(Ui& ui) {
    Platform& host = platform();
    const uint32_t attributes = host.attributes(archive_);
    if (attributes != attr::Invalid && (attributes & attr::ReadOnly))
        throw Error("L'archive < " + archive_ +
                    " > est en lecture seule : elle n'est pas réparée.");
    int64_t newSize = format::HeaderSize;
    for (const Span& span : kept_) newSize += span.length;
    const int64_t free = DriveFreeBytes(archive_);
    if (free < 0 || newSize + RoomMargin >= free)
        throw Error("Espace insuffisant sur le lecteur ( " + archive_.substr(0, 1) +
                    "),\rOpération annulée.");

    const std::string folder = FolderOf(archive_);
    TempFile fresh(folder, TempFile::CopyStem);
    if (!fresh) throw Error("Impossible de créer un fichier dans le dossier < " + folder + " >");
    const auto writeError = [&] {
        return Error("Erreur d'écriture de la copie réparée dans le dossier < " + folder + " >");
    };
    File& out = fresh.file();
    if (!out.write(header_.data(), format::HeaderSize)) throw writeError();
    for (const Span& span : kept_) {
        if (!goOn(ui)) return false;
        const bool copied =
            span.corrected
                ? format::writeRecord(out, *span.corrected, walk_->version()) &&
                      file_->seek(span.payloadStart) &&
                      format::copyBytes(*file_, out, span.corrected->compressedSize)
                : file_->seek(span.offset) && format::copyBytes(*file_, out, span.length);
        if (!copied) throw writeError();
    }
    if (!out.flush()) throw writeError();
    verifyCopy(out);
    if (!fresh.close()) throw writeError();

    // The old archive steps aside under its backup name, then the copy takes
    // its place and its permissions; should that fail, the old one comes back.
    backup_ = freeBackupName();
    walk_.reset();
    file_->close();
    file_.reset();
    if (!host.renameFile(archive_, backup_))
        throw Error("Impossible de renommer l'archive < " + archive_ + " > en < " + backup_ + " >");
    if (!fresh.renameTo(archive_, backup_)) {
        host.renameFile(backup_, archive_);
        throw Error("Impossible de remplacer l'archive < " + archive_ + " > par sa copie réparée");
    }
    if (const std::unique_ptr<Folder> held = host.openFolder(folder)) held->flush();
    return true;
}

}  // namespace kv
