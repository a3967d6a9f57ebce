// The files cache: an update keeps the member of a file the cache vouches for
// without reading the file, and proves (or compresses) every file in doubt.
// Whether a file was read shows through reads that fail: a file read is one
// the run cannot store ("Impossible d'archiver ..."), a file vouched for is
// stored all the same.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "support/Members.h"
#include "support/MemoryFile.h"

namespace kv {
namespace {

constexpr const char* A = "C:\\Docs\\a.txt";

class FilesCacheRun : public test::EngineRunFixture {
  public:
    void SetUp() override {
        EngineRunFixture::SetUp();
        fault.install();
        useFilesCache();
        archiveThreeDocs();
    }

    // a.txt's entry (the first: the rows are sorted by name).
    RawEntry entryA() const { return entriesOf(Archive).at(0); }

    // The data a.txt's entry holds.
    std::string storedA() { return test::dataOf(entryA().bytes.substr(format::RecordSize)); }

    // a.txt gets other bytes of the same length, then its stored date back.
    void otherBytesSameSizeAndDate(bool byRename) {
        std::string changed = bytesOf(A);
        changed[changed.size() / 2] = '#';
        if (byRename) {
            // As an editor saves: a new file renamed over the old one.
            drives.writeFile("C:\\Docs\\a.txt.new", changed);
            ASSERT_TRUE(platform().renameFile("C:\\Docs\\a.txt.new", A));
        } else {
            drives.writeFile(A, changed);
        }
        ASSERT_TRUE(platform().setLastWriteDos(A, entryA().record.fileDate));
        ASSERT_EQ(bytesOf(A), changed);
    }

    // The archive is now the same bytes in another folder (a rename keeps
    // its stamp), with the cache of the old path copied to the new one's.
    void cacheOfAnotherArchive() {
        drives.makeFolder("C:\\Autre");
        const std::string other = "C:\\Autre\\backup.kvr";
        ASSERT_TRUE(platform().renameFile(Archive, other));
        archive.path = other;
        ASSERT_EQ(*archive.catalogSource, ArchiveStampOf(other));
        drives.writeFile(FilesCache::pathFor(other), bytesOf(cachePath()));
    }

    void changeCache(const std::function<void(std::string&)>& change) {
        std::string bytes = bytesOf(cachePath());
        change(bytes);
        drives.writeFile(cachePath(), bytes);
    }

    // Another program writes the archive again, the same bytes.
    void rewriteArchiveAsIs() { rewriteArchive(bytesOf(Archive)); }
    void verifyUnchanged() { options.verifyUnchanged = true; }
    void recompressAll() { options.recompressAll = true; }

