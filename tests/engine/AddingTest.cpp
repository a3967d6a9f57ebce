#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "HandMadeArchive.h"
#include "engine/Adding.h"
#include "platform/DosTime.h"
#include "platform/Platform.h"
#include "support/DeniedFolder.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"

namespace kv {
namespace {

class AddingTest : public testing::Test {
  protected:
    void SetUp() override {
        archive.path = "C:\\Root\\backup.kvr";
        for (const char* folder : {"C:\\Root", "C:\\Root\\Sub", "C:\\Root\\Sub\\Deeper",
                                   "C:\\Root\\.hidden", "C:\\Root\\Zed"})
            platform().createDirectory(folder);
        for (const char* file :
             {"C:\\Root\\b.txt", "C:\\Root\\a.doc", "C:\\Root\\.secret.txt", "C:\\Root\\backup.kvr",
              "C:\\Root\\Sub\\c.txt", "C:\\Root\\Sub\\Deeper\\d.txt", "C:\\Root\\.hidden\\no.txt",
              "C:\\Root\\Zed\\e.doc"})
            test::writeWinFile(file, "12345");
    }

    AddOperation operation() {
        return AddOperation(
            archive, ui,
            [](const std::string& path) { return "type of " + path.substr(path.size() - 3); },
            [this](const std::string& name) {
                asked.push_back(name);
                return answer;
            });
    }

    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const CatalogRow& row : archive.rows) out.push_back(row.fullPath());
        return out;
    }

    test::TempDrives drives;
    test::RecordingUi ui;
    OpenArchive archive;
    std::vector<std::string> asked;
    std::string answer;
};

TEST_F(AddingTest, FolderLineTakesFilesFirstThenSubfoldersDepthFirst) {
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\*.*");
    // Hidden files are taken, hidden folders not entered, the archive itself never listed.
    EXPECT_EQ(paths(),
              (std::vector<std::string>{"C:\\Root\\.secret.txt", "C:\\Root\\a.doc",
                                        "C:\\Root\\b.txt", "C:\\Root\\Sub\\c.txt",
                                        "C:\\Root\\Sub\\Deeper\\d.txt", "C:\\Root\\Zed\\e.doc"}));
    EXPECT_EQ(op.added, 6);
    EXPECT_GE(ui.pumps, 6);
}

TEST_F(AddingTest, MaskFiltersFilesInEverySubfolder) {
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\*.txt");
    EXPECT_EQ(paths(),
              (std::vector<std::string>{"C:\\Root\\.secret.txt", "C:\\Root\\b.txt",
                                        "C:\\Root\\Sub\\c.txt", "C:\\Root\\Sub\\Deeper\\d.txt"}));
}

TEST_F(AddingTest, NewRowCarriesTheListingValues) {
    platform().setLastWriteDos("C:\\Root\\b.txt", *toDosDateTime({2024, 3, 9, 14, 5, 20}));
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\b.txt");
    ASSERT_EQ(archive.rows.size(), 1u);
    const CatalogRow& row = archive.rows[0];
    EXPECT_EQ(row.status, New);
    EXPECT_EQ(row.name, "b.txt");
    EXPECT_EQ(row.folder, "C:\\Root\\");
    EXPECT_EQ(row.size, 5);
    EXPECT_FALSE(row.compressedSize);
    EXPECT_EQ(row.fileDate, *toDosDateTime({2024, 3, 9, 14, 5, 20}));
    EXPECT_EQ(row.typeName, "type of txt");
    EXPECT_FALSE(row.entryOffset);
}

// ----- What enters the catalog is spelled as the disk spells it -----

TEST_F(AddingTest, EveryWayInTakesTheTrueCase) {
    auto op = operation();
    AddSelectionEntry(op, "c:\\ROOT\\SUB\\C.TXT");  // a file line typed in another case
    AddSelectionEntry(op, "C:\\ROOT\\ZED\\*.*");    // a folder as the tree keeps it
    TakeInPath(op, "C:\\root\\B.TXT", false);       // a drop
    ScanFolder(op, "C:\\ROOT\\SUB\\DEEPER", "*.*");
    EXPECT_EQ(paths(),
              (std::vector<std::string>{"C:\\Root\\Sub\\c.txt", "C:\\Root\\Zed\\e.doc",
                                        "C:\\Root\\b.txt", "C:\\Root\\Sub\\Deeper\\d.txt"}));
    // Any other spelling of a listed file is that file.
    AddSelectionEntry(op, "C:\\Root\\Sub\\c.txt");
    AddSelectionEntry(op, "C:\\ROOT\\*.doc");
    EXPECT_EQ(paths().size(), 5u);
    EXPECT_EQ(paths().back(), "C:\\Root\\a.doc");
}

