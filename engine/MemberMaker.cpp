#include "engine/MemberMaker.h"

#include <cstring>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/EntryCheck.h"
#include "platform/DosTime.h"
#include "platform/Platform.h"

namespace kv {

namespace {

// A file that changed while it was compressed is compressed this many times at most.
constexpr int CompressAttempts = 2;
// The coarsest clock of a file system's times (two seconds for FAT), and some:
// a file changed less than this before the run started is not vouched for.
constexpr int64_t RecentNs = int64_t(3) * 1000000000;

// Clears a file's read-only, hidden and system bits for as long as it lives,
// and sets the saved attributes back (a failure to set is ignored).
class ClearedAttributes {
  public:
    ClearedAttributes(const std::string& path, bool& cleared)
        : path_(path), saved_(platform().attributes(path)) {
        cleared_ = saved_ != attr::Invalid && (saved_ & attr::KeepWritable) != saved_;
        if (cleared_) platform().setAttributes(path_, saved_ & attr::KeepWritable);
        cleared = cleared_;
    }
    ~ClearedAttributes() {
        if (cleared_) platform().setAttributes(path_, saved_);
    }
    ClearedAttributes(const ClearedAttributes&) = delete;
    ClearedAttributes& operator=(const ClearedAttributes&) = delete;

  private:
    const std::string& path_;
    uint32_t saved_;
    bool cleared_ = false;
};

// A source whose reads fail once stop is set, so that a compression no longer
// wanted ends at its next block.
class StoppableSource final : public File {
  public:
    StoppableSource(File& file, const std::atomic<bool>& stop) : file_(file), stop_(stop) {}
    int64_t read(void* buffer, int64_t count) override {
        return stop_.load(std::memory_order_relaxed) ? -1 : file_.read(buffer, count);
    }
    bool write(const void*, int64_t) override { return false; }
    bool seek(int64_t position) override { return file_.seek(position); }
    int64_t position() override { return file_.position(); }
    int64_t size() override { return file_.size(); }
    bool close() override { return file_.close(); }

  private:
    File& file_;
    const std::atomic<bool>& stop_;
};

// The destination of a stored member's data that compares each block with
// the next bytes of the file instead of writing it: a write fails at the
// first byte that differs, so the check ends there.
class SameBytes final : public File {
  public:
    SameBytes(File& file, const std::atomic<bool>& stop) : file_(file), stop_(stop) {}
    int64_t read(void*, int64_t) override { return -1; }
    bool write(const void* buffer, int64_t count) override {
        if (count < 0 || stop_.load(std::memory_order_relaxed)) return false;
        mine_.resize(static_cast<std::size_t>(count));
        return format::readFully(file_, mine_.data(), count) == count &&
               std::memcmp(mine_.data(), buffer, static_cast<std::size_t>(count)) == 0;
    }
    bool seek(int64_t) override { return false; }
    int64_t position() override { return -1; }
    int64_t size() override { return -1; }
    bool close() override { return true; }
    // True when the whole file was compared: nothing follows.
    bool atEnd() {
        uint8_t byte;
        return file_.read(&byte, 1) == 0;
    }

