#include <gtest/gtest.h>

#include "HandMadeArchive.h"
#include "engine/ArchiveVerify.h"
#include "engine/CatalogReader.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"

namespace kv {
namespace {

using test::HandEntry;

class ArchiveVerifyTest : public testing::Test {
  protected:
    static constexpr int32_t Stored = 0x5A210000;   // the hand-made entries' date: 1 Jan 2025
    static constexpr int32_t Later = 0x5C210000;    // 1 Jan 2026
    static constexpr int32_t Earlier = 0x58210000;  // 1 Jan 2024

    void SetUp() override {
        archive.path = "C:\\backup.kvr";
        archive.sortKey = 0;  // rows in file order
    }

    void putFile(const std::string& path, const std::string& bytes, int32_t dos) {
        drives.writeFile(path, bytes);
        ASSERT_TRUE(platform().setLastWriteDos(path, dos));
    }

    // The status of the row of that file name.
    int statusOf(const std::string& name) const {
        for (const CatalogRow& row : archive.rows)
            if (row.name == name) return row.status;
        return -1;
    }

    test::TempDrives drives;
    test::RecordingUi ui;
    OpenArchive archive;
    RunOptions options;
};

// Every finding at once: the check must tell apart what the dates cannot.
TEST_F(ArchiveVerifyTest, EachRowShowsWhatItsContentAndItsMemberSay) {
    HandEntry damaged{"C:\\Docs\\", "damaged.txt", std::string(5000, 'd')};
    damaged.corruptPayload = true;
    test::writeHandArchive(archive.path, {{"C:\\Docs\\", "same.txt", "identical"},
                                          {"C:\\Docs\\", "backdated.txt", "original text"},
                                          {"C:\\Docs\\", "older.txt", "short"},
                                          {"C:\\Docs\\", "newer.txt", "before"},
                                          {"C:\\Docs\\", "touched.txt", "untouched bytes"},
                                          {"C:\\Docs\\", "gone.txt", "was here"},
                                          damaged});
    putFile("C:\\Docs\\same.txt", "identical", Stored);
    // The same size and the same date, other bytes: only the content tells.
    putFile("C:\\Docs\\backdated.txt", "ORIGINAL TEXT", Stored);
    putFile("C:\\Docs\\older.txt", "a longer content", Earlier);
    putFile("C:\\Docs\\newer.txt", "after!", Later);
    putFile("C:\\Docs\\touched.txt", "untouched bytes", Later);
    putFile("C:\\Docs\\damaged.txt", std::string(5000, 'd'), Stored);

    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(statusOf("backdated.txt"), Unchanged);  // the load cannot see it
    EXPECT_EQ(statusOf("damaged.txt"), Unchanged);
    CatalogRow added;
    added.name = "added.txt";
    added.folder = "C:\\Docs\\";
    archive.rows.push_back(added);

    const VerifyOutcome outcome = VerifyArchive(archive, options, VerifyScope::AgainstDisk, ui);

    EXPECT_EQ(statusOf("same.txt"), Unchanged);
    EXPECT_EQ(statusOf("backdated.txt"), Differs);
    EXPECT_EQ(statusOf("older.txt"), Differs);
    EXPECT_EQ(statusOf("newer.txt"), Modified);
    EXPECT_EQ(statusOf("touched.txt"), Unchanged);  // newer, but proven equal
    EXPECT_EQ(statusOf("gone.txt"), Missing);
    EXPECT_EQ(statusOf("damaged.txt"), Damaged);  // whatever the disk holds
    EXPECT_EQ(statusOf("added.txt"), New);
    EXPECT_EQ(verifySummary(outcome, VerifyScope::AgainstDisk),
              "Vérification : 2 identique(s), 2 différent(s), 1 modifié(s), 1 endommagé(s), 1 "
              "manquant(s), 1 pas encore archivé(s)");
    EXPECT_FALSE(outcome.allEqual());
    std::vector<std::string> lines;
    for (const VerifiedRow& row : outcome.problems)
        lines.push_back(archive.rows[row.row].name + " : " + findingText(row));
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "backdated.txt : contenu différent de la copie archivée, sans date plus récente",
                  "older.txt : contenu différent de la copie archivée, sans date plus récente",
                  "newer.txt : modifié depuis l'archivage", "gone.txt : absent du disque",
                  "damaged.txt : endommagé dans l'archive : données compressées endommagées"}));
    EXPECT_TRUE(ui.messages.empty());
    // Nothing is written: the disk files are as they were.
    EXPECT_EQ(test::readWinFile("C:\\Docs\\backdated.txt"), "ORIGINAL TEXT");
    EXPECT_EQ(platform().fileLastWriteDos("C:\\Docs\\backdated.txt"), Stored);

    // The next load forgets what the check found.
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(statusOf("backdated.txt"), Unchanged);
}

