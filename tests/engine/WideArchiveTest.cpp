// Archives that hold a file of 2 GiB or more are written with V2 records
// (64-bit sizes); every other archive stays V1, byte for byte as earlier
// versions of the program wrote it. Every reader reads both.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "EngineRunFixture.h"
#include "HandMadeArchive.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/HeaderUpdate.h"
#include "engine/Preview.h"
#include "engine/Restore.h"
#include "util/FileRoutines.h"

namespace kv {
namespace {

using format::Version;
using test::HandEntry;

constexpr int64_t ThreeGiB = int64_t(3) << 30;

class WideArchiveTest : public test::EngineRunFixture {
  protected:
    struct Entry {
        format::EntryRecord record;
        int64_t offset;
        std::string bytes;  // record and payload as stored
    };
    struct Walked {
        Version version;
        std::vector<Entry> entries;
    };

    // The archive's entries as its own walk reads them.
    Walked walk(const std::string& archive) const {
        const std::string all = bytesOf(archive);
        std::unique_ptr<File> file = platform().open(archive, OpenMode::Read);
        format::ArchiveWalker walker(*file);
        Walked walked{walker.version(), {}};
        while (auto record = walker.next()) {
            const std::size_t at = static_cast<std::size_t>(walker.offset());
            const std::size_t length = static_cast<std::size_t>(
                walker.payloadStart() - walker.offset() + record->compressedSize);
            walked.entries.push_back({*record, walker.offset(), all.substr(at, length)});
        }
        EXPECT_TRUE(walker.problem().empty()) << walker.problem();
        return walked;
    }

    std::vector<int64_t> handArchive(const std::string& path, const std::vector<HandEntry>& entries,
                                     Version version, const std::string& comment = "Grand") {
        return test::writeHandArchive(path, entries, comment, version);
    }

    LoadResult load() { return LoadArchive(archive, ui); }
};

// ----- Reading -----

TEST_F(WideArchiveTest, EveryReaderReadsAV2Archive) {
    const std::vector<int64_t> offsets = handArchive(
        Archive,
        {{"C:\\Docs\\", "a.txt", "alpha"}, {"C:\\Docs\\Sous\\", "b.txt", std::string(70000, 'b')}},
        Version::V2);
    ASSERT_EQ(offsets[1], format::FirstEntryOffset + format::RecordSizeV2 +
                              int64_t(walk(Archive).entries[0].record.compressedSize));

    const LoadResult loaded = load();
    ASSERT_EQ(loaded.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(archive.comment, "Grand");
    ASSERT_EQ(archive.rows.size(), 2u);
    EXPECT_EQ(archive.rows[1].size, 70000);
    EXPECT_EQ(archive.rows[1].entryOffset, offsets[1]);
    EXPECT_EQ(loaded.totalSize, 70005);

    // Restore of every entry (the walk) and of one row (direct access).
    RestoreFiles(archive, RestoreChoices{RestoreSelection::AllEntries, false, false, "C:\\Out"}, {},
                 ui);
    EXPECT_EQ(bytesOf("C:\\Out\\a.txt"), "alpha");
    EXPECT_EQ(bytesOf("C:\\Out\\b.txt"), std::string(70000, 'b'));
    const RestoreOutcome one = RestoreFiles(
        archive, RestoreChoices{RestoreSelection::SelectedRows, false, false, "C:\\Un"}, {1}, ui);
    EXPECT_EQ(one.restored, 1);
    EXPECT_EQ(bytesOf("C:\\Un\\b.txt"), std::string(70000, 'b'));

    const std::optional<PreviewCopy> preview =
        ExtractForPreview(archive, options, archive.rows[0], ui);
    ASSERT_TRUE(preview);
    EXPECT_EQ(bytesOf(preview->path()), "alpha");
    EXPECT_TRUE(ui.messages.empty());

    // The header update keeps the version: the records stay readable.
    archive.comment = "Nouveau";
    ASSERT_TRUE(WriteHeaderOnly(archive, ui));
    format::HeaderBlock header;
    const std::string bytes = bytesOf(Archive);
    std::copy_n(bytes.begin(), format::HeaderSize, header.begin());
    EXPECT_EQ(format::signatureVersion(header), Version::V2);
    EXPECT_EQ(load().outcome, LoadOutcome::Loaded);
    EXPECT_EQ(archive.comment, "Nouveau");
}

// ----- Writing: V1 unless an entry needs V2 -----

// The golden archive was written by an earlier version of the program
// (tests/data/README.md says how); an update of the same files, unchanged,
// gives it back byte for byte, the entry of the file that is gone carried
// over.
TEST_F(WideArchiveTest, ArchiveWithoutALargeEntryIsTheOneEarlierVersionsWrote) {
    std::ifstream in(std::string(KORVELT_TEST_DATA) + "/golden-v1.kvr", std::ios::binary);
    std::ostringstream golden;
    golden << in.rdbuf();
    ASSERT_FALSE(golden.str().empty());
    drives.writeFile(Archive, golden.str());
    const std::map<std::string, std::string> files = {
        {"C:\\Golden\\Docs\\lettre.txt", "Bonjour,\r\nVoici la lettre promise.\r\nA bientôt.\r\n"},
        {"C:\\Golden\\Docs\\vide.txt", ""},
        {"C:\\Golden\\Docs\\ΑΒΓ.txt", "alpha beta gamma\n"},
        {"C:\\Golden\\Docs\\Été\\données.csv", [] {
             std::string lines;
             for (int i = 1; i <= 2000; ++i) lines += std::to_string(i) + "\n";
             return lines;
         }()}};
    for (const Entry& e : walk(Archive).entries) {
        const auto file = files.find(e.record.fullPath());
        if (file == files.end()) continue;  // ancien.txt: gone since
        drives.writeFile(file->first, file->second);
        ASSERT_TRUE(platform().setLastWriteDos(file->first, e.record.fileDate));
    }
    ASSERT_EQ(load().outcome, LoadOutcome::Loaded);

    const ArchiveResult r = ArchiveFiles(archive, options, env, ui);

    EXPECT_EQ(r.stored, 4);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_TRUE(bytesOf(Archive) == golden.str());
}

TEST_F(WideArchiveTest, UpdateOfAV2ArchiveWithoutALargeEntryWritesV1) {
    addFile("C:\\Docs\\a.txt", "alpha");
    const std::vector<HandEntry> entries = {{"C:\\Docs\\", "a.txt", "ancien alpha"},
                                            {"C:\\Docs\\", "parti.txt", "plus sur le disque"}};
    handArchive(Archive, entries, Version::V2);
    handArchive("C:\\Arch\\v1.kvr", entries, Version::V1);
    archive.rows.clear();
    ASSERT_EQ(load().outcome, LoadOutcome::Loaded);

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    const Walked written = walk(Archive);
    EXPECT_EQ(written.version, Version::V1);
    ASSERT_EQ(written.entries.size(), 2u);
    // The carried-over entry is the one a V1 archive holds, byte for byte.
    EXPECT_EQ(written.entries[1].bytes, walk("C:\\Arch\\v1.kvr").entries[1].bytes);
    EXPECT_EQ(archive.rows[0].size, 5);
}

// The copy begins in V2 for a row whose size says 3 GiB; the file is small
// now, so the archive is V1 all the same, the one a row with the right size
// gives.
TEST_F(WideArchiveTest, CopyBegunInV2IsWrittenInV1WhenNoEntryNeedsIt) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", std::string(40000, 'b'));
    archive.rows[1].size = ThreeGiB;
    const Catalog rows = archive.rows;

    ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());
    const std::string fromStale = bytesOf(Archive);

