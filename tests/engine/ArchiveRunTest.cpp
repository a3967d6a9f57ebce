#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "EngineRunFixture.h"
#include "HandMadeArchive.h"
#include "engine/Adding.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "support/Members.h"
#include "util/Error.h"

namespace kv {
namespace {

class ArchiveRunTest : public test::EngineRunFixture {
  protected:
    ArchiveResult run() { return archiveAndReload(); }

    // Archives the rows as a new archive and reloads them, as after a first run.
    void firstRun() {
        const ArchiveResult r = run();
        ASSERT_TRUE(r.clean());
        ui = test::RecordingUi();
    }

    static std::string unpack(const RawEntry& entry) {
        return test::dataOf(entry.bytes.substr(format::RecordSize));
    }

    std::vector<std::string> fullPaths() const {
        std::vector<std::string> paths;
        for (const CatalogRow& row : archive.rows) paths.push_back(row.fullPath());
        return paths;
    }
};

TEST_F(ArchiveRunTest, NewArchiveStoresTheFilesThatExistAndSkipsTheOthersSilently) {
    addFile("C:\\Docs\\a.txt", "alpha");
    archive.rows.push_back(newRow("C:\\Docs\\parti.txt"));
    addFile("C:\\Docs\\Sous\\c.txt", std::string(70000, 'c'));
    addFile("C:\\Docs\\vide.txt", "");
    archive.listChanged = true;

    const ArchiveResult r = run();

    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(r.leftOut, 1);
    EXPECT_TRUE(r.clean());
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.labelTexts(ProgressLabel::File),
              (std::vector<std::string>{"Fichier : a.txt", "Fichier : c.txt", "Fichier : vide.txt",
                                        "Mise à jour de l'archive...",
                                        "Mise à jour de l'archive OK", "Terminé"}));
    EXPECT_EQ(ui.labelTexts(ProgressLabel::Path),
              (std::vector<std::string>{"Dossier : C:\\Docs\\", "Dossier : C:\\Docs\\Sous\\",
                                        "Dossier : C:\\Docs\\", ""}));
    EXPECT_EQ(ui.overallValues, (std::vector<int>{0, 2, 3}));
    // The compression's progress reached the per-file bar.
    EXPECT_NE(std::find(ui.filePercents.begin(), ui.filePercents.end(), 100),
              ui.filePercents.end());

    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(unpack(entries[0]), "alpha");
    EXPECT_EQ(unpack(entries[1]), std::string(70000, 'c'));
    EXPECT_EQ(unpack(entries[2]), "");
    EXPECT_EQ(entries[1].record.folder, "C:\\Docs\\Sous\\");
    EXPECT_EQ(entries[1].record.fileSize, 70000);
    EXPECT_EQ(entries[1].record.typeName, "Document texte");
    EXPECT_EQ(entries[1].record.fileDate, *platform().lastWriteDos("C:\\Docs\\Sous\\c.txt"));

    // Reloaded: stored rows in file order, then sorted by name; listChanged cleared.
    EXPECT_FALSE(archive.listChanged);
    EXPECT_EQ(fullPaths(), (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\Sous\\c.txt",
                                                     "C:\\Docs\\vide.txt"}));
    EXPECT_EQ(archive.rows[0].entryOffset, format::FirstEntryOffset);
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, UnchangedFilesGiveTheSameArchiveAgain) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", std::string(5000, 'b'));
    archive.comment = "Ma sauvegarde";
    firstRun();
    const std::string before = bytesOf(Archive);

    const ArchiveResult r = run();

    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.reused, 2);
    EXPECT_EQ(r.carriedOver, 0);
    EXPECT_EQ(bytesOf(Archive), before);
    expectNoTemporaries();
}

