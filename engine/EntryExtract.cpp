#include "engine/EntryExtract.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <vector>

#include "engine/EntryCheck.h"
#include "platform/TempFile.h"
#include "text/Text.h"
#include "util/Error.h"

namespace kv::format {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The components of a folder path below its root, split at '\\' and at '/'
// (a host separator), without empty ones and ".".
std::vector<std::string> componentsOf(const std::string& below) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < below.size()) {
        std::size_t end = start;
        while (end < below.size() && !isSeparator(below[end])) ++end;
        std::string part = below.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

// Temporary names are numbered per process; a clash (a leftover of a dead
// process with our id, or another temporary of ours) takes the next number.
std::atomic<unsigned> temporaries{0};
constexpr int TemporaryAttempts = 100;

// Folders held at once; past that they are flushed and let go.
constexpr std::size_t HeldFolders = 64;
// Entries read from a walk and offered ahead of the one in hand, per worker.
constexpr std::size_t OfferedPerWorker = 8;
// The entries being inflated ahead hold at most so many bytes in their
// temporaries (beyond one entry per worker).
constexpr int64_t StagedBytes = int64_t(64) << 20;

}  // namespace

// The stored folder without its drive part: past "X:\", or past the two
// backslashes of a server folder (its server and share are kept).
std::string belowDriveOf(const std::string& folder) {
    if (folder.size() >= 2 && isSeparator(folder[0]) && isSeparator(folder[1]))
        return folder.substr(2);
    return folder.size() > 3 ? folder.substr(3) : std::string();
}

std::optional<std::string> destinationFolder(const EntryRecord& record, Placement placement,
                                             const std::string& chosenFolder) {
    if (!isSafeFileName(record.fileName)) return std::nullopt;
    const std::string belowDrive = belowDriveOf(record.folder);
    if (!hasNoParentStep(belowDrive)) return std::nullopt;
    switch (placement) {
        case Placement::Origin:
            if (!isDrivePath(record.folder)) return std::nullopt;
            return record.folder.back() == '\\' ? record.folder : record.folder + '\\';
        case Placement::Tree: {
            // A stored folder always ends in a backslash; one that does not is
            // completed, and a leading separator cannot climb to the root.
            std::string tail = belowDrive;
            while (!tail.empty() && isSeparator(tail.front())) tail.erase(0, 1);
            if (!tail.empty() && tail.back() != '\\') tail += '\\';
            return chosenFolder + tail;
        }
        case Placement::Flat:
            return chosenFolder;
    }
    return std::nullopt;
}

bool createFolderPath(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (platform().directoryExists(path)) return true;
    // Create each level in turn, from the first one below the root.
    for (std::size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
        std::string level = path.substr(0, pos);
        if (!platform().directoryExists(level) && !platform().createDirectory(level) &&
            !platform().directoryExists(level))
            return false;
        if (pos == std::string::npos) break;
    }
    return platform().directoryExists(path);
}

std::optional<Overwrite> overwriteRule(const std::string& word) {
    if (word == "older") return Overwrite::Older;
    if (word == "always") return Overwrite::Always;
    if (word == "never") return Overwrite::Never;
    return std::nullopt;
}

EntryWriter::EntryWriter(Placement placement, std::string chosenFolder, Overwrite overwrite,
                         std::string root)
    : placement_(placement),
      chosenFolder_(std::move(chosenFolder)),
      root_(root.empty() ? chosenFolder_ : std::move(root)),
      overwrite_(overwrite) {}

EntryWriter::~EntryWriter() {
    for (Staged& entry : staged_) settle(entry, false);
    staged_.clear();
    pool_.reset();
    letGo(nullptr);
}

void EntryWriter::letGo(const Folder* keep) {
    // A rename into a folder, or a folder made in it, lasts only once the
    // folder itself is on the disk.
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->second.get() == keep || stagedIn_.count(it->second.get())) {
            ++it;
            continue;
        }
        if (written_.erase(it->second.get())) it->second->flush();
        it = folders_.erase(it);
    }
}

