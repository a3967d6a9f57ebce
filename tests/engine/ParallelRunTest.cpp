// The archiving runs with workers: the archive, the catalog and everything the
// Ui is told are those of a run on one thread, whatever the files are (empty,
// large, locked, gone, read-only), and when the run is stopped at a row. An
// update that keeps what the files cache vouches for writes the archive an
// update that proves every file writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/AutoArchive.h"
#include "engine/WorkPool.h"
#include "support/Members.h"

namespace kv {
namespace {

// Everything a run left behind and showed.
struct Record {
    std::optional<std::string> archive;  // nullopt: no archive file
    std::vector<std::string> rows;       // each row's values after the run
    std::vector<std::string> calls;      // every Ui call, in order
    std::vector<std::string> counts;     // the result, then each problem
    bool operator==(const Record&) const = default;
};

class ParallelRun : public test::EngineRunFixture {
  protected:
    void SetUp() override {
        EngineRunFixture::SetUp();
        fault.install();
        addFile("C:\\Docs\\a.txt", "alpha");
        addFile("C:\\Docs\\vide.txt", "");
        addFile("C:\\Docs\\gros.txt", test::slowText(3 << 20, 7));
        addFile("C:\\Docs\\lecture.txt", "seule");
        ASSERT_TRUE(platform().setAttributes(
            "C:\\Docs\\lecture.txt",
            platform().attributes("C:\\Docs\\lecture.txt") | attr::ReadOnly));
        addFile("C:\\Docs\\verrou.txt", "tenu par un autre programme");
        fault.holdExclusively("C:\\Docs\\verrou.txt");
        addFile("C:\\Docs\\parti.txt", "effacé avant le passage");
        for (int i = 0; i < 24; ++i) {
            const std::string name = "C:\\Docs\\Sous\\f" + std::to_string(10 + i) + ".txt";
            addFile(name, test::slowText(1000 + 9000 * (i % 5), 100 + i));
        }
        remove("C:\\Docs\\parti.txt");
    }

    // The state every run of a comparison starts from: the archive file
    // itself (a second name kept to it, so that it comes back with its
    // stamp), the files cache and the catalog.
    void keepState() {
        archiveBefore = exists(Archive) ? std::optional(bytesOf(Archive)) : std::nullopt;
        if (archiveBefore) {
            stampBefore = ArchiveStampOf(Archive);
            drives.makeFolder("C:\\Keep");
            std::filesystem::create_hard_link(drives.hostPath(Archive), kept());
        }
        if (cacheHome && exists(cachePath())) cacheBefore = bytesOf(cachePath());
        rowsBefore = archive.rows;
    }
    std::string kept() const { return drives.root('C') + "/Keep/backup.kvr"; }

    // Runs from the kept state with so many threads.
    Record runWith(int threads, bool automatic = false) {
        // Each run starts from the same archive, read by the same catalog.
        if (archiveBefore) {
            const std::string host = drives.hostPath(Archive);
            std::filesystem::remove(host);
            std::filesystem::create_hard_link(kept(), host);
            EXPECT_EQ(ArchiveStampOf(Archive), stampBefore);
            archive.catalogSource = stampBefore;
            if (cacheBefore) drives.writeFile(cachePath(), *cacheBefore);
        } else {
            if (exists(Archive)) remove(Archive);
            archive.catalogSource = ArchiveStampOf(Archive);
        }
        archive.rows = rowsBefore;
        options.threads = threads;
        ui = test::RecordingUi();
        if (stopAt) {
            ui.onPump = [this] {
                if (ui.lastLabel(ProgressLabel::File) == "Fichier : " + *stopAt) ui.cancel = true;
            };
        }
        const ArchiveResult r =
            automatic ? AutoArchiveFiles(archive, options, env, ui) : archiveAndReload();

        Record rec;
        if (exists(Archive)) rec.archive = bytesOf(Archive);
        auto number = [](std::optional<int64_t> value) {
            return value ? std::to_string(*value) : std::string();
        };
        for (const CatalogRow& row : archive.rows)
            rec.rows.push_back(row.fullPath() + "|" + std::to_string(row.size) + "|" +
                               number(row.compressedSize) + "|" + number(row.entryOffset) + "|" +
                               std::to_string(row.fileDate) + "|" + row.typeName + "|" +
                               std::to_string(row.status));
        rec.calls = ui.calls;
        rec.counts = {std::to_string(r.stored),      std::to_string(r.reused),
                      std::to_string(r.carriedOver), std::to_string(r.leftOut),
                      std::to_string(r.failures),    std::to_string(r.replaced),
                      std::to_string(r.stopped)};
        for (const RowProblem& p : r.problems) rec.counts.push_back(p.path + ": " + p.reason);
        expectNoTemporaries();
        return rec;
    }

