// The options dialog: the hour box's four rules typed as a user types, the
// free-space and size texts, the pickers and their questions, help and journal.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <deque>

#include "dialogs/TFormJournal.h"
#include "dialogs/TFormOptions.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "tests/support/FaultPlatform.h"
#include "tests/support/RecordingUi.h"

namespace kv {
namespace {

class AnswerChooser : public Chooser {
  public:
    std::deque<QString> answers;  // an empty text cancels
    std::vector<FileDialogRequest> requests;
    std::vector<QString> folderTitles;

    std::optional<QString> openFile(QWidget*, const FileDialogRequest& r) override {
        requests.push_back(r);
        return next();
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        requests.push_back(r);
        return next();
    }
    std::optional<QString> folder(QWidget*, const QString& title, const QString&) override {
        folderTitles.push_back(title);
        return next();
    }

  private:
    std::optional<QString> next() {
        if (answers.empty()) return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        if (a.isEmpty()) return std::nullopt;
        return a;
    }
};

class Options : public ::testing::Test {
  protected:
    void SetUp() override {
        fp.install();
        Chooser::install(&chooser);
    }
    void TearDown() override {
        Chooser::install(nullptr);
        DialogRunner::setHandler({});
    }

    // The dialog on screen with the keyboard in the hour box.
    void showOnHourBox() {
        dialog.show();
        dialog.PageControl1->setCurrentWidget(dialog.Tab2);
        QApplication::setActiveWindow(&dialog);
        dialog.EditHeure->setFocus();
        QApplication::processEvents();
    }
    // Moves the keyboard to the next control, as Tab does.
    void leaveHourBox() {
        dialog.ComboJour->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }

    test::TempDrives drives;
    test::FaultPlatform fp;
    test::RecordingUi ui;
    AnswerChooser chooser;
    TFormOptions dialog{ui, LocaleSeparators::french(), false};
};

TEST_F(Options, HourBoxRefusesWhatIsNotAnHourAndAddsTheColon) {
    showOnHourBox();
    QLineEdit* hour = dialog.EditHeure;

    QTest::keyClick(hour, Qt::Key_Colon);
    EXPECT_EQ(hour->text(), "");
    EXPECT_TRUE(ui.messages.empty());
    QTest::keyClick(hour, Qt::Key_A);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Saisie non valide !"});

    QTest::keyClicks(hour, "20");
    EXPECT_EQ(hour->text(), "20:");
    EXPECT_EQ(hour->cursorPosition(), 3);

    // No paste in any way: the key, the context menu.
    QApplication::clipboard()->setText("12:30");
    QTest::keyClick(hour, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(hour->text(), "20:");
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(hour->contextMenuPolicy(), Qt::PreventContextMenu);
}

TEST_F(Options, HourBoxTakesAnHourTypedAsPeopleTypeIt) {
    showOnHourBox();
    QLineEdit* hour = dialog.EditHeure;

    // The colon typed after the one the box wrote is not a second one.
    QTest::keyClicks(hour, "20:00");
    EXPECT_EQ(hour->text(), "20:00");

    // Ctrl+A selects, and what is typed then replaces the whole hour.
    QTest::keyClick(hour, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(hour->selectedText(), "20:00");
    QTest::keyClicks(hour, "7:45");
    EXPECT_EQ(hour->text(), "7:45");

    // Backspace goes back over the colon; a digit typed then goes behind a
    // new one.
    hour->clear();
    QTest::keyClicks(hour, "21");
    QTest::keyClick(hour, Qt::Key_Backspace);
    EXPECT_EQ(hour->text(), "21");
    QTest::keyClick(hour, Qt::Key_Backspace);
    EXPECT_EQ(hour->text(), "2");
    QTest::keyClicks(hour, "1");
    EXPECT_EQ(hour->text(), "21:");
    QTest::keyClick(hour, Qt::Key_Backspace);
    QTest::keyClicks(hour, "30");
    EXPECT_EQ(hour->text(), "21:30");
    EXPECT_TRUE(ui.messages.empty());

    leaveHourBox();
    EXPECT_EQ(hour->text(), "21:30");
    EXPECT_TRUE(ui.messages.empty());
}

struct LeaveCase {
    const char* name;
    const char* typed;
    const char* after;
    bool message;  // the hour message was shown
};

class HourOnLeaving : public Options, public testing::WithParamInterface<LeaveCase> {};

TEST_P(HourOnLeaving, IsWrittenBackOrRefused) {
    showOnHourBox();
    dialog.EditHeure->setText(QString::fromUtf8(GetParam().typed));
    leaveHourBox();
    EXPECT_EQ(dialog.EditHeure->text(), QString::fromUtf8(GetParam().after));
    EXPECT_EQ(ui.messages.size(), GetParam().message ? 1u : 0u);
    if (GetParam().message) {
        EXPECT_EQ(ui.messages[0].text, TFormOptions::HourMessage);
        EXPECT_EQ(ui.messages[0].kind, MessageKind::Notice);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HourOnLeaving,
                         testing::Values(LeaveCase{"OneDigitEach", "9:5", "09:05", false},
                                         LeaveCase{"Usual", "7:30", "07:30", false},
                                         LeaveCase{"ColonOnly", "20:", "20:00", false},
                                         LeaveCase{"HourTooBig", "25:00", "", true},
                                         LeaveCase{"Empty", "", "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Options, FreeSpaceInMillionsWithTheLocaleSeparator) {
    dialog.EditDir->setText("C:\\Temp\\");
    fp.setFreeBytes('C', 999'999);
    dialog.show();
    EXPECT_EQ(dialog.LabelSpace->text(), QStringLiteral("- Espace libre : 0 Mo"));
    fp.setFreeBytes('C', 1'500'000'000);
    chooser.answers = {"C:\\Temp"};
    dialog.SpeedBDir->click();
    EXPECT_EQ(dialog.EditDir->text(), QStringLiteral("C:\\Temp\\"));
    EXPECT_EQ(dialog.LabelSpace->text(), QString::fromUtf8("Espace libre : 1\u00A0500 Mo"));
    EXPECT_EQ(chooser.folderTitles.back(), QStringLiteral("Sélectionner un dossier temporaire"));
    chooser.answers = {""};
    dialog.SpeedBDir->click();
    EXPECT_EQ(dialog.EditDir->text(), QStringLiteral("C:\\Temp\\"));
    dialog.EditDir->setText("C:\\ailleurs\\");
    dialog.ButtonDefaut->click();
    EXPECT_EQ(dialog.EditDir->text().toStdString(), platform().tempFolder());
    EXPECT_EQ(TFormOptions::sizeText(4000, LocaleSeparators::french()),
              QString::fromUtf8("- Taille du fichier : 4,00 Ko (4\u00A0000,00 octets)"));
}

TEST_F(Options, ArchiveAndScriptPickersAndTheirRemoveQuestions) {
    dialog.ButtonNulArch->click();
    dialog.ButtonNullScript->click();
    EXPECT_TRUE(ui.messages.empty());

    chooser.answers = {"C:\\Arch\\a.kvr", "C:\\Korvelt\\Script\\docs.kvl"};
    dialog.ButtonChangeArch->click();
    dialog.ButtonChangeScript->click();
    EXPECT_EQ(dialog.EditArchAuto->text(), QStringLiteral("C:\\Arch\\a.kvr"));
    EXPECT_EQ(dialog.EditScriptAuto->text(), QStringLiteral("C:\\Korvelt\\Script\\docs.kvl"));
    ASSERT_EQ(chooser.requests.size(), 2u);
    EXPECT_EQ(chooser.requests[0].title, QStringLiteral("Ouvrir une archive KVR"));
    EXPECT_EQ(chooser.requests[0].filter, QStringLiteral("Fichiers KVR (*.kvr)"));
    EXPECT_EQ(chooser.requests[0].defaultExtension, QStringLiteral("kvr"));
    EXPECT_EQ(chooser.requests[1].title, QStringLiteral("Ouvrir un fichier script"));
    EXPECT_EQ(chooser.requests[1].filter, QStringLiteral("Fichiers Script (*.kvl)"));
    EXPECT_EQ(chooser.requests[1].initialFolder, QStringLiteral("C:\\Korvelt\\Script"));

    ui.script({Answer::Cancel});
    dialog.ButtonNulArch->click();
    EXPECT_FALSE(dialog.EditArchAuto->text().isEmpty());
    dialog.ButtonNulArch->click();
    dialog.ButtonNullScript->click();
    EXPECT_TRUE(dialog.EditArchAuto->text().isEmpty());
    EXPECT_TRUE(dialog.EditScriptAuto->text().isEmpty());
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"Retirer l'archive ?", "Retirer l'archive ?",
                                        "Retirer le script ?"}));
    EXPECT_EQ(ui.messages[0].buttons, Buttons::OkCancel);
}

TEST_F(Options, DayListAndTheHelpAndJournalButtons) {
    ASSERT_EQ(dialog.ComboJour->count(), 8);
    EXPECT_EQ(dialog.ComboJour->itemText(7), QStringLiteral("Le dimanche"));
    dialog.setDay(9);
    EXPECT_EQ(dialog.ComboJour->currentIndex(), 0);
    dialog.setDay(3);
    EXPECT_EQ(dialog.ComboJour->currentText(), QStringLiteral("Le mercredi"));

    dialog.ButtonHelp->click();
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le fichier d'aide de Korvelt est introuvable"});
    TFormOptions withHelp(ui, LocaleSeparators::french(), true);
    fp.setOpenDocumentResult(42);
    withHelp.ButtonHelp->click();
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, "C:\\Korvelt\\Help\\option.htm");

    // The journal viewer's failed save is told in a box, not thrown through the dialog.
    drives.writeFile(TFormJournal::journalPath(), "lundi\r\n");
    fp.failOpen("C:\\Korvelt\\Script\\~kvr*", OpenMode::Create);
    DialogRunner::setHandler([](QDialog& d) {
        EXPECT_NE(qobject_cast<TFormJournal*>(&d), nullptr);
        return int(QDialog::Accepted);
    });
    dialog.ButtonJournal->click();
    EXPECT_EQ(ui.messages.back().kind, MessageKind::Error);
    EXPECT_EQ(drives.readFile(TFormJournal::journalPath()), "lundi\r\n");
}

}  // namespace
}  // namespace kv
