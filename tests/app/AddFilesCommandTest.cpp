// The add-files command and the Scripts menu, driven through the main window:
// what reaches the catalog, the notices, and when the list counts as changed.

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <chrono>
#include <thread>

#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormDellSelect.h"
#include "dialogs/TFormFileValide.h"
#include "tests/app/WindowFixture.h"

namespace kv::test {
namespace {

class AddFilesCommand : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        DialogRunner::setHandler([this](QDialog& dialog) {
            if (auto* add = qobject_cast<TFormAddArch*>(&dialog)) {
                shownFolder = add->dirtree1->Directory();
                add->show();
                const int result = onAdd ? onAdd(*add) : int(QDialog::Rejected);
                add->hide();
                return result;
            }
            if (qobject_cast<TFormDellSelect*>(&dialog)) {
                otherDialogs.push_back(dialog.windowTitle());
                return int(QDialog::Rejected);
            }
            if (auto* prompt = qobject_cast<TFormFileValide*>(&dialog); prompt && onPrompt)
                return onPrompt(*prompt);
            return runDialog(dialog);
        });
        makeWindow();
        addArch = new TFormAddArch(window->ui(), window.get());
        auto forms = window->forms();
        forms.addArch = addArch;
        window->setForms(forms);
    }

    void openArchive(const std::string& path) {
        chooser.files.push_back(QString::fromStdString(path));
        trigger("New_Arch");
        ASSERT_TRUE(window->archiveOpen());
        window->archive().listChanged = false;
    }

    QStringList rowPaths() const {
        QStringList paths;
        for (const CatalogRow& row : window->archive().rows)
            paths << QString::fromStdString(row.fullPath());
        return paths;
    }

    QStringList scriptCaptions() {
        openMenu("Scripts1");
        QStringList captions;
        const QList<QAction*> items = window->findChild<QMenu*>("Scripts1")->actions();
        for (int i = 3; i < items.size(); ++i) captions << items[i]->text();
        return captions;
    }

    QAction* scriptItem(const QString& caption) {
        for (QAction* a : window->findChild<QMenu*>("Scripts1")->actions())
            if (a->text() == caption) return a;
        return nullptr;
    }

    TFormAddArch* addArch = nullptr;
    std::function<int(TFormAddArch&)> onAdd;
    std::function<int(TFormFileValide&)> onPrompt;
    QString shownFolder;
};

TEST_F(AddFilesCommand, AddsWhatTheDialogListsOnOkOnly) {
    for (const char* f : {"C:\\Docs\\a.txt", "C:\\Docs\\b.doc", "C:\\Docs\\sub\\c.txt",
                          "C:\\Docs\\sub\\d.doc", "C:\\Other\\e.txt"})
        drives.writeFile(f, "x");
    openArchive("C:\\Arch\\save.kvr");
    drives.makeFolder("C:\\Arch");

    trigger("AddFile");  // Cancel
    EXPECT_EQ(shownFolder, QStringLiteral("C:\\Arch\\"));
    EXPECT_TRUE(window->archive().rows.empty());
    EXPECT_FALSE(window->archive().listChanged);

    onAdd = [](TFormAddArch& dialog) {
        dialog.dirtree1->setDirectory("C:\\Docs");
        dialog.EditMask->setText("*.txt");
        dialog.ListView1->selectAll();
        dialog.ButtonAddClick();  // b.doc, a.txt and sub with *.txt
        dialog.dirtree1->setDirectory("C:\\Other");
        dialog.ButtonAddAllClick();
        return int(QDialog::Accepted);
    };
    trigger("AddFile");
    // Folders as the disk spells them, not as the tree keeps them.
    EXPECT_EQ(rowPaths(), (QStringList{"C:\\Docs\\a.txt", "C:\\Docs\\b.doc", "C:\\Docs\\sub\\c.txt",
                                       "C:\\Other\\e.txt"}));
    EXPECT_EQ(window->archive().rows[0].status, New);
    EXPECT_TRUE(window->archive().listChanged);
    EXPECT_EQ(window->catalogModel().rowCount(), 4);

    // Only rows listed already: nothing added, still a change.
    window->archive().listChanged = false;
    trigger("AddFile");
    EXPECT_EQ(window->archive().rows.size(), 4u);
    EXPECT_TRUE(window->archive().listChanged);

    // Confirmed with an empty list.
    onAdd = [](TFormAddArch&) { return int(QDialog::Accepted); };
    boxes.clear();
    trigger("AddFile");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Aucun fichiers à ajouter"));
    EXPECT_EQ(boxes[0].title, QStringLiteral("Korvelt"));
}

TEST_F(AddFilesCommand, EscapeStopsTheAddKeepingTheRowsTakenIn) {
    for (int i = 0; i < 50; ++i) drives.writeFile("C:\\Many\\f" + std::to_string(i) + ".txt", "x");
    drives.writeFile("C:\\Other\\e.txt", "x");
    openArchive("C:\\Arch\\save.kvr");
    onAdd = [this](TFormAddArch& dialog) {
        dialog.dirtree1->setDirectory("C:\\");
        dialog.ListView1->selectAll();
        dialog.ButtonAddClick();  // C:\MANY\*.* then C:\OTHER\*.*, and the others
        // Escape reaches the window at the first moment the walk lets events run:
        // make sure that is its first file.
        QCoreApplication::postEvent(
            window.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        std::this_thread::sleep_for(std::chrono::milliseconds(QtUi::PumpIntervalMs + 10));
        return int(QDialog::Accepted);
    };
    window->ui().pumpNow();
    boxes.clear();
    trigger("AddFile");
    EXPECT_EQ(window->archive().rows.size(), 1u);
    EXPECT_TRUE(window->archive().listChanged);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, QStringLiteral("Opération abandonnée"));
}