  private:
    File& file_;
    const std::atomic<bool>& stop_;
    std::vector<uint8_t> mine_;
};

}  // namespace

std::optional<FileSnapshot> snapshotOf(const std::string& path) {
    // One stat: what a listing of the file's folder would say of it.
    const PathInfo info = platform().pathInfo(path);
    if (info.kind != PathInfo::Kind::File && info.kind != PathInfo::Kind::Other)
        return std::nullopt;
    const bool special = info.kind == PathInfo::Kind::Other;
    return FileSnapshot{special ? 0 : info.size, dosFromNs(info.lastWriteNs), special};
}

// What the files cache may keep of a file read between before and after
// (see MemberMaker.h); nullopt when a change could have gone unseen.
std::optional<FileIdentity> vouchable(const FileIdentity& before,
                                      const std::optional<FileIdentity>& after,
                                      bool attributesCleared, int64_t runStartNs) {
    if (!after || after->device != before.device || after->inode != before.inode ||
        after->size != before.size || after->lastWriteNs != before.lastWriteNs)
        return std::nullopt;
    if (after->changeNs != before.changeNs && !attributesCleared) return std::nullopt;
    if (before.lastWriteNs > runStartNs - RecentNs || before.changeNs > runStartNs - RecentNs)
        return std::nullopt;
    return after;
}

MemberMaker::MemberMaker(std::string workFolder, SharedReader* old, int64_t runStartNs)
    : workFolder_(std::move(workFolder)),
      shelf_(std::make_shared<PayloadShelf>(workFolder_)),
      old_(old),
      runStartNs_(runStartNs) {}

bool MemberMaker::sameAsStored(const std::string& path, const StoredEntry& stored,
                               const Progress& progress, const std::atomic<bool>& stop,
                               uint32_t& crc) const {
    if (!old_) return false;
    const std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
    if (!file) return false;
    SameBytes compare(*file, stop);
    const std::unique_ptr<File> archive = old_->reader(&stop);
    format::EntryRecord record;
    record.fileSize = stored.fileSize;
    record.compressedSize = stored.compressedSize;
    const bool same =
        format::CheckEntry(*archive, record, stored.payloadStart, &compare, progress).sound() &&
        compare.atEnd();
    file->close();
    uint8_t trailer[8];
    if (!same || !archive->seek(stored.payloadStart + stored.compressedSize - 8) ||
        format::readFully(*archive, trailer, 8) != 8)
        return false;
    crc = format::littleEndian32(trailer);
    return true;
}

FileMember MemberMaker::make(const MemberRequest& request, const std::atomic<bool>& stop,
                             const Progress& progress) const {
    const std::optional<FileIdentity> before = identityOf(request.fullPath);
    bool attributesCleared = false;
    FileMember member = makeMember(request, stop, progress, attributesCleared);
    // Taken once the attributes are back as they were.
    if (before && (member.outcome == FileMember::Outcome::Made ||
                   member.outcome == FileMember::Outcome::Reused))
        member.identity =
            vouchable(*before, identityOf(request.fullPath), attributesCleared, runStartNs_);
    return member;
}

FileMember MemberMaker::makeMember(const MemberRequest& request, const std::atomic<bool>& stop,
                                   const Progress& progress, bool& attributesCleared) const {
    using Outcome = FileMember::Outcome;
    FileMember member;
    const auto ended = [&member](Outcome outcome) {
        member.outcome = outcome;
        return std::move(member);
    };
    const auto unreadable = [&ended, &member](FileMember::Cause cause) {
        member.cause = cause;
        return ended(Outcome::Unreadable);
    };
    const std::string& path = request.fullPath;
    std::optional<FileSnapshot> before = snapshotOf(path);
    if (!before) return ended(Outcome::Vanished);
    if (before->special) return unreadable(FileMember::Cause::SpecialFile);

    const ClearedAttributes cleared(path, attributesCleared);

    const std::optional<StoredEntry>& stored = request.stored;
    if (stored && before->size == stored->fileSize && before->lastWrite == stored->fileDate) {
        uint32_t crc = 0;
        const bool same = sameAsStored(path, *stored, progress, stop, crc);
        if (stop) return ended(Outcome::Stopped);
        const std::optional<FileSnapshot> after = snapshotOf(path);
        if (same && after && *after == *before) {
            member.source = *stored;
            member.crc = crc;
            member.length = after->size;
            member.after = *after;
            return ended(Outcome::Reused);
        }
    }

    for (int attempt = 0; attempt < CompressAttempts; ++attempt) {
        if (attempt > 0) before = snapshotOf(path);
        PayloadShelf::Payload payload = shelf_->take();
        if (!payload) {
            member.error =
                "Impossible de créer un fichier dans le dossier de travail " + workFolder_;
            return ended(Outcome::Failed);
        }
        const std::unique_ptr<File> source = platform().open(path, OpenMode::Read);
        if (!source) {
            switch (platform().readRefusal(path)) {
                case ReadRefusal::Missing:
                    return ended(Outcome::Vanished);
                case ReadRefusal::SpecialFile:
                    return unreadable(FileMember::Cause::SpecialFile);
                case ReadRefusal::AccessDenied:
                    return unreadable(FileMember::Cause::AccessDenied);
                case ReadRefusal::InUse:
                    return unreadable(FileMember::Cause::InUse);
                case ReadRefusal::None:
                    break;
            }
            return unreadable(FileMember::Cause::ReadError);
        }
        StoppableSource stoppable(*source, stop);
        const MemberCodec::Compressed made =
            MemberCodec::compress(stoppable, payload.file(), progress);
        source->close();
        if (stop) return ended(Outcome::Stopped);
        if (made.fault == MemberCodec::CompressFault::ReadError)
            return unreadable(FileMember::Cause::ReadError);
        if (!made.done()) return unreadable(FileMember::Cause::WorkFolder);
        // The payload is the file only when nothing moved while it was read.
        const std::optional<FileSnapshot> after = snapshotOf(path);
        if (before && after && *before == *after && made.length == after->size) {
            member.payload = std::move(payload);
            member.crc = made.crc;
            member.length = made.length;
            member.after = *after;
            return ended(Outcome::Made);
        }
    }
    return unreadable(FileMember::Cause::Changed);
}

}  // namespace kv