// An update that would write the archive again byte for byte writes
// nothing: it succeeds where a copy could not be made or put in place.
TEST_F(ArchiveRunTest, UpdateThatChangesNothingLeavesTheArchiveFileAlone) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", std::string(5000, 'b'));
    addFile("C:\\Docs\\z.txt", "zeta");
    firstRun();
    const std::string before = bytesOf(Archive);
    const ArchiveStamp stamp = ArchiveStampOf(Archive);
    remove("C:\\Docs\\z.txt");  // carried over as it is stored
    test::FaultPlatform fault;
    fault.install();
    fault.setFreeBytes('C', 0);
    ASSERT_TRUE(platform().setAttributes(Archive, platform().attributes(Archive) | attr::ReadOnly));

    ArchiveResult r = run();

    EXPECT_TRUE(r.clean());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ArchiveStampOf(Archive) == stamp);
    EXPECT_EQ(bytesOf(Archive), before);
    const auto labels = ui.labelTexts(ProgressLabel::File);
    EXPECT_EQ(std::vector<std::string>(labels.end() - 2, labels.end()),
              (std::vector<std::string>{"Mise à jour de l'archive OK", "Terminé"}));
    expectNoTemporaries();

    // Dropping the last row makes a shorter archive: the first two entries,
    // copied as they are.
    fault.reset();
    ASSERT_TRUE(
        platform().setAttributes(Archive, platform().attributes(Archive) & ~attr::ReadOnly));
    options.checkRecupeFile = true;
    r = run();
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(fullPaths(), (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\b.txt"}));
    EXPECT_EQ(bytesOf(Archive),
              before.substr(0, static_cast<std::size_t>(*archive.rows[1].entryOffset) +
                                   entriesOf(Archive)[1].bytes.size()));
    expectNoTemporaries();

    // An archive left empty is not written again either.
    remove("C:\\Docs\\a.txt");
    remove("C:\\Docs\\b.txt");
    ASSERT_TRUE(run().clean());
    ASSERT_EQ(bytesOf(Archive).size(), std::size_t{format::HeaderSize});
    const ArchiveStamp empty = ArchiveStampOf(Archive);
    EXPECT_TRUE(run().clean());
    EXPECT_TRUE(ArchiveStampOf(Archive) == empty);
}

TEST_F(ArchiveRunTest, MissingFileIsCarriedOverByteForByteOrDroppedWhenAsked) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\parti.txt", "bientôt effacé");
    addFile("C:\\Docs\\z.txt", "zeta");
    firstRun();
    // Bytes a writer need not zero (the record's pad) travel with the entry.
    std::string bytes = bytesOf(Archive);
    const std::size_t second = static_cast<std::size_t>(*archive.rows[1].entryOffset);
    bytes[second + format::PadAt] = '\x5A';
    rewriteArchive(bytes);
    const std::string carried = entriesOf(Archive)[1].bytes;
    remove("C:\\Docs\\parti.txt");

    ArchiveResult r = run();
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_TRUE(ui.messages.empty());
    auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].bytes, carried);
    ASSERT_EQ(archive.rows.size(), 3u);
    EXPECT_EQ(archive.rows[1].status, Missing);

    options.checkRecupeFile = true;
    r = run();
    EXPECT_EQ(r.carriedOver, 0);
    EXPECT_EQ(r.leftOut, 1);
    EXPECT_EQ(entriesOf(Archive).size(), 2u);
    EXPECT_EQ(fullPaths(), (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\z.txt"}));
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, NeverArchivedMissingRowIsAnnouncedOnlyInAnUpdate) {
    const char* const notice =
        "Le fichier < C:\\Docs\\jamais.txt > ne se trouve pas dans l'archive";
    addFile("C:\\Docs\\a.txt", "alpha");
    archive.rows.push_back(newRow("C:\\Docs\\jamais.txt"));
    firstRun();  // a new archive: no message (firstRun asserts a clean run)
    EXPECT_EQ(archive.rows.size(), 1u);

    archive.rows.push_back(newRow("C:\\Docs\\jamais.txt"));
    const ArchiveResult r = run();
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{notice});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(r.leftOut, 1);
    EXPECT_TRUE(r.clean());
}

struct CommentCase {
    const char* name;
    bool dateComment;
    std::string comment;
    std::string written;
};

class HeaderComment : public testing::TestWithParam<CommentCase> {};