    remove(Archive);
    archive.catalogSource = ArchiveStampOf(Archive);  // a new archive, as the rows say
    archive.rows = rows;
    archive.rows[1].size = 40000;
    ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());

    EXPECT_EQ(walk(Archive).version, Version::V1);
    EXPECT_TRUE(fromStale == bytesOf(Archive));
    expectNoTemporaries();
}

// A carried-over entry of 3 GiB (its payload damaged: it holds five bytes)
// arrives after a V1 entry: the copy becomes V2 there, the earlier entry with
// it, and the large one is kept as it was.
TEST_F(WideArchiveTest, LargeEntryTurnsACopyBegunInV1IntoV2) {
    addFile("C:\\Docs\\a.txt", "alpha");
    HandEntry big{"C:\\Docs\\", "gros.bin", "court"};
    big.fileSize = ThreeGiB;
    handArchive(Archive, {{"C:\\Docs\\", "a.txt", "alpha"}, big}, Version::V2);
    const std::string oldBig = walk(Archive).entries[1].bytes;
    archive.rows.clear();
    ASSERT_EQ(load().outcome, LoadOutcome::Loaded);
    archive.rows[1].size = 5;  // a row that has not heard of the size: the copy begins in V1

    const ArchiveResult r = archiveAndReload();

    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{"Le fichier < C:\\Docs\\gros.bin > est endommagé dans l'archive"});
    const Walked written = walk(Archive);
    EXPECT_EQ(written.version, Version::V2);
    ASSERT_EQ(written.entries.size(), 2u);
    EXPECT_EQ(written.entries[0].record.fullPath(), "C:\\Docs\\a.txt");
    EXPECT_EQ(written.entries[0].record.fileSize, 5);
    EXPECT_EQ(written.entries[1].bytes, oldBig);
    EXPECT_EQ(archive.rows[1].size, ThreeGiB);
    expectNoTemporaries();
}

}  // namespace
}  // namespace kv