EntryWriter::Reached EntryWriter::reach(const std::string& folder, bool create) {
    // The root is the user's (followed as any path is); what lies below it is
    // opened one name at a time from it.
    const std::string root = placement_ == Placement::Origin ? folder.substr(0, 3) : root_;
    if (folder.compare(0, root.size(), root) != 0) return {};
    std::string key = text::foldKey(root);
    auto held = folders_.find(key);
    if (held == folders_.end()) {
        if (folders_.size() >= HeldFolders) letGo(nullptr);
        std::unique_ptr<Folder> opened = platform().openFolder(root);
        if (!opened && create && createFolderPath(root)) {
            opened = platform().openFolder(root);
            madeFolder_ = true;
        }
        if (!opened) return {};
        held = folders_.emplace(key, std::move(opened)).first;
    }
    Folder* current = held->second.get();
    for (const std::string& name : componentsOf(folder.substr(root.size()))) {
        key += text::foldKey(name) + '\\';
        if (auto it = folders_.find(key); it != folders_.end()) {
            current = it->second.get();
            continue;
        }
        std::optional<FolderEntry> entry = current->lookup(name);
        if (!entry && !create) return {};
        if (!entry) {
            // A folder made by someone else meanwhile is looked at like any other.
            if (current->createFolder(name)) {
                written_.insert(current);
                madeFolder_ = true;
            }
            entry = current->lookup(name);
        }
        if (!entry) return {};
        std::unique_ptr<Folder> next;
        if (entry->kind == FolderEntry::Kind::Folder) {
            next = current->openFolder(entry->name, false);
        } else if (entry->kind == FolderEntry::Kind::Link) {
            if (placement_ != Placement::Origin) return {nullptr, ExtractResult::Refused};
            next = current->openFolder(entry->name, true);
            if (!next) return {nullptr, ExtractResult::Refused};
        }
        if (!next) return {};
        if (folders_.size() >= HeldFolders) letGo(current);
        current = folders_.emplace(key, std::move(next)).first->second.get();
    }
    return {current, ExtractResult::Done};
}

std::optional<ExtractResult> EntryWriter::keepOrReplace(const FolderEntry& existing,
                                                        const EntryRecord& record) {
    // Newer as the catalog counts it: a later last write than the stored one.
    const bool newer = existing.dosDateTime > record.fileDate;
    switch (overwrite_) {
        case Overwrite::Always:
            return std::nullopt;
        case Overwrite::Never:
            return newer ? ExtractResult::KeptNewer : ExtractResult::KeptExisting;
        case Overwrite::Older:
            break;
        case Overwrite::Ask:
            if (!newer || !question_) break;
            switch (question_(lastPath_)) {
                case Reply::Replace:
                    return std::nullopt;
                case Reply::ReplaceAll:
                    overwrite_ = Overwrite::Always;
                    return std::nullopt;
                case Reply::Keep:
                    return ExtractResult::KeptNewer;
                case Reply::Stop:
                    return ExtractResult::Stopped;
            }
            break;
    }
    if (newer) return ExtractResult::KeptNewer;
    return std::nullopt;
}

std::unique_ptr<File> EntryWriter::createTemporary(Folder& target, std::string& name) {
    std::unique_ptr<File> out;
    for (int attempt = 0; !out && attempt < TemporaryAttempts; ++attempt) {
        name = std::string(TempFile::CopyStem) + std::to_string(::getpid()) + "-" +
               std::to_string(++temporaries) + ".tmp";
        out = target.createFile(name);
        if (!out && !target.lookup(name)) break;  // the folder takes no new file
    }
    // Held while it lives, so no cleaner takes it for a leftover of a dead run.
    if (out) static_cast<void>(out->lock(LockKind::Shared));
    return out;
}

void EntryWriter::inflateAhead(SharedReader& archive, int workers) {
    if (workers < 2 || pool_) return;
    archive_ = &archive;
    archiveSize_ = archive.reader()->size();
    try {
        pool_ = std::make_unique<InflatePool>(
            workers, [this](const Inflation& job, const std::atomic<bool>& stop,
                            const InflatePool::Progress& progress) {
                const std::unique_ptr<File> archive = archive_->reader(&stop);
                Inflated done;
                done.check =
                    CheckEntry(*archive, job.record, job.payloadStart, job.out.get(), progress);
                if (done.check.sound()) {
                    job.out->setPermissions(job.permissions);
                    job.out->setLastWriteDos(job.record.fileDate);
                    done.flushed = job.out->flush();
                }
                return done;
            });
    } catch (const std::system_error&) {
        // No threads to be had: every entry is inflated in its turn.
    }
}

