// The restore dialog: its first state, the folder part that CheckDir governs,
// the folder picker (through a scripted chooser), the Work folder refusal, the
// selection group and the values it hands to the restore run.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <deque>

#include "dialogs/TFormRestaure.h"
#include "gui/Chooser.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"

using kv::platform;
using kv::TFormRestaure;

namespace {

class FolderChooser : public kv::Chooser {
  public:
    std::optional<QString> openFile(QWidget*, const kv::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget*, const kv::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<QString> folder(QWidget*, const QString& title,
                                  const QString& initialFolder) override {
        titles.push_back(title);
        initialFolders.push_back(initialFolder);
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        if (answer.isEmpty()) return std::nullopt;
        return answer;
    }

    std::deque<QString> answers;  // an empty answer cancels the picker
    std::vector<QString> titles;
    std::vector<QString> initialFolders;
};

class RestaureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::Chooser::install(&chooser);
        dialog.setWorkFolderSource([this] { return workFolder; });
    }
    void TearDown() override { kv::Chooser::install(nullptr); }

    // Unticks CheckDir and picks a folder through the folder button.
    void choose(const QString& answer) {
        dialog.checkDir()->setChecked(false);
        chooser.answers.push_back(answer);
        QTest::mouseClick(dialog.speedBDir(), Qt::LeftButton);
    }

    kv::test::RecordingUi ui;
    FolderChooser chooser;
    TFormRestaure dialog{ui};
    std::string workFolder = "C:\\Temp\\";
};

TEST_F(RestaureTest, OpensWithTheStoredFoldersChosenAndTheFolderPartDisabled) {
    EXPECT_EQ(dialog.windowTitle(), "Extraction des fichiers KVR");
    EXPECT_TRUE(dialog.checkDir()->isChecked());
    EXPECT_TRUE(dialog.checkArboresence()->isChecked());
    EXPECT_FALSE(dialog.editDir()->isEnabled());
    EXPECT_TRUE(dialog.editDir()->isReadOnly());
    EXPECT_FALSE(dialog.speedBDir()->isEnabled());
    EXPECT_FALSE(dialog.checkArboresence()->isEnabled());
    EXPECT_EQ(dialog.selection(), kv::RestoreSelection::AllEntries);
}

TEST_F(RestaureTest, UntickingEnablesTheFolderPartAndTickingAgainEmptiesIt) {
    choose(QStringLiteral("D:\\Restauration"));
    EXPECT_TRUE(dialog.editDir()->isEnabled());
    EXPECT_TRUE(dialog.speedBDir()->isEnabled());
    EXPECT_TRUE(dialog.checkArboresence()->isEnabled());
    EXPECT_EQ(dialog.editDir()->text(), "D:\\Restauration\\");
    EXPECT_NE(dialog.editDir()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Button));

    dialog.checkDir()->setChecked(true);
    EXPECT_TRUE(dialog.editDir()->text().isEmpty());
    EXPECT_FALSE(dialog.editDir()->isEnabled());
    EXPECT_EQ(dialog.editDir()->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Button));
    dialog.checkDir()->setChecked(false);
    EXPECT_TRUE(dialog.editDir()->text().isEmpty());
}

TEST_F(RestaureTest, ThePickerIsAskedWithItsTitleAndStartsAtTheDesktopEveryTime) {
    kv::test::TempDrives drives;
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    drives.makeFolder("C:\\Users\\moi\\Desktop");
    setenv("HOME", drives.hostPath("C:\\Users\\moi").c_str(), 1);

    choose(QStringLiteral("E:\\"));
    ASSERT_EQ(chooser.titles.size(), 1u);
    EXPECT_EQ(chooser.titles[0], "Sélectionner un dossier de Restauration");
    EXPECT_EQ(dialog.editDir()->text(), "E:\\");  // a drive root keeps its one backslash
    choose(QStringLiteral("C:\\Users"));          // not where the next one starts
    // Without a desktop folder, the home folder.
    platform().removeDirectory("C:\\Users\\moi\\Desktop");
    choose(QString());
    EXPECT_EQ(chooser.initialFolders,
              (std::vector<QString>{"C:\\Users\\moi\\Desktop", "C:\\Users\\moi\\Desktop",
                                    "C:\\Users\\moi"}));
    if (savedHome)
        setenv("HOME", home.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST_F(RestaureTest, CancellingThePickerKeepsTheFolder) {
    choose(QStringLiteral("D:\\Sauve\\"));
    choose(QString());  // cancelled
    EXPECT_EQ(dialog.editDir()->text(), "D:\\Sauve\\");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RestaureTest, TheWorkFolderIsRefusedInAnyLetterCase) {
    choose(QStringLiteral("D:\\Sauve\\"));
    choose(QStringLiteral("c:\\TEMP"));
    ASSERT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{
            "Le dossier temporaire est utilisé par Korvelt,\rsélectionnez un autre dossier s.v.p"});
    EXPECT_EQ(ui.messages[0].kind, kv::MessageKind::Information);
    EXPECT_TRUE(dialog.editDir()->text().isEmpty());

    // A Work folder kept without its final backslash is still recognised.
    workFolder = "C:\\Temp";
    choose(QStringLiteral("C:\\Temp\\"));
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(dialog.editDir()->text().isEmpty());
}

TEST_F(RestaureTest, TheSelectionGroupFollowsTheCatalogSelection) {
    dialog.prepareSelection(false);
    EXPECT_EQ(dialog.selection(), kv::RestoreSelection::AllEntries);
    EXPECT_FALSE(dialog.radioSelect()->isEnabled());
    dialog.prepareSelection(true);
    EXPECT_EQ(dialog.selection(), kv::RestoreSelection::SelectedRows);
    EXPECT_TRUE(dialog.radioSelect()->isEnabled());
}

TEST_F(RestaureTest, HandsItsFourValuesToTheRun) {
    kv::RestoreChoices choices = dialog.choices();
    EXPECT_EQ(choices.selection, kv::RestoreSelection::AllEntries);
    EXPECT_TRUE(choices.toOrigin);
    EXPECT_TRUE(choices.tree);
    EXPECT_TRUE(choices.folder.empty());

    dialog.prepareSelection(true);
    choose(QStringLiteral("D:\\Copie"));
    dialog.checkArboresence()->setChecked(false);
    choices = dialog.choices();
    EXPECT_EQ(choices.selection, kv::RestoreSelection::SelectedRows);
    EXPECT_FALSE(choices.toOrigin);
    EXPECT_FALSE(choices.tree);
    EXPECT_EQ(choices.folder, "D:\\Copie\\");
    EXPECT_FALSE(dialog.destinationMissing());
}

TEST_F(RestaureTest, NoDestinationIsMissingOnlyWhenTheStoredFoldersAreNotWanted) {
    EXPECT_FALSE(dialog.destinationMissing());
    dialog.checkDir()->setChecked(false);
    EXPECT_TRUE(dialog.destinationMissing());
}

TEST_F(RestaureTest, HelpWithoutTheHelpPagesWarns) {
    dialog.setHelpAvailable(false);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonHelp")), Qt::LeftButton);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Le fichier d'aide de Korvelt est introuvable"});
}

}  // namespace
