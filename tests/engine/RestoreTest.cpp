#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
        archive.path = "C:\\backup.kvr";
    }

    std::vector<int64_t> makeArchive(const std::vector<HandEntry>& entries) {
        return test::writeHandArchive(archive.path, entries);
    }

    RestoreOutcome restoreAll(RestoreChoices choices) {
        return RestoreFiles(archive, choices, {}, ui);
    }

    static RestoreChoices toFolder(std::string folder, bool tree) {
        return RestoreChoices{RestoreSelection::AllEntries, false, tree, std::move(folder)};
    }

    bool exists(const std::string& path) { return platform().fileExists(path); }
    std::string read(const std::string& path) { return test::readWinFile(path); }

    // A file already there, last written at dos (MS-DOS form).
    void putFile(const std::string& path, const std::string& bytes, int32_t dos) {
        drives.writeFile(path, bytes);
        ASSERT_TRUE(platform().setLastWriteDos(path, dos));
    }
    // A host link at a drive path, pointing at a host path.
    void link(const std::string& path, const std::string& target) {
        ASSERT_EQ(::symlink(target.c_str(), drives.hostPath(path).c_str()), 0) << path;
    }
    std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(drives.hostPath(folder)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static constexpr int32_t Stored = 0x5A210000;   // the hand-made entries' date: 1 Jan 2025
    static constexpr int32_t Later = 0x5C210000;    // 1 Jan 2026
    static constexpr int32_t Earlier = 0x58210000;  // 1 Jan 2024

    test::TempDrives drives;
    test::RecordingUi ui;
    OpenArchive archive;
};

TEST_F(RestoreTest, EveryEntryBackToItsStoredFolderCreatesTheFolders) {
    makeArchive({{"C:\\Docs\\Deep\\Er\\", "a.txt", "alpha"},
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
    makeArchive({{"E:\\Docs\\Sub\\", "a.txt", "one"}, {"C:\\Docs\\", "b.txt", "two"}});
    restoreAll(toFolder("C:\\Out", true));
    EXPECT_EQ(read("C:\\Out\\Docs\\Sub\\a.txt"), "one");
    EXPECT_EQ(read("C:\\Out\\Docs\\b.txt"), "two");
}

TEST_F(RestoreTest, OneNameIsWrittenOnceARunTheOthersAreNamedAndCounted) {
    makeArchive({{"C:\\A\\", "same.txt", "first"},
                 {"E:\\B\\", "same.txt", "second"},
                 {"C:\\A\\", "Case.txt", "one"},
                 {"C:\\B\\", "CASE.TXT", "two"}});
    const RestoreOutcome outcome = restoreAll(toFolder("C:\\Out\\", false));
    EXPECT_EQ(read("C:\\Out\\same.txt"), "first");
    EXPECT_EQ(read("C:\\Out\\Case.txt"), "one");
    EXPECT_EQ(namesIn("C:\\Out"), (std::vector<std::string>{"Case.txt", "same.txt"}));
    EXPECT_EQ(outcome.restored, 2);
    EXPECT_EQ(outcome.failed, 2);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "Impossible de restaurer le fichier < E:\\B\\same.txt > : une autre entrée de "
                  "l'archive vient d'être restaurée sous le même nom < C:\\Out\\same.txt >",
                  "Impossible de restaurer le fichier < C:\\B\\CASE.TXT > : une autre entrée de "
                  "l'archive vient d'être restaurée sous le même nom < C:\\Out\\Case.txt >"}));
    EXPECT_FALSE(platform().directoryExists("C:\\Out\\A"));
}

