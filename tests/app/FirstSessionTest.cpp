// What a user meets in a first session with the main window: shortcuts that
// follow their menu items, a window saved at the screen's size, the word in
// the status bar that a run is done, an add-files dialog that shows the
// folder as it is now, and the catalog's columns and status panels.

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

#include "app/RunSummary.h"
#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "tests/app/WindowFixture.h"
#include "util/IniFile.h"

namespace kv::test {
namespace {

class FirstSession : public WindowTest {
  protected:
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->listView(), Qt::Key(key), modifiers);
    }
    bool on(const char* name) const { return action(name)->isEnabled(); }
    QString statusMessage() const { return window->statusBar()->currentMessage(); }
};

TEST_F(FirstSession, ShortcutsFollowTheStatesOfTheirMenuItemsAtAllTimes) {
    writeSized("C:\\d\\a.txt", 10);
    TMainKorvelt2002& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    // The Action menu opened and closed with no archive greys F2 and F4.
    emit w.findChild<QMenu*>("Action1")->aboutToShow();
    EXPECT_FALSE(on("AddFile"));
    EXPECT_FALSE(on("Archiver"));

    // Ctrl+N: the shortcuts of the new archive are live without a menu opening.
    chooser.files.push_back(QString("C:\\d\\n.kvr"));
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(w.archiveOpen());
    for (const char* name : {"AddFile", "Archiver", "Close_Arch"}) EXPECT_TRUE(on(name)) << name;
    for (const char* name : {"Print_Arch", "SelectAll_Arch", "SaveAs_Arch", "Restaure"})
        EXPECT_FALSE(on(name)) << name;

    // A drop brings rows: printing and selecting follow; F4 archives at once.
    drop({"C:\\d\\a.txt"});
    ASSERT_EQ(w.archive().rows.size(), 1u);
    EXPECT_TRUE(on("Print_Arch"));
    EXPECT_TRUE(on("SelectAll_Arch"));
    EXPECT_FALSE(on("Restaure"));
    press(Qt::Key_F4);
    ASSERT_TRUE(w.archiveExists());
    // The window is active again once the progress dialog's close has been
    // handled; the shortcuts below need it.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (const char* name :
         {"SaveAs_Arch", "Dell_Arch", "Move_Arch", "Restaure", "SelfExtractor", "ModiEnTete"})
        EXPECT_TRUE(on(name)) << name;

    // The selection: Ctrl+A, then the one-row commands.
    EXPECT_FALSE(on("CopyPath"));
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w.selectedRows().size(), 1u);
    EXPECT_TRUE(on("CopyPath"));
    EXPECT_TRUE(on("InvertSelect"));

    // Closing the archive turns them off again, Ctrl+O on.
    action("Close_Arch")->trigger();
    ASSERT_FALSE(w.archiveOpen());
    for (const char* name : {"AddFile", "Archiver", "Print_Arch", "SaveAs_Arch", "Restaure",
                             "SelfExtractor", "CopyPath", "SelectAll_Arch"})
        EXPECT_FALSE(on(name)) << name;
    // Never disabled: new, open, preview, search, options.
    for (const char* name : {"New_Arch", "Open_Arch", "Voir_FichierArch", "SearchFile_Arch",
                             "Option1", "DellFile_Arch"})
        EXPECT_TRUE(on(name)) << name;
    chooser.files.push_back(QString("C:\\d\\n.kvr"));
    press(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(w.archive().rows.size(), 1u);
    for (const char* name : {"AddFile", "Archiver", "Print_Arch", "Restaure", "SaveAs_Arch"})
        EXPECT_TRUE(on(name)) << name;
}

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

TEST_F(FirstSession, TheStatusBarSaysWhatARunDid) {
    writeSized("C:\\d\\a.txt", 1500);
    writeSized("C:\\d\\b.txt", 2500);
    makeWindow();
    archiveThroughWindow("C:\\d\\arch.kvr", {"C:\\d\\a.txt", "C:\\d\\b.txt"});
    EXPECT_EQ(statusMessage(),
              "Archive mise à jour : 2 fichiers archivés, 0 repris, 0 laissé de côté, 0 en erreur");
    EXPECT_TRUE(boxes.empty());

    // b.txt gone: carried over on the next run.
    platform().removeFile("C:\\d\\b.txt");
    trigger("Archiver");
    EXPECT_EQ(statusMessage(),
              "Archive mise à jour : 1 fichier archivé, 1 repris, 0 laissé de côté, 0 en erreur");

    drives.makeFolder("C:\\dest");
    onRestaure = [](TFormRestaure& dialog) {
        dialog.checkDir()->setChecked(false);
        dialog.CheckDirClick();
        dialog.editDir()->setText("C:\\dest\\");
        return int(QDialog::Accepted);
    };
    trigger("Restaure");
    EXPECT_EQ(statusMessage(), "Restauration terminée : 2 fichiers restaurés, 0 en erreur");
    boxes.clear();
}

TEST_F(FirstSession, ACatalogThatCannotBeReadBackAfterARunIsSaidBeforeTheSummary) {
    writeSized("C:\\d\\a.txt", 1500);
    makeWindow();
    FaultPlatform fault;
    fault.install();
    fault.failOpen("C:\\d\\arch.kvr", OpenMode::Read);
    archiveThroughWindow("C:\\d\\arch.kvr", {"C:\\d\\a.txt"});
    EXPECT_TRUE(platform().fileExists("C:\\d\\arch.kvr"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, "Impossible d'ouvrir le fichier C:\\d\\arch.kvr");
    EXPECT_EQ(statusMessage(),
              "Archive mise à jour : 1 fichier archivé, 0 repris, 0 laissé de côté, 0 en erreur");
}

TEST_F(FirstSession, SizesShowWholeAndStatusPanelsStayApartInANarrowWindow) {
    TMainKorvelt2002& w = makeWindow();
    w.show();
    QApplication::processEvents();
    // Rows with sizes of ten digits, taken in as a load or an add does.
    CatalogRow row;
    row.name = "grand.iso";
    row.folder = "C:\\d\\";
    row.size = 2147483000;
    row.compressedSize = 2100000000;
    row.fileDate = *toDosDateTime(DateTime{2026, 12, 9, 0, 32, 0});
    row.typeName = "image";
    w.archive().rows.push_back(row);
    w.catalogModel().syncAppended();
    QHeaderView* header = w.listView()->header();
    QStyleOptionViewItem option;
    option.initFrom(w.listView());
    for (int column : {int(CatalogModel::ColSize), int(CatalogModel::ColCompressed)}) {
        const QModelIndex cell = w.catalogModel().index(0, column);
        EXPECT_GE(header->sectionSize(column),
                  w.listView()->itemDelegate()->sizeHint(option, cell).width())
            << column;
    }

    // A catalog summary longer than its panel: the panels never overlap.
    auto* first = w.findChild<QLabel*>("StatusPanel0");
    auto* second = w.findChild<QLabel*>("StatusPanel1");
    first->setText(QStringLiteral(" 123 456 fichier(s)  1 234 567 890,12 Ko"));
    second->setText(QStringLiteral("123 456 sélectionné(s) 1 234 567 890,12 Ko"));
    w.resize(300, 300);
    w.statusBar()->layout()->activate();
    EXPECT_LE(first->geometry().right(), second->geometry().left());
    EXPECT_LE(second->geometry().right(), w.statusBar()->width());
}

TEST(RunSummary, CountsWhatTheResultHoldsWithTheLocalesSeparator) {
    const LocaleSeparators fr = LocaleSeparators::french();
    ArchiveResult done;
    done.replaced = true;
    done.stored = 1204;
    done.carriedOver = 3;
    done.leftOut = 2;
    done.failures = 1;
    EXPECT_EQ(archiveRunSummary(done, fr),
              "Archive mise à jour : 1\u00A0204 fichiers archivés, 3 repris, 2 laissés de côté, "
              "1 en erreur");
    ArchiveResult stopped = done;
    stopped.replaced = false;
    stopped.stopped = true;
    EXPECT_EQ(archiveRunSummary(stopped, fr),
              "Archivage interrompu : l'archive n'a pas été modifiée");
    ArchiveResult noRoom;
    noRoom.noRoom = true;
    EXPECT_EQ(archiveRunSummary(noRoom, fr),
              "Archive non mise à jour : espace insuffisant sur le lecteur");
    EXPECT_EQ(archiveRunSummary(ArchiveResult{}, fr),
              "Archive non mise à jour : la copie de l'archive a échoué");
    ArchiveResult busy;
    busy.busy = true;
    EXPECT_EQ(archiveRunSummary(busy, fr), "");

    RestoreOutcome restored;
    restored.restored = 12;
    EXPECT_EQ(restoreRunSummary(restored, fr),
              "Restauration terminée : 12 fichiers restaurés, 0 en erreur");
    restored.stopped = true;
    restored.restored = 1;
    restored.failed = 2;
    restored.notFound = 1;
    restored.kept = 3;
    EXPECT_EQ(restoreRunSummary(restored, fr),
              "Restauration interrompue : 1 fichier restauré, 3 conservés, 2 en erreur, 1 absent "
              "de l'archive");
}

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
    trigger("AddFile");
    EXPECT_EQ(listed, (QStringList{"ancien", "a.txt", "arch.kvr"}));
    EXPECT_EQ(treeChildren, QStringList{"ancien"});

    // Made while the program runs: the same folder, shown again, has them.
    writeSized("C:\\d\\b.txt", 10);
    drives.makeFolder("C:\\d\\nouveau");
    platform().removeDirectory("C:\\d\\ancien");
    trigger("AddFile");
    EXPECT_EQ(listed, (QStringList{"nouveau", "a.txt", "arch.kvr", "b.txt"}));
    EXPECT_EQ(treeChildren, QStringList{"nouveau"});
}

}  // namespace
}  // namespace kv::test