TEST_P(HeaderComment, TodaysDateReplacesADatePrefixOrGoesInFront) {
    OpenArchive archive;
    RunOptions options;
    Environment env;
    env.separators = LocaleSeparators::french();
    env.now = [] { return DateTime{2026, 12, 8, 10, 30, 0}; };
    options.dateComment = GetParam().dateComment;
    archive.comment = GetParam().comment;
    EXPECT_EQ(headerComment(archive, options, env), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderComment,
    testing::Values(
        CommentCase{"NoDate", false, "[01/01/2020] Photos", "[01/01/2020] Photos"},
        CommentCase{"OldPrefixReplaced", true, "[01/01/2020] Photos", "[08/12/2026] Photos"},
        CommentCase{"OtherSeparators", true, "[01-01.2020]Photos", "[08/12/2026]Photos"},
        CommentCase{"WideSeparator", true, "[01\u00A001\u00A02020] Photos", "[08/12/2026] Photos"},
        CommentCase{"NoPrefixKeepsItsText", true, "Sauvegarde hebdo été",
                    "[08/12/2026] Sauvegarde hebdo été"},
        CommentCase{"TwelveCharactersThatAreNoDate", true, "éééééééééééé suite",
                    "[08/12/2026] éééééééééééé suite"},
        CommentCase{"ShortYearIsNoDate", true, "[01/01/20] Photos",
                    "[08/12/2026] [01/01/20] Photos"},
        CommentCase{"LettersAreNoDate", true, "[ab/cd/efgh] Photos",
                    "[08/12/2026] [ab/cd/efgh] Photos"},
        CommentCase{"LeadingBlankKept", true, " Photos", "[08/12/2026] Photos"},
        CommentCase{"ShortComment", true, "court", "[08/12/2026] court"},
        CommentCase{"Empty", true, "", "[08/12/2026]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveRunTest, HeaderGetsTheDatedCommentCutToItsField) {
    addFile("C:\\Docs\\a.txt", "alpha");
    options.dateComment = true;
    archive.comment = "[01/01/2020]" + std::string(100, 'x');
    firstRun();
    EXPECT_EQ(archive.comment, "[08/12/2026]" + std::string(70, 'x'));

    // A comment typed without a date keeps its text after the date, cut to the field.
    archive.comment = "Sauvegarde hebdo été " + std::string(80, 'y');
    ASSERT_TRUE(run().clean());
    EXPECT_EQ(archive.comment, "[08/12/2026] Sauvegarde hebdo été " + std::string(82 - 34, 'y'));
}

TEST_F(ArchiveRunTest, ReadOnlyAndHiddenFilesAreStoredAndKeepTheirAttributes) {
    addFile("C:\\Docs\\lecture.txt", "seule");
    const uint32_t attributes =
        platform().attributes("C:\\Docs\\lecture.txt") | attr::ReadOnly | attr::Hidden;
    ASSERT_TRUE(platform().setAttributes("C:\\Docs\\lecture.txt", attributes));

    const ArchiveResult r = run();

    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(platform().attributes("C:\\Docs\\lecture.txt"), attributes);
    EXPECT_EQ(unpack(entriesOf(Archive)[0]), "seule");
}

// ----- A run that stops leaves the archive as it was -----

TEST_F(ArchiveRunTest, StopButtonLeavesTheArchiveAndThePendingRows) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    firstRun();
    const std::string before = bytesOf(Archive);
    addFile("C:\\Docs\\nouveau.txt", "neuf");
    archive.listChanged = true;
    const Catalog rows = archive.rows;
    ui.onPump = [this] {
        if (ui.lastLabel(ProgressLabel::File) == "Fichier : b.txt") ui.cancel = true;
    };

    const ArchiveResult r = run();

    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(bytesOf(Archive), before);
    EXPECT_EQ(archive.rows.size(), rows.size());
    EXPECT_EQ(archive.rows.back().status, New);
    EXPECT_TRUE(archive.listChanged);
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, StoppedNewArchiveStaysAbsent) {
    addFile("C:\\Docs\\a.txt", "alpha");
    ui.cancel = true;
    const ArchiveResult r = run();
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(exists(Archive));
    EXPECT_EQ(archive.rows.size(), 1u);
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, ReadErrorInTheLoopThrowsAndLeavesTheArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", std::string(40000, 'b'));
    firstRun();
    const std::string before = bytesOf(Archive);
    remove("C:\\Docs\\b.txt");
    test::FaultPlatform fault;
    fault.install();
    fault.failReadAfter(Archive, format::HeaderSize + format::RecordSize + 200);

    EXPECT_THROW(run(), Error);

    fault.reset();
    EXPECT_EQ(bytesOf(Archive), before);
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");
    EXPECT_EQ(archive.rows.size(), 2u);
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, OldArchiveThatLostItsSignatureStopsTheRun) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    firstRun();
    remove("C:\\Docs\\b.txt");
    std::string damaged = bytesOf(Archive);
    damaged[16] = '3';  // "[File Korvelt V3]": no version of ours
    rewriteArchive(damaged);
    archive.listChanged = true;

    const ArchiveResult r = run();

    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(bytesOf(Archive), damaged);
    EXPECT_TRUE(archive.listChanged);
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");
    expectNoTemporaries();
}

// ----- Names as the disk spells them -----

// Earlier versions stored the folders of files added through the folder tree
// upper-cased. Such an archive still loads and its rows match the disk; the
// next update stores the true case, one entry for the file.
TEST_F(ArchiveRunTest, UpperCasedFoldersOfAnOlderArchiveGetTheTrueCase) {
    test::writeHandArchive(Archive, {{"C:\\DOCS\\PROJETS\\", "Makefile", "all:\n"}});
    drives.writeFile("C:\\Docs\\Projets\\Makefile", "all:\n");
    ASSERT_TRUE(platform().setLastWriteDos("C:\\Docs\\Projets\\Makefile", 0x5A210000));
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    ASSERT_EQ(archive.rows.size(), 1u);
    EXPECT_EQ(archive.rows[0].status, Unchanged);
    // The same file added in its own spelling is the row there is.
    AddOperation op(archive, ui, {}, {});
    AddSelectionEntry(op, "C:\\Docs\\Projets\\*.*");
    EXPECT_EQ(op.added, 0);

    const ArchiveResult r = run();

    EXPECT_TRUE(r.clean());
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].record.fullPath(), "C:\\Docs\\Projets\\Makefile");
    ASSERT_EQ(archive.rows.size(), 1u);
    EXPECT_EQ(archive.rows[0].fullPath(), "C:\\Docs\\Projets\\Makefile");
    EXPECT_EQ(archive.rows[0].status, Unchanged);
}