TEST_F(AddingTest, SizesOfFilesPast2GiBAreWholeNumbers) {
    // Sparse files: no disk space is taken.
    std::filesystem::resize_file(drives.hostPath("C:\\Root\\b.txt"), int64_t(3) << 30);
    std::filesystem::resize_file(drives.hostPath("C:\\Root\\Zed\\e.doc"), int64_t(5) << 30);
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\b.txt");       // size from the disk
    TakeInPath(op, "C:\\Root\\Zed\\e.doc", false);  // a drop: FileSizeOf
    std::filesystem::resize_file(drives.hostPath("C:\\Root\\a.doc"), int64_t(1) << 32);
    ScanFolder(op, "C:\\Root", "doc");  // from the listing
    ASSERT_EQ(archive.rows.size(), 3u);
    EXPECT_EQ(archive.rows[0].size, int64_t(3) << 30);
    EXPECT_EQ(archive.rows[1].size, int64_t(5) << 30);
    EXPECT_EQ(archive.rows[2].name, "a.doc");
    EXPECT_EQ(archive.rows[2].size, int64_t(1) << 32);
}

TEST_F(AddingTest, KnownPathsIgnoreCaseAndNothingIsListedTwice) {
    CatalogRow existing;
    existing.name = "B.TXT";
    existing.folder = "c:\\root\\";
    archive.rows.push_back(existing);
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\b.txt");
    AddSelectionEntry(op, "C:\\ROOT\\BACKUP.KVR");  // the open archive
    AddSelectionEntry(op, "C:\\Root\\a.doc");
    AddSelectionEntry(op, "c:\\root\\A.DOC");
    AddSelectionEntry(op, "C:\\Root\\missing.txt");
    AddSelectionEntry(op, "C:\\Nowhere\\*.*");
    AddSelectionEntry(op, "   ");
    EXPECT_EQ(paths(), (std::vector<std::string>{"c:\\root\\B.TXT", "C:\\Root\\a.doc"}));
    EXPECT_TRUE(op.known.contains("C:\\ROOT\\MISSING.TXT"));  // a missing file still becomes known

    KnownPaths accents;
    EXPECT_TRUE(accents.insert("C:\\Été\\Œuvre.txt"));
    EXPECT_FALSE(accents.insert("c:\\éTÉ\\œUVRE.TXT"));
}

TEST_F(AddingTest, LongNamesAskForAShorterOneAndRenameTheFile) {
    const std::string hundred(100, 'h');
    const std::string longer(101, 'l');
    test::writeWinFile("C:\\Root\\" + hundred, "x");
    test::writeWinFile("C:\\Root\\" + longer, "y");
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\" + hundred);
    EXPECT_TRUE(asked.empty());

    answer = "   ";  // blanks only: skipped
    AddSelectionEntry(op, "C:\\Root\\" + longer);
    EXPECT_EQ(asked, std::vector<std::string>{longer});
    EXPECT_EQ(archive.rows.size(), 1u);

    answer = " short.txt ";
    AddSelectionEntry(op, "C:\\Root\\" + longer);
    EXPECT_EQ(paths().back(), "C:\\Root\\short.txt");
    EXPECT_TRUE(platform().fileExists("C:\\Root\\short.txt"));
    EXPECT_FALSE(platform().fileExists("C:\\Root\\" + longer));

    // Length counts stored bytes: 60 accented letters fit in 60 bytes.
    std::string accented;
    for (int i = 0; i < 60; ++i) accented += "é";
    test::writeWinFile("C:\\Root\\" + accented, "z");
    AddSelectionEntry(op, "C:\\Root\\" + accented);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(archive.rows.back().name, accented);
}

TEST_F(AddingTest, EscapeStopsTheWalkAtTheNextFile) {
    ui.onPump = [this] { ui.goOn = false; };
    auto op = operation();
    EXPECT_FALSE(ScanFolder(op, "C:\\Root", "*.*"));
    EXPECT_EQ(archive.rows.size(), 1u);
}

TEST_F(AddingTest, AFileThatCannotBeTakenInIsReportedAndStopsTheWalk) {
    AddOperation op(archive, ui,
                    [](const std::string& path) -> std::string {
                        if (path.ends_with("b.txt")) throw std::bad_alloc();
                        return "type";
                    },
                    {});
    EXPECT_FALSE(ScanFolder(op, "C:\\Root", "*.*"));
    EXPECT_EQ(op.leftOut, 1);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le fichier < C:\\Root\\b.txt > n'a pas pu être ajouté : "
                                       "Mémoire insuffisante."});
}

