#pragma once
// The main window with a catalog set directly (no archive file needed: the
// search, the text listing and the printed listing read only the rows), and
// the external programs the listing tests check their files with.

#include <QTreeView>
#include <cstdio>
#include <string>

#include "tests/app/WindowFixture.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kv::test {

class ListingTest : public WindowTest {
  protected:
    // A row as a load gives it; an empty compressed size makes it a new row.
    static CatalogRow row(const std::string& folder, const std::string& name,
                          const std::string& compressed = "5") {
        CatalogRow r;
        r.caption = name;
        r.sub = {folder,           "10",
                 compressed,       "08/12/2026 10:30",
                 "Document texte", compressed.empty() ? "" : "102"};
        r.icon = compressed.empty() ? New : Unchanged;
        return r;
    }

    // Opens the window on the archive C:\d\arch.kvr holding these rows.
    TMainKorvelt2002& windowWith(Catalog rows) {
        TMainKorvelt2002& w = makeWindow();
        w.session().currentArchive = "C:\\d\\arch.kvr";
        w.session().rows = std::move(rows);
        w.catalogModel().resetFromRows();
        return w;
    }

    // Rows f000.txt, f001.txt, ... in C:\Docs\.
    static Catalog numberedRows(int count) {
        Catalog rows;
        char name[32];
        for (int i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, "f%03d.txt", i);
            rows.push_back(row("C:\\Docs\\", name));
        }
        return rows;
    }

    void select(int first, int last) {
        QAbstractItemModel* model = window->listView()->model();
        window->listView()->selectionModel()->select(
            QItemSelection(model->index(first, 0),
                           model->index(last, CatalogModel::ColumnCount - 1)),
            QItemSelectionModel::Select);
    }

    // What a command prints on standard output; the status in *status.
    static std::string run(const std::string& command, int* status = nullptr) {
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
            const int rc = pclose(pipe);
            if (status) *status = rc;
        }
        return out;
    }
};

}  // namespace kv::test