// ----- A file that cannot be stored keeps its last stored copy -----

TEST_F(ArchiveRunTest, LockedFileKeepsItsLastStoredEntry) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\verrou.txt", "ancienne version");
    firstRun();
    const std::string stored = entriesOf(Archive)[1].bytes;
    drives.writeFile("C:\\Docs\\verrou.txt", "nouvelle version plus longue");
    addFile("C:\\Docs\\neuf.txt", "jamais archivé");
    test::FaultPlatform fault;
    fault.install();
    fault.holdExclusively("C:\\Docs\\verrou.txt");
    fault.holdExclusively("C:\\Docs\\neuf.txt");

    const ArchiveResult r = run();

    fault.reset();
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Impossible d'archiver le fichier < verrou.txt >\r"
                                        "fichier utilisé par un autre programme",
                                        "Impossible d'archiver le fichier < neuf.txt >\r"
                                        "fichier utilisé par un autre programme"}));
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(r.leftOut, 1);
    EXPECT_EQ(r.failures, 2);
    EXPECT_TRUE(r.replaced);
    EXPECT_FALSE(r.clean());
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].bytes, stored);
    expectNoTemporaries();
}

// Why a file could not be stored is told on the message's second line, and
// the file keeps its last stored copy whatever the cause.
struct CauseCase {
    const char* name;
    std::function<void(test::TempDrives&, test::FaultPlatform&)> arrange;
    const char* cause;
};

class StoreCauseTest : public ArchiveRunTest, public testing::WithParamInterface<CauseCase> {};

