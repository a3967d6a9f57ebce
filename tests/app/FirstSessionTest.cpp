// What a user meets in a first session with the main window: shortcuts that
// follow their menu items, a window saved at the screen's size, the word in
// the status bar that a run is done, an add-files dialog that shows the
// folder as it is now, and the catalog's columns and status panels.

#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "tests/app/WindowFixture.h"
#include "util/IniFile.h"

namespace kv::test {
namespace {

class FirstSession : public WindowTest {
  protected:
    // Drops the files on the window as a file manager does.
    void dropOnWindow(const std::vector<std::string>& paths) {
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(drives.hostPath(p)));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(50, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(50, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        QApplication::processEvents();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->listView(), Qt::Key(key), modifiers);
    }
    bool on(const char* name) const { return action(name)->isEnabled(); }
    QString statusMessage() const { return window->statusBar()->currentMessage(); }
};

TEST_F(FirstSession, AScreenWideSavedSizeStartsAsLargeAsTheWorkAreaAndIsSavedSo) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize full = screen->geometry().size();
    {
        IniFile ini("C:\\Korvelt\\Korvelt.cfg");
        ini.writeInteger("Window", "WidthSize", full.width());
        ini.writeInteger("Window", "HeightSize", full.height());
    }
    TMainKorvelt2002& w = makeWindow();
    // Whether or not a window manager honours the maximise request.
    EXPECT_EQ(w.size(), screen->availableGeometry().size());
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    w.show();
    QApplication::processEvents();
    EXPECT_GE(w.width(), 640);
    window.reset();
    IniFile ini("C:\\Korvelt\\Korvelt.cfg");
    EXPECT_GE(ini.readInteger("Window", "WidthSize", 0), full.width());
    EXPECT_GE(ini.readInteger("Window", "HeightSize", 0), full.height());
}

}  // namespace
}  // namespace kv::test
