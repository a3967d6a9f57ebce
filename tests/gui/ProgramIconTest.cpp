// The program icon: every size from the resource, and the windows that show it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

#include "gui/ProgramIcon.h"

namespace {

TEST(ProgramIcon, HoldsEveryThemeSizeAndEveryWindowShowsIt) {
    const QIcon icon = kv::programIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
        const QImage image = icon.pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        // Drawn, not blank: the middle of the case is opaque.
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side * 3 / 4)), 255) << side;
    }

    kv::installProgramIcon();
    QDialog dialog;
    QMessageBox box;
    for (QWidget* window : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&box)})
        EXPECT_EQ(window->windowIcon().pixmap(32).toImage(), icon.pixmap(32).toImage());
    QApplication::setWindowIcon(QIcon());
}

}  // namespace