TEST_P(StoreCauseTest, SecondLineTellsTheRealCause) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "ancienne version de b");
    firstRun();
    const std::string stored = entriesOf(Archive)[1].bytes;
    drives.writeFile("C:\\Docs\\b.txt", "nouvelle version de b, plus longue");
    test::FaultPlatform fault;
    fault.install();
    GetParam().arrange(drives, fault);

    const ArchiveResult r = run();

    fault.reset();
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{std::string("Impossible d'archiver le fichier < b.txt >\r") +
                                       GetParam().cause});
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(r.failures, 1);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].reason, std::string(GetParam().cause) +
                                        ", non archivé ; sa copie précédente reste dans l'archive");
    EXPECT_EQ(entriesOf(Archive)[1].bytes, stored);
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveRun, StoreCauseTest,
    testing::Values(
        CauseCase{
            "HeldByAnotherProgram",
            [](test::TempDrives&, test::FaultPlatform& f) { f.holdExclusively("C:\\Docs\\b.txt"); },
            "fichier utilisé par un autre programme"},
        CauseCase{"AccessRefused",
                  [](test::TempDrives&, test::FaultPlatform& f) { f.denyRead("C:\\Docs\\b.txt"); },
                  "accès refusé : vous n'avez pas le droit de lire ce fichier"},
        // A read of a pipe with no writer would wait for ever: it is never opened.
        CauseCase{"NamedPipe",
                  [](test::TempDrives& d, test::FaultPlatform&) {
                      const std::string host = d.hostPath("C:\\Docs\\b.txt");
                      std::filesystem::remove(host);
                      ASSERT_EQ(mkfifo(host.c_str(), 0644), 0);
                  },
                  "fichier spécial (tube nommé, socket ou périphérique), qui n'est pas lu"},
        CauseCase{"ReadFails",
                  [](test::TempDrives&, test::FaultPlatform& f) {
                      f.failReadAfter("C:\\Docs\\b.txt", 5);
                  },
                  "erreur de lecture du fichier"},
        CauseCase{"WorkFolderFull",
                  [](test::TempDrives&, test::FaultPlatform& f) {
                      f.diskFullAfter("C:\\Work\\tempKVR-*", 10);
                  },
                  "écriture impossible dans le dossier de travail (disque plein ?)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveRunTest, DamagedRecordRefusesTheUpdate) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    firstRun();
    remove("C:\\Docs\\b.txt");
    // b's CompressedSize runs past the end of the archive.
    std::string bytes = bytesOf(Archive);
    const std::size_t second = static_cast<std::size_t>(*archive.rows[1].entryOffset);
    bytes[second + format::CompressedSizeAt + 2] = '\x01';
    rewriteArchive(bytes);

    EXPECT_THROW(run(), Error);

    EXPECT_TRUE(bytesOf(Archive) == bytes);
    expectNoTemporaries();
}

// ----- Where the copies go -----

TEST_F(ArchiveRunTest, WorkFolderInTheArchiveFolderKeepsTheArchiveIntact) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    firstRun();
    remove("C:\\Docs\\b.txt");
    options.workFolder = "C:\\Arch";

    const ArchiveResult r = run();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(options.workFolder, "C:\\Arch\\");
    EXPECT_EQ(fullPaths(), (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\b.txt"}));
    EXPECT_EQ(namesIn("C:\\Arch"), std::vector<std::string>{"backup.kvr"});
}

TEST_F(ArchiveRunTest, MissingWorkFolderFallsBackToTheTemporaryFolder) {
    addFile("C:\\Docs\\a.txt", "alpha");
    options.workFolder = "C:\\Nulle\\Part";
    EXPECT_TRUE(run().clean());
    EXPECT_EQ(options.workFolder, platform().tempFolder());
    EXPECT_TRUE(namesIn("C:\\Temp").empty());
}

TEST_F(ArchiveRunTest, NoRoomOnTheArchiveDriveLeavesTheArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    firstRun();
    const std::string before = bytesOf(Archive);
    drives.writeFile("C:\\Docs\\a.txt", "alpha, changé");
    test::FaultPlatform fault;
    fault.install();
    fault.setFreeBytes('C', 200);

    const ArchiveResult r = run();

    EXPECT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{"Espace insuffisant sur le lecteur ( C),\rOpération annulée."});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
    EXPECT_FALSE(r.replaced);
    EXPECT_TRUE(r.completed);  // the catalog is read again all the same
    EXPECT_EQ(bytesOf(Archive), before);
    const auto labels = ui.labelTexts(ProgressLabel::File);
    EXPECT_EQ(std::vector<std::string>(labels.end() - 2, labels.end()),
              (std::vector<std::string>{"Opération annulée", "Terminé"}));
    expectNoTemporaries();
}

TEST_F(ArchiveRunTest, FullWorkDiskLosesNothing) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    firstRun();
    const std::string before = bytesOf(Archive);
    // b changes: a's entry, already in the archive, is copied when b's is
    // written, and fills the disk.
    drives.writeFile("C:\\Docs\\b.txt", "beta, deuxième version");
    test::FaultPlatform fault;
    fault.install();
    fault.diskFullAfter("C:\\Work\\", 300);

    EXPECT_THROW(run(), Error);

    fault.reset();
    EXPECT_EQ(bytesOf(Archive), before);
    expectNoTemporaries();
}

