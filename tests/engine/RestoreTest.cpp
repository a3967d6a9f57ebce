#include <gtest/gtest.h>

#include "HandMadeArchive.h"
#include "engine/CatalogReader.h"
#include "engine/Restore.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"

namespace kv {
namespace {

using test::HandEntry;

class RestoreTest : public testing::Test {
  protected:
    void SetUp() override {
        drives.add('D', DriveType::CdRom);
        drives.add('E');
        platform().createDirectory("C:\\Work");
        session.currentArchive = "C:\\backup.kvr";
        session.workFolder = "C:\\Work\\";
    }

    std::vector<int64_t> archive(const std::vector<HandEntry>& entries) {
        return test::writeHandArchive(session.currentArchive, entries, "C:\\Work\\");
    }

    RestoreOutcome restoreAll(RestoreChoices choices) {
        return RestoreFiles(session, choices, {}, ui);
    }

    static RestoreChoices toFolder(std::string folder, bool tree) {
        return RestoreChoices{0, false, tree, std::move(folder)};
    }

    bool exists(const std::string& path) { return platform().fileExists(path); }
    std::string read(const std::string& path) { return test::readWinFile(path); }

    test::TempDrives drives;
    test::RecordingUi ui;
    Session session;
};

TEST_F(RestoreTest, EveryEntryBackToItsStoredFolderCreatesTheFolders) {
    archive({{"C:\\Docs\\Deep\\Er\\", "a.txt", "alpha"},
             {"E:\\", "b.bin", std::string(70000, 'b')},
             {"C:\\Docs\\", "empty", ""}});
    auto outcome = restoreAll(RestoreChoices{});

    EXPECT_EQ(outcome.restored, 3);
    EXPECT_EQ(read("C:\\Docs\\Deep\\Er\\a.txt"), "alpha");
    EXPECT_EQ(read("E:\\b.bin"), std::string(70000, 'b'));
    EXPECT_EQ(read("C:\\Docs\\empty"), "");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.labelTexts(ProgressLabel::File),
              (std::vector<std::string>{"Fichier : a.txt", "Fichier : b.bin", "Fichier : empty"}));
    EXPECT_EQ(ui.labelTexts(ProgressLabel::Path),
              (std::vector<std::string>{"Dossier : C:\\Docs\\Deep\\Er\\", "Dossier : E:\\",
                                        "Dossier : C:\\Docs\\"}));
    // The payload temporary is gone and nothing else is left in the Work folder.
    EXPECT_TRUE(platform().find("C:\\Work\\*.*", attr::AnyFile).empty());
}

TEST_F(RestoreTest, TreeKeepsTheStoredFoldersBelowTheChosenOne) {
    archive({{"E:\\Docs\\Sub\\", "a.txt", "one"}, {"C:\\Docs\\", "b.txt", "two"}});
    restoreAll(toFolder("C:\\Out", true));
    EXPECT_EQ(read("C:\\Out\\Docs\\Sub\\a.txt"), "one");
    EXPECT_EQ(read("C:\\Out\\Docs\\b.txt"), "two");
}

TEST_F(RestoreTest, FlatPutsEverythingInTheChosenFolderLaterEntriesWin) {
    archive({{"C:\\A\\", "same.txt", "first"}, {"E:\\B\\", "same.txt", "second"}});
    restoreAll(toFolder("C:\\Out\\", false));
    EXPECT_EQ(read("C:\\Out\\same.txt"), "second");
    EXPECT_FALSE(platform().directoryExists("C:\\Out\\A"));
}

TEST_F(RestoreTest, ReplacesAReadOnlyFile) {
    archive({{"C:\\Docs\\", "ro.txt", "new content"}});
    platform().createDirectory("C:\\Docs");
    test::writeWinFile("C:\\Docs\\ro.txt", "old");
    platform().setAttributes("C:\\Docs\\ro.txt", attr::ReadOnly | attr::Archive);

    EXPECT_EQ(restoreAll(RestoreChoices{}).restored, 1);
    EXPECT_EQ(read("C:\\Docs\\ro.txt"), "new content");
    EXPECT_EQ(platform().attributes("C:\\Docs\\ro.txt") & attr::ReadOnly, 0u);
}

TEST_F(RestoreTest, DamagedPayloadLeavesTheExistingFileAsItWas) {
    HandEntry damaged{"C:\\Docs\\", "keep.txt", std::string(5000, 'n')};
    damaged.corruptPayload = true;
    HandEntry damagedNew{"C:\\Docs\\", "partial.txt", std::string(5000, 'q')};
    damagedNew.corruptPayload = true;
    archive({damaged, damagedNew, {"C:\\Docs\\", "next.txt", "after"}});
    platform().createDirectory("C:\\Docs");
    test::writeWinFile("C:\\Docs\\keep.txt", "precious");

    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(read("C:\\Docs\\keep.txt"), "precious");
    EXPECT_EQ(read("C:\\Docs\\next.txt"), "after");
    EXPECT_FALSE(exists("C:\\Docs\\partial.txt"));
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Impossible de décompresser le fichier < keep.txt >",
                                        "Impossible de décompresser le fichier < partial.txt >"}));
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(outcome.failed, 2);
    // No half-written file or temporary is left.
    EXPECT_EQ(platform().find("C:\\Docs\\*.*", attr::AnyFile).size(), 2u);
}

