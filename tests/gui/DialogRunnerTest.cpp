// The dialog runner: what it does around every modal window it runs.

#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>

#include "gui/DialogRunner.h"

namespace kv {
namespace {

TEST(DialogRunner, PutsOnTopNoticesAsideWhileADialogRunsAndBringsThemBack) {
    QWidget notice(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QWidget plain;
    notice.show();
    plain.show();
    bool noticeShown = true, plainShown = false;
    DialogRunner::setHandler([&](QDialog&) {
        noticeShown = notice.isVisible();
        plainShown = plain.isVisible();
        return int(QDialog::Accepted);
    });
    QDialog question;
    EXPECT_EQ(DialogRunner::exec(question), int(QDialog::Accepted));
    DialogRunner::setHandler({});
    EXPECT_FALSE(noticeShown);
    EXPECT_TRUE(plainShown);
    EXPECT_TRUE(notice.isVisible());

    // A notice hidden before stays hidden.
    notice.hide();
    DialogRunner::setHandler([](QDialog&) { return int(QDialog::Rejected); });
    DialogRunner::exec(question);
    DialogRunner::setHandler({});
    EXPECT_FALSE(notice.isVisible());
}

}  // namespace
}  // namespace kv