TEST_F(ArchiveVerifyTest, AllEqualOnlyWhenEveryRowIsProven) {
    test::writeHandArchive(archive.path,
                           {{"C:\\Docs\\", "a.txt", "alpha"}, {"C:\\Docs\\", "b.txt", "beta"}});
    putFile("C:\\Docs\\a.txt", "alpha", Stored);
    putFile("C:\\Docs\\b.txt", "beta", Stored);
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    options.threads = 1;
    const VerifyOutcome outcome = VerifyArchive(archive, options, VerifyScope::AgainstDisk, ui);
    EXPECT_TRUE(outcome.allEqual());
    EXPECT_TRUE(outcome.problems.empty());
    EXPECT_EQ(ui.overallRanges, std::vector<int>{1});
    EXPECT_EQ(ui.overallValues.back(), 2);
}

// The test of the members alone, for an archive whose files are gone: the
// damaged member is found, the missing files stay missing.
TEST_F(ArchiveVerifyTest, ArchiveOnlyMarksTheDamagedMembersAndKeepsTheRest) {
    HandEntry damaged{"C:\\Docs\\", "damaged.txt", std::string(5000, 'd')};
    damaged.corruptPayload = true;
    HandEntry wrongSize{"C:\\Docs\\", "size.txt", "twelve bytes"};
    wrongSize.fileSize = 11;
    test::writeHandArchive(archive.path,
                           {{"C:\\Docs\\", "sound.txt", "sound"}, damaged, wrongSize});
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    const VerifyOutcome outcome = VerifyArchive(archive, options, VerifyScope::ArchiveOnly, ui);
    EXPECT_EQ(statusOf("sound.txt"), Missing);
    EXPECT_EQ(statusOf("damaged.txt"), Damaged);
    EXPECT_EQ(statusOf("size.txt"), Damaged);
    EXPECT_EQ(verifySummary(outcome, VerifyScope::ArchiveOnly),
              "Test : 1 intacte(s), 2 endommagée(s)");
    ASSERT_EQ(outcome.problems.size(), 2u);
    EXPECT_EQ(findingText(outcome.problems[1]),
              "endommagé dans l'archive : taille différente de celle de l'entrée");
}

// Rows read from an archive that another run has rewritten since would be
// looked for at offsets that no longer hold them: the check is refused.
TEST_F(ArchiveVerifyTest, ArchiveRewrittenSinceTheLoadIsNotChecked) {
    test::writeHandArchive(archive.path, {{"C:\\Docs\\", "a.txt", "alpha"}});
    putFile("C:\\Docs\\a.txt", "alpha", Stored);
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    test::writeHandArchive(archive.path,
                           {{"C:\\Docs\\", "other.txt", "x"}, {"C:\\Docs\\", "a.txt", "alpha"}});
    const VerifyOutcome outcome = VerifyArchive(archive, options, VerifyScope::AgainstDisk, ui);
    EXPECT_TRUE(outcome.refused);
    EXPECT_FALSE(outcome.allEqual());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(statusOf("a.txt"), Unchanged);
}

// The stop button: the check ends, the rows it did not reach keep their status.
TEST_F(ArchiveVerifyTest, StopEndsTheCheckAndSaysSo) {
    std::vector<HandEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(
            {"C:\\Docs\\", "f" + std::to_string(i) + ".txt", std::string(300000, 'x')});
    test::writeHandArchive(archive.path, entries);
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    options.threads = 1;
    ui.cancel = true;
    const VerifyOutcome outcome = VerifyArchive(archive, options, VerifyScope::ArchiveOnly, ui);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.allEqual());
    EXPECT_LT(outcome.count(VerifyFinding::Equal), 40);
    EXPECT_NE(verifySummary(outcome, VerifyScope::ArchiveOnly).find(", arrêtée"),
              std::string::npos);
}

}  // namespace
}  // namespace kv
