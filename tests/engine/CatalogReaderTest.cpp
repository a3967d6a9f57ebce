#include <gtest/gtest.h>

#include <filesystem>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"

namespace kv {
namespace {

// 14/03/2024 09:20:10 in MS-DOS form, and a day later.
constexpr int32_t March14 = (44 << 25) | (3 << 21) | (14 << 16) | (9 << 11) | (20 << 5) | 5;
constexpr int32_t March15 = March14 + (1 << 16);
constexpr int32_t March13 = March14 - (1 << 16);

class CatalogReaderTest : public test::EngineRunFixture {
  protected:
    // Stores the files as a new archive (dated March14) and forgets the rows.
    void archiveFiles(const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [path, content] : files) {
            addFile(path, content);
            platform().setLastWriteDos(path, March14);
        }
        ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());
        archive.rows.clear();
        ui = test::RecordingUi();
    }

    // An archive of raw bytes: the header, then each entry's record and payload.
    void writeRaw(const std::vector<format::EntryRecord>& records, std::size_t payloadSize = 20) {
        const auto header = format::encodeHeader(format::Header{0, "brut"});
        std::string bytes(header.begin(), header.end());
        for (format::EntryRecord record : records) {
            record.compressedSize = static_cast<int32_t>(payloadSize);
            const auto block = format::encodeRecord(record);
            bytes.append(block.begin(), block.end());
            bytes.append(payloadSize, 'p');
        }
        drives.writeFile(Archive, bytes);
    }

    static format::EntryRecord record(const std::string& name, int32_t size,
                                      int32_t date = March14) {
        format::EntryRecord r;
        r.fileName = name;
        r.folder = "C:\\Docs\\";
        r.fileDate = date;
        r.typeName = "Document";
        r.fileSize = size;
        return r;
    }

    std::vector<std::string> captions() const {
        std::vector<std::string> names;
        for (const CatalogRow& row : archive.rows) names.push_back(row.name);
        return names;
    }
};

