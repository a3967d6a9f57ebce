// The archive file commands of the main window, driven end to end through the
// chooser, the dialog runner and the real engine.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeView>
#include <filesystem>

#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/RecordingUi.h"

namespace kv::test {
namespace {

class ArchiveCommands : public WindowTest {
  protected:
    // An archive on disk holding a.txt (1500 bytes) and b.txt (2500 bytes).
    TMainKorvelt2002& openedArchive() {
        writeSized("C:\\d\\a.txt", 1500);
        writeSized("C:\\d\\b.txt", 2500);
        TMainKorvelt2002& w = makeWindow();
        archiveThroughWindow("C:\\d\\arch.kvr", {"C:\\d\\a.txt", "C:\\d\\b.txt"});
        boxes.clear();
        return w;
    }
    QString comment() const { return window->findChild<QLineEdit*>("EditComment")->text(); }
};

TEST_F(ArchiveCommands, NewArchiveIsNamedButNotWrittenAndNeverReplacesAFile) {
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QString("C:\\n.kvr"));
    trigger("New_Arch");
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, "Créer une nouvelle archive KVR");
    EXPECT_EQ(chooser.requests[0].defaultExtension, "kvr");
    EXPECT_EQ(chooser.requests[0].filter, "Fichiers KVR (*.kvr)");
    EXPECT_EQ(w.windowTitle(), "Korvelt - [ n.kvr ]");
    EXPECT_EQ(comment(), "[08/12/2026] Sauvegarde");
    EXPECT_FALSE(platform().fileExists("C:\\n.kvr"));
    EXPECT_FALSE(action("Restaure")->isEnabled());
    EXPECT_FALSE(action("SelfExtractor")->isEnabled());
    EXPECT_TRUE(action("Archiver")->isEnabled());
    EXPECT_EQ(w.statusText(0), "");

    // A name that exists is refused and the archive stays as it was.
    drives.writeFile("C:\\pris.kvr", "x");
    w.options().dateComment = false;
    chooser.files.push_back(QString("C:\\pris.kvr"));
    trigger("New_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Information");
    EXPECT_EQ(boxes[0].text, "Le fichier < pris.kvr > existe déjà.");
    EXPECT_EQ(w.archive().path, "C:\\n.kvr");

    chooser.files.push_back(QString("C:\\m.kvr"));
    trigger("New_Arch");
    EXPECT_EQ(comment(), "Sauvegarde");
}

TEST_F(ArchiveCommands, ArchivingANewArchiveWritesItAndReloadsTheCatalog) {
    TMainKorvelt2002& w = openedArchive();
    EXPECT_TRUE(platform().fileExists("C:\\d\\arch.kvr"));
    EXPECT_EQ(w.windowTitle(), "Korvelt - [ arch.kvr ]");
    ASSERT_EQ(w.archive().rows.size(), 2u);
    EXPECT_EQ(w.archive().rows[0].status, Unchanged);
    EXPECT_TRUE(w.archive().rows[0].entryOffset);
    EXPECT_EQ(w.statusText(0), " 2 fichier(s)  4,00 Ko");
    EXPECT_FALSE(w.archive().listChanged);
    EXPECT_TRUE(action("Restaure")->isEnabled());
    EXPECT_EQ(comment(), "[08/12/2026] Sauvegarde");
    EXPECT_FALSE(window->forms().wait->isVisible());
    EXPECT_EQ(window->forms().progress->labelFile()->text(), "Terminé");
}

TEST_F(ArchiveCommands, ArchiveDoesNothingWithoutRowsAndPreparesTheProgressDialog) {
    makeWindow();
    int shown = 0;
    onProgress = [&](TFormProgress& progress) {
        ++shown;
        EXPECT_EQ(progress.windowTitle(), "Archivage des fichiers");
        EXPECT_EQ(progress.labelFile()->text(), "Fichier :");
        EXPECT_EQ(progress.labelPath()->text(), "Dossier :");
        EXPECT_FALSE(progress.checkRecupe()->isChecked());
        EXPECT_FALSE(progress.checkRecupe()->isHidden());
        return int(QDialog::Rejected);
    };
    trigger("Archiver");  // no archive
    chooser.files.push_back(QString("C:\\n.kvr"));
    trigger("New_Arch");
    trigger("Archiver");  // no rows
    EXPECT_EQ(shown, 0);
    writeSized("C:\\a.txt", 1);
    drop({"C:\\a.txt"});
    trigger("Archiver");  // a new archive with rows: shown although no file exists yet
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(platform().fileExists("C:\\n.kvr"));
}

TEST_F(ArchiveCommands, LoadingMarksModifiedAndMissingFilesAndTellsOnce) {
    openedArchive();
    window.reset();
    const auto written = platform().lastWriteDos("C:\\d\\a.txt");
    ASSERT_TRUE(written);
    ASSERT_TRUE(platform().setLastWriteDos("C:\\d\\a.txt", *written + (1 << 25)));  // a year later
    platform().removeFile("C:\\d\\b.txt");
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QString("C:\\d\\arch.kvr"));
    trigger("Open_Arch");
    EXPECT_EQ(chooser.requests.back().title, "Ouvrir une archive KVR");
    ASSERT_EQ(w.archive().rows.size(), 2u);
    EXPECT_EQ(w.archive().rows[0].status, Modified);
    EXPECT_EQ(w.archive().rows[1].status, Missing);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Certains fichiers ont été modifiés depuis la dernière sauvegarde");
    EXPECT_EQ(w.forms().wait->labelWait()->text(), "Chargement de l'archive.");
    EXPECT_FALSE(w.forms().wait->isVisible());
    EXPECT_EQ(w.statusText(0), " 2 fichier(s)  4,00 Ko");

    chooser.files.push_back(QString("C:\\d\\absente.kvr"));
    trigger("Open_Arch");
    EXPECT_EQ(boxes.back().title, "Avertissement");
    EXPECT_EQ(boxes.back().text, "Le fichier < absente.kvr > n'existe pas.");
    EXPECT_EQ(w.archive().path, "C:\\d\\arch.kvr");
}

TEST_F(ArchiveCommands, AnIncompatibleFileLeavesAnEmptyCatalogNamedAfterIt) {
    drives.writeFile("C:\\faux.kvr", std::string(200, 'z'));
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QString("C:\\faux.kvr"));
    trigger("Open_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, "fichier non compatible avec cette version du programme");
    EXPECT_TRUE(w.archive().rows.empty());
    EXPECT_EQ(w.windowTitle(), "Korvelt - [ faux.kvr ]");
    EXPECT_FALSE(action("Restaure")->isEnabled());
    EXPECT_TRUE(action("Archiver")->isEnabled());
    EXPECT_EQ(w.statusText(0), " 0 fichier(s)  0,00 Ko");
}

// Every command that asks about unarchived changes stops on Cancel.
TEST_F(ArchiveCommands, UnarchivedChangesAreAskedAboutAndCancelStops) {
    const char* const commands[] = {"New_Arch", "Open_Arch", "SaveAs_Arch", "Move_Arch",
                                    "Close_Arch"};
    TMainKorvelt2002& w = openedArchive();
    writeSized("C:\\d\\c.txt", 3);
    drop({"C:\\d\\c.txt"});
    ASSERT_TRUE(w.archive().listChanged);
    for (const char* name : commands) {
        boxes.clear();
        chooser.requests.clear();
        answers = {QMessageBox::Cancel};
        trigger(name);
        ASSERT_EQ(boxes.size(), 1u) << name;
        EXPECT_EQ(boxes[0].title, "Confirmation");
        EXPECT_EQ(boxes[0].text,
                  "Le contenue de la liste a changé,\nvoulez-vous archiver les changements ?");
        EXPECT_TRUE(chooser.requests.empty()) << name;
        EXPECT_EQ(w.archive().rows.size(), 3u) << name;
        EXPECT_EQ(w.archive().path, "C:\\d\\arch.kvr");
    }
    // Restore refuses outright while changes are pending.
    boxes.clear();
    trigger("Restaure");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Le contenu de la liste a changé,\nil est obligatoire d'archiver avant de restaurer "
              "des fichiers");

    // Yes archives first, then the command goes on: the catalog was reloaded
    // (cleared), and the new archive starts with no changes.
    answers = {QMessageBox::Yes};
    chooser.files.push_back(QString("C:\\d\\deux.kvr"));
    trigger("New_Arch");
    EXPECT_EQ(w.archive().path, "C:\\d\\deux.kvr");
    EXPECT_FALSE(w.archive().listChanged);
    EXPECT_TRUE(w.archive().rows.empty());
    {
        std::string stored = drives.readFile("C:\\d\\arch.kvr");
        EXPECT_NE(stored.find("c.txt"), std::string::npos);  // c.txt went into the old archive
    }
    chooser.files.push_back(QString("C:\\d\\arch.kvr"));
    trigger("Open_Arch");
    ASSERT_EQ(w.archive().rows.size(), 3u);
    drop({"C:\\d\\a.txt"});  // already listed: nothing added, but a change all the same
    EXPECT_EQ(w.archive().rows.size(), 3u);
    EXPECT_TRUE(w.archive().listChanged);

    // No: close goes on without archiving.
    answers = {QMessageBox::No};
    trigger("Close_Arch");
    EXPECT_EQ(w.windowTitle(), "Korvelt");
    EXPECT_TRUE(w.archive().rows.empty());
    EXPECT_FALSE(w.archive().listChanged);
    EXPECT_EQ(comment(), "");
    EXPECT_EQ(w.statusText(0), "");
    EXPECT_EQ(w.statusText(1), "");
}

TEST_F(ArchiveCommands, SaveAsCopiesTheArchiveAndRefusesTheSameFile) {
    TMainKorvelt2002& w = openedArchive();
    chooser.files.push_back(QString("C:\\D\\ARCH.KVR"));
    trigger("SaveAs_Arch");
    EXPECT_EQ(chooser.requests.back().title, "Enregistrer l'archive sous un nouveau nom");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, "Le fichier de destination est identique au fichier source.");

    drives.writeFile("C:\\autre.kvr", "vieux");
    chooser.files.push_back(QString("C:\\autre.kvr"));
    answers = {QMessageBox::Cancel};
    trigger("SaveAs_Arch");
    EXPECT_EQ(boxes.back().text, "Le fichier < autre.kvr > existe déjà,\nEcraser le fichier ?");
    EXPECT_EQ(drives.readFile("C:\\autre.kvr"), "vieux");

    chooser.files.push_back(QString("C:\\autre.kvr"));
    trigger("SaveAs_Arch");  // Yes
    EXPECT_EQ(drives.readFile("C:\\autre.kvr"), drives.readFile("C:\\d\\arch.kvr"));
    EXPECT_EQ(w.windowTitle(), "Korvelt - [ autre.kvr ]");
    EXPECT_EQ(w.archive().rows.size(), 2u);
}

// The copy is put in place by a rename: a destination named through a link
// is the file the link leads to, and the link stays.
TEST_F(ArchiveCommands, SaveAsOntoALinkWritesTheFileItLeadsTo) {
    TMainKorvelt2002& w = openedArchive();
    drives.writeFile("C:\\vrai\\copie.kvr", "vieux");
    drives.makeFolder("C:\\lien");
    const std::string link = drives.hostPath("C:\\lien\\copie.kvr");
    std::filesystem::create_symlink(drives.hostPath("C:\\vrai\\copie.kvr"), link);
    chooser.files.push_back(QString("C:\\lien\\copie.kvr"));
    trigger("SaveAs_Arch");  // Yes to the overwrite question
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(drives.readFile("C:\\vrai\\copie.kvr"), drives.readFile("C:\\d\\arch.kvr"));
    EXPECT_EQ(w.archive().rows.size(), 2u);
}

TEST_F(ArchiveCommands, SaveAsMoveAndDeleteNeedAnArchiveOnDisk) {
    // Their shortcuts and last enabled states outlive the menu's rule.
    TMainKorvelt2002& w = makeWindow();
    chooser.files.push_back(QString("C:\\n.kvr"));
    trigger("New_Arch");
    chooser.requests.clear();
    trigger("SaveAs_Arch");
    trigger("Move_Arch");
    trigger("Dell_Arch");
    EXPECT_TRUE(chooser.requests.empty());
    EXPECT_TRUE(chooser.folderTitles.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(w.archive().path, "C:\\n.kvr");
}

TEST_F(ArchiveCommands, MoveAsksWithTheFullPathAndLeavesOneFile) {
    TMainKorvelt2002& w = openedArchive();
    const std::string bytes = drives.readFile("C:\\d\\arch.kvr");
    drives.makeFolder("C:\\ailleurs");
    drives.writeFile("C:\\ailleurs\\arch.kvr", "vieux");
    chooser.folders.push_back(QString("C:\\ailleurs"));
    answers = {QMessageBox::Cancel};
    trigger("Move_Arch");
    ASSERT_EQ(chooser.folderTitles.size(), 1u);
    EXPECT_EQ(chooser.folderTitles[0], "Sélectionner un dossier de destination");
    EXPECT_EQ(boxes.back().text,
              "Le fichier < C:\\ailleurs\\arch.kvr > existe déjà,\nEcraser le fichier ?");
    EXPECT_TRUE(platform().fileExists("C:\\d\\arch.kvr"));

    chooser.folders.push_back(QString("C:\\ailleurs"));
    trigger("Move_Arch");
    EXPECT_FALSE(platform().fileExists("C:\\d\\arch.kvr"));
    EXPECT_EQ(drives.readFile("C:\\ailleurs\\arch.kvr"), bytes);
    EXPECT_EQ(w.archive().path, "C:\\ailleurs\\arch.kvr");

    chooser.folders.push_back(QString("C:\\ailleurs\\"));
    trigger("Move_Arch");
    EXPECT_EQ(boxes.back().text, "Le fichier de destination est identique au fichier source.");
}

TEST_F(ArchiveCommands, DeleteAsksWithoutTheChangesPromptAndClosesTheArchive) {
    TMainKorvelt2002& w = openedArchive();
    w.archive().listChanged = true;
    // Enter presses the button that keeps the file.
    answers = {PressEnter};
    trigger("Dell_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].defaultButton, QMessageBox::Cancel);
    EXPECT_EQ(boxes[0].text,
              "ATTENTION, vous avez demandé de détruire une archive,\ncette commande efface "
              "définitivement l'archive "
              "sans\npasser par la corbeille, le fichier est donc irrécupérable.\n\nEtes-vous "
              "sûr(e) de vouloir "
              "supprimer cette archive ?\n\n< arch.kvr >");
    EXPECT_TRUE(platform().fileExists("C:\\d\\arch.kvr"));
    trigger("Dell_Arch");
    EXPECT_FALSE(platform().fileExists("C:\\d\\arch.kvr"));
    EXPECT_EQ(w.windowTitle(), "Korvelt");
    EXPECT_FALSE(w.archiveOpen());
    EXPECT_FALSE(w.archive().listChanged);
}

TEST_F(ArchiveCommands, RestoreRunsThroughItsDialogs) {
    TMainKorvelt2002& w = openedArchive();
    drives.makeFolder("C:\\dest");
    onRestaure = [&](TFormRestaure& dialog) {
        // Nothing selected: every file.
        EXPECT_EQ(dialog.selection(), RestoreSelection::AllEntries);
        dialog.checkDir()->setChecked(false);
        dialog.CheckDirClick();
        return int(QDialog::Accepted);
    };
    trigger("Restaure");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Vous n'avez pas indiqué le chemin du dossier de restauration");

    int progressShown = 0;
    onRestaure = [&](TFormRestaure& dialog) {
        EXPECT_EQ(dialog.selection(), RestoreSelection::SelectedRows);
        dialog.editDir()->setText("C:\\dest\\");
        dialog.checkArboresence()->setChecked(false);
        return int(QDialog::Accepted);
    };
    onProgress = [&](TFormProgress& progress) {
        ++progressShown;
        EXPECT_EQ(progress.windowTitle(), "Restauration des fichiers");
        EXPECT_EQ(progress.labelFile()->text(), "Fichier : ");
        EXPECT_TRUE(progress.checkRecupe()->isHidden());
        progress.show();
        progress.ButtonDemarreClick();
        progress.hide();
        return progress.result();
    };
    trigger("SelectAll_Arch");
    w.listView()->selectionModel()->select(
        w.catalogModel().index(0, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    trigger("Restaure");
    EXPECT_EQ(progressShown, 1);
    EXPECT_FALSE(platform().fileExists("C:\\dest\\a.txt"));
    EXPECT_EQ(drives.readFile("C:\\dest\\b.txt"), std::string(2500, 'k'));
}

TEST_F(ArchiveCommands, RestoreAsksBeforeReplacingNewerWorkEnterKeepsIt) {
    openedArchive();
    const int32_t stored = *platform().lastWriteDos("C:\\d\\a.txt");
    auto newerWork = [&] {
        drives.writeFile("C:\\d\\a.txt", "travail plus récent");
        drives.writeFile("C:\\d\\b.txt", "travail plus récent");
        platform().setLastWriteDos("C:\\d\\a.txt", 0x64210000);  // 1 Jan 2030
        platform().setLastWriteDos("C:\\d\\b.txt", 0x64210000);
    };
    newerWork();
    answers = {PressEnter, PressEnter};  // to the stored folders: the dialog's first choice
    trigger("Restaure");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Confirmation");
    EXPECT_EQ(boxes[0].text,
              "Le fichier < C:\\d\\a.txt > existe déjà et il est plus récent que la copie "
              "archivée.\nLe remplacer ?");
    EXPECT_EQ(boxes[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(drives.readFile("C:\\d\\a.txt"), "travail plus récent");
    EXPECT_EQ(drives.readFile("C:\\d\\b.txt"), "travail plus récent");

    boxes.clear();
    answers = {QMessageBox::YesToAll};
    trigger("Restaure");
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(drives.readFile("C:\\d\\a.txt"), std::string(1500, 'k'));
    EXPECT_EQ(drives.readFile("C:\\d\\b.txt"), std::string(2500, 'k'));
    // Back with their stored dates, the files are unchanged in the catalog.
    EXPECT_EQ(platform().lastWriteDos("C:\\d\\a.txt"), stored);
}

TEST_F(ArchiveCommands, HeaderOnlyRewritesTheCommentOfAnExistingArchive) {
    makeWindow();
    chooser.files.push_back(QString("C:\\n.kvr"));
    trigger("New_Arch");
    trigger("ModiEnTete");  // never written: nothing
    EXPECT_TRUE(boxes.empty());
    window.reset();

    TMainKorvelt2002& w2 = openedArchive();
    w2.findChild<QLineEdit*>("EditComment")->setText("Nouveau commentaire");
    trigger("ModiEnTete");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "L'en-tête du fichier a été modifiée");
    trigger("Open_Arch");  // cancelled
    chooser.files.push_back(QString("C:\\d\\arch.kvr"));
    trigger("Open_Arch");
    EXPECT_EQ(comment(), "Nouveau commentaire");
}

TEST_F(ArchiveCommands, ArchiveChangedByAnotherWriterIsNotWrittenOverAndCanBeReloaded) {
    TMainKorvelt2002& w = openedArchive();
    // Another writer (kvr, the scheduled run) stores c.txt meanwhile.
    writeSized("C:\\d\\c.txt", 300);
    OpenArchive other;
    other.path = "C:\\d\\arch.kvr";
    RunOptions otherOptions;
    otherOptions.workFolder = w.options().workFolder;
    RecordingUi quiet;
    ASSERT_EQ(LoadArchive(other, quiet).outcome, LoadOutcome::Loaded);
    CatalogRow c;
    c.name = "c.txt";
    c.folder = "C:\\d\\";
    other.rows.push_back(c);
    ASSERT_TRUE(ArchiveFiles(other, otherOptions, Environment(), quiet).clean());
    const std::string written = drives.readFile("C:\\d\\arch.kvr");

    answers = {QMessageBox::Ok, QMessageBox::No};
    trigger("Archiver");
    const QString changed =
        QString::fromStdString(changedMessage("C:\\d\\arch.kvr")).replace('\r', '\n');
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, changed);
    EXPECT_EQ(boxes[1].title, "Confirmation");
    EXPECT_EQ(boxes[1].text,
              "Charger l'archive de nouveau maintenant ?\nLes changements de la "
              "liste qui n'ont pas été archivés seront perdus.");
    EXPECT_TRUE(drives.readFile("C:\\d\\arch.kvr") == written);
    EXPECT_EQ(w.archive().rows.size(), 2u);

    boxes.clear();
    answers = {QMessageBox::Ok, QMessageBox::Yes};
    trigger("Archiver");
    ASSERT_EQ(w.archive().rows.size(), 3u);  // the catalog of the archive as it is now
    boxes.clear();
    trigger("Archiver");
    EXPECT_TRUE(boxes.empty()) << boxes[0].text.toStdString();
    std::vector<std::string> names;
    OpenArchive after;
    after.path = "C:\\d\\arch.kvr";
    LoadArchive(after, quiet);
    for (const CatalogRow& row : after.rows) names.push_back(row.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

TEST_F(ArchiveCommands, SelfExtractorAsksBeforeOverwritingAndNeedsTheStub) {
    openedArchive();
    chooser.files.push_back(QString("C:\\d\\arch.exe"));
    trigger("SelfExtractor");
    const FileDialogRequest& request = chooser.requests.back();
    EXPECT_EQ(request.title, "Enregistrer l'auto-extractible sous...");
    EXPECT_EQ(request.initialName, "arch.exe");
    EXPECT_EQ(request.defaultExtension, "exe");
    ASSERT_EQ(boxes.size(), 1u);  // no stub beside the program
    EXPECT_EQ(boxes[0].title, "Avertissement");

    const std::string stub = "STUB-BYTES";
    drives.writeFile("C:\\Korvelt\\sfx.bin", stub);
    drives.writeFile("C:\\d\\arch.exe", "old");
    chooser.files.push_back(QString("C:\\d\\arch.exe"));
    answers = {QMessageBox::Cancel};
    trigger("SelfExtractor");
    EXPECT_EQ(boxes.back().text, "Le fichier < arch.exe > existe déjà,\nEcraser le fichier ?");
    EXPECT_EQ(drives.readFile("C:\\d\\arch.exe"), "old");

    chooser.files.push_back(QString("C:\\d\\arch.exe"));
    trigger("SelfExtractor");
    EXPECT_EQ(boxes.back().text, "L'archive auto-extractible a été construite avec succès.");
    const std::string archive = drives.readFile("C:\\d\\arch.kvr");
    const std::string out = drives.readFile("C:\\d\\arch.exe");
    ASSERT_EQ(out.size(), stub.size() + archive.size() + 4);
    EXPECT_EQ(out.substr(0, stub.size()), stub);
    EXPECT_EQ(static_cast<unsigned char>(out[out.size() - 4]), stub.size());
}

TEST_F(ArchiveCommands, SelfExtractorIsNeverWrittenOverTheOpenArchive) {
    openedArchive();
    drives.writeFile("C:\\Korvelt\\sfx.bin", "STUB-BYTES");
    const std::string before = drives.readFile("C:\\d\\arch.kvr");
    for (const char* name : {"arch.kvr", "ARCH.KVR"}) {
        SCOPED_TRACE(name);
        boxes.clear();
        chooser.files.push_back(QString("c:\\D\\") + name);
        trigger("SelfExtractor");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Erreur");
        EXPECT_EQ(boxes[0].text, QString("Le fichier < ") + name +
                                     " > est l'archive elle-même,\nchoisissez un autre nom.");
        EXPECT_TRUE(drives.readFile("C:\\d\\arch.kvr") == before);
    }
}

}  // namespace
}  // namespace kv::test