void EntryWriter::offer(const EntryRecord& record, int64_t payloadStart) {
    Staged entry;
    entry.payloadStart = payloadStart;
    if (roomFor(record)) stage(entry, record);
    staged_.push_back(std::move(entry));
}

bool EntryWriter::roomFor(const EntryRecord& record) const {
    if (!pool_) return false;
    std::size_t inflating = 0;
    for (const Staged& s : staged_) inflating += s.job ? 1 : 0;
    return stagedBytes_ + record.fileSize <= StagedBytes ||
           inflating < static_cast<std::size_t>(pool_->threads());
}

void EntryWriter::stageAwaiting() {
    for (Staged& entry : staged_) {
        if (!entry.awaiting || !roomFor(*entry.awaiting)) continue;
        // Taken out first: staging it again may put it back to wait.
        const EntryRecord record = std::move(*entry.awaiting);
        entry.awaiting.reset();
        stage(entry, record);
    }
}

void EntryWriter::stage(Staged& entry, const EntryRecord& record) {
    if (record.compressedSize <= 0 || record.fileSize < 0 ||
        !payloadFits(record, entry.payloadStart, archiveSize_))
        return;
    const std::optional<std::string> folder = destinationOf(record);
    if (!folder || platform().driveType(folder->substr(0, 3)) == DriveType::CdRom) return;
    Folder* target = reach(*folder, false).folder;
    if (!target) {
        // Tried again once a turn has made folders: the first entry of a
        // folder makes it, those after it may then go ahead.
        entry.awaiting = record;
        return;
    }
    std::string key = text::foldKey(record.fileName);
    for (const Staged& s : staged_)
        if (s.job && s.folder == target && s.key == key) return;
    uint32_t permissions = newFilePermissions();
    if (const std::optional<FolderEntry> existing = target->lookup(record.fileName)) {
        if (existing->kind != FolderEntry::Kind::File ||
            files_.count({existing->device, existing->inode}))
            return;
        const bool newer = existing->dosDateTime > record.fileDate;
        const bool replaced =
            overwrite_ == Overwrite::Always || (overwrite_ != Overwrite::Never && !newer);
        if (!replaced) return;
        permissions = existing->permissions & 0777;
    }
    std::string temporary;
    std::unique_ptr<File> out = createTemporary(*target, temporary);
    if (!out) return;
    entry.job = pool_->submit(Inflation{record, entry.payloadStart, std::move(out), permissions});
    entry.folder = target;
    entry.temporary = std::move(temporary);
    entry.key = std::move(key);
    entry.permissions = permissions;
    entry.bytes = record.fileSize;
    stagedBytes_ += entry.bytes;
    ++stagedIn_[target];
}

void EntryWriter::settle(Staged& entry, bool keepFile) {
    if (!entry.job) return;
    if (!keepFile) {
        pool_->drop(*entry.job);
        entry.job->request.out->close();
        entry.folder->removeFile(entry.temporary);
    }
    stagedBytes_ -= entry.bytes;
    if (--stagedIn_[entry.folder] == 0) stagedIn_.erase(entry.folder);
    if (!keepFile) entry.job.reset();
}

std::optional<EntryWriter::Staged> EntryWriter::takeStaged(int64_t payloadStart) {
    const auto mine = std::find_if(staged_.begin(), staged_.end(), [payloadStart](const Staged& s) {
        return s.payloadStart == payloadStart;
    });
    if (mine == staged_.end()) return std::nullopt;
    for (auto it = staged_.begin(); it != mine; ++it) settle(*it, false);
    Staged entry = std::move(*mine);
    staged_.erase(staged_.begin(), std::next(mine));
    if (!entry.job) return std::nullopt;
    return entry;
}

bool EntryWriter::wantsOffers() const {
    return pool_ && staged_.size() < OfferedPerWorker * static_cast<std::size_t>(pool_->threads());
}