    // Makes the archive, then changes what an update meets: a changed file, a
    // new one, one whose stored member no longer matches its trailer, one
    // gone, one locked that has a stored entry and one that has none.
    void archiveAndChange() {
        options.threads = 1;
        options.verifyUnchanged = false;
        ASSERT_EQ(archiveAndReload().failures, 1);  // the locked file
        ASSERT_EQ(archive.rows.size(), 28u);
        drives.writeFile("C:\\Docs\\a.txt", "alpha, deuxième version");
        addFile("C:\\Docs\\nouveau.txt", test::slowText(50000, 3));
        archive.rows.push_back(newRow("C:\\Docs\\verrou.txt"));
        // f12.txt's member is damaged as a disk damages it: in place, with
        // the archive's size and last write as they were.
        std::string bytes = bytesOf(Archive);
        const std::size_t f12 = static_cast<std::size_t>(*rowOf("f12.txt").entryOffset);
        format::RecordBlock block;
        std::copy_n(bytes.begin() + long(f12), format::RecordSize, block.begin());
        const std::size_t end =
            f12 + format::RecordSize + format::decodeRecord(block).compressedSize;
        bytes[end - 7] ^= 0x11;  // its CRC-32
        const std::string host = drives.hostPath(Archive);
        const auto written = std::filesystem::last_write_time(host);
        drives.writeFile(Archive, bytes);
        std::filesystem::last_write_time(host, written);
        ASSERT_EQ(ArchiveStampOf(Archive), archive.catalogSource);
        remove("C:\\Docs\\Sous\\f15.txt");
        fault.holdExclusively("C:\\Docs\\Sous\\f11.txt");
    }

    const CatalogRow& rowOf(const std::string& name) const {
        for (const CatalogRow& row : archive.rows)
            if (row.name == name) return row;
        throw std::runtime_error("no row " + name);
    }

    // The calls less the progress of the files' own members (each percentage
    // and the pump that follows it).
    static std::vector<std::string> withoutFileProgress(const std::vector<std::string>& calls) {
        std::vector<std::string> kept;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].starts_with("percent ")) {
                ++i;  // its pump
                continue;
            }
            kept.push_back(calls[i]);
        }
        return kept;
    }

    test::FaultPlatform fault;
    std::optional<std::string> archiveBefore;
    std::optional<std::string> cacheBefore;
    ArchiveStamp stampBefore;
    Catalog rowsBefore;
    std::optional<std::string> stopAt;
};

TEST_F(ParallelRun, NewArchiveIsTheOneOneThreadWrites) {
    keepState();
    const Record one = runWith(1);
    const Record two = runWith(2);
    EXPECT_EQ(one, two);
    ASSERT_TRUE(one.archive);
    EXPECT_EQ(entriesOf(Archive).size(), 28u);  // all but the locked and the vanished
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible d'archiver le fichier < verrou.txt >\r"
                                       "fichier utilisé par un autre programme"});
    EXPECT_EQ(platform().attributes("C:\\Docs\\lecture.txt") & attr::ReadOnly, attr::ReadOnly);
    EXPECT_EQ(runWith(4), one);
}

