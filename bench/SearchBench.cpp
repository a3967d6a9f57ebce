// The search dialog on a catalog of many rows in the real main window: one
// search step over every row, and "Tout rechercher" selecting every other row
// (the most ranges a selection can have), each with the repaint that follows,
// against a plain loop that compares the same rows' paths and selects nothing.
//
//   kv_bench_search [ROWS] [RUNS]   (default 100000 rows, 5 runs; offscreen
//                                     unless a display is named)

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormSearchFile.h"

namespace {

// The baseline: each row's path built, folded and searched, as a bare loop.
std::size_t plainLoop(const kv::Catalog& rows, std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    std::size_t found = 0;
    std::string path;
    for (const kv::CatalogRow& row : rows) {
        path.assign(row.folder);
        path.append(row.name);
        for (char& c : path)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (path.find(text) != std::string::npos) ++found;
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QApplication app(argc, argv);

    kv::TMainKorvelt2002 window;
    window.resize(800, 600);
    window.show();
    kv::OpenArchive& archive = window.archive();
    archive.path = "C:\\bench.kvr";
    for (int i = 0; i < count; ++i) {
        kv::CatalogRow row;
        row.name = "Fichier " + std::to_string(i) + (i % 2 ? ".doc" : ".txt");
        row.folder = "C:\\Documents\\Dossier " + std::to_string(i / 100) + "\\";
        row.size = 1000;
        row.compressedSize = 400;
        row.entryOffset = 102;
        row.fileDate = *kv::toDosDateTime(kv::DateTime{2026, 12, 8, 10, 30, 0});
        row.typeName = "Document";
        row.status = kv::Unchanged;
        archive.rows.push_back(std::move(row));
    }
    window.catalogModel().resetFromRows();
    QApplication::processEvents();

    kv::CatalogModel& model = window.catalogModel();
    kv::TFormSearchFile form(
        window.ui(), [&model](int row) { return model.shownRow(row); }, *window.listView(),
        &window);
    form.show();
    auto clearSelection = [&] {
        window.listView()->selectionModel()->clearSelection();
        QApplication::processEvents();
    };
    // One click with the given text and "Tout rechercher", timed with its repaint.
    auto click = [&](const QString& text, bool all) {
        form.editSearch()->setText(text);
        form.checkAllSearch()->setChecked(all);
        const auto start = kvbench::Clock::now();
        form.ButtonSearchClick();
        QApplication::processEvents();
        return kvbench::secondsSince(start);
    };

    std::vector<double> plain, step, all, again, grow;
    std::size_t matches = 0;
    const std::string last = "Fichier " + std::to_string(count - 1) + ".";
    for (int r = 0; r < runs; ++r) {
        auto start = kvbench::Clock::now();
        matches = plainLoop(archive.rows, last);
        plain.push_back(kvbench::secondsSince(start));

        clearSelection();
        step.push_back(click(QString::fromStdString(last), false));
        clearSelection();
        all.push_back(click(QStringLiteral(".doc"), true));
        again.push_back(click(QStringLiteral(".doc"), true));
        // Every other row selected; then every even row ending in 4 joins them.
        grow.push_back(click(QStringLiteral("4.txt"), true));
    }
    const std::size_t selected = window.selectedRows().size();

    const double base = kvbench::median(plain);
    auto line = [&](const char* what, const std::vector<double>& v) {
        std::printf("%-44s %8.1f ms   ratio to the plain loop %6.1f\n", what,
                    kvbench::median(v) * 1000, kvbench::median(v) / base);
    };
    std::printf("rows %d, runs %d (medians)\n", count, runs);
    std::printf("%-44s %8.1f ms   (%zu match)\n", "plain loop over every path", base * 1000,
                matches);
    line("search step visiting every row", step);
    line("Tout rechercher: every other row selected", all);
    line("  the same again (nothing new to select)", again);
    line("  then another tenth of the rows joins them", grow);
    std::printf("rows selected at the end %zu\n", selected);
    return 0;
}