TEST_F(AddFilesCommand, TheWaitNoticeStepsAsideForTheNamePromptAndTheSummaryFollows) {
    const std::string longName(110, 'n');
    drives.writeFile("C:\\Docs\\" + longName + ".txt", "x");
    drives.writeFile("C:\\Docs\\court.txt", "xyz");
    openArchive("C:\\Arch\\save.kvr");
    QWidget* notice = window->forms().wait;
    ASSERT_NE(notice, nullptr);
    onAdd = [](TFormAddArch& dialog) {
        dialog.dirtree1->setDirectory("C:\\Docs");
        dialog.ButtonAddAllClick();
        return int(QDialog::Accepted);
    };
    std::vector<bool> noticeShown;
    onPrompt = [&](TFormFileValide& prompt) {
        noticeShown.push_back(notice->isVisible());
        prompt.setFileName("long.txt");
        return int(QDialog::Accepted);
    };
    trigger("AddFile");
    // The notice stays on top of every window: while the prompt asks, it is
    // put aside so it hides neither the prompt's counter nor "Renommer".
    EXPECT_EQ(noticeShown, std::vector<bool>{false});
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(window->archive().rows.size(), 2u);
    EXPECT_EQ(window->statusText(0), " 2 fichier(s)  0,00 Ko");
}

TEST_F(AddFilesCommand, NothingWithoutAnArchive) {
    int shown = 0;
    onAdd = [&](TFormAddArch&) { return ++shown, int(QDialog::Accepted); };
    trigger("AddFile");
    EXPECT_EQ(shown, 0);
}

TEST_F(AddFilesCommand, ScriptsMenuListsTheScriptFolderAtEveryOpening) {
    drives.writeFile("C:\\Korvelt\\Script\\mardi.kvl", "");
    drives.writeFile("C:\\Korvelt\\Script\\lundi.kvl", "");
    drives.writeFile("C:\\Korvelt\\Script\\notes.txt", "");
    EXPECT_EQ(scriptCaptions(), (QStringList{"-  lundi", "-  mardi"}));
    QAction* lundi = scriptItem("-  lundi");
    ASSERT_TRUE(lundi);
    EXPECT_EQ(lundi->statusTip(), QStringLiteral("lundi"));
    EXPECT_FALSE(lundi->icon().isNull());

    platform().renameFile("C:\\Korvelt\\Script\\mardi.kvl", "C:\\Korvelt\\Script\\jeudi.kvl");
    EXPECT_EQ(scriptCaptions(), (QStringList{"-  jeudi", "-  lundi"}));
    EXPECT_EQ(window->findChild<QMenu*>("Scripts1")->actions().size(), 5);

    platform().removeFile("C:\\Korvelt\\Script\\jeudi.kvl");
    platform().removeFile("C:\\Korvelt\\Script\\lundi.kvl");
    platform().removeFile("C:\\Korvelt\\Script\\notes.txt");
    platform().removeDirectory("C:\\Korvelt\\Script");
    EXPECT_TRUE(scriptCaptions().isEmpty());

    trigger("DellScript");
    EXPECT_EQ(otherDialogs.back(), QStringLiteral("Supprimer des scripts enregistrés"));
}

TEST_F(AddFilesCommand, ScriptRunMarksChangesLineByLine) {
    drives.writeFile("C:\\Data\\a.txt", "a");
    drives.writeFile("C:\\Data\\deep\\b.txt", "b");
    drives.writeFile("C:\\Korvelt\\Script\\manque.kvl", "C:\\Data\\absent.txt\r\n");
    drives.writeFile("C:\\Korvelt\\Script\\archive.kvl", "C:\\Arch\\save.kvr\r\n");
    drives.writeFile("C:\\Korvelt\\Script\\dossier.kvl", "C:\\Gone\\*.*\r\n");
    drives.writeFile("C:\\Korvelt\\Script\\tout.kvl", "C:\\Data\\*.txt\r\nc:\\data\\A.TXT\r\n");
    // The archive is open and its file lies where a script names it.
    drives.writeFile("C:\\Arch\\save.kvr", "");
    window->archive().path = "C:\\Arch\\save.kvr";
    scriptCaptions();

    struct Run {
        const char* caption;
        bool changed;
        int rows;
    } runs[] = {
        {"-  manque", false, 0},   // a missing file
        {"-  archive", false, 0},  // the archive itself
        {"-  dossier", true, 0},   // a folder line, folder gone
        {"-  tout", true, 2},      // the folder's files, then one of them again
    };
    for (const Run& run : runs) {
        ASSERT_TRUE(scriptItem(run.caption)) << run.caption;
        window->archive().listChanged = false;
        scriptItem(run.caption)->trigger();
        EXPECT_EQ(window->archive().listChanged, run.changed) << run.caption;
        EXPECT_EQ(static_cast<int>(window->archive().rows.size()), run.rows) << run.caption;
    }
    EXPECT_EQ(rowPaths(), (QStringList{"C:\\Data\\a.txt", "C:\\Data\\deep\\b.txt"}));

    // Every line already listed: nothing added, the list still changed.
    window->archive().listChanged = false;
    scriptItem("-  tout")->trigger();
    EXPECT_EQ(window->archive().rows.size(), 2u);
    EXPECT_TRUE(window->archive().listChanged);

    // A script that vanished after the menu opened: nothing, no message.
    boxes.clear();
    platform().removeFile("C:\\Korvelt\\Script\\tout.kvl");
    window->archive().listChanged = false;
    scriptItem("-  tout")->trigger();
    EXPECT_FALSE(window->archive().listChanged);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace kv::test