TEST_F(RestoreTest, FullDiskOrUnreadableArchiveLeavesTheExistingFile) {
    std::string noise(300000, '\0');
    uint32_t seed = 17;
    for (char& c : noise) c = char((seed = seed * 1103515245 + 12345) >> 24);
    archive({{"C:\\Docs\\", "big.txt", noise}});
    platform().createDirectory("C:\\Docs");
    test::writeWinFile("C:\\Docs\\big.txt", "old copy");
    test::FaultPlatform faults;
    faults.install();

    faults.diskFullAfter("C:\\Docs\\", 100000);
    EXPECT_EQ(restoreAll(RestoreChoices{}).failed, 1);
    EXPECT_EQ(read("C:\\Docs\\big.txt"), "old copy");

    faults.reset();
    faults.failReadAfter(session.currentArchive, 5000);
    EXPECT_EQ(restoreAll(RestoreChoices{}).failed, 1);
    EXPECT_EQ(read("C:\\Docs\\big.txt"), "old copy");
    EXPECT_EQ(platform().find("C:\\Docs\\*.*", attr::AnyFile).size(), 1u);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>(2, "Impossible de décompresser le fichier < big.txt >"));
}

TEST_F(RestoreTest, PayloadRunningPastTheEndIsDamagedNotCopied) {
    HandEntry cut{"C:\\Docs\\", "cut.txt", "data"};
    cut.compressedSize = 1 << 30;
    archive({{"C:\\Docs\\", "ok.txt", "fine"}, cut});
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(read("C:\\Docs\\ok.txt"), "fine");
    EXPECT_FALSE(exists("C:\\Docs\\cut.txt"));
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "Impossible de décompresser le fichier < cut.txt >",
                  "L'archive < C:\\backup.kvr > est endommagée : le contenu de l'entrée < "
                  "C:\\Docs\\cut.txt > est coupé par la fin de l'archive, les entrées qui "
                  "pourraient la suivre ne peuvent pas être lues"}));
    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.failed, 1);
}

TEST_F(RestoreTest, EntryWithoutPayloadBytesIsDamaged) {
    HandEntry empty{"C:\\Docs\\", "zero.txt", "not empty"};
    empty.compressedSize = 0;  // its payload bytes follow as a cut-short record
    archive({{"C:\\Docs\\", "ok.txt", "fine"}, empty});
    restoreAll(RestoreChoices{});
    EXPECT_EQ(read("C:\\Docs\\ok.txt"), "fine");
    EXPECT_FALSE(exists("C:\\Docs\\zero.txt"));
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Impossible de décompresser le fichier < zero.txt >",
                                        "L'archive < C:\\backup.kvr > est incomplète : sa "
                                        "dernière entrée est coupée"}));
}