std::optional<WalkedEntry> EntryWriter::next(ArchiveWalker& walk) {
    while (walked_.empty() || wantsOffers()) {
        std::optional<EntryRecord> record = walk.next();
        if (!record) break;
        walked_.push_back(WalkedEntry{std::move(*record), walk.payloadStart()});
        if (wantsOffers()) offer(walked_.back().record, walked_.back().payloadStart);
    }
    if (walked_.empty()) return std::nullopt;
    WalkedEntry entry = std::move(walked_.front());
    walked_.pop_front();
    // Entries handed out before this one that the caller did not write (it
    // refused them) give their place to those that follow.
    while (!staged_.empty() && staged_.front().payloadStart < entry.payloadStart) {
        settle(staged_.front(), false);
        staged_.pop_front();
    }
    return entry;
}

ExtractResult EntryWriter::extract(File& archive, const EntryRecord& record, int64_t payloadStart,
                                   const std::string& folder,
                                   const MemberCodec::Progress& progress) {
    // What a worker inflated for this entry is used only when the entry is
    // still to be written into that very folder; else it is thrown away.
    std::optional<Staged> ahead = takeStaged(payloadStart);
    struct Unused {
        EntryWriter& writer;
        std::optional<Staged>& ahead;
        ~Unused() {
            if (ahead) writer.settle(*ahead, false);
        }
    } unused{*this, ahead};

    lastPath_ = folder + record.fileName;
    // A damaged record writes nothing, not even an empty file.
    if (record.compressedSize <= 0 || !payloadFits(record, payloadStart, archive.size()))
        return ExtractResult::Damaged;
    const Reached reached = reach(folder);
    if (madeFolder_) {
        madeFolder_ = false;
        stageAwaiting();
    }
    if (!reached.folder) return reached.failure;
    Folder& target = *reached.folder;

    std::string name = record.fileName;
    uint32_t permissions = newFilePermissions();
    const std::optional<FolderEntry> existing = target.lookup(name);
    if (existing) name = existing->name;
    lastPath_ = target.path() + name;
    if (existing) {
        if (existing->kind == FolderEntry::Kind::Link) return ExtractResult::Refused;
        if (existing->kind != FolderEntry::Kind::File) return ExtractResult::DecompressFailed;
        if (files_.count({existing->device, existing->inode})) return ExtractResult::Duplicate;
        if (auto kept = keepOrReplace(*existing, record)) return *kept;
        // New bytes do not inherit the right to run as another user.
        permissions = existing->permissions & 0777;
    }

    std::unique_ptr<File> out;
    std::string temporary;
    EntryCheck check;
    bool whole = false;
    if (ahead && ahead->folder == &target) {
        const Inflated inflated = pool_->take(*ahead->job, progress);
        Staged done = std::move(*ahead);
        ahead.reset();
        settle(done, true);
        out = std::move(done.job->request.out);
        temporary = std::move(done.temporary);
        check = inflated.check;
        whole = check.sound() && inflated.flushed;
        if (whole && permissions != done.permissions) out->setPermissions(permissions);
    } else {
        out = createTemporary(target, temporary);
        if (!out) return ExtractResult::DecompressFailed;
        check = CheckEntry(archive, record, payloadStart, out.get(), progress);
        // The date and the permissions are the file's own; a file system that
        // keeps neither still gets the bytes.
        whole = check.sound();
        if (whole) {
            out->setPermissions(permissions);
            out->setLastWriteDos(record.fileDate);
            whole = out->flush();
        }
    }
    if (check.fault == EntryCheck::Fault::ReadError) {
        out->close();
        target.removeFile(temporary);
        throw Error("Erreur de lecture dans l'archive (fichier < " + record.fileName + " >)");
    }
    whole = out->close() && whole;
    if (!whole || !target.rename(temporary, name, existing.has_value())) {
        target.removeFile(temporary);
        // A file that took the name meanwhile is left alone.
        return ExtractResult::DecompressFailed;
    }
    written_.insert(&target);
    if (const std::optional<FolderEntry> done = target.lookup(name))
        files_.insert({done->device, done->inode});
    return ExtractResult::Done;
}

}  // namespace kv::format