  protected:
    test::FaultPlatform fault;
};

struct Doubt {
    const char* name;
    std::function<void(FilesCacheRun&)> change;
    bool vouched;  // a.txt is stored without being read
};

class CacheDoubt : public FilesCacheRun, public testing::WithParamInterface<Doubt> {};

TEST_P(CacheDoubt, ReadsTheFileUnlessTheCacheVouchesForIt) {
    GetParam().change(*this);
    fault.failReadAfter(A, 0);

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.replaced);
    EXPECT_EQ(r.stored, GetParam().vouched ? 3 : 2);
    EXPECT_EQ(r.failures, GetParam().vouched ? 0 : 1);
    EXPECT_EQ(ui.messageTexts().empty(), GetParam().vouched);
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CacheDoubt,
    testing::Values(
        Doubt{"Unchanged", [](FilesCacheRun&) {}, true},
        Doubt{"ArchiveRewrittenByAnotherProgram", [](FilesCacheRun& t) { t.rewriteArchiveAsIs(); },
              false},
        Doubt{"DamagedCacheFile",
              [](FilesCacheRun& t) { t.changeCache([](std::string& b) { b[b.size() / 2] ^= 1; }); },
              false},
        Doubt{
            "CacheFileCutShort",
            [](FilesCacheRun& t) { t.changeCache([](std::string& b) { b.resize(b.size() - 9); }); },
            false},
        Doubt{"ForeignCacheFile",
              [](FilesCacheRun& t) { t.changeCache([](std::string& b) { b = "[cache]\nx=1\n"; }); },
              false},
        Doubt{"CacheOfAnotherArchive", [](FilesCacheRun& t) { t.cacheOfAnotherArchive(); }, false},
        Doubt{"VerifyUnchanged", [](FilesCacheRun& t) { t.verifyUnchanged(); }, false},
        Doubt{"RecompressAll", [](FilesCacheRun& t) { t.recompressAll(); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct Change {
    const char* name;
    bool byRename;
};

class CacheChange : public FilesCacheRun, public testing::WithParamInterface<Change> {};

TEST_P(CacheChange, NewBytesUnderTheStoredSizeAndDateAreStored) {
    otherBytesSameSizeAndDate(GetParam().byRename);

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.reused, 2);
    EXPECT_TRUE(storedA() == bytesOf(A));
}

INSTANTIATE_TEST_SUITE_P(Cases, CacheChange,
                         testing::Values(Change{"StatusChangeMoves", false},
                                         Change{"SavedByRename", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesCacheRun, FileWrittenJustBeforeTheRunIsReadNextTime) {
    // The run starts now: a.txt was written in the same second, when a
    // second write could leave its times as they were.
    drives.writeFile(A, "nouveau contenu");
    env.clockNs = wallClockNs;
    ASSERT_TRUE(archiveAndReload().clean());
    fault.failReadAfter(A, 0);
    env.clockNs = [] { return wallClockNs() + int64_t(10) * 1000000000; };

    const ArchiveResult r = archiveAndReload();

    EXPECT_EQ(r.failures, 1);
    EXPECT_EQ(r.stored, 2);
}

TEST_F(FilesCacheRun, ArchiveAsTheCacheSawItIsTheProvedOneByteForByte) {
    drives.writeFile("C:\\Docs\\b.txt", "beta, changé");
    archiveAndReload();
    const std::string vouched = bytesOf(Archive);
    options.verifyUnchanged = true;
    archiveAndReload();
    EXPECT_TRUE(bytesOf(Archive) == vouched);
    EXPECT_TRUE(storedA() == bytesOf(A));
}

TEST_F(FilesCacheRun, MemberVouchedForGetsTheRecordTheRowNowGives) {
    // Every row's type text changes: the small members the cache vouches for
    // (b.txt, c.txt) keep their bytes under a record written afresh.
    for (CatalogRow& row : archive.rows) row.typeName = "Autre type";
    fault.failReadAfter("C:\\Docs\\c.txt", 0);

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.reused, 3);
    const std::vector<RawEntry> entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 3u);
    for (const RawEntry& entry : entries) EXPECT_EQ(entry.record.typeName, "Autre type");
    EXPECT_EQ(test::dataOf(entries[2].bytes.substr(format::RecordSize)), std::string(4000, 'c'));
}

// The folder's letter case changes on the disk, which leaves its files as
// they were: the members the cache vouches for, on the run's thread or on a
// worker, are stored under the folder as the disk now spells it.
class VouchedSpelling : public FilesCacheRun, public testing::WithParamInterface<int> {};

TEST_P(VouchedSpelling, FolderOfAFileVouchedForIsSpelledAsOnTheDisk) {
    const std::filesystem::path docs = drives.hostPath("C:\\Docs");
    std::filesystem::rename(docs, docs.parent_path() / "DOCS");
    fault.failReadAfter("C:\\Docs\\", 0);
    options.threads = GetParam();

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.reused, 3);
    const std::vector<RawEntry> entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 3u);
    for (const RawEntry& entry : entries) EXPECT_EQ(entry.record.folder, "C:\\DOCS\\");
}

INSTANTIATE_TEST_SUITE_P(Threads, VouchedSpelling, testing::Values(1, 2));

TEST_F(FilesCacheRun, RunThatStopsLeavesTheCacheOfTheArchiveAsItIs) {
    const std::string cache = bytesOf(cachePath());
    ui.cancel = true;
    EXPECT_TRUE(archiveAndReload().stopped);
    EXPECT_EQ(bytesOf(cachePath()), cache);
    ui = test::RecordingUi();
    fault.failReadAfter(A, 0);
    EXPECT_TRUE(archiveAndReload().clean());
}

}  // namespace
}  // namespace kv
