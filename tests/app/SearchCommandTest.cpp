// The search command: the dialog run through the dialog runner on the main
// window's catalog, clicked as a user clicks it, the selection read back from
// the catalog view.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "dialogs/TFormSearchFile.h"
#include "tests/app/ListingFixture.h"

namespace kv::test {
namespace {

class SearchCommand : public ListingTest {
  protected:
    // After each click: the selected rows and the number of boxes shown so far.
    struct Step {
        std::vector<std::size_t> selected;
        std::size_t boxes;
        bool operator==(const Step&) const = default;
    };

    // Runs the search command; script acts on the dialog while it shows.
    void search(const std::function<void(TFormSearchFile&)>& script) {
        DialogRunner::setHandler([this, script](QDialog& dialog) {
            if (auto* form = qobject_cast<TFormSearchFile*>(&dialog)) {
                ++searchDialogs;
                form->show();
                script(*form);
                form->hide();
                return int(QDialog::Rejected);
            }
            return runDialog(dialog);
        });
        trigger("SearchFile_Arch");
    }

    std::vector<Step> clicks(TFormSearchFile& form, int count) {
        std::vector<Step> steps;
        for (int i = 0; i < count; ++i) {
            QTest::mouseClick(form.buttonSearch(), Qt::LeftButton);
            steps.push_back({window->selectedRows(), boxes.size()});
        }
        return steps;
    }

    // Types the text, ticks the boxes asked for, then clicks count times.
    std::vector<Step> searchFor(const QString& text, int count, bool all = false,
                                bool exact = false) {
        std::vector<Step> steps;
        search([&](TFormSearchFile& form) {
            form.editSearch()->setText(text);
            if (all) tick(form.checkAllSearch());
            if (exact) tick(form.checkOccurence());
            steps = clicks(form, count);
        });
        return steps;
    }

