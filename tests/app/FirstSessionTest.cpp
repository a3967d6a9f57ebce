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

TEST_F(FirstSession, TheAddFilesDialogShowsTheFolderAsItIsNow) {
    TMainKorvelt2002& w = makeWindow();
    auto* add = new TFormAddArch(w.ui(), &w);
    auto forms = w.forms();
    forms.addArch = add;
    w.setForms(forms);
    QStringList listed;
    QStringList treeChildren;
    DialogRunner::setHandler([&](QDialog& dialog) {
        if (&dialog != add) return runDialog(dialog);
        add->show();
        listed.clear();
        for (int i = 0; i < add->ListView1->count(); ++i) listed << add->ListView1->item(i)->text();
        QTreeWidgetItem* node = add->dirtree1->currentItem();
        // The user folds the folder's node and opens it again.
        node->setExpanded(false);
        node->setExpanded(true);
        treeChildren.clear();
        for (int i = 0; i < node->childCount(); ++i) treeChildren << node->child(i)->text(0);
        add->hide();
        return int(QDialog::Rejected);
    });

    writeSized("C:\\d\\a.txt", 10);
    drives.makeFolder("C:\\d\\ancien");
    archiveThroughWindow("C:\\d\\arch.kvr", {"C:\\d\\a.txt"});
    w.AddFileExecute();
    EXPECT_EQ(listed, (QStringList{"ancien", "a.txt", "arch.kvr"}));
    EXPECT_EQ(treeChildren, QStringList{"ancien"});

    // Made while the program runs: the same folder, shown again, has them.
    writeSized("C:\\d\\b.txt", 10);
    drives.makeFolder("C:\\d\\nouveau");
    platform().removeDirectory("C:\\d\\ancien");
    w.AddFileExecute();
    EXPECT_EQ(listed, (QStringList{"nouveau", "a.txt", "arch.kvr", "b.txt"}));
    EXPECT_EQ(treeChildren, QStringList{"nouveau"});
}

}  // namespace
}  // namespace kv::test
