// The options command, the /AUTOSAVE start and the automation notice, in the
// window, with the platform double standing for the scheduler's window and
// for starting programs.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "engine/AutoJournal.h"
#include "tests/app/AutomationFixture.h"
#include "util/ShellRoutines.h"

namespace kv::test {
namespace {

class Options : public AutomationTest {
  protected:
    void SetUp() override {
        AutomationTest::SetUp();
        fp.install();
        fp.setOpenDocumentResult(42);
    }
    FaultPlatform fp;
};

TEST_F(Options, ShowTheStoredSettingsAndWriteTheFiveKeysBackOnOk) {
    makeArchiveAndScript();
    AutoSaveSettings stored{Archive, "C:\\Korvelt\\Script\\parti.kvl", true, 3, "07:30"};
    WriteAutoSaveSettings(AutoSavePath(), stored);
    writeSized("C:\\Arch\\ouverte.kvr", 4000);
    TMainKorvelt2002& w = makeWindow();
    w.archive().path = "C:\\Arch\\ouverte.kvr";
    w.options().workFolder = "C:\\Temp\\";

    const QString thousands = QString::fromStdString(w.environment().separators.thousands);
    onOptions = [&](TFormOptions& d) {
        EXPECT_EQ(d.EditDir->text(), QStringLiteral("C:\\Temp\\"));
        EXPECT_TRUE(d.CheckDate->isChecked());
        EXPECT_EQ(d.EditArchAuto->text(), QString::fromLatin1(Archive));
        EXPECT_EQ(d.EditScriptAuto->text(), QString());  // the script is gone
        EXPECT_FALSE(d.CheckExecuteAuto->isChecked());   // so automation shows off
        EXPECT_EQ(d.ComboJour->currentIndex(), 3);
        EXPECT_EQ(d.EditHeure->text(), QStringLiteral("07:30"));
        EXPECT_EQ(d.EditFileName->text(), QStringLiteral("C:\\Arch\\ouverte.kvr"));
        EXPECT_EQ(d.LabelSizeArchive->text(),
                  "- Taille du fichier : 4,00 Ko (4" + thousands + "000,00 octets)");
        d.EditDir->setText("C:\\Docs\\");
        d.CheckDate->setChecked(false);
        d.EditScriptAuto->setText(QString::fromLatin1(Script));
        d.ComboJour->setCurrentIndex(7);
        d.EditHeure->setText("9:5");
        return int(QDialog::Accepted);
    };
    trigger("Option1");

    EXPECT_EQ(w.options().workFolder, "C:\\Docs\\");
    EXPECT_FALSE(w.options().dateComment);
    EXPECT_EQ(drives.readFile(AutoSavePath()),
              "[Archive]\r\nAuto_Arch=C:\\Arch\\docs.kvr\r\n[Script]\r\nAuto_Script=C:\\Korvelt\\"
              "Script\\docs.kvl\r\n[Execute]\r\nAuto_Exec=0\r\n[Periode]\r\nFJour=7\r\n[Heure]\r\n"
              "FHeure=09:05\r\n");
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(fp.openedDocuments().empty());
}

TEST_F(Options, WithoutSettingsOrArchiveEverythingIsEmptyAndCancelWritesNothing) {
    makeWindow();
    onOptions = [](TFormOptions& d) {
        EXPECT_TRUE(d.EditArchAuto->text().isEmpty());
        EXPECT_TRUE(d.EditScriptAuto->text().isEmpty());
        EXPECT_FALSE(d.CheckExecuteAuto->isChecked());
        EXPECT_EQ(d.ComboJour->currentIndex(), 0);
        EXPECT_TRUE(d.EditHeure->text().isEmpty());
        EXPECT_EQ(d.EditFileName->text(), QStringLiteral("Aucun fichier ouvert"));
        EXPECT_TRUE(d.LabelSizeArchive->text().isEmpty());
        d.EditHeure->setText("25:00");
        return int(QDialog::Rejected);
    };
    trigger("Option1");
    EXPECT_FALSE(platform().fileExists(AutoSavePath()));

    // An hour the dialog let through is read again on OK.
    onOptions = [](TFormOptions& d) {
        d.EditHeure->setText("25:00");
        return int(QDialog::Accepted);
    };
    trigger("Option1");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Korvelt"));
    EXPECT_EQ(boxes[0].text, QString::fromUtf8(TFormOptions::HourMessage).replace(u'\r', u'\n'));
    EXPECT_EQ(ReadAutoSaveSettings(AutoSavePath())->hour, "");
}

TEST_F(Options, AutomationOnStartsTheSchedulerOffStopsItAndRemovesTheShortcuts) {
    makeArchiveAndScript();
    makeWindow();
    bool on = true;
    onOptions = [&](TFormOptions& d) {
        d.EditArchAuto->setText(QString::fromLatin1(Archive));
        d.EditScriptAuto->setText(QString::fromLatin1(Script));
        d.EditHeure->setText("20:00");
        d.CheckExecuteAuto->setChecked(on);
        return int(QDialog::Accepted);
    };

    // No scheduler beside the program: the settings stay, nothing starts.
    trigger("Option1");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Impossible de démarrer l'automate,\nle fichier "
                                            "\"Vantrel.exe\" est introuvable,\nveuillez "
                                            "réinstaller le programme."));
    EXPECT_TRUE(ReadAutoSaveSettings(AutoSavePath())->execute);
    EXPECT_FALSE(ShortcutExists(std::string(Startup) + "Automate de Korvelt"));