    // A click on the box's indicator, where a user clicks it.
    static void tick(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    int searchDialogs = 0;
};

const char* const kEnd = "Korvelt a terminé la recherche";

TEST_F(SearchCommand, EachClickSelectsTheNextMatchAndTheEndStartsOver) {
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\B\\", "y.DOC"), row("C:\\C\\", "z.txt")});
    const auto steps = searchFor("doc", 4);
    const std::vector<Step> expected = {{{0}, 0}, {{0, 1}, 0}, {{0, 1}, 1}, {{0, 1}, 1}};
    EXPECT_EQ(steps, expected);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Korvelt");
    EXPECT_EQ(boxes[0].text, kEnd);
    // The fourth click started again at the first row: the next one goes on from row 1.
    int next = -1;
    search([&](TFormSearchFile& form) {
        form.editSearch()->setText("doc");
        clicks(form, 4);
        next = form.nextIndex();
    });
    EXPECT_EQ(next, 1);
}

TEST_F(SearchCommand, PastTheLastRowTheSearchWrapsWithoutTheEndMessage) {
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\B\\", "y.DOC")});
    const auto steps = searchFor("doc", 3);
    const std::vector<Step> expected = {{{0}, 0}, {{0, 1}, 0}, {{0, 1}, 0}};
    EXPECT_EQ(steps, expected);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SearchCommand, AllMatchesAtOnce) {
    // The last row matches: every click selects them all again, with no end message.
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\C\\", "z.txt"), row("C:\\B\\", "y.doc")});
    auto steps = searchFor("doc", 3, true);
    EXPECT_EQ(steps, (std::vector<Step>{{{0, 2}, 0}, {{0, 2}, 0}, {{0, 2}, 0}}));

    // The last row does not match: the second click finds nothing after the last match.
    boxes.clear();
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\B\\", "y.doc"), row("C:\\C\\", "z.txt")});
    steps = searchFor("doc", 2, true);
    EXPECT_EQ(steps, (std::vector<Step>{{{0, 1}, 0}, {{0, 1}, 1}}));
}

TEST_F(SearchCommand, TheExactSearchComparesTheWholePathInAnyCase) {
    windowWith({row("C:\\Docs\\", "Lettre.doc"), row("C:\\Docs\\", "autre.txt")});
    EXPECT_EQ(searchFor("Lettre.doc", 1, false, true), (std::vector<Step>{{{}, 1}}));
    EXPECT_EQ(searchFor("c:\\DOCS\\lettre.DOC", 1, false, true), (std::vector<Step>{{{0}, 1}}));
}

TEST_F(SearchCommand, BlanksCountAsTyped) {
    windowWith({row("C:\\A\\", "ma lettre.doc"), row("C:\\A\\", "lettre.doc")});
    EXPECT_EQ(searchFor("   ", 2), (std::vector<Step>{{{}, 0}, {{}, 0}}));
    EXPECT_EQ(searchFor("a lettre", 1), (std::vector<Step>{{{0}, 0}}));
}

TEST_F(SearchCommand, OnlyTheLettersAToZAreFoldedInTheContainedSearch) {
    windowWith({row("C:\\été\\", "x.txt"), row("C:\\ÉTÉ\\", "y.txt")});
    EXPECT_EQ(searchFor("été", 1, true), (std::vector<Step>{{{0}, 0}}));
    // The exact search folds accented letters too.
    EXPECT_EQ(searchFor("c:\\été\\y.TXT", 1, false, true), (std::vector<Step>{{{0, 1}, 0}}));
}

TEST_F(SearchCommand, ChangingTheTextOrABoxStartsAgainAtTheFirstRow) {
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\B\\", "y.doc"), row("C:\\C\\", "z.doc")});
    std::vector<int> next;
    search([&](TFormSearchFile& form) {
        form.editSearch()->setText("doc");
        clicks(form, 2);
        next.push_back(form.nextIndex());
        form.editSearch()->setText("do");
        next.push_back(form.nextIndex());
        clicks(form, 1);
        tick(form.checkOccurence());
        next.push_back(form.nextIndex());
        tick(form.checkOccurence());
        clicks(form, 2);
        tick(form.checkAllSearch());
        next.push_back(form.nextIndex());
    });
    EXPECT_EQ(next, (std::vector<int>{2, 0, 0, 0}));
}

TEST_F(SearchCommand, SelectNoneClearsAndRefreshesTheTotals) {
    windowWith({row("C:\\A\\", "x.doc"), row("C:\\B\\", "y.doc")});
    std::vector<QString> totals;
    search([&](TFormSearchFile& form) {
        form.editSearch()->setText("doc");
        tick(form.checkAllSearch());
        clicks(form, 1);
        totals.push_back(window->statusText(1));
        QTest::mouseClick(form.buttonSelectNone(), Qt::LeftButton);
        totals.push_back(window->statusText(1));
        EXPECT_EQ(form.nextIndex(), 0);
        clicks(form, 1);
    });
    EXPECT_EQ(totals,
              (std::vector<QString>{" 2 sélectionné(s) 0,02 Ko", " 0 sélectionné(s) 0,00 Ko"}));
    // Closing the dialog leaves the totals of what the last step selected.
    EXPECT_EQ(window->statusText(1), " 2 sélectionné(s) 0,02 Ko");
    EXPECT_EQ(window->selectedRows(), (std::vector<std::size_t>{0, 1}));
}

TEST_F(SearchCommand, EarlierSelectionStaysAndAFarMatchComesNearTheTop) {
    TMainKorvelt2002& w = windowWith(numberedRows(400));
    w.resize(640, 480);
    w.show();
    QApplication::processEvents();
    select(3, 5);
    searchFor("f350", 1);
    EXPECT_EQ(w.selectedRows(), (std::vector<std::size_t>{3, 4, 5, 350}));
    const QModelIndex match = w.listView()->model()->index(350, 0);
    const QRect rect = w.listView()->visualRect(match);
    EXPECT_GE(rect.top(), 0);
    EXPECT_LT(rect.top(), 20 + rect.height());
    EXPECT_EQ(w.listView()->horizontalScrollBar()->value(), 0);
}

TEST_F(SearchCommand, NothingWithoutAnArchiveAndHelpSaysWhenItIsMissing) {
    makeWindow();
    trigger("SearchFile_Arch");
    EXPECT_EQ(searchDialogs, 0);

    windowWith({row("C:\\A\\", "x.doc")});
    search([](TFormSearchFile& form) { QTest::mouseClick(form.buttonHelp(), Qt::LeftButton); });
    EXPECT_EQ(searchDialogs, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Avertissement");
    EXPECT_EQ(boxes[0].text, "Le fichier d'aide de Korvelt est introuvable");
}

}  // namespace
}  // namespace kv::test
