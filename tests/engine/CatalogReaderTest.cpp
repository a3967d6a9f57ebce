#include <gtest/gtest.h>

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
        ASSERT_TRUE(ArchiveFiles(session, ui, [] {}).clean());
        session.rows.clear();
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
        for (const CatalogRow& row : session.rows) names.push_back(row.caption);
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
    session.listChanged = true;
    session.separators.date = ".";
    session.separators.time = "h";

    const LoadResult r = LoadArchive(session, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(r.modifiedSeen);
    EXPECT_EQ(r.totalSize, 13);
    EXPECT_FALSE(session.listChanged);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(session.rows.size(), 4u);
    std::vector<int> icons;
    for (const CatalogRow& row : session.rows) icons.push_back(row.icon);
    EXPECT_EQ(icons, (std::vector<int>{Unchanged, Modified, Missing, Unchanged}));

    const CatalogRow& a = session.rows[0];
    EXPECT_EQ(a.caption, "a-pareil.txt");
    EXPECT_EQ(a.sub[0], "C:\\Docs\\");
    EXPECT_EQ(a.sub[1], "4");
    EXPECT_EQ(a.sub[2], std::to_string(entriesOf(Archive)[0].record.compressedSize));
    EXPECT_EQ(a.sub[3], "14.03.2024 09h20");
    EXPECT_EQ(a.sub[4], "Document texte");
    EXPECT_EQ(a.sub[5], "102");
    EXPECT_EQ(session.rows[1].sub[5], std::to_string(102 + 416 + std::stoi(a.sub[2])));
}

TEST_F(CatalogReaderTest, DeletedFileAloneRaisesNoModifiedFlag) {
    archiveFiles({{"C:\\Docs\\a.txt", "a"}});
    remove("C:\\Docs\\a.txt");
    const LoadResult r = LoadArchive(session, ui);
    EXPECT_FALSE(r.modifiedSeen);
    EXPECT_EQ(session.rows.at(0).icon, Missing);
}

TEST_F(CatalogReaderTest, FolderAtTheStoredPathIsMissing) {
    archiveFiles({{"C:\\Docs\\a.txt", "a"}});
    remove("C:\\Docs\\a.txt");
    drives.makeFolder("C:\\Docs\\a.txt");
    LoadArchive(session, ui);
    EXPECT_EQ(session.rows.at(0).icon, Missing);
}

TEST_F(CatalogReaderTest, TotalAddsTheStoredSizes) {
    writeRaw({record("a", 1500), record("b", 2500)});
    EXPECT_EQ(LoadArchive(session, ui).totalSize, 4000);
}

TEST_F(CatalogReaderTest, DateThatIsNoDateGivesAnEmptyText) {
    writeRaw({record("zero", 1, 0), record("bonne", 1)});
    LoadArchive(session, ui);
    ASSERT_EQ(session.rows.size(), 2u);
    EXPECT_EQ(session.rows[1].caption, "zero");
    EXPECT_EQ(session.rows[1].sub[3], "");
    EXPECT_EQ(session.rows[0].sub[3], "14/03/2024 09:20");
}

TEST_F(CatalogReaderTest, EmptyArchiveGivesNoRowsAndItsComment) {
    const auto header = format::encodeHeader(format::Header{0, "Vide"});
    drives.writeFile(Archive, std::string(header.begin(), header.end()));
    session.rows.push_back(newRow("C:\\Docs\\x.txt"));
    const LoadResult r = LoadArchive(session, ui);
    EXPECT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(session.rows.empty());
    EXPECT_EQ(session.comment, "Vide");
    EXPECT_EQ(r.totalSize, 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CatalogReaderTest, NoFileChangesNothing) {
    session.rows.push_back(newRow("C:\\Docs\\x.txt"));
    session.comment = "garde";
    session.listChanged = true;
    EXPECT_EQ(LoadArchive(session, ui).outcome, LoadOutcome::NoFile);
    EXPECT_EQ(session.rows.size(), 1u);
    EXPECT_EQ(session.comment, "garde");
    EXPECT_TRUE(session.listChanged);
}

struct BadHeader {
    const char* name;
    std::string bytes;
};

class IncompatibleFile : public CatalogReaderTest, public testing::WithParamInterface<BadHeader> {};

TEST_P(IncompatibleFile, ShowsTheErrorAndEmptiesTheCatalog) {
    drives.writeFile(Archive, GetParam().bytes);
    session.rows.push_back(newRow("C:\\Docs\\x.txt"));
    session.comment = "ancien";
    session.listChanged = true;

    EXPECT_EQ(LoadArchive(session, ui).outcome, LoadOutcome::Incompatible);

    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(session.rows.empty());
    EXPECT_EQ(session.comment, "");
    EXPECT_FALSE(session.listChanged);
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
    bytes.resize(102 + 2 * (416 + 20) + 100);
    drives.writeFile(Archive, bytes);

    const LoadResult r = LoadArchive(session, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(captions(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(session.listChanged);
}

TEST_F(CatalogReaderTest, ArchiveCutInsideThePayloadStillListsTheEntryAndSaysSo) {
    writeRaw({record("a", 1), record("b", 1)});
    std::string bytes = bytesOf(Archive);
    bytes.resize(bytes.size() - 5);
    drives.writeFile(Archive, bytes);
    const LoadResult r = LoadArchive(session, ui);
    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_NE(r.error.find("est endommagée"), std::string::npos) << r.error;
    EXPECT_EQ(captions(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(CatalogReaderTest, ReadErrorKeepsTheRowsReadSoFar) {
    writeRaw({record("a", 1), record("b", 1), record("c", 1)}, 300000);
    test::FaultPlatform fault;
    fault.install();
    fault.failReadAfter(Archive, 102 + 416 + 300000 + 10);

    const LoadResult r = LoadArchive(session, ui);

    EXPECT_EQ(r.outcome, LoadOutcome::ReadError);
    EXPECT_EQ(captions(), std::vector<std::string>{"a"});
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CatalogReaderTest, LoadSortsOnceByTheSortKey) {
    writeRaw({record("b.txt", 1), record("A.txt", 1), record("a.txt", 1), record("B.txt", 1)});
    session.sortKey = 1;
    LoadArchive(session, ui);
    EXPECT_EQ(captions(), (std::vector<std::string>{"A.txt", "a.txt", "b.txt", "B.txt"}));
}

struct SortCase {
    const char* name;
    int sortKey;
    std::vector<std::string> order;  // captions after the sort
};

class SortRows : public testing::TestWithParam<SortCase> {};

TEST_P(SortRows, ComparesOneKeyCaseInsensitivelyAndKeepsTies) {
    auto row = [](std::string caption, std::string folder) {
        CatalogRow r;
        r.caption = std::move(caption);
        r.sub[0] = std::move(folder);
        return r;
    };
    Catalog rows{row("zèbre", "C:\\b\\"), row("Élan", "C:\\A\\"), row("ÉLAN", "C:\\a\\"),
                 row("abc", "C:\\B\\"), row("élan", "C:\\c\\")};
    sortCatalog(rows, GetParam().sortKey);
    std::vector<std::string> order;
    for (const CatalogRow& r : rows) order.push_back(r.caption);
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
