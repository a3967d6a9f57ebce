#include "engine/ArchiveVerify.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/ArchiveFormat.h"
#include "engine/CatalogReader.h"
#include "engine/EntryCheck.h"
#include "engine/MemberMaker.h"
#include "engine/SharedReader.h"
#include "engine/WorkPool.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

// Bytes of a disk file read at a time.
constexpr int64_t ReadBlock = 1 << 20;
// How long the run's thread waits for a worker before it lets events run.
constexpr auto PumpEvery = std::chrono::milliseconds(30);

// A stored row as the workers see it: they never touch the catalog itself.
struct RowJob {
    std::size_t row = 0;
    std::string fullPath;
    int64_t offset = 0;
    int64_t size = 0;
};

// The CRC-32 and length of a file read once from its start; nullopt when it
// cannot be opened or a read fails. Ends early (nullopt) once stop is set.
struct FileSum {
    uint32_t crc = 0;
    int64_t length = 0;
};
std::optional<FileSum> sumOf(const std::string& path, const std::atomic<bool>& stop) {
    const std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
    if (!file) return std::nullopt;
    // One buffer per worker: a million small files must not cost a million
    // allocations of a block.
    thread_local std::vector<uint8_t> buffer(static_cast<std::size_t>(ReadBlock));
    FileSum sum;
    sum.crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) return std::nullopt;
        const int64_t n = file->read(buffer.data(), ReadBlock);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        sum.crc = static_cast<uint32_t>(crc32_z(sum.crc, buffer.data(), static_cast<z_size_t>(n)));
        sum.length += n;
    }
    file->close();
    return sum;
}

// The check of one row (on a worker thread): the member first, then, when it
// is sound and the disk is wanted, the file.
VerifiedRow checkRow(const RowJob& job, SharedReader& archive, format::Version version,
                     VerifyScope scope, const std::atomic<bool>& stop) {
    VerifiedRow result;
    result.row = job.row;
    const auto damaged = [&result](std::string detail) {
        result.finding = VerifyFinding::Damaged;
        result.detail = std::move(detail);
        return result;
    };
    const std::unique_ptr<File> reader = archive.reader(&stop);
    const std::optional<format::EntryRecord> record =
        format::readRecordAt(*reader, version, job.offset, job.fullPath);
    if (!record) return damaged("entrée introuvable à sa position dans l'archive");
    const int64_t payloadStart = job.offset + format::recordSize(version);
    const format::EntryCheck check = format::CheckEntry(*reader, *record, payloadStart);
    if (!check.sound()) return damaged(check.text());
    if (scope == VerifyScope::ArchiveOnly) return result;

    // A sound member's trailer holds the CRC-32 of its data.
    uint8_t trailer[8];
    if (!reader->seek(payloadStart + record->compressedSize - 8) ||
        format::readFully(*reader, trailer, 8) != 8)
        return damaged("erreur de lecture");
    const uint32_t storedCrc = format::littleEndian32(trailer);

    const std::optional<FileSnapshot> snapshot = snapshotOf(job.fullPath);
    if (!snapshot) {
        result.finding = VerifyFinding::Missing;
        return result;
    }
    if (snapshot->special) {
        result.finding = VerifyFinding::Unreadable;
        return result;
    }
    // Newer than the stored copy: the date already said so; otherwise the
    // content differs behind a date that does not tell it.
    const bool newer = snapshot->lastWrite > record->fileDate;
    const auto differs = [&] {
        result.finding = newer ? VerifyFinding::Modified : VerifyFinding::Differs;
        return result;
    };
    // A file of another size differs whatever its bytes: it is not read.
    if (snapshot->size != record->fileSize) return differs();
    const std::optional<FileSum> sum = sumOf(job.fullPath, stop);
    if (!sum) {
        result.finding = VerifyFinding::Unreadable;
        return result;
    }
    if (sum->length != record->fileSize || sum->crc != storedCrc) return differs();
    return result;
}

// The statuses a finding leaves on its row; nullopt: the row keeps its own.
std::optional<EntryStatus> statusOf(VerifyFinding finding, VerifyScope scope) {
    switch (finding) {
        case VerifyFinding::Equal:
            if (scope == VerifyScope::ArchiveOnly) return std::nullopt;
            return Unchanged;
        case VerifyFinding::Differs:
            return Differs;
        case VerifyFinding::Modified:
            return Modified;
        case VerifyFinding::Damaged:
            return Damaged;
        case VerifyFinding::Missing:
            return Missing;
        case VerifyFinding::Unreadable:
        case VerifyFinding::NotStored:
            return std::nullopt;
    }
    return std::nullopt;
}

// The rows a check visits: every row archived; the others are NotStored.
std::vector<RowJob> jobsOf(const Catalog& rows, VerifyOutcome& outcome) {
    std::vector<RowJob> jobs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CatalogRow& row = rows[i];
        if (!row.entryOffset) {
            ++outcome.counts[static_cast<int>(VerifyFinding::NotStored)];
            continue;
        }
        jobs.push_back({i, row.fullPath(), *row.entryOffset, row.size});
    }
    return jobs;
}

}  // namespace

bool VerifyOutcome::allEqual() const {
    if (stopped || refused) return false;
    for (int i = 0; i < VerifyFindingCount; ++i)
        if (i != static_cast<int>(VerifyFinding::Equal) && counts[i] != 0) return false;
    return true;
}

VerifyOutcome VerifyArchive(OpenArchive& openArchive, const RunOptions& options, VerifyScope scope,
                            Ui& ui) {
    VerifyOutcome outcome;
    const std::string& path = openArchive.path;
    const auto refuse = [&](const std::string& text) {
        ui.message(MessageKind::Error, text);
        outcome.refused = true;
        return outcome;
    };
    if (openArchive.catalogSource && ArchiveStampOf(path) != *openArchive.catalogSource)
        return refuse("L'archive < " + FileNameOf(path) +
                      " > a été réécrite depuis son chargement : ouvrez-la de nouveau avant de "
                      "la vérifier.");
    std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
    if (!file) return refuse("Impossible d'ouvrir l'archive " + path);
    format::HeaderBlock header{};
    if (!format::readHeaderBlock(*file, header) || !format::CheckSignature(header))
        return refuse(format::IncompatibleMessage);
    const format::Version version = format::decodeHeader(header).version;
    SharedReader archive(std::move(file));

    std::vector<RowJob> jobs = jobsOf(openArchive.rows, outcome);
    const std::size_t total = jobs.size();
    ui.setOverallRange(static_cast<int>(total) - 1);
    ui.setOverall(0);

    // The workers take the rows in turn; the run's thread hands what they
    // found to the catalog and the Ui, so every Ui call stays on it.
    std::vector<std::optional<VerifiedRow>> found(total);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::size_t> finished;  // indices into jobs, as they end
    int working = 0;

    const auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= total || stop.load()) break;
            VerifiedRow row;
            try {
                row = checkRow(jobs[i], archive, version, scope, stop);
            } catch (const std::exception&) {
                row.row = jobs[i].row;
                row.finding = VerifyFinding::Unreadable;
            }
            // Reads fail once the stop is asked for: a check cut short says
            // nothing about its row, which keeps its status.
            if (stop.load()) break;
            std::lock_guard lock(mutex);
            found[i] = std::move(row);
            finished.push_back(i);
            changed.notify_one();
        }
        std::lock_guard lock(mutex);
        --working;
        changed.notify_one();
    };
    const int threads = std::min<int>(workerThreads(options.threads),
                                      static_cast<int>(std::max<std::size_t>(total, 1)));
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex);
        working = threads;
    }
    for (int t = 0; t < threads; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            std::lock_guard lock(mutex);
            --working;  // fewer threads: the others take its rows
        }
    }
    if (workers.empty()) work();

    std::size_t done = 0;
    for (;;) {
        std::vector<std::size_t> batch;
        bool over = false;
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, PumpEvery, [&] { return !finished.empty() || working == 0; });
            batch.swap(finished);
            over = working == 0;
        }
        for (const std::size_t i : batch) {
            const VerifiedRow& row = *found[i];
            CatalogRow& catalogRow = openArchive.rows[row.row];
            if (const auto status = statusOf(row.finding, scope)) catalogRow.status = *status;
            ++done;
            ui.setLabel(ProgressLabel::File, "Fichier : " + catalogRow.name);
            ui.setLabel(ProgressLabel::Path, "Dossier : " + catalogRow.folder);
            ui.setOverall(static_cast<int>(done));
            ui.setFilePercent(100);
        }
        if (over && batch.empty()) break;
        ui.pump();
        if (!stop && ui.cancelRequested()) stop = true;
    }
    for (std::thread& worker : workers) worker.join();

    outcome.stopped = stop.load() && done < total;
    // The jobs, and so what they found, are in row order.
    for (std::optional<VerifiedRow>& row : found) {
        if (!row) continue;
        ++outcome.counts[static_cast<int>(row->finding)];
        if (row->finding != VerifyFinding::Equal) outcome.problems.push_back(std::move(*row));
    }
    archive.close();
    return outcome;
}

std::string findingText(const VerifiedRow& row) {
    switch (row.finding) {
        case VerifyFinding::Equal:
            return "identique";
        case VerifyFinding::Differs:
            return "contenu différent de la copie archivée, sans date plus récente";
        case VerifyFinding::Modified:
            return "modifié depuis l'archivage";
        case VerifyFinding::Damaged:
            return "endommagé dans l'archive : " + row.detail;
        case VerifyFinding::Missing:
            return "absent du disque";
        case VerifyFinding::Unreadable:
            return "illisible sur le disque";
        case VerifyFinding::NotStored:
            return "pas encore archivé";
    }
    return {};
}

std::string verifySummary(const VerifyOutcome& outcome, VerifyScope scope) {
    const auto n = [&outcome](VerifyFinding f) { return std::to_string(outcome.count(f)); };
    std::string text;
    if (scope == VerifyScope::ArchiveOnly) {
        text = "Test : " + n(VerifyFinding::Equal) + " intacte(s), " + n(VerifyFinding::Damaged) +
               " endommagée(s)";
    } else {
        text = "Vérification : " + n(VerifyFinding::Equal) + " identique(s), " +
               n(VerifyFinding::Differs) + " différent(s), " + n(VerifyFinding::Modified) +
               " modifié(s), " + n(VerifyFinding::Damaged) + " endommagé(s), " +
               n(VerifyFinding::Missing) + " manquant(s)";
        if (outcome.count(VerifyFinding::Unreadable) > 0)
            text += ", " + n(VerifyFinding::Unreadable) + " illisible(s)";
    }
    if (outcome.count(VerifyFinding::NotStored) > 0)
        text += ", " + n(VerifyFinding::NotStored) + " pas encore archivé(s)";
    if (outcome.stopped) text += ", arrêtée";
    return text;
}

}  // namespace kv