TEST_F(RestoreTest, EveryFileAppearsUnderItsNameOnlyWholeWithItsStoredDate) {
    std::string noise(300000, '\0');
    uint32_t seed = 5;
    for (char& c : noise) c = char((seed = seed * 1103515245 + 12345) >> 24);
    makeArchive({{"C:\\Docs\\", "big.bin", noise}});
    // Looked at while the payload is being inflated, as a run killed then would leave it.
    bool seenMidway = false;
    ui.onPump = [&] {
        if (ui.filePercents.empty() || ui.filePercents.back() >= 100) return;
        seenMidway = true;
        EXPECT_FALSE(exists("C:\\Docs\\big.bin"));
    };
    EXPECT_EQ(restoreAll(RestoreChoices{}).restored, 1);
    EXPECT_TRUE(seenMidway);
    EXPECT_EQ(read("C:\\Docs\\big.bin"), noise);
    EXPECT_EQ(namesIn("C:\\Docs"), std::vector<std::string>{"big.bin"});

    // The stored date comes back, so the catalog sees the file unchanged.
    EXPECT_EQ(platform().lastWriteDos("C:\\Docs\\big.bin"), Stored);
    EXPECT_EQ(entryStatus("C:\\Docs\\big.bin", Stored), Unchanged);
    struct stat st;
    ASSERT_EQ(::stat(drives.hostPath("C:\\Docs\\big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, newFilePermissions());
}

TEST_F(RestoreTest, AReplacedReadOnlyFileStaysReadOnly) {
    makeArchive({{"C:\\Docs\\", "ro.txt", "new content"}});
    putFile("C:\\Docs\\ro.txt", "old", Earlier);
    platform().setAttributes("C:\\Docs\\ro.txt", attr::ReadOnly | attr::Archive);

    EXPECT_EQ(restoreAll(RestoreChoices{}).restored, 1);
    EXPECT_EQ(read("C:\\Docs\\ro.txt"), "new content");
    EXPECT_EQ(platform().attributes("C:\\Docs\\ro.txt") & attr::ReadOnly, attr::ReadOnly);
    EXPECT_TRUE(ui.messages.empty());
}

// The window's question about a file newer than its stored copy.
struct Question {
    const char* name;
    std::vector<Answer> answers;
    std::string first, second, third;  // the three files afterwards
    int questions, restored, kept;
    bool stopped;
};

class NewerFile : public RestoreTest, public testing::WithParamInterface<Question> {};

TEST_P(NewerFile, IsReplacedOnlyWhenTheUserSaysSo) {
    const Question& q = GetParam();
    makeArchive({{"C:\\Docs\\", "un.txt", "stored 1"},
                 {"C:\\Docs\\", "deux.txt", "stored 2"},
                 {"C:\\Docs\\", "trois.txt", "stored 3"}});
    putFile("C:\\Docs\\un.txt", "newer 1", Later);
    putFile("C:\\Docs\\deux.txt", "older 2", Earlier);  // not newer: replaced unasked
    putFile("C:\\Docs\\trois.txt", "newer 3", Later);
    for (Answer a : q.answers) ui.script({a});

    const RestoreOutcome outcome = restoreAll(RestoreChoices{});

    EXPECT_EQ(read("C:\\Docs\\un.txt"), q.first);
    EXPECT_EQ(read("C:\\Docs\\deux.txt"), q.second);
    EXPECT_EQ(read("C:\\Docs\\trois.txt"), q.third);
    EXPECT_EQ(outcome.restored, q.restored);
    EXPECT_EQ(outcome.kept, q.kept);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(outcome.stopped, q.stopped);
    ASSERT_EQ(int(ui.messages.size()), q.questions);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesAllNoCancel);
    EXPECT_EQ(ui.messages[0].text,
              "Le fichier < C:\\Docs\\un.txt > existe déjà et il est plus récent que la copie "
              "archivée.\rLe remplacer ?");
    EXPECT_EQ(namesIn("C:\\Docs"), (std::vector<std::string>{"deux.txt", "trois.txt", "un.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NewerFile,
    testing::Values(
        Question{"NoIsTheDefault", {}, "newer 1", "stored 2", "newer 3", 2, 1, 2, false},
        Question{
            "Yes", {Answer::Yes, Answer::No}, "stored 1", "stored 2", "newer 3", 2, 2, 1, false},
        Question{
            "YesToAll", {Answer::YesToAll}, "stored 1", "stored 2", "stored 3", 1, 3, 0, false},
        Question{
            "CancelEndsTheRun", {Answer::Cancel}, "newer 1", "older 2", "newer 3", 1, 0, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The rules kvr and the stub take.
struct Rule {
    const char* name;
    format::Overwrite overwrite;
    std::string newer, older;  // the two files afterwards
    std::vector<std::string> told;
};

class OverwriteRule : public RestoreTest, public testing::WithParamInterface<Rule> {};

TEST_P(OverwriteRule, KeepsOrReplacesWithoutAsking) {
    makeArchive({{"C:\\Docs\\", "newer.txt", "stored"}, {"C:\\Docs\\", "older.txt", "stored"}});
    putFile("C:\\Docs\\newer.txt", "work", Later);
    putFile("C:\\Docs\\older.txt", "old", Earlier);
    RestoreChoices choices;
    choices.overwrite = GetParam().overwrite;
    const RestoreOutcome outcome = restoreAll(choices);
    EXPECT_EQ(read("C:\\Docs\\newer.txt"), GetParam().newer);
    EXPECT_EQ(read("C:\\Docs\\older.txt"), GetParam().older);
    EXPECT_EQ(ui.messageTexts(), GetParam().told);
    EXPECT_EQ(outcome.kept, int(GetParam().told.size()));
    EXPECT_EQ(outcome.failed, 0);
    for (const auto& m : ui.messages) EXPECT_EQ(m.kind, MessageKind::Information);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, OverwriteRule,
    testing::Values(Rule{"Older",
                         format::Overwrite::Older,
                         "work",
                         "stored",
                         {"C:\\Docs\\newer.txt : conservé : plus récent que la copie archivée"}},
                    Rule{"Always", format::Overwrite::Always, "stored", "stored", {}},
                    Rule{"Never",
                         format::Overwrite::Never,
                         "work",
                         "old",
                         {"C:\\Docs\\newer.txt : conservé : plus récent que la copie archivée",
                          "C:\\Docs\\older.txt : conservé : le fichier existe déjà"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreTest, NoLinkBelowTheChosenFolderIsFollowed) {
    drives.makeFolder("C:\\Outside");
    drives.writeFile("C:\\Outside\\victim.txt", "untouched");
    drives.makeFolder("C:\\T\\Docs");
    link("C:\\T\\link", drives.hostPath("C:\\Outside"));
    link("C:\\T\\Docs\\f.txt", drives.hostPath("C:\\Outside\\victim.txt"));
    makeArchive({{"E:\\link\\", "pwn.txt", "x"},
                 {"E:\\LINK\\", "pwn2.txt", "x"},  // reached without regard to case
                 {"E:\\link\\deeper\\", "pwn3.txt", "x"},
                 {"E:\\Docs\\", "f.txt", "x"},  // the file itself
                 {"E:\\Docs\\", "good.txt", "good"}});

    const RestoreOutcome outcome = restoreAll(toFolder("C:\\T\\", true));

    EXPECT_EQ(namesIn("C:\\Outside"), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(read("C:\\Outside\\victim.txt"), "untouched");
    EXPECT_EQ(read("C:\\T\\Docs\\good.txt"), "good");
    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.failed, 4);
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[1].text,
              "Impossible de restaurer le fichier < E:\\LINK\\pwn2.txt > : chemin refusé");
    EXPECT_TRUE(std::filesystem::is_symlink(drives.hostPath("C:\\T\\Docs\\f.txt")));
}

TEST_F(RestoreTest, StoredFoldersFollowOnlyTheLinksOfTheUserOrTheSystem) {
    drives.makeFolder("C:\\Disque\\moi");
    link("C:\\Home", drives.hostPath("C:\\Disque"));  // a home folder on another disk
    makeArchive({{"C:\\Home\\moi\\", "a.txt", "mine"}});
    EXPECT_EQ(restoreAll(RestoreChoices{}).restored, 1);
    EXPECT_EQ(read("C:\\Disque\\moi\\a.txt"), "mine");
    EXPECT_TRUE(std::filesystem::is_symlink(drives.hostPath("C:\\Home")));

    // A link of another user (only root can give one away to make the case).
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a link of another user";
    drives.makeFolder("C:\\Partage");
    link("C:\\Partage\\piege", drives.hostPath("C:\\Disque\\moi"));
    ASSERT_EQ(::lchown(drives.hostPath("C:\\Partage\\piege").c_str(), 65534, 65534), 0);
    makeArchive({{"C:\\Partage\\piege\\", "b.txt", "x"}});
    const RestoreOutcome outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_FALSE(exists("C:\\Disque\\moi\\b.txt"));
    EXPECT_EQ(ui.messageTexts().back(),
              "Impossible de restaurer le fichier < C:\\Partage\\piege\\b.txt > : chemin "
              "refusé");
}

TEST_F(RestoreTest, ExistingFoldersOfAnyCaseAreUsedNeverDoubled) {
    drives.makeFolder("C:\\data\\Projets");
    drives.makeFolder("C:\\Out\\Docs");
    makeArchive(
        {{"C:\\DATA\\PROJETS\\", "Makefile", "all:"}, {"C:\\DOCS\\NEUF\\", "n.txt", "neuf"}});
    restoreAll(RestoreChoices{});
    EXPECT_EQ(read("C:\\data\\Projets\\Makefile"), "all:");
    restoreAll(toFolder("C:\\Out\\", true));
    EXPECT_EQ(read("C:\\Out\\Docs\\NEUF\\n.txt"), "neuf");
    EXPECT_EQ(namesIn("C:\\Out"), (std::vector<std::string>{"DATA", "Docs"}));
    EXPECT_EQ(namesIn("C:\\Out\\DATA"), std::vector<std::string>{"PROJETS"});
}

TEST_F(RestoreTest, DamagedPayloadLeavesTheExistingFileAsItWas) {
    HandEntry damaged{"C:\\Docs\\", "keep.txt", std::string(5000, 'n')};
    damaged.corruptPayload = true;
    HandEntry damagedNew{"C:\\Docs\\", "partial.txt", std::string(5000, 'q')};
    damagedNew.corruptPayload = true;
    makeArchive({damaged, damagedNew, {"C:\\Docs\\", "next.txt", "after"}});
    putFile("C:\\Docs\\keep.txt", "precious", Earlier);

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
    makeArchive({{"C:\\Docs\\", "big.txt", noise}});
    putFile("C:\\Docs\\big.txt", "old copy", Earlier);
    test::FaultPlatform faults;
    faults.install();

    faults.diskFullAfter("C:\\Docs\\", 100000);
    EXPECT_EQ(restoreAll(RestoreChoices{}).failed, 1);
    EXPECT_EQ(read("C:\\Docs\\big.txt"), "old copy");

    faults.reset();
    faults.failReadAfter(archive.path, 5000);
    EXPECT_EQ(restoreAll(RestoreChoices{}).failed, 1);
    EXPECT_EQ(read("C:\\Docs\\big.txt"), "old copy");
    EXPECT_EQ(platform().find("C:\\Docs\\*.*", attr::AnyFile).size(), 1u);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>(2, "Impossible de décompresser le fichier < big.txt >"));
}

TEST_F(RestoreTest, PayloadRunningPastTheEndIsDamagedNotCopied) {
    HandEntry cut{"C:\\Docs\\", "cut.txt", "data"};
    cut.compressedSize = 1 << 30;
    makeArchive({{"C:\\Docs\\", "ok.txt", "fine"}, cut});
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
    makeArchive({{"C:\\Docs\\", "ok.txt", "fine"}, empty});
    restoreAll(RestoreChoices{});
    EXPECT_EQ(read("C:\\Docs\\ok.txt"), "fine");
    EXPECT_FALSE(exists("C:\\Docs\\zero.txt"));
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Impossible de décompresser le fichier < zero.txt >",
                                        "L'archive < C:\\backup.kvr > est incomplète : sa "
                                        "dernière entrée est coupée"}));
}

TEST_F(RestoreTest, EntriesThatWouldLeaveTheChosenFolderWriteNothing) {
    makeArchive({{"C:\\Out\\..\\..\\", "escape1.txt", "x"},
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
    makeArchive({{"Docs\\", "nodrive.txt", "x"}, {"C:\\Docs\\", "ok.txt", "y"}});
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{
                  "Impossible de restaurer le fichier < Docs\\nodrive.txt > : chemin refusé"});
}

TEST_F(RestoreTest, CdRomDestinationIsRefusedPerEntry) {
    makeArchive({{"C:\\Docs\\", "a.txt", "1"}, {"C:\\Docs\\", "b.txt", "2"}});
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
    test::writeWinFile(archive.path, std::string(format::HeaderSize, 'x'));
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(outcome.restored, 0);
}

TEST_F(RestoreTest, StopLetsTheCurrentFileFinishAndEndsBeforeTheNext) {
    makeArchive({{"C:\\A\\", "1.txt", "1"}, {"C:\\A\\", "2.txt", "2"}, {"C:\\A\\", "3.txt", "3"}});
    // The stop button is pressed while the first file is being restored.
    ui.onPump = [this] { ui.cancel = true; };
    auto outcome = restoreAll(RestoreChoices{});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_TRUE(exists("C:\\A\\1.txt"));
    EXPECT_FALSE(exists("C:\\A\\2.txt"));
    EXPECT_EQ(outcome.restored, 1);
}

TEST_F(RestoreTest, SelectedRowsByTheirEntryOffsets) {
    auto offsets = makeArchive(
        {{"C:\\S\\", "a.txt", "A"}, {"C:\\S\\", "b.txt", "B"}, {"C:\\S\\", "c.txt", "C"}});
    auto row = [](std::string name, std::optional<int64_t> offset) {
        CatalogRow r;
        r.name = std::move(name);
        r.folder = "c:\\s\\";  // matched without regard to case
        r.entryOffset = offset;
        return r;
    };
    archive.rows = {row("a.txt", offsets[0]),                                // not selected
                    row("C.TXT", offsets[2]), row("new.txt", std::nullopt),  // never archived
                    row("b.txt", offsets[0])};  // offset of another entry
    RestoreChoices choices{RestoreSelection::SelectedRows, false, false, "C:\\Out\\"};
    auto outcome = RestoreFiles(archive, choices, {3, 1, 2, 1}, ui);

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
    makeArchive({entry});
    restoreAll(RestoreChoices{});
    EXPECT_EQ(ui.labelTexts(ProgressLabel::File)[0], "Fichier : " + std::string(100, 'n'));
    const std::string prefix = "Impossible de décompresser le fichier < ";
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, prefix + std::string(140 - 40, 'n') + " >");
}

// "Restaurer les fichiers manquants": only the missing rows, each back in
// its stored folder with its stored date; a file that appeared since the
// load is kept; afterwards the rows show what the disk holds.
TEST_F(RestoreTest, MissingFilesComeBackWithTheirDatesAndNothingElseIsWritten) {
    makeArchive({{"C:\\Docs\\", "present.txt", "stored present"},
                 {"C:\\Docs\\Perdu\\", "gone.txt", "stored gone"},
                 {"C:\\Docs\\", "back.txt", "stored back"}});
    putFile("C:\\Docs\\present.txt", "edited since", Later);
    putFile("C:\\Docs\\back.txt", "stored back", Stored);
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    platform().removeFile("C:\\Docs\\back.txt");
    // Read as the load left them: present modified, the two others missing;
    // back.txt has been put back by hand since, with other bytes.
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    putFile("C:\\Docs\\back.txt", "written by hand", Later);
    std::vector<int> icons;
    for (const CatalogRow& row : archive.rows) icons.push_back(row.status);
    ASSERT_EQ(icons, (std::vector<int>{Missing, Missing, Modified}));  // back, gone, present
    EXPECT_EQ(missingRows(archive.rows), (std::vector<std::size_t>{0, 1}));
    ui.messages.clear();

    const RestoreOutcome outcome = RestoreMissingFiles(archive, ui);

    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.kept, 1);
    EXPECT_EQ(read("C:\\Docs\\Perdu\\gone.txt"), "stored gone");
    EXPECT_EQ(platform().lastWriteDos("C:\\Docs\\Perdu\\gone.txt"), Stored);
    EXPECT_EQ(read("C:\\Docs\\back.txt"), "written by hand");
    EXPECT_EQ(read("C:\\Docs\\present.txt"), "edited since");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("C:\\Docs\\back.txt : conservé", 0), 0u)
        << ui.messages[0].text;
    icons.clear();
    for (const CatalogRow& row : archive.rows) icons.push_back(row.status);
    EXPECT_EQ(icons, (std::vector<int>{Modified, Unchanged, Modified}));
    EXPECT_TRUE(missingRows(archive.rows).empty());
}

}  // namespace
}  // namespace kv
