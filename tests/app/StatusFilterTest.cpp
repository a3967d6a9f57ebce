// Showing and selecting the catalog's rows by status: the list, the status
// bar, the selection, the search, the text listing and the removal of rows
// all act on the rows shown, and on the catalog rows they stand for.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dialogs/TFormSearchFile.h"
#include "tests/app/ListingFixture.h"

namespace kv::test {
namespace {

class StatusFilter_ : public ListingTest {
  protected:
    static CatalogRow rowOf(const std::string& name, EntryStatus status, int64_t size) {
        CatalogRow r =
            row("C:\\Docs\\", name, status == New ? std::nullopt : std::optional<int64_t>(5));
        r.size = size;
        r.status = status;
        return r;
    }

    // Five rows, one of each status and a second modified one.
    TMainKorvelt2002& fiveRows() {
        TMainKorvelt2002& w =
            windowWith({rowOf("a.doc", Unchanged, 1000), rowOf("b.doc", Modified, 1500),
                        rowOf("c.txt", Missing, 2000), rowOf("d.doc", New, 2500),
                        rowOf("e.txt", Modified, 3000)});
        w.updateActionStates();  // as after the load that would have brought the rows
        return w;
    }

    // The names of the rows the list shows, in its order.
    QStringList shownNames() const {
        QStringList names;
        const QAbstractItemModel* model = window->listView()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->data(model->index(r, 0), Qt::DisplayRole).toString();
        return names;
    }
};

TEST_F(StatusFilter_, EachFilterShowsAndCountsWhatItSays) {
    TMainKorvelt2002& w = fiveRows();
    const struct {
        StatusFilter filter;
        const char* action;
        QStringList names;
        const char* summary;
    } cases[] = {
        {StatusFilter::Modified,
         "Afficher_Modifies",
         {"b.doc", "e.txt"},
         " 2 fichier(s) affiché(s) sur 5  4,50 Ko"},
        {StatusFilter::Missing,
         "Afficher_Manquants",
         {"c.txt"},
         " 1 fichier(s) affiché(s) sur 5  2,00 Ko"},
        {StatusFilter::New,
         "Afficher_Nouveaux",
         {"d.doc"},
         " 1 fichier(s) affiché(s) sur 5  2,50 Ko"},
        {StatusFilter::ToCheck,
         "Afficher_AVerifier",
         {"b.doc", "c.txt", "d.doc", "e.txt"},
         " 4 fichier(s) affiché(s) sur 5  9,00 Ko"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        action(c.action)->trigger();
        EXPECT_EQ(shownNames(), c.names);
        EXPECT_EQ(w.statusText(0), QString::fromUtf8(c.summary));
        EXPECT_TRUE(action(c.action)->isChecked());
        EXPECT_FALSE(action("Afficher_Tous")->isChecked());
    }
    // Back to every row: the summary is the catalog's again (none was loaded).
    action("Afficher_Tous")->trigger();
    EXPECT_EQ(shownNames().size(), 5);
    EXPECT_EQ(w.statusText(0), "");

    // Rows taken in while a filter is on are counted when they are shown.
    action("Afficher_Nouveaux")->trigger();
    w.archive().rows.push_back(rowOf("f.doc", New, 500));
    w.archive().rows.push_back(rowOf("g.doc", Unchanged, 500));
    w.catalogModel().syncAppended();
    EXPECT_EQ(shownNames(), QStringList({"d.doc", "f.doc"}));
    EXPECT_EQ(w.statusText(0), QString::fromUtf8(" 2 fichier(s) affiché(s) sur 7  3,00 Ko"));
}

TEST_F(StatusFilter_, SelectingByStatusTakesTheShownRowsOfThatStatus) {
    TMainKorvelt2002& w = fiveRows();
    action("Selectionner_Modifies")->trigger();
    EXPECT_EQ(w.selectedRows(), (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(w.statusText(1), QString::fromUtf8(" 2 sélectionné(s) 4,50 Ko"));

    action("Afficher_AVerifier")->trigger();
    action("Selectionner_Manquants")->trigger();
    EXPECT_EQ(w.selectedRows(), std::vector<std::size_t>{2});  // the catalog's row, not the list's
    action("Afficher_Nouveaux")->trigger();
    action("Selectionner_Modifies")->trigger();
    EXPECT_TRUE(w.selectedRows().empty());
}

TEST_F(StatusFilter_, SearchListingAndRemovalActOnTheRowsShown) {
    TMainKorvelt2002& w = fiveRows();
    action("Afficher_Modifies")->trigger();

    // ".doc" with "Tout rechercher": a.doc and d.doc are hidden, b.doc is found.
    DialogRunner::setHandler([this](QDialog& dialog) {
        if (auto* form = qobject_cast<TFormSearchFile*>(&dialog)) {
            form->editSearch()->setText(QStringLiteral(".doc"));
            form->checkAllSearch()->setChecked(true);
            QTest::mouseClick(form->buttonSearch(), Qt::LeftButton);
            return int(QDialog::Rejected);
        }
        return runDialog(dialog);
    });
    trigger("SearchFile_Arch");
    EXPECT_EQ(w.selectedRows(), std::vector<std::size_t>{1});

    chooser.files.push_back(QStringLiteral("C:\\liste.txt"));
    trigger("SaveText_Arch");
    EXPECT_EQ(drives.readFile("C:\\liste.txt"),
              "b.doc;C:\\Docs\\;1500;5;08/12/2026 10:30;Document texte\r\n"
              "e.txt;C:\\Docs\\;3000;5;08/12/2026 10:30;Document texte\r\n");

    // Removing the selected shown row removes that catalog row and no other.
    trigger("DellFile_Arch");
    EXPECT_EQ(shownNames(), QStringList({"e.txt"}));
    std::vector<std::string> left;
    for (const CatalogRow& r : w.archive().rows) left.push_back(r.name);
    EXPECT_EQ(left, (std::vector<std::string>{"a.doc", "c.txt", "d.doc", "e.txt"}));
    EXPECT_TRUE(w.archive().listChanged);

    // Another archive shows every row again.
    answers.push_back(QMessageBox::No);  // archive the changes first?
    trigger("Close_Arch");
    EXPECT_TRUE(action("Afficher_Tous")->isChecked());
    EXPECT_EQ(w.catalogModel().filter(), StatusFilter::All);
}

}  // namespace
}  // namespace kv::test
