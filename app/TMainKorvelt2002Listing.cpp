// The catalog as a listing: the search dialog over the rows, the text listing
// ("Enregistrer le contenu en texte") and the printed listing ("Imprimer le
// contenu"). None of them reads the archive file: they work on the rows as the
// list shows them, in its order, and only those its status filter shows.

#include <QDate>
#include <QLocale>
#include <QPrinter>
#include <QTreeView>
#include <array>

#include "app/ListingPrinter.h"
#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormPrint.h"
#include "dialogs/TFormSearchFile.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "gui/HourGlass.h"
#include "gui/Printers.h"
#include "platform/Platform.h"
#include "util/TextListing.h"

namespace kv {
namespace {

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void TMainKorvelt2002::SearchFile_ArchExecute() {
    if (!archiveOpen()) return;
    TFormSearchFile search(
        ui_, [this](int row) { return model_->shownRow(row); }, *listView_, this);
    search.setHelpAvailable(helpAvailable_);
    search.setSelectionRefresh([this] { ListViewFileClick(this); });
    DialogRunner::exec(search);
    ListViewFileClick(this);
}

void TMainKorvelt2002::SaveText_ArchExecute() {
    FileDialogRequest request;
    request.title = QStringLiteral("Enregistrer en fichier texte");
    request.filter = QStringLiteral("Fichier Texte(*.txt)");
    request.defaultExtension = QStringLiteral("txt");
    // The command asks its own question about an existing file.
    request.askOverwrite = false;
    const std::optional<QString> chosen = Chooser::instance().saveFile(this, request);
    if (!chosen) return;
    const std::string path = chosen->toStdString();
    if (platform().fileExists(path)) {
        const Answer answer = ui_.message(
            MessageKind::Confirmation,
            "Le fichier < " + path + " > existe déjà !\rremplacer le fichier existant ?",
            Buttons::YesNo);
        if (answer == Answer::No) return;
    }

    HourGlass wait;
    const Catalog& rows = archive_.rows;
    const std::vector<std::size_t> shown = shownRows();
    // The texts of the line in hand; the listing reads them before the next.
    std::array<std::string, CatalogModel::ColumnCount> texts;
    const bool written = writeTextListing(path, shown.size(), [&](std::size_t i) {
        ListingFields fields;
        for (int column = 0; column < CatalogModel::ColumnCount; ++column) {
            texts[column] = CatalogModel::cellText(rows[shown[i]], column, env_.separators);
            fields[column] = texts[column];
        }
        return fields;
    });
    wait.restore();
    if (!written) ui_.message(MessageKind::Error, "Impossible d'enregistrer le fichier");
}

void TMainKorvelt2002::Print_ArchExecute() {
    const std::vector<std::size_t> shown = shownRows();
    if (shown.empty()) return;
    PrintTarget target = PrintTarget::choose(ui_, this);
    if (!target) return;
    QPrinter* printer = &target.printer();
    // A PDF file has no border a printer cannot reach: it gets the one the
    // page layout counts on (4 mm across, 3 mm down), which "Configurer" may change.
    if (target.toFile()) printer->setPageMargins(QMarginsF(4, 3, 4, 3), QPageLayout::Millimeter);
    std::vector<std::size_t> selected = selectedRows();

    TFormPrint options(ui_, *printer, this);
    options.setHelpAvailable(helpAvailable_);
    options.prepare(shown.size(), selected.size());
    if (DialogRunner::exec(options) != QDialog::Accepted) return;

    const std::vector<std::size_t> rows = options.selectionChosen() ? selected : shown;
    const DateTime today = env_.now();
    const QString date =
        QLocale().toString(QDate(today.year, today.month, today.day), QLocale::ShortFormat);
    HourGlass wait;
    ListingPrinter(QString::fromStdString(fileNameOf(archive_.path)), date, env_.separators)
        .print(*printer, archive_.rows, rows);
    wait.restore();
    target.finish(ui_);
}

}  // namespace kv
