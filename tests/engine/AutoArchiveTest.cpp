#include <gtest/gtest.h>

#include "EngineRunFixture.h"
#include "engine/AutoArchive.h"
#include "engine/CatalogReader.h"

namespace kv {
namespace {

class AutoArchiveTest : public test::EngineRunFixture {
  protected:
    // An archive of a.txt and b.txt, loaded as the automatic mode loads it.
    void SetUp() override {
        EngineRunFixture::SetUp();
        addFile("C:\\Docs\\a.txt", "alpha");
        addFile("C:\\Docs\\b.txt", "beta");
        ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());
        archive.rows.clear();
        ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
        ui = test::RecordingUi();
    }

    void writeJournal(const std::string& bytes) { drives.writeFile(JournalPath(), bytes); }
};

TEST_F(AutoArchiveTest, StoresWhatExistsCarriesOverWhatIsGoneAndAppendsNewRows) {
    const std::string carried = entriesOf(Archive)[1].bytes;
    remove("C:\\Docs\\b.txt");
    drives.writeFile("C:\\Docs\\a.txt", "alpha, deuxième version");
    addFile("C:\\Docs\\c.txt", "gamma");

    const ArchiveResult r = AutoArchiveFiles(archive, options, env, ui);

    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_TRUE(r.clean());
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.labels.empty());
    EXPECT_EQ(ui.pumps, 0);
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].record.fileSize, 24);
    EXPECT_EQ(entries[1].bytes, carried);
    EXPECT_EQ(entries[2].record.fileName, "c.txt");
    expectNoTemporaries();
}

TEST_F(AutoArchiveTest, LockedFilesAreKeptOrLeftOutSilently) {
    const std::string stored = entriesOf(Archive)[0].bytes;
    addFile("C:\\Docs\\neuf.txt", "jamais archivé");
    archive.rows.push_back(newRow("C:\\Docs\\absent.txt"));
    test::FaultPlatform fault;
    fault.install();
    fault.holdExclusively("C:\\Docs\\a.txt");
    fault.holdExclusively("C:\\Docs\\neuf.txt");

    const ArchiveResult r = AutoArchiveFiles(archive, options, env, ui);

    fault.reset();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(r.leftOut, 2);
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].bytes, stored);
    EXPECT_EQ(entries[1].record.fileName, "b.txt");
}

TEST_F(AutoArchiveTest, NoRoomWithoutJournalWritesNothing) {
    drives.writeFile("C:\\Docs\\a.txt", "alpha, deuxième version");
    const std::string before = bytesOf(Archive);
    test::FaultPlatform fault;
    fault.install();
    fault.setFreeBytes('C', 100);

    const ArchiveResult r = AutoArchiveFiles(archive, options, env, ui);

    EXPECT_FALSE(r.replaced);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(bytesOf(Archive), before);
    EXPECT_FALSE(exists(JournalPath()));
    EXPECT_FALSE(platform().directoryExists(platform().programFolder() + "Script"));
    expectNoTemporaries();
}

struct JournalCase {
    const char* name;
    std::string before;
    std::string after;  // without the appended line
};

class NoRoomJournal : public AutoArchiveTest, public testing::WithParamInterface<JournalCase> {};

TEST_P(NoRoomJournal, GetsTheLineAfterItsEarlierLines) {
    writeJournal(GetParam().before);
    drives.writeFile("C:\\Docs\\a.txt", "alpha, deuxième version");
    const std::string before = bytesOf(Archive);
    test::FaultPlatform fault;
    fault.install();
    fault.setFreeBytes('C', 100);

    AutoArchiveFiles(archive, options, env, ui);

    fault.reset();
    EXPECT_EQ(bytesOf(JournalPath()), GetParam().after + NoRoomJournalLine + "\r\n");
    EXPECT_EQ(bytesOf(Archive), before);
    EXPECT_EQ(namesIn(platform().programFolder() + "Script"),
              std::vector<std::string>{"Journal_AutoSave.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Journals, NoRoomJournal,
    testing::Values(JournalCase{"Empty", "", ""},
                    JournalCase{"CrLf", "lundi 10:00\r\nmardi 10:00\r\n",
                                "lundi 10:00\r\nmardi 10:00\r\n"},
                    JournalCase{"LastLineWithoutEnd", "lundi\nmardi", "lundi\r\nmardi\r\n"},
                    JournalCase{"WindowsText", "d\xE9j\xE0 fait\r", "d\xC3\xA9j\xC3\xA0 fait\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoArchiveTest, OldArchiveThatLostItsSignatureStopsWithTheOneMessage) {
    remove("C:\\Docs\\b.txt");
    std::string damaged = bytesOf(Archive);
    damaged[1] = '(';
    rewriteArchive(damaged);
    writeJournal("lundi\r\n");

    const ArchiveResult r = AutoArchiveFiles(archive, options, env, ui);

    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(bytesOf(Archive), damaged);
    EXPECT_EQ(bytesOf(JournalPath()), "lundi\r\n");
    expectNoTemporaries();
}

TEST(AppendJournalLine, FailsWithoutTouchingAJournalThatCannotBeReplaced) {
    test::TempDrives drives;
    drives.writeFile("C:\\Korvelt\\Script\\Journal_AutoSave.txt", "lundi\r\n");
    test::FaultPlatform fault;
    fault.install();
    fault.failOpen("C:\\Korvelt\\Script\\~kvr*", OpenMode::Create);
    EXPECT_FALSE(AppendJournalLine(JournalPath(), "ligne"));
    EXPECT_FALSE(AppendJournalLine("C:\\Korvelt\\Script\\absent.txt", "ligne"));
    fault.reset();
    EXPECT_EQ(drives.readFile("C:\\Korvelt\\Script\\Journal_AutoSave.txt"), "lundi\r\n");
    EXPECT_FALSE(platform().fileExists("C:\\Korvelt\\Script\\absent.txt"));
}

}  // namespace
}  // namespace kv