TEST_F(ParallelRun, UpdateIsTheOneOneThreadWrites) {
    archiveAndChange();
    keepState();
    const Record one = runWith(1);
    const Record two = runWith(2);
    EXPECT_EQ(one, two);
    // Compressed: a.txt, nouveau.txt and f12.txt, whose stored member is
    // damaged; reused: the 24 others that exist and can be read; carried
    // over: f15.txt, gone, and f11.txt, locked; left out: verrou.txt.
    EXPECT_EQ(one.counts, (std::vector<std::string>{
                              "27", "24", "2", "1", "2", "1", "0",
                              "C:\\Docs\\Sous\\f11.txt: fichier utilisé par un autre programme, "
                              "non archivé ; sa copie précédente reste dans l'archive",
                              "C:\\Docs\\verrou.txt: fichier utilisé par un autre programme, "
                              "non archivé ; il ne figure pas dans l'archive"}));
}

TEST_F(ParallelRun, StopAtARowShowsTheSameAndLeavesTheArchive) {
    archiveAndChange();
    keepState();
    stopAt = "f20.txt";
    const Record one = runWith(1);
    const Record two = runWith(2);
    EXPECT_EQ(one, two);
    EXPECT_EQ(one.archive, archiveBefore);
    EXPECT_EQ(one.counts[6], "1");  // stopped
}

TEST_F(ParallelRun, UpdateThatKeepsWhatTheCacheVouchesForIsTheProvedOne) {
    useFilesCache();
    archiveAndChange();
    keepState();
    const Record one = runWith(1);
    EXPECT_EQ(runWith(2), one);
    options.verifyUnchanged = true;
    const Record proved = runWith(1);
    EXPECT_EQ(runWith(2), proved);

    EXPECT_EQ(one.archive, proved.archive);
    EXPECT_EQ(one.rows, proved.rows);
    EXPECT_EQ(one.counts, proved.counts);
    EXPECT_EQ(withoutFileProgress(one.calls), withoutFileProgress(proved.calls));
    // The proofs the cache spared: what is left is the progress of the three
    // files compressed (a.txt, nouveau.txt, f12.txt whose member is damaged)
    // and of f11.txt, locked since the cache was written.
    EXPECT_LT(one.calls.size(), proved.calls.size());
    EXPECT_GT(withoutFileProgress(one.calls).size(), one.calls.size() / 2);
}

TEST_F(ParallelRun, AutomaticRunIsTheOneOneThreadWrites) {
    archiveAndChange();
    keepState();
    const Record one = runWith(1, true);
    EXPECT_EQ(one, runWith(2, true));
    EXPECT_TRUE(one.calls.empty());
}

struct ThreadsCase {
    const char* name;
    int requested;
    const char* environment;  // nullptr: unset
    int expected;             // 0: the number of cores
};

class ArchiveThreads : public testing::TestWithParam<ThreadsCase> {};

TEST_P(ArchiveThreads, RequestThenEnvironmentThenCores) {
    const char* saved = std::getenv("KORVELT_THREADS");
    const std::optional<std::string> keep =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    if (GetParam().environment)
        setenv("KORVELT_THREADS", GetParam().environment, 1);
    else
        unsetenv("KORVELT_THREADS");
    const int cores = std::clamp(int(std::thread::hardware_concurrency()), 1, 64);
    EXPECT_EQ(workerThreads(GetParam().requested),
              GetParam().expected ? GetParam().expected : cores);
    if (keep)
        setenv("KORVELT_THREADS", keep->c_str(), 1);
    else
        unsetenv("KORVELT_THREADS");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArchiveThreads,
    testing::Values(ThreadsCase{"Requested", 3, "7", 3}, ThreadsCase{"Environment", 0, "5", 5},
                    ThreadsCase{"Unset", 0, nullptr, 0}, ThreadsCase{"NotANumber", 0, "deux", 0},
                    ThreadsCase{"Zero", 0, "0", 0}, ThreadsCase{"Trailing", 0, "2x", 0},
                    ThreadsCase{"Capped", 500, nullptr, 64}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv
