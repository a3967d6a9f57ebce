// The add-files dialog over a temporary drive: the folder listing, adding with
// the mask, drops, removing with its questions, the scripts it writes and
// reads, and its layout limits.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>
#include <deque>

#include "controls/TDirTree.h"
#include "dialogs/TFormAddArch.h"
#include "gui/Chooser.h"
#include "tests/support/FaultPlatform.h"
#include "tests/support/RecordingUi.h"

namespace kv {
namespace {

class AnswerChooser : public Chooser {
  public:
    std::deque<std::optional<QString>> files;
    std::vector<FileDialogRequest> requests;
    std::optional<QString> openFile(QWidget*, const FileDialogRequest& r) override {
        return next(r);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        return next(r);
    }
    std::optional<QString> folder(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }

  private:
    std::optional<QString> next(const FileDialogRequest& r) {
        requests.push_back(r);
        if (files.empty()) return std::nullopt;
        const bool cancelled = !files.front().has_value();
        const QString f = files.front().value_or(QString());
        files.pop_front();
        if (cancelled) return std::nullopt;
        return f;
    }
};

class AddArchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fp.install();
        fp.setCurrentDrive('C');
        for (const char* f : {"C:\\Work\\b.txt", "C:\\Work\\A.txt", "C:\\Work\\c.doc",
                              "C:\\Work\\sub\\x.txt", "C:\\Work\\Zed\\y.txt"})
            drives.writeFile(f, "data");
        Chooser::install(&chooser);
        form = std::make_unique<TFormAddArch>(ui);
        form->dirtree1->setDirectory("C:\\Work");
    }
    void TearDown() override {
        form.reset();
        Chooser::install(nullptr);
    }

    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < form->ListView1->count(); ++i)
            names << form->ListView1->item(i)->text();
        return names;
    }
    void selectListed(const QStringList& names) {
        form->ListView1->clearSelection();
        for (int i = 0; i < form->ListView1->count(); ++i)
            if (names.contains(form->ListView1->item(i)->text()))
                form->ListView1->item(i)->setSelected(true);
    }
    void selectRows(std::initializer_list<int> rows) {
        form->ListBoxZip->clearSelection();
        for (int r : rows) form->ListBoxZip->item(r)->setSelected(true);
    }

    test::TempDrives drives;
    test::FaultPlatform fp;
    test::RecordingUi ui;
    AnswerChooser chooser;
    std::unique_ptr<TFormAddArch> form;
};

TEST_F(AddArchTest, ListsFoldersFirstThenNamesWithoutRegardToCase) {
    EXPECT_EQ(listed(), (QStringList{"sub", "Zed", "A.txt", "b.txt", "c.doc"}));
    EXPECT_FALSE(form->ListView1->item(2)->icon().isNull());

    struct Case {
        const char* a;
        bool aFolder;
        const char* b;
        bool bFolder;
        int sign;
    } cases[] = {{"zz", true, "aa", false, -1},
                 {"aa", false, "zz", true, 1},
                 {"b.txt", false, "A.txt", false, 1},
                 {"Sub", true, "sub", true, 0}};
    for (const Case& c : cases) {
        const int r = TFormAddArch::CompareNames(c.a, c.aFolder, c.b, c.bFolder);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
    }
}

TEST_F(AddArchTest, DoubleClickOpensAFolderOnly) {
    selectListed({"A.txt"});
    form->ListView1->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    form->ListView1DblClick();
    EXPECT_EQ(form->dirtree1->Directory(), QStringLiteral("C:\\Work\\"));

    selectListed({"sub"});
    form->ListView1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    form->ListView1DblClick();
    EXPECT_EQ(form->dirtree1->Directory(), QStringLiteral("C:\\Work\\sub\\"));
    EXPECT_EQ(listed(), QStringList{"x.txt"});
}

TEST_F(AddArchTest, AddsFilesAndFoldersWithTheMaskOnce) {
    form->EditMask->setText("*.txt");
    selectListed({"sub", "A.txt"});
    form->ButtonAddClick();
    EXPECT_EQ(form->selection(), (QStringList{"C:\\Work\\A.txt", "C:\\Work\\sub\\*.txt"}));

    // The same entries again, in another letter case: still one row each.
    form->ButtonAddClick();
    form->dirtree1->setDirectory("c:\\work\\");
    selectListed({"A.txt"});
    form->ButtonAddClick();
    EXPECT_EQ(form->selection().size(), 2);

    form->EditMask->clear();
    selectListed({"Zed"});
    form->ButtonAddClick();
    EXPECT_TRUE(form->selection().contains("C:\\Work\\Zed\\*.*"));

    form->ButtonAddAllClick();
    EXPECT_EQ(form->selection(),
              (QStringList{"C:\\Work\\A.txt", "C:\\Work\\b.txt", "C:\\Work\\c.doc",
                           "C:\\Work\\sub\\*.*", "C:\\Work\\sub\\*.txt", "C:\\Work\\Zed\\*.*"}));
    const QFontMetrics fm(form->ListBoxZip->font());
    EXPECT_EQ(form->horizontalExtent(), fm.horizontalAdvance("C:\\Work\\sub\\*.txt") + 20);
}

TEST_F(AddArchTest, AnExtensionTypedAloneIsTakenAsItsMask) {
    struct Case {
        const char* typed;
        const char* mask;
    } cases[] = {{"txt", "*.txt"}, {".doc", "*.doc"},  {" jpeg ", "*.jpeg"},
                 {"a*", "a*"},     {"?.txt", "?.txt"}, {"a.txt", "a.txt"}};
    for (const Case& c : cases) {
        form->EditMask->setText(c.typed);
        EXPECT_EQ(form->mask(), c.mask) << c.typed;
    }
    form->EditMask->setText("txt");
    selectListed({"sub"});
    form->ButtonAddClick();
    EXPECT_EQ(form->selection(), QStringList{"C:\\Work\\sub\\*.txt"});
}

TEST_F(AddArchTest, F5ReadsTheTreeAndTheFolderAgain) {
    form->show();
    QApplication::setActiveWindow(form.get());
    form->ListView1->setFocus();
    ASSERT_EQ(form->dirtree1->Directory(), "C:\\Work\\");
    QTreeWidgetItem* work = form->dirtree1->currentItem();
    ASSERT_NE(work, nullptr);
    const auto children = [&] {
        QStringList names;
        QTreeWidgetItem* node = form->dirtree1->currentItem();
        for (int i = 0; node && i < node->childCount(); ++i) names << node->child(i)->text(0);
        return names;
    };
    EXPECT_EQ(children(), (QStringList{"sub", "Zed"}));
    // Made while the dialog shows them: F5, wherever the keyboard is.
    drives.makeFolder("C:\\Work\\Nouveau");
    drives.writeFile("C:\\Work\\d.txt", "x");
    QTest::keyClick(form->ListView1, Qt::Key_F5);
    EXPECT_EQ(form->dirtree1->Directory(), "C:\\Work\\");
    EXPECT_EQ(children(), (QStringList{"Nouveau", "sub", "Zed"}));
    EXPECT_EQ(listed(), (QStringList{"Nouveau", "sub", "Zed", "A.txt", "b.txt", "c.doc", "d.txt"}));
    form->hide();
}

TEST_F(AddArchTest, DropFromTheTreeAddsTheFolderWithTheMask) {
    form->dirtree1->setDirectory("C:\\");
    form->dropFromTree();
    form->dropFromTree();
    EXPECT_EQ(form->selection(), QStringList{"C:\\*.*"});

    // With no folder selected nothing can be listed or added.
    form->dirtree1->ClearTree();
    EXPECT_TRUE(listed().isEmpty());
    form->ButtonAddAllClick();
    form->dropFromTree();
    EXPECT_EQ(form->selection(), QStringList{"C:\\*.*"});
}

TEST_F(AddArchTest, RemovingAsksFirstAndCancelKeepsTheRows) {
    form->ButtonAddAllClick();
    ASSERT_EQ(form->selection().size(), 5);

    form->ListBoxZip->clearSelection();
    form->ButtonDellClick();
    EXPECT_TRUE(ui.messages.empty());

    selectRows({0, 2});
    ui.script({Answer::Cancel});
    form->ButtonDellClick();
    EXPECT_EQ(form->selection().size(), 5);
    ui.script({Answer::Yes});
    form->ButtonDellClick();
    EXPECT_EQ(form->selection(),
              (QStringList{"C:\\Work\\b.txt", "C:\\Work\\sub\\*.*", "C:\\Work\\Zed\\*.*"}));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Supprimer le(s) fichier(s) sélectionné(s) ?");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesCancel);

    // A removed row can be added again.
    selectListed({"A.txt"});
    form->ButtonAddClick();
    EXPECT_EQ(form->selection().size(), 4);

    QMenu* menu = form->prepareZipMenu();
    form->ListBoxZip->clearSelection();
    form->prepareZipMenu();
    EXPECT_FALSE(form->MenuSupprimer->isEnabled());
    EXPECT_TRUE(form->MenuSupprimerTout->isEnabled());
    EXPECT_EQ(menu->actions().size(), 7);

    ui.script({Answer::Cancel, Answer::Yes});
    form->ButtonDellAllClick();
    EXPECT_EQ(form->selection().size(), 4);
    form->ButtonDellAllClick();
    EXPECT_TRUE(form->selection().isEmpty());
    EXPECT_EQ(ui.messages.back().text, "Supprimer tous les fichiers ?");
    form->prepareZipMenu();
    EXPECT_FALSE(form->MenuSauver->isEnabled());
}

TEST_F(AddArchTest, ScriptRoundTripKeepsTheListAndItsOrder) {
    drives.makeFolder("C:\\Korvelt\\Script");
    form->EditMask->setText("*.doc");
    form->ButtonAddAllClick();
    const QStringList saved = form->selection();

    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\Script\\lundi"));
    form->ButtonSaveListClick();
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, QStringLiteral("Sauver une sélection"));
    EXPECT_EQ(chooser.requests[0].filter, QStringLiteral("Fichiers sélection (*.kvl)"));
    EXPECT_EQ(chooser.requests[0].defaultExtension, QStringLiteral("kvl"));
    EXPECT_EQ(chooser.requests[0].initialFolder, QStringLiteral("C:\\Korvelt\\Script\\"));
    EXPECT_EQ(drives.readFile("C:\\Korvelt\\Script\\lundi.kvl"),
              "C:\\Work\\A.txt\r\nC:\\Work\\b.txt\r\nC:\\Work\\c.doc\r\nC:\\Work\\sub\\*.doc\r\nC:"
              "\\Work\\Zed\\*.doc\r\n");

    form->show();  // each showing empties the list
    EXPECT_TRUE(form->selection().isEmpty());
    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\Script\\lundi.kvl"));
    form->ButtonLoadListClick();
    EXPECT_EQ(chooser.requests.back().title, QStringLiteral("Ouvrir une sélection"));
    EXPECT_EQ(form->selection(), saved);
    form->hide();

    // Saving over it asks; No keeps the old file.
    form->ListBoxZip->clear();
    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\Script\\lundi.kvl"));
    ui.script({Answer::No});
    form->ButtonSaveListClick();
    EXPECT_EQ(ui.messages.back().text,
              "Le fichier < C:\\Korvelt\\Script\\lundi.kvl > existe déjà !\rremplacer le fichier "
              "existant ?");
    EXPECT_FALSE(drives.readFile("C:\\Korvelt\\Script\\lundi.kvl").empty());

    // Yes replaces it: an empty list gives an empty file, read back as an empty list.
    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\Script\\lundi.kvl"));
    ui.script({Answer::Yes});
    form->ButtonSaveListClick();
    EXPECT_EQ(drives.readFile("C:\\Korvelt\\Script\\lundi.kvl"), "");
    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\Script\\lundi.kvl"));
    form->ButtonLoadListClick();
    EXPECT_TRUE(form->selection().isEmpty());
}

TEST_F(AddArchTest, LoadedDuplicatesStayAndScriptsFolderFallsBackToTheProgramFolder) {
    drives.writeFile("C:\\Korvelt\\dup.kvl", "C:\\B.txt\r\nC:\\a.txt\nC:\\B.txt\r");
    chooser.files.push_back(QStringLiteral("C:\\Korvelt\\dup.kvl"));
    form->ButtonLoadListClick();
    EXPECT_EQ(chooser.requests[0].initialFolder, QStringLiteral("C:\\Korvelt\\"));
    EXPECT_EQ(form->selection(), (QStringList{"C:\\a.txt", "C:\\B.txt", "C:\\B.txt"}));
}

TEST_F(AddArchTest, LayoutLimits) {
    form->resize(600, 440);
    form->show();
    EXPECT_FALSE(form->setLowerHeight(155));
    EXPECT_TRUE(form->setLowerHeight(156));
    EXPECT_FALSE(form->setLowerHeight(form->height() - 100));
    EXPECT_TRUE(form->setLowerHeight(form->height() - 101));
    EXPECT_EQ(form->lowerHeight(), form->height() - 101);

    form->resize(300, 200);
    EXPECT_GE(form->width(), TFormAddArch::MinWidth);
    EXPECT_GE(form->height(), TFormAddArch::MinHeight);

    const int centre = form->ButtonClose->geometry().center().x();
    EXPECT_NEAR(centre, form->PanelBottom->width() / 2, 1);
    EXPECT_EQ(form->ButtonClose->x() - form->ButtonOk->x(), 83);
    EXPECT_EQ(form->ButtonHelp->x() - form->ButtonClose->x(), 83);
    form->hide();
}

TEST_F(AddArchTest, HelpOpensItsPageOrWarns) {
    form->ButtonHelpClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Le fichier d'aide de Korvelt est introuvable");

    drives.writeFile("C:\\Korvelt\\Help\\index.htm", "<html></html>");
    drives.writeFile("C:\\Korvelt\\Help\\addfile.htm", "<html></html>");
    fp.setOpenDocumentResult(42);
    TFormAddArch withHelp(ui);
    withHelp.ButtonHelpClick();
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, "C:\\Korvelt\\Help\\addfile.htm");
    EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace
}  // namespace kv
