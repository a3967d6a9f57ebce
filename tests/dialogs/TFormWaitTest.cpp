// The wait notice: its bar's cycle and the restart on each showing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "dialogs/TFormWait.h"

namespace {

TEST(FormWait, TheBarStepsFromZeroToTenAndStartsAgain) {
    kv::TFormWait wait;
    EXPECT_EQ(wait.timer()->interval(), 100);
    EXPECT_TRUE(wait.timer()->isActive());
    wait.showWait(QStringLiteral("Chargement de l'archive."));
    EXPECT_EQ(wait.labelWait()->text(), "Chargement de l'archive.");

    std::vector<int> positions{wait.progressBar()->value()};
    for (int tick = 0; tick < 12; ++tick) {
        wait.Timer1Timer();
        positions.push_back(wait.progressBar()->value());
    }
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1}));
}

TEST(FormWait, TheTimerMovesTheBarWhileEventsRun) {
    kv::TFormWait wait;
    wait.showWait(QStringLiteral("Chargement de l'archive."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return wait.progressBar()->value() > 0; }, 10000));
}

TEST(FormWait, ShowingAgainRestartsTheBar) {
    kv::TFormWait wait;
    wait.showWait(QStringLiteral("Ajout de fichiers."));
    for (int tick = 0; tick < 4; ++tick) wait.Timer1Timer();
    wait.hideWait();
    EXPECT_FALSE(wait.isVisible());
    wait.showWait(QStringLiteral("Ajout des fichiers du script."));
    EXPECT_EQ(wait.progressBar()->value(), 0);
    EXPECT_EQ(wait.progressBar()->maximum(), 10);
}

}  // namespace