    drives.writeFile("C:\\Korvelt\\Vantrel.exe", "#!/bin/sh\n");
    fp.setWindowClass("TFormVantrel", true);
    trigger("Option1");
    trigger("Option1");
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(fp.closedWindowClasses().size(), 2u);  // restarted each time
    ASSERT_EQ(fp.openedDocuments().size(), 2u);
    EXPECT_EQ(fp.openedDocuments()[1].file, "C:\\Korvelt\\Vantrel.exe");
    EXPECT_EQ(fp.openedDocuments()[1].folder, "C:\\Korvelt\\");
    const std::string entry = drives.readFile(std::string(Startup) + "Automate de Korvelt.desktop");
    EXPECT_NE(entry.find("Exec=\"" + drives.root('C') + "/Korvelt/Vantrel.exe\"\n"),
              std::string::npos)
        << entry;

    drives.writeFile(std::string(Startup) + "Vantrel.lnk", "[Desktop Entry]\n");
    on = false;
    trigger("Option1");
    EXPECT_EQ(fp.closedWindowClasses().size(), 3u);
    EXPECT_EQ(fp.openedDocuments().size(), 2u);
    EXPECT_FALSE(ShortcutExists(std::string(Startup) + "Automate de Korvelt"));
    EXPECT_FALSE(ShortcutExists(std::string(Startup) + "Vantrel.lnk"));
}

class AutoStart : public AutomationTest {
  protected:
    TMainKorvelt2002& startAutomatic() {
        TMainKorvelt2002& w = makeWindow();
        w.setCommandLine({QStringLiteral("/AUTOSAVE")});
        showWindow();
        return w;
    }
};

TEST_F(AutoStart, UpdatesTheArchiveWithoutABoxEvenWithAutomationOff) {
    makeArchiveAndScript();
    drives.writeFile("C:\\Docs\\a.txt", "alpha, deuxième version");
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, false, 0, "20:00"});

    TMainKorvelt2002& w = startAutomatic();

    EXPECT_EQ(w.exitStatus(), autoexit::Ok);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(otherDialogs.empty());
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    window.reset();
    EXPECT_TRUE(platform().fileExists("C:\\Korvelt\\Korvelt.cfg"));
}

TEST_F(AutoStart, ALockedFileGivesAStatusAndALineButNoBox) {
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 0, "20:00"});
    drives.writeFile("C:\\Korvelt\\Script\\Journal_AutoSave.txt", "");
    FaultPlatform fp;
    fp.install();
    fp.holdExclusively("C:\\Docs\\c.txt");

    TMainKorvelt2002& w = startAutomatic();

    EXPECT_EQ(w.exitStatus(), autoexit::Incomplete);
    EXPECT_TRUE(boxes.empty());
    fp.reset();
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_NE(journal().find(" - C:\\Docs\\c.txt : fichier utilisé par un autre "
                             "programme, non archivé ; il ne figure pas dans l'archive\r\n"),
              std::string::npos);
}

class Notice : public AutomationTest {
  protected:
    // Starts the window as a user does and returns the boxes it showed.
    std::vector<QString> start() {
        boxes.clear();
        makeWindow();
        showWindow();
        window.reset();
        return texts();
    }
};

TEST_F(Notice, ALastRunThatFailedIsToldOnce) {
    const DateTime monday{2026, 12, 7, 20, 0, 0};
    AppendJournalLine(JournalPath(), JournalStartLine(monday, Archive), JournalWrite::Create);
    AppendJournalLine(JournalPath(), JournalOutcomeLine(monday, {RunEnd::Kind::Exited, 6}, 2));

    const std::vector<QString> first = start();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], QStringLiteral("Dernière sauvegarde automatique : échec, espace disque "
                                       "insuffisant, archive laissée telle quelle (code 6), "
                                       "durée 2 s\nle 07/12/2026 à 20:00.\n\nLe journal en dit "
                                       "plus : Options (F9), page Automate, « Voir le journal »."));
    EXPECT_TRUE(start().empty());

    // A run that succeeds afterwards puts an end to it.
    AppendJournalLine(JournalPath(), JournalOutcomeLine(monday, {RunEnd::Kind::Exited, 0}, 2));
    EXPECT_TRUE(start().empty());
}

TEST_F(Notice, NoSuccessForTwiceThePeriodIsToldWhileAutomationIsOn) {
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 1, "20:00"});
    // The window's clock says 08/12/2026; the last success was 17 days before.
    const DateTime old{2026, 11, 21, 20, 0, 0};
    AppendJournalLine(JournalPath(), JournalOutcomeLine(old, {RunEnd::Kind::Exited, 0}, 2),
                      JournalWrite::Create);

    const std::vector<QString> shown = start();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(
        QStringLiteral("Dernière sauvegarde automatique : réussie le 21/11/2026 à 20:00.\nLes "
                       "sauvegardes planifiées ne se font plus")))
        << shown[0].toStdString();

    // Weekly, a success 10 days ago is not late; nor is anything with automation off.
    AppendJournalLine(JournalPath(),
                      JournalOutcomeLine({2026, 11, 28, 20, 0, 0}, {RunEnd::Kind::Exited, 0}, 2));
    EXPECT_TRUE(start().empty());
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, false, 0, "20:00"});
    EXPECT_TRUE(start().empty());
}

}  // namespace
}  // namespace kv::test