TEST_F(RestoreTest, EntriesThatWouldLeaveTheChosenFolderWriteNothing) {
    archive({{"C:\\Out\\..\\..\\", "escape1.txt", "x"},
             {"C:\\Docs\\", "..\\escape2.txt", "x"},
             {"C:\\Docs\\", "E:escape3.txt", "x"},
             {"C:\\Docs\\", "", "x"},
             {"C:\\Docs\\", "good.txt", "good"}});
    platform().createDirectory("C:\\Dest");
    auto outcome = restoreAll(toFolder("C:\\Dest\\Inner\\", true));

    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.failed, 4);
    EXPECT_EQ(read("C:\\Dest\\Inner\\Docs\\good.txt"), "good");
    EXPECT_FALSE(exists("C:\\escape1.txt"));
    EXPECT_FALSE(exists("C:\\Dest\\escape1.txt"));
    EXPECT_FALSE(exists("C:\\Dest\\Inner\\escape2.txt"));
    EXPECT_FALSE(exists("E:\\escape3.txt"));
    EXPECT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(
        ui.messages[0].text,
        "Impossible de restaurer le fichier < C:\\Out\\..\\..\\escape1.txt > : chemin refusé");
}

TEST_F(RestoreTest, OriginRestoreNeedsADrivePath) {
    archive({{"Docs\\", "nodrive.txt", "x"}, {"C:\\Docs\\", "ok.txt", "y"}});
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{
                  "Impossible de restaurer le fichier < Docs\\nodrive.txt > : chemin refusé"});
}

TEST_F(RestoreTest, CdRomDestinationIsRefusedPerEntry) {
    archive({{"C:\\Docs\\", "a.txt", "1"}, {"C:\\Docs\\", "b.txt", "2"}});
    restoreAll(toFolder("d:\\Out\\", false));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(ui.messages[0].text,
              "Impossible de restaurer le fichier < d:\\Out\\a.txt >,\rsur un CDROM, "
              "choisissez un autre dossier de destination.");
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Opération annulée");
    EXPECT_FALSE(platform().directoryExists("D:\\Out"));
}

TEST_F(RestoreTest, IncompatibleArchiveRestoresNothing) {
    test::writeWinFile(session.currentArchive, std::string(102, 'x'));
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(outcome.restored, 0);
}

TEST_F(RestoreTest, StopLetsTheCurrentFileFinishAndEndsBeforeTheNext) {
    archive({{"C:\\A\\", "1.txt", "1"}, {"C:\\A\\", "2.txt", "2"}, {"C:\\A\\", "3.txt", "3"}});
    // The stop button is pressed while the first file is being restored.
    ui.onPump = [this] { ui.cancel = true; };
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_TRUE(exists("C:\\A\\1.txt"));
    EXPECT_FALSE(exists("C:\\A\\2.txt"));
    EXPECT_EQ(outcome.restored, 1);
}

TEST_F(RestoreTest, SelectedRowsByTheirEntryOffsets) {
    auto offsets =
        archive({{"C:\\S\\", "a.txt", "A"}, {"C:\\S\\", "b.txt", "B"}, {"C:\\S\\", "c.txt", "C"}});
    auto row = [](std::string name, std::string offset) {
        CatalogRow r;
        r.caption = std::move(name);
        r.sub[0] = "c:\\s\\";  // matched without regard to case
        r.sub[5] = std::move(offset);
        return r;
    };
    session.rows = {row("a.txt", std::to_string(offsets[0])),                      // not selected
                    row("C.TXT", std::to_string(offsets[2])), row("new.txt", ""),  // never archived
                    row("b.txt", std::to_string(offsets[0]))};  // offset of another entry
    RestoreChoices choices{1, false, false, "C:\\Out\\"};
    auto outcome = RestoreFiles(session, choices, {3, 1, 2, 1}, ui);

    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.notFound, 2);
    EXPECT_EQ(read("C:\\Out\\c.txt"), "C");  // the stored name is used
    EXPECT_FALSE(exists("C:\\Out\\a.txt"));
    EXPECT_FALSE(exists("C:\\Out\\b.txt"));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le fichier < new.txt > ne se trouve pas dans l'archive"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(ui.overallRanges, std::vector<int>{3});
    EXPECT_EQ(ui.overallValues, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(RestoreTest, LongNamesAreCutInTheLabelAndTheMessage) {
    HandEntry entry{"C:\\L\\", std::string(100, 'n'), "x"};
    entry.corruptPayload = true;
    archive({entry});
    restoreAll(RestoreChoices{});
    EXPECT_EQ(ui.labelTexts(ProgressLabel::File)[0], "Fichier : " + std::string(100, 'n'));
    const std::string prefix = "Impossible de décompresser le fichier < ";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, prefix + std::string(140 - 40, 'n') + " >");
}

}  // namespace
}  // namespace kv