TEST_F(CatalogReaderTest, RowsCarryTheStoredValuesAndTheirStatusAgainstTheDisk) {
    archiveFiles({{"C:\\Docs\\a-pareil.txt", "aaaa"},
                  {"C:\\Docs\\b-touche.txt", "bb"},
                  {"C:\\Docs\\c-efface.txt", "c"},
                  {"C:\\Docs\\d-ancien.txt", "dddddd"}});
    platform().setLastWriteDos("C:\\Docs\\b-touche.txt", March15);
    remove("C:\\Docs\\c-efface.txt");
    platform().setLastWriteDos("C:\\Docs\\d-ancien.txt", March13);
    archive.listChanged = true;

    const LoadResult r = LoadArchive(archive, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(r.modifiedSeen);
    EXPECT_EQ(r.totalSize, 13);
    EXPECT_FALSE(archive.listChanged);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(archive.rows.size(), 4u);
    std::vector<int> icons;
    for (const CatalogRow& row : archive.rows) icons.push_back(row.status);
    EXPECT_EQ(icons, (std::vector<int>{Unchanged, Modified, Missing, Unchanged}));

    const CatalogRow& a = archive.rows[0];
    EXPECT_EQ(a.name, "a-pareil.txt");
    EXPECT_EQ(a.folder, "C:\\Docs\\");
    EXPECT_EQ(a.size, 4);
    EXPECT_EQ(a.compressedSize, entriesOf(Archive)[0].record.compressedSize);
    EXPECT_EQ(a.fileDate, March14);
    EXPECT_EQ(a.typeName, "Document texte");
    EXPECT_EQ(a.entryOffset, format::FirstEntryOffset);
    EXPECT_EQ(archive.rows[1].entryOffset,
              format::FirstEntryOffset + format::RecordSize + *a.compressedSize);
}

TEST_F(CatalogReaderTest, DeletedFileAloneRaisesNoModifiedFlag) {
    archiveFiles({{"C:\\Docs\\a.txt", "a"}});
    remove("C:\\Docs\\a.txt");
    const LoadResult r = LoadArchive(archive, ui);
    EXPECT_FALSE(r.modifiedSeen);
    EXPECT_EQ(archive.rows.at(0).status, Missing);
}

TEST_F(CatalogReaderTest, FolderAtTheStoredPathIsMissing) {
    archiveFiles({{"C:\\Docs\\a.txt", "a"}});
    remove("C:\\Docs\\a.txt");
    drives.makeFolder("C:\\Docs\\a.txt");
    LoadArchive(archive, ui);
    EXPECT_EQ(archive.rows.at(0).status, Missing);
}

// A catalog of many blocks over a few folders: each row's status against
// the disk, in file order, whichever route the disk is asked by (the file
// in its folder, a name spelled in another case, a link, a folder gone).
TEST_F(CatalogReaderTest, StatusesOfManyRowsOverSeveralFoldersComeInFileOrder) {
    const std::vector<std::string> folders = {"C:\\Docs\\", "C:\\Docs\\Sous\\", "C:\\Autre\\",
                                              "C:\\Parti\\"};
    std::vector<format::EntryRecord> records;
    std::vector<int> expected;
    for (int i = 0; i < 1200; ++i) {
        format::EntryRecord r = record("f" + std::to_string(i) + ".txt", 1);
        r.folder = folders[static_cast<std::size_t>(i) / 300];
        records.push_back(r);
        const std::string path = r.folder + r.fileName;
        int status = Unchanged;
        if (r.folder == "C:\\Parti\\") {
            status = Missing;  // the whole folder is gone
        } else if (i % 97 == 5) {
            status = Missing;
        } else {
            drives.writeFile(path, "x");
            const bool later = i % 89 == 7;
            platform().setLastWriteDos(path, later ? March15 : March13);
            if (later) status = Modified;
        }
        expected.push_back(status);
    }
    // f1.txt on disk as F1.TXT, dated later; f2.txt a link to an older file;
    // f3.txt a link to nothing (what the full path's status says of it);
    // f4.txt a folder.
    const std::string docs = drives.hostPath("C:\\Docs\\");
    std::filesystem::rename(docs + "/f1.txt", docs + "/F1.TXT");
    platform().setLastWriteDos("C:\\Docs\\F1.TXT", March15);
    expected[1] = Modified;
    std::filesystem::remove(docs + "/f2.txt");
    drives.writeFile("C:\\Docs\\cible.dat", "y");
    platform().setLastWriteDos("C:\\Docs\\cible.dat", March13);
    std::filesystem::create_symlink("cible.dat", docs + "/f2.txt");
    expected[2] = Unchanged;
    std::filesystem::remove(docs + "/f3.txt");
    std::filesystem::create_symlink("nulle-part", docs + "/f3.txt");
    expected[3] = entryStatus("C:\\Docs\\f3.txt", March14);
    std::filesystem::remove(docs + "/f4.txt");
    drives.makeFolder("C:\\Docs\\f4.txt");
    expected[4] = Missing;
    writeRaw(records);
    archive.sortKey = 0;

    const LoadResult r = LoadArchive(archive, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(r.modifiedSeen);
    EXPECT_EQ(r.totalSize, 1200);
    ASSERT_EQ(archive.rows.size(), records.size());
    std::vector<int> statuses;
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(archive.rows[i].fullPath(), records[i].folder + records[i].fileName);
        statuses.push_back(archive.rows[i].status);
    }
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(ui.pumps, 1200 / 64);
}

TEST_F(CatalogReaderTest, TotalAddsTheStoredSizes) {
    writeRaw({record("a", 1500), record("b", 2500)});
    EXPECT_EQ(LoadArchive(archive, ui).totalSize, 4000);
}

TEST_F(CatalogReaderTest, DateThatIsNoDateIsKeptAndTheLoadGoesOn) {
    writeRaw({record("zero", 1, 0), record("bonne", 1)});
    EXPECT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    ASSERT_EQ(archive.rows.size(), 2u);
    EXPECT_EQ(archive.rows[1].name, "zero");
    EXPECT_EQ(archive.rows[1].fileDate, 0);
    EXPECT_EQ(archive.rows[0].fileDate, March14);
}

TEST_F(CatalogReaderTest, EmptyArchiveGivesNoRowsAndItsComment) {
    const auto header = format::encodeHeader(format::Header{0, "Vide"});
    drives.writeFile(Archive, std::string(header.begin(), header.end()));
    archive.rows.push_back(newRow("C:\\Docs\\x.txt"));
    const LoadResult r = LoadArchive(archive, ui);
    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(archive.rows.empty());
    EXPECT_EQ(archive.comment, "Vide");
    EXPECT_EQ(r.totalSize, 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CatalogReaderTest, NoFileChangesNothing) {
    archive.rows.push_back(newRow("C:\\Docs\\x.txt"));
    archive.comment = "garde";
    archive.listChanged = true;
    EXPECT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::NoFile);
    EXPECT_EQ(archive.rows.size(), 1u);
    EXPECT_EQ(archive.comment, "garde");
    EXPECT_TRUE(archive.listChanged);
}

struct BadHeader {
    const char* name;
    std::string bytes;
};

class IncompatibleFile : public CatalogReaderTest, public testing::WithParamInterface<BadHeader> {};

TEST_P(IncompatibleFile, ShowsTheErrorAndEmptiesTheCatalog) {
    drives.writeFile(Archive, GetParam().bytes);
    archive.rows.push_back(newRow("C:\\Docs\\x.txt"));
    archive.comment = "ancien";
    archive.listChanged = true;

    EXPECT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Incompatible);

    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(archive.rows.empty());
    EXPECT_EQ(archive.comment, "");
    EXPECT_FALSE(archive.listChanged);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IncompatibleFile,
    testing::Values(BadHeader{"OtherVersion", "\x11[File Korvelt V3]" + std::string(84, '\0')},
                    BadHeader{"ShorterThanTheSignature", "\x11[File Korv"}, BadHeader{"Empty", ""},
                    BadHeader{"TextFile", "Bonjour, ceci n'est pas une archive.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CatalogReaderTest, ArchiveCutInsideARecordKeepsTheRowsBefore) {
    writeRaw({record("a", 1), record("b", 1), record("c", 1)});
    std::string bytes = bytesOf(Archive);
    bytes.resize(format::HeaderSize + 2 * (format::RecordSize + 20) + 100);
    drives.writeFile(Archive, bytes);

    const LoadResult r = LoadArchive(archive, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(captions(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(archive.listChanged);
}

TEST_F(CatalogReaderTest, ArchiveCutInsideThePayloadStillListsTheEntryAndSaysSo) {
    writeRaw({record("a", 1), record("b", 1)});
    std::string bytes = bytesOf(Archive);
    bytes.resize(bytes.size() - 5);
    drives.writeFile(Archive, bytes);
    const LoadResult r = LoadArchive(archive, ui);
    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_NE(r.error.find("est endommagée"), std::string::npos) << r.error;
    EXPECT_EQ(captions(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(CatalogReaderTest, ReadErrorKeepsTheRowsReadSoFar) {
    writeRaw({record("a", 1), record("b", 1), record("c", 1)}, 300000);
    test::FaultPlatform fault;
    fault.install();
    fault.failReadAfter(Archive, format::HeaderSize + format::RecordSize + 300000 + 10);

    const LoadResult r = LoadArchive(archive, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_EQ(captions(), std::vector<std::string>{"a"});
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CatalogReaderTest, LoadSortsOnceByTheSortKey) {
    writeRaw({record("b.txt", 1), record("A.txt", 1), record("a.txt", 1), record("B.txt", 1)});
    archive.sortKey = 1;
    LoadArchive(archive, ui);
    EXPECT_EQ(captions(), (std::vector<std::string>{"A.txt", "a.txt", "b.txt", "B.txt"}));
}

struct SortCase {
    const char* name;
    int sortKey;
    std::vector<std::string> order;  // captions after the sort
};

class SortRows : public testing::TestWithParam<SortCase> {};

TEST_P(SortRows, ComparesOneKeyCaseInsensitivelyAndKeepsTies) {
    auto row = [](std::string name, std::string folder) {
        CatalogRow r;
        r.name = std::move(name);
        r.folder = std::move(folder);
        return r;
    };
    Catalog rows{row("zèbre", "C:\\b\\"), row("Élan", "C:\\A\\"), row("ÉLAN", "C:\\a\\"),
                 row("abc", "C:\\B\\"), row("élan", "C:\\c\\")};
    sortCatalog(rows, GetParam().sortKey);
    std::vector<std::string> order;
    for (const CatalogRow& r : rows) order.push_back(r.name);
    EXPECT_EQ(order, GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SortRows,
    testing::Values(SortCase{"ByName", 1, {"abc", "zèbre", "Élan", "ÉLAN", "élan"}},
                    SortCase{"ByFolder", 2, {"Élan", "ÉLAN", "zèbre", "abc", "élan"}},
                    SortCase{"OtherKeyKeepsTheOrder", 0, {"zèbre", "Élan", "ÉLAN", "abc", "élan"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv
