// The file-name dialog, the script deletion dialog and the journal viewer.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "dialogs/TFormDellSelect.h"
#include "dialogs/TFormFileValide.h"
#include "dialogs/TFormJournal.h"
#include "engine/Adding.h"
#include "gui/DialogRunner.h"
#include "tests/support/FaultPlatform.h"
#include "tests/support/RecordingUi.h"
#include "util/Error.h"

namespace kv {
namespace {

class SmallDialogs : public ::testing::Test {
  protected:
    void SetUp() override { fp.install(); }
    void TearDown() override { DialogRunner::setHandler({}); }

    test::TempDrives drives;
    test::FaultPlatform fp;
    test::RecordingUi ui;
};

TEST_F(SmallDialogs, FileNameCounterEnablesRenameUpToHundred) {
    TFormFileValide dialog;
    dialog.setFileName(QString(116, u'n') + ".txt");
    EXPECT_EQ(dialog.LabelName->text(), QStringLiteral("Nom du fichier  ( 120 caractères )"));
    EXPECT_FALSE(dialog.ButtonRenamme->isEnabled());
    dialog.EditFile->setText(QString(96, u'n') + ".txt");
    EXPECT_EQ(dialog.LabelName->text(), QStringLiteral("Nom du fichier  ( 100 caractères )"));
    EXPECT_TRUE(dialog.ButtonRenamme->isEnabled());
    dialog.EditFile->setText(QString(97, u'n') + ".txt");
    EXPECT_FALSE(dialog.ButtonRenamme->isEnabled());
    // Characters, not bytes: Latin accents take one byte each in the archive,
    // other scripts two, which the label then says as well.
    dialog.EditFile->setText(QString(96, u'é') + ".txt");
    EXPECT_EQ(dialog.LabelName->text(), QStringLiteral("Nom du fichier  ( 100 caractères )"));
    EXPECT_TRUE(dialog.ButtonRenamme->isEnabled());
    dialog.EditFile->setText(QString(46, u'Ж') + ".txt");
    EXPECT_EQ(dialog.LabelName->text(),
              QStringLiteral("Nom du fichier  ( 50 caractères, 96 octets une fois archivé )"));
    EXPECT_TRUE(dialog.ButtonRenamme->isEnabled());
    dialog.EditFile->setText(QString(60, u'Ж') + ".txt");
    EXPECT_EQ(dialog.LabelName->text(),
              QStringLiteral("Nom du fichier  ( 64 caractères, 124 octets une fois archivé )"));
    EXPECT_FALSE(dialog.ButtonRenamme->isEnabled());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Nom de fichier invalide"));
}

TEST_F(SmallDialogs, RenameRuleThroughTheAddingCore) {
    const std::string longName = std::string(116, 'n') + ".txt";
    drives.writeFile("C:\\in\\" + longName, "x");
    OpenArchive archive;
    QString typed;
    DialogRunner::setHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<TFormFileValide&>(d);
        EXPECT_EQ(dialog.fileName().toStdString(), longName);
        dialog.EditFile->setText(typed);
        return typed == u"ignore" ? int(QDialog::Rejected) : int(QDialog::Accepted);
    });
    AddOperation op(
        archive, ui, [](const std::string&) { return std::string("Texte"); },
        [](const std::string& name) {
            return TFormFileValide::askName(nullptr, QString::fromStdString(name)).toStdString();
        });
    const std::string path = "C:\\in\\" + longName;

    for (const char* answer : {"   ", "ignore"}) {
        typed = QString::fromUtf8(answer);
        EXPECT_EQ(AskValidName(op, path), "") << answer;
        EXPECT_TRUE(platform().fileExists(path));
    }
    typed = "court.txt";
    EXPECT_EQ(AskValidName(op, path), "C:\\in\\court.txt");
    EXPECT_FALSE(platform().fileExists(path));
    EXPECT_EQ(drives.readFile("C:\\in\\court.txt"), "x");
}

TEST_F(SmallDialogs, ScriptDeletionListsShowsAndDeletes) {
    for (const char* name : {"mardi.kvl", "lundi.kvl", "jeudi.kvl"})
        drives.writeFile(std::string("C:\\Korvelt\\Script\\") + name,
                         std::string("C:\\") + name + "\r\n");
    drives.writeFile("C:\\Korvelt\\Script\\notes.txt", "-");
    TFormDellSelect dialog(ui);
    dialog.show();
    ASSERT_EQ(dialog.ListFile->count(), 3);
    EXPECT_EQ(dialog.ListFile->item(0)->text(), QStringLiteral("jeudi.kvl"));
    EXPECT_TRUE(dialog.ListFile->item(0)->isSelected());
    EXPECT_EQ(dialog.MemoFile->toPlainText(), QStringLiteral("C:\\jeudi.kvl"));
    EXPECT_TRUE(dialog.ButtonDell->isEnabled());

    dialog.ListFile->item(1)->setSelected(true);
    ui.script({Answer::Cancel});
    dialog.ButtonDellClick();
    EXPECT_EQ(dialog.ListFile->count(), 3);

    // A script that vanished meanwhile only loses its row.
    platform().removeFile("C:\\Korvelt\\Script\\lundi.kvl");
    dialog.ButtonDellClick();
    EXPECT_EQ(ui.messages.back().text, "Supprimer le(s) fichier(s) sélectionné(s) ?");
    ASSERT_EQ(dialog.ListFile->count(), 1);
    EXPECT_EQ(dialog.ListFile->item(0)->text(), QStringLiteral("mardi.kvl"));
    EXPECT_TRUE(dialog.ListFile->item(0)->isSelected());
    EXPECT_EQ(dialog.MemoFile->toPlainText(), QStringLiteral("C:\\mardi.kvl"));
    EXPECT_FALSE(platform().fileExists("C:\\Korvelt\\Script\\jeudi.kvl"));
    EXPECT_TRUE(platform().fileExists("C:\\Korvelt\\Script\\mardi.kvl"));

    dialog.ListFile->clearSelection();
    EXPECT_FALSE(dialog.ButtonDell->isEnabled());
    const size_t asked = ui.messages.size();
    dialog.ButtonDellClick();
    EXPECT_EQ(ui.messages.size(), asked);
}

TEST_F(SmallDialogs, TheThreeDialogsOpenInTheMiddleOfTheScreen) {
    QWidget owner;
    owner.setGeometry(10, 10, 200, 150);  // a small window in a corner
    owner.show();
    TFormDellSelect scripts(ui, &owner);
    TFormJournal journal(ui, &owner);
    TFormFileValide name(&owner);
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    for (QDialog* dialog : std::initializer_list<QDialog*>{&scripts, &journal, &name}) {
        dialog->show();
        const QPoint centre = dialog->geometry().center();
        // Within a few pixels: a layout may still settle by a pixel or two once shown.
        EXPECT_LE((centre - middle).manhattanLength(), 6) << dialog->windowTitle().toStdString();
        dialog->hide();
    }
}

TEST_F(SmallDialogs, ScriptDeletionWithoutScriptFolderUsesTheProgramFolder) {
    drives.writeFile("C:\\Korvelt\\seul.kvl", "C:\\a\r\n");
    TFormDellSelect dialog(ui);
    EXPECT_EQ(dialog.folder(), "C:\\Korvelt\\");
    ASSERT_EQ(dialog.ListFile->count(), 1);
    EXPECT_EQ(dialog.ListFile->item(0)->text(), QStringLiteral("seul.kvl"));
}

TEST_F(SmallDialogs, JournalOkSavesCancelKeeps) {
    const std::string journal = "C:\\Korvelt\\Script\\Journal_AutoSave.txt";
    drives.writeFile(journal, "lundi 10:00 ok\r\nmardi 10:00 ok\r\n");
    std::function<int(TFormJournal&)> onShow;
    DialogRunner::setHandler([&](QDialog& d) { return onShow(dynamic_cast<TFormJournal&>(d)); });

    onShow = [](TFormJournal& j) {
        EXPECT_EQ(j.MemoJournal->toPlainText(), QStringLiteral("lundi 10:00 ok\nmardi 10:00 ok"));
        j.ButtonClear->click();
        EXPECT_TRUE(j.MemoJournal->toPlainText().isEmpty());
        return int(QDialog::Rejected);
    };
    TFormJournal::showJournal(ui);
    EXPECT_EQ(ui.messages.back().text, "Vider le journal ?");
    EXPECT_EQ(drives.readFile(journal), "lundi 10:00 ok\r\nmardi 10:00 ok\r\n");

    onShow = [](TFormJournal& j) {
        j.MemoJournal->setPlainText("mercredi 10:00 ok\n");
        return int(QDialog::Accepted);
    };
    TFormJournal::showJournal(ui);
    EXPECT_EQ(drives.readFile(journal), "mercredi 10:00 ok\r\n");

    // "Vider" answered Cancel keeps the text; emptied and OK gives an empty file.
    onShow = [&](TFormJournal& j) {
        ui.script({Answer::Cancel});
        j.ButtonClear->click();
        EXPECT_FALSE(j.MemoJournal->toPlainText().isEmpty());
        j.ButtonClear->click();
        return int(QDialog::Accepted);
    };
    TFormJournal::showJournal(ui);
    EXPECT_EQ(drives.readFile(journal), "");
}

TEST_F(SmallDialogs, MissingJournalShowsEmptyAndAFailedSaveThrows) {
    drives.makeFolder("C:\\Korvelt\\Script");
    fp.failOpen("C:\\Korvelt\\Script\\~kvr*", OpenMode::Create);
    DialogRunner::setHandler([](QDialog& d) {
        EXPECT_TRUE(dynamic_cast<TFormJournal&>(d).MemoJournal->toPlainText().isEmpty());
        return int(QDialog::Accepted);
    });
    EXPECT_THROW(TFormJournal::showJournal(ui), Error);
}

TEST_F(SmallDialogs, JournalThatCannotBeWrittenIsKeptWhole) {
    const std::string journal = "C:\\Korvelt\\Script\\Journal_AutoSave.txt";
    drives.writeFile(journal, "lundi 10:00 ok\r\nmardi 10:00 ok\r\n");
    fp.diskFullAfter("C:\\Korvelt\\Script\\", 5);
    DialogRunner::setHandler([](QDialog& d) {
        dynamic_cast<TFormJournal&>(d).MemoJournal->setPlainText("mercredi 10:00 ok, et bien plus");
        return int(QDialog::Accepted);
    });
    EXPECT_THROW(TFormJournal::showJournal(ui), Error);
    fp.reset();
    EXPECT_EQ(drives.readFile(journal), "lundi 10:00 ok\r\nmardi 10:00 ok\r\n");
    EXPECT_EQ(platform().find("C:\\Korvelt\\Script\\*.*", attr::AnyFile).size(), 1u);
}

}  // namespace
}  // namespace kv