TEST_F(AddingTest, WalkTellsALinkToAFolderAndNeverEntersIt) {
    // up leads back to Root: followed, the walk would take every file again
    // at each turn until the host gave up on the path.
    namespace fs = std::filesystem;
    fs::create_directory_symlink("..", drives.hostPath("C:\\Root\\Sub\\up"));
    fs::create_symlink("../b.txt", drives.hostPath("C:\\Root\\Zed\\lien.txt"));
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\*.txt");
    // A link to a file is a file: it is taken in.
    EXPECT_EQ(paths(), (std::vector<std::string>{
                           "C:\\Root\\.secret.txt", "C:\\Root\\b.txt", "C:\\Root\\Sub\\c.txt",
                           "C:\\Root\\Sub\\Deeper\\d.txt", "C:\\Root\\Zed\\lien.txt"}));
    EXPECT_EQ(op.leftOut, 1);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le dossier < C:\\Root\\Sub\\up\\ > n'est pas archivé : "
                                       "c'est un lien vers un autre dossier, qui n'est pas suivi"});
}

TEST_F(AddingTest, FolderOfTheKernelIsToldNotWalked) {
    // A line asking for a folder of proc, through a link the user named.
    std::filesystem::create_directory_symlink("/proc/self", drives.hostPath("C:\\Root\\moi"));
    auto op = operation();
    const auto start = std::chrono::steady_clock::now();
    AddSelectionEntry(op, "C:\\Root\\moi\\*.*");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(archive.rows.empty());
    EXPECT_EQ(op.leftOut, 1);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le dossier < C:\\Root\\moi\\ > n'est pas archivé : c'est "
                                       "un dossier du système (proc, sys, dev...), qui n'est "
                                       "jamais parcouru"});
}

TEST_F(AddingTest, WhatCannotBeReadIsToldAndCounted) {
    platform().createDirectory("C:\\Root\\Secret");
    test::writeWinFile("C:\\Root\\Secret\\x.txt", "x");
    const test::DeniedFolder denied(drives.hostPath("C:\\Root\\Secret"));
    auto op = operation();
    AddSelectionEntry(op, "C:\\Root\\Sub\\*.*");
    AddSelectionEntry(op, "C:\\Root\\*.doc");
    AddSelectionEntry(op, "C:\\Root\\Secret\\x.txt");
    AddSelectionEntry(op, "C:\\Root\\Secret\\*.*");
    EXPECT_EQ(paths(),
              (std::vector<std::string>{"C:\\Root\\Sub\\c.txt", "C:\\Root\\Sub\\Deeper\\d.txt",
                                        "C:\\Root\\a.doc", "C:\\Root\\Zed\\e.doc"}));
    EXPECT_EQ(op.leftOut, 3);
    EXPECT_EQ(
        ui.messageTexts(),
        (std::vector<std::string>{
            "Le dossier < C:\\Root\\Secret\\ > n'est pas archivé : son contenu ne peut pas être lu",
            "Le fichier < C:\\Root\\Secret\\x.txt > n'est pas archivé : son dossier ne peut pas "
            "être lu",
            "Le dossier < C:\\Root\\Secret\\ > n'est pas archivé : son contenu ne peut pas être "
            "lu"}));
}

TEST_F(AddingTest, LinesAreReadAsMeantOrToldWhenTheyNameNothingWhole) {
    test::writeWinFile("C:\\Root\\blanc ", "a name that ends in a blank");
    auto op = operation();
    AddSelectionEntry(op, "  C:\\Root\\b.txt \t ");     // blanks around a file line
    AddSelectionEntry(op, "C:\\Root\\blanc ");          // a name that ends in one
    AddSelectionEntry(op, "\tC:\\Root\\Zed\\*.doc  ");  // blanks around a folder line
    AddSelectionEntry(op, "Root\\a.doc");               // a path without its drive
    AddSelectionEntry(op, "\\*.*");
    EXPECT_EQ(paths(), (std::vector<std::string>{"C:\\Root\\b.txt", "C:\\Root\\blanc ",
                                                 "C:\\Root\\Zed\\e.doc"}));
    EXPECT_EQ(op.leftOut, 2);
    const std::string why =
        " > n'est pas archivé : il ne commence pas par une lettre de lecteur (comme C:\\), il "
        "n'est pas complet";
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{"Le chemin < Root\\a.doc" + why,
                                                           "Le chemin < \\*.*" + why}));
}

}  // namespace
}  // namespace kv
