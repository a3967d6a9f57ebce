// The progress dialog: how it is prepared for each mode, the start button and
// the run it calls, the stop question from the button, Escape and closing.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "dialogs/TFormProgress.h"
#include "support/RecordingUi.h"
#include "util/Error.h"

using kv::Answer;
using kv::TFormProgress;

namespace {

const char* const stopQuestion = "Etes-vous sûr(e) de vouloir interrompre l'opération";

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.setRunFunction([this](TFormProgress::Mode mode) {
            modes.push_back(mode);
            if (duringRun) duringRun();
        });
    }

    // Shows the dialog as the main window does (modal, without blocking the test).
    void showPrepared(TFormProgress::Mode mode) {
        dialog.prepare(mode, 9);
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    kv::test::RecordingUi ui;
    TFormProgress dialog{ui};
    std::vector<TFormProgress::Mode> modes;
    std::function<void()> duringRun;
};

TEST_F(ProgressTest, PreparedForArchivingAndForRestore) {
    dialog.checkRecupe()->setChecked(true);
    dialog.prepare(TFormProgress::Mode::Archive, 9);
    EXPECT_EQ(dialog.windowTitle(), "Archivage des fichiers");
    EXPECT_EQ(dialog.labelFile()->text(), "Fichier :");
    EXPECT_EQ(dialog.labelPath()->text(), "Dossier :");
    EXPECT_EQ(dialog.progressBar()->maximum(), 9);
    EXPECT_EQ(dialog.progressBar()->value(), 0);
    EXPECT_EQ(dialog.progressBarFile()->maximum(), 100);
    EXPECT_FALSE(dialog.checkRecupeFile());
    EXPECT_FALSE(dialog.checkRecupe()->isHidden());

    dialog.prepare(TFormProgress::Mode::Restore, 3);
    EXPECT_EQ(dialog.windowTitle(), "Restauration des fichiers");
    EXPECT_EQ(dialog.labelFile()->text(), "Fichier : ");
    EXPECT_EQ(dialog.mode(), TFormProgress::Mode::Restore);
    EXPECT_TRUE(dialog.checkRecupe()->isHidden());
}

TEST_F(ProgressTest, StartRunsTheModeWithTheButtonDisabledAndClosesAfter) {
    showPrepared(TFormProgress::Mode::Restore);
    dialog.setCancelRequested(true);  // left over from an earlier stop
    bool startEnabled = true, stopEnabled = false, running = false, cancelled = true;
    duringRun = [&] {
        startEnabled = dialog.buttonDemarre()->isEnabled();
        stopEnabled = dialog.buttonCancel()->isEnabled();
        running = dialog.running();
        cancelled = dialog.cancelRequested();
        dialog.ButtonDemarreClick();  // a second press inside the run starts nothing
    };
    QTest::mouseClick(dialog.buttonDemarre(), Qt::LeftButton);

    EXPECT_EQ(modes, std::vector{TFormProgress::Mode::Restore});
    EXPECT_FALSE(startEnabled);
    EXPECT_TRUE(stopEnabled);
    EXPECT_TRUE(running);
    EXPECT_FALSE(cancelled);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.buttonDemarre()->isEnabled());  // ready for the next showing
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProgressTest, StopDuringARunRaisesTheFlagAndTheDialogClosesWhenTheRunEnds) {
    showPrepared(TFormProgress::Mode::Archive);
    bool visibleAfterStop = false;
    duringRun = [&] {
        ui.script({Answer::Yes});
        QTest::mouseClick(dialog.buttonCancel(), Qt::LeftButton);
        visibleAfterStop = dialog.isVisible();
        EXPECT_TRUE(dialog.cancelRequested());
    };
    QTest::mouseClick(dialog.buttonDemarre(), Qt::LeftButton);

    ASSERT_EQ(ui.messageTexts(), std::vector<std::string>{stopQuestion});
    EXPECT_EQ(ui.messages[0].kind, kv::MessageKind::Confirmation);
    EXPECT_EQ(ui.messages[0].buttons, kv::Buttons::YesCancel);
    EXPECT_TRUE(visibleAfterStop);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.cancelRequested());
}

TEST_F(ProgressTest, CancelToTheStopQuestionChangesNothing) {
    showPrepared(TFormProgress::Mode::Archive);
    ui.script({Answer::Cancel});
    QTest::mouseClick(dialog.buttonCancel(), Qt::LeftButton);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(dialog.cancelRequested());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(modes.empty());
}

TEST_F(ProgressTest, EscapeBeforeTheStartAsksAndClosesWithoutRunning) {
    showPrepared(TFormProgress::Mode::Archive);
    ui.script({Answer::Yes});
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{stopQuestion});
    EXPECT_TRUE(dialog.cancelRequested());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(modes.empty());
}

TEST_F(ProgressTest, ClosingTheWindowAsksTheStopQuestion) {
    showPrepared(TFormProgress::Mode::Archive);
    ui.script({Answer::Cancel});
    dialog.close();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ProgressTest, WithoutARunTheStartRunsNothingButStillCloses) {
    dialog.setRunFunction({});
    showPrepared(TFormProgress::Mode::Verify);
    QTest::mouseClick(dialog.buttonDemarre(), Qt::LeftButton);
    EXPECT_TRUE(modes.empty());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ProgressTest, AnErrorFromTheRunClosesTheDialogAndIsShown) {
    showPrepared(TFormProgress::Mode::Archive);
    duringRun = [] { throw kv::Error("Impossible de créer le fichier"); };
    QTest::mouseClick(dialog.buttonDemarre(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(ui.messageTexts(), std::vector<std::string>{"Impossible de créer le fichier"});
    EXPECT_EQ(ui.messages[0].kind, kv::MessageKind::Error);
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(dialog.buttonDemarre()->isEnabled());
}

}  // namespace
