#pragma once
// The main window with a catalog set directly (no archive file needed: the
// search, the text listing and the printed listing read only the rows), and
// the external programs the listing tests check their files with.

#include <QTreeView>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/ArchiveFormat.h"
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
                          std::optional<int64_t> compressed = 5) {
        CatalogRow r;
        r.name = name;
        r.folder = folder;
        r.size = 10;
        r.compressedSize = compressed;
        if (compressed) r.entryOffset = format::FirstEntryOffset;
        r.fileDate = *toDosDateTime(DateTime{2026, 12, 8, 10, 30, 0});
        r.typeName = "Document texte";
        r.status = compressed ? Unchanged : New;
        return r;
    }

    // Opens the window on the archive C:\d\arch.kvr holding these rows.
    TMainKorvelt2002& windowWith(Catalog rows) {
        TMainKorvelt2002& w = makeWindow();
        w.archive().path = "C:\\d\\arch.kvr";
        w.archive().rows = std::move(rows);
        w.catalogModel().resetFromRows();
        // The actions' states, as after the command that would have opened it.
        w.updateActionStates();
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