constexpr const char* ArchiveFile = "C:\\Arch\\backup.kvr";

struct ReplaceFault {
    const char* name;
    void (*arm)(test::FaultPlatform& fault);
};

class ReplaceFailure : public ArchiveRunTest, public testing::WithParamInterface<ReplaceFault> {};

TEST_P(ReplaceFailure, KeepsTheOldArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    firstRun();
    const std::string before = bytesOf(Archive);
    addFile("C:\\Docs\\b.txt", "beta");
    test::FaultPlatform fault;
    fault.install();
    ui.onPump = [&] {
        if (ui.lastLabel(ProgressLabel::File) == "Mise à jour de l'archive...")
            GetParam().arm(fault);
    };

    const ArchiveResult r = run();

    fault.reset();
    EXPECT_FALSE(r.replaced);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Opération annulée"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(bytesOf(Archive), before);
    const auto labels = ui.labelTexts(ProgressLabel::File);
    EXPECT_EQ(std::vector<std::string>(labels.end() - 2, labels.end()),
              (std::vector<std::string>{"Opération annulée", "Terminé"}));
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplaceFailure,
    testing::Values(ReplaceFault{"RenameFails",
                                 [](test::FaultPlatform& f) { f.holdExclusively(ArchiveFile); }},
                    // The Work folder on another file system: the copy goes beside the archive.
                    ReplaceFault{"CopyCannotBeCreated",
                                 [](test::FaultPlatform& f) {
                                     f.failRename("C:\\Work\\");
                                     f.failOpen("C:\\Arch\\~kvr*", OpenMode::Create);
                                 }},
                    ReplaceFault{"CopyDoesNotClose",
                                 [](test::FaultPlatform& f) {
                                     f.failRename("C:\\Work\\");
                                     f.failClose("C:\\Arch\\~kvr*");
                                 }},
                    ReplaceFault{"ArchiveIsReadOnly",
                                 [](test::FaultPlatform&) {
                                     platform().setAttributes(
                                         ArchiveFile,
                                         platform().attributes(ArchiveFile) | attr::ReadOnly);
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

struct OneWriteCase {
    const char* name;
    void (*arm)(test::FaultPlatform& fault);
};

class OneWrite : public ArchiveRunTest, public testing::WithParamInterface<OneWriteCase> {};

TEST_P(OneWrite, TheFinishedCopyReplacesTheArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    firstRun();
    addFile("C:\\Docs\\b.txt", "beta");
    test::FaultPlatform fault;
    fault.install();
    ui.onPump = [&] {
        if (ui.lastLabel(ProgressLabel::File) == "Mise à jour de l'archive...")
            GetParam().arm(fault);
    };

    const ArchiveResult r = run();

    fault.reset();
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(fullPaths(), (std::vector<std::string>{"C:\\Docs\\a.txt", "C:\\Docs\\b.txt"}));
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(
    Folders, OneWrite,
    testing::Values(
        // Same file system: renamed, so nothing is ever made beside the archive.
        OneWriteCase{
            "RenamedWithoutACopy",
            [](test::FaultPlatform& f) { f.failOpen("C:\\Arch\\~kvr*", OpenMode::Create); }},
        OneWriteCase{"OtherFileSystemCopiedOnceBeside",
                     [](test::FaultPlatform& f) { f.failRename("C:\\Work\\"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveRunTest, WorkFolderThatCannotTakeTheCopyChangesNothing) {
    addFile("C:\\Docs\\a.txt", "alpha");
    test::FaultPlatform fault;
    fault.install();
    fault.failOpen("C:\\Work\\", OpenMode::Create);

    EXPECT_THROW(run(), Error);

    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Opération annulée"});
    EXPECT_FALSE(exists(Archive));
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");
}

TEST_F(ArchiveRunTest, TheCatalogIsLeftToTheCallerToReadAgain) {
    addFile("C:\\Docs\\a.txt", "alpha");
    const ArchiveResult r = ArchiveFiles(archive, options, env, ui);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(archive.rows[0].status, New);
    EXPECT_FALSE(archive.rows[0].entryOffset);
}

}  // namespace
}  // namespace kv
