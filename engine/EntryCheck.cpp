#include "engine/EntryCheck.h"

#include <deque>
#include <system_error>
#include <utility>

#include "engine/WorkPool.h"

namespace kv::format {

std::string EntryCheck::text() const {
    switch (fault) {
        case Fault::None:
            return {};
        case Fault::NegativeSize:
            return "taille compressée négative";
        case Fault::PastEnd:
            return "contenu coupé par la fin de l'archive";
        case Fault::Empty:
            return "contenu vide";
        case Fault::Member:
            return MemberCodec::faultText(member);
        case Fault::SizeMismatch:
            return "taille différente de celle de l'entrée";
        case Fault::ReadError:
            return "erreur de lecture";
    }
    return {};
}

EntryCheck CheckEntry(File& archive, const EntryRecord& record, int64_t payloadStart, File* out,
                      const MemberCodec::Progress& progress) {
    EntryCheck check;
    const auto failed = [&check](EntryCheck::Fault fault) {
        check.fault = fault;
        return check;
    };
    if (record.compressedSize < 0) return failed(EntryCheck::Fault::NegativeSize);
    if (!payloadFits(record, payloadStart, archive.size()))
        return failed(EntryCheck::Fault::PastEnd);
    if (record.compressedSize == 0) return failed(EntryCheck::Fault::Empty);
    if (record.fileSize < 0) return failed(EntryCheck::Fault::SizeMismatch);
    if (!archive.seek(payloadStart)) return failed(EntryCheck::Fault::ReadError);

    const MemberCodec::MemberCheck member =
        MemberCodec::inflate(archive, record.compressedSize, out, record.fileSize, progress);
    check.length = member.length;
    if (member.fault == MemberCodec::MemberFault::TooLong)
        return failed(EntryCheck::Fault::SizeMismatch);
    if (member.fault != MemberCodec::MemberFault::None) {
        check.member = member.fault;
        return failed(EntryCheck::Fault::Member);
    }
    if (member.length != record.fileSize) return failed(EntryCheck::Fault::SizeMismatch);
    return check;
}

namespace {

// Entries checked ahead of the one in hand, per worker.
constexpr std::size_t CheckedAheadPerWorker = 64;

struct Checked {
    EntryRecord record;
    int64_t payloadStart = 0;
};

}  // namespace

void CheckEntries(SharedReader& archive, ArchiveWalker& walk, int threads,
                  const CheckedEntry& each) {
    using Pool = WorkPool<Checked, EntryCheck>;
    std::unique_ptr<Pool> pool;
    if (const int workers = workerThreads(threads); workers > 1) {
        try {
            pool = std::make_unique<Pool>(
                workers, [&archive](const Checked& entry, const std::atomic<bool>& stop,
                                    const Pool::Progress&) {
                    const std::unique_ptr<File> reader = archive.reader(&stop);
                    return CheckEntry(*reader, entry.record, entry.payloadStart);
                });
        } catch (const std::system_error&) {
            // No threads to be had: each entry is checked in its turn.
        }
    }
    if (!pool) {
        const std::unique_ptr<File> reader = archive.reader();
        while (const std::optional<EntryRecord> record = walk.next())
            each(*record, walk.payloadStart(), CheckEntry(*reader, *record, walk.payloadStart()));
        return;
    }
    const std::size_t window = CheckedAheadPerWorker * static_cast<std::size_t>(pool->threads());
    std::deque<std::shared_ptr<Pool::Job>> ahead;
    for (;;) {
        while (ahead.size() < window) {
            std::optional<EntryRecord> record = walk.next();
            if (!record) break;
            ahead.push_back(pool->submit(Checked{std::move(*record), walk.payloadStart()}));
        }
        if (ahead.empty()) return;
        const std::shared_ptr<Pool::Job> job = std::move(ahead.front());
        ahead.pop_front();
        const EntryCheck check = pool->take(*job, {});
        each(job->request.record, job->request.payloadStart, check);
    }
}

}  // namespace kv::format
