// The catalog view: the list, its status icons, the selection summary and the
// catalog summary of the status bar, the sort and selection commands, the
// filter by status, the copy of a row's folder, and the actions' enabled
// states.

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/CutCellTips.h"
#include "app/TMainKorvelt2002.h"
#include "engine/CatalogReader.h"
#include "gui/FormBitmap.h"
#include "gui/HourGlass.h"
#include "platform/Platform.h"

namespace kv {
namespace {

// A status panel: its design width, or its text's when that is wider; in a
// window too narrow for both panels it narrows instead of pushing into the
// next one.
class StatusPanel : public QLabel {
  public:
    StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {}
    QSize sizeHint() const override {
        const QSize text = QLabel::sizeHint();
        return {std::max(width_, text.width()), text.height()};
    }
    QSize minimumSizeHint() const override { return {MinimumWidth, QLabel::sizeHint().height()}; }

  private:
    static constexpr int MinimumWidth = 24;
    int width_;
};

}  // namespace

void TMainKorvelt2002::buildCatalogView() {
    QWidget* panel = centralWidget();
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbarPanel_);

    model_ = std::make_unique<CatalogModel>(archive_.rows, env_.separators, this);
    model_->setIconProvider(
        [](int status) { return TFormBitmap::statusIcon(TFormBitmap::statusImage(status)); });
    listView_ = std::make_unique<QTreeView>(panel);
    listView_->setObjectName(QStringLiteral("ListViewFile"));
    listView_->setModel(model_.get());
    listView_->setRootIsDecorated(false);
    listView_->setItemsExpandable(false);
    listView_->setUniformRowHeights(true);
    listView_->setAllColumnsShowFocus(true);
    listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView_->setSortingEnabled(false);
    listView_->setIconSize(QSize(TFormBitmap::SmallIconSize, TFormBitmap::SmallIconSize));
    listView_->setTextElideMode(Qt::ElideRight);
    // A cell cut by its column's width shows its whole text as a tooltip.
    listView_->setItemDelegate(new CutCellTips(listView_.get()));
    QHeaderView* header = listView_->header();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    for (int c = 0; c < CatalogModel::ColumnCount; ++c) {
        header->resizeSection(c, CatalogModel::defaultWidth(c));
    }
    layout->addWidget(listView_.get(), 1);
    // The size columns widen to the longest number the rows bring in.
    connect(model_.get(), &QAbstractItemModel::modelReset, this,
            [this] { fitSizeColumns(0, model_->rowCount() - 1); });
    connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitSizeColumns(first, last); });

    connect(listView_.get(), &QTreeView::clicked, this,
            [this] { guarded(Command::Reads, [this] { ListViewFileClick(listView_.get()); }); });
    // A double click is the preview command.
    connect(listView_.get(), &QTreeView::doubleClicked, this,
            [this] { action("Voir_FichierArch")->trigger(); });
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { guarded(Command::Reads, [this] { ListViewFileClick(listView_.get()); }); });

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusLine"));
    bar->setSizeGripEnabled(true);
    const int widths[2] = {180, 195};
    for (int i = 0; i < 2; ++i) {
        auto* label = new StatusPanel(widths[i], bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // The panels keep their widths unless a text needs more room (a
        // catalog of 100,000 files), so the summary is not cut while the
        // window has room; a narrow window narrows them, each text cut at its
        // own panel's edge.
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        bar->addWidget(label);
        statusPanels_[i] = label;
    }
    // While a filter hides rows, the catalog summary counts the rows shown.
    const auto follow = [this] {
        if (model_->filter() != StatusFilter::All) showFilterSummary();
    };
    connect(model_.get(), &QAbstractItemModel::modelReset, this, follow);
    connect(model_.get(), &QAbstractItemModel::rowsInserted, this, follow);
    connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, follow);
}

void TMainKorvelt2002::fitSizeColumns(int first, int last) {
    // A number cut to "15728..." tells nothing: the columns "Taille" and
    // "Compressé" are widened (never narrowed) so the longest one shows whole.
    // Only the new rows are looked at, so filling a large catalog stays linear.
    QHeaderView* header = listView_->header();
    const QFontMetrics metrics(listView_->font());
    const int margin = 2 * (listView_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr,
                                                            listView_.get()) +
                            1) +
                       2;
    for (const int column : {int(CatalogModel::ColSize), int(CatalogModel::ColCompressed)}) {
        std::string longest;
        for (int row = std::max(first, 0); row <= last; ++row) {
            std::string text = CatalogModel::cellText(archive_.rows[static_cast<std::size_t>(row)],
                                                      column, env_.separators);
            if (text.size() > longest.size()) longest = std::move(text);
        }
        if (longest.empty()) continue;
        const int needed = metrics.horizontalAdvance(QString::fromStdString(longest)) + margin;
        if (header->sectionSize(column) < needed) header->resizeSection(column, needed);
    }
}

void TMainKorvelt2002::setStatusText(int panel, const QString& text) {
    statusPanels_[panel]->setText(text);
}

QString TMainKorvelt2002::statusText(int panel) const {
    return statusPanels_[panel]->text();
}

void TMainKorvelt2002::showCatalogSummary(int64_t totalSize) {
    setCatalogSummary(QString::fromStdString(
        " " + std::to_string(archive_.rows.size()) + " fichier(s)  " +
        formatNumber2(static_cast<double>(totalSize) / 1000.0, env_.separators) + " Ko"));
}

void TMainKorvelt2002::setCatalogSummary(const QString& text) {
    catalogSummary_ = text;
    showFilterSummary();
}

void TMainKorvelt2002::showFilterSummary() {
    if (model_->filter() == StatusFilter::All) {
        setStatusText(0, catalogSummary_);
        return;
    }
    const int shown = model_->rowCount();
    int64_t sum = 0;
    for (int row = 0; row < shown; ++row)
        if (const CatalogRow* r = model_->shownRow(row)) sum += r->size;
    setStatusText(0,
                  QString::fromStdString(
                      " " + std::to_string(shown) + " fichier(s) affiché(s) sur " +
                      std::to_string(archive_.rows.size()) + "  " +
                      formatNumber2(static_cast<double>(sum) / 1000.0, env_.separators) + " Ko"));
}

void TMainKorvelt2002::applyFilter(StatusFilter filter) {
    model_->setFilter(filter);
    // The others are unchecked by their group.
    for (QAction* item : showActions_->actions())
        if (item->data().toInt() == static_cast<int>(filter)) item->setChecked(true);
    showFilterSummary();
}

void TMainKorvelt2002::AfficherClick(StatusFilter filter) {
    applyFilter(filter);
    ListViewFileClick(this);
}

void TMainKorvelt2002::SelectionnerClick(StatusFilter filter) {
    // One range per run of matching rows, given to the selection in one call.
    QItemSelection selection;
    const int rows = model_->rowCount();
    const auto matches = [&](int row) {
        const CatalogRow* r = model_->shownRow(row);
        return r && filterShows(filter, r->status);
    };
    for (int row = 0; row < rows; ++row) {
        if (!matches(row)) continue;
        const int first = row;
        while (row + 1 < rows && matches(row + 1)) ++row;
        selection.append(QItemSelectionRange(model_->index(first, 0),
                                             model_->index(row, CatalogModel::ColumnCount - 1)));
    }
    listView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    ListViewFileClick(this);
}

std::vector<std::size_t> TMainKorvelt2002::shownRows() const {
    std::vector<std::size_t> rows;
    const int shown = model_->rowCount();
    rows.reserve(static_cast<std::size_t>(shown));
    for (int row = 0; row < shown; ++row)
        if (model_->shownRow(row)) rows.push_back(model_->catalogIndex(row));
    return rows;
}

void TMainKorvelt2002::recountCatalogSummary() {
    int64_t total = 0;
    for (const CatalogRow& row : archive_.rows) total += row.size;
    showCatalogSummary(total);
}

std::vector<std::size_t> TMainKorvelt2002::selectedRows() const {
    // Read from the selection's ranges: whole-row selections of a large list
    // are a few ranges, not one index per cell.
    std::vector<std::size_t> rows;
    for (const QItemSelectionRange& range : listView_->selectionModel()->selection()) {
        if (range.parent().isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (model_->shownRow(row)) rows.push_back(model_->catalogIndex(row));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TMainKorvelt2002::ListViewFileClick(QObject*) {
    if (archive_.rows.empty()) {
        setStatusText(1, QString());
        return;
    }
    int count = 0;
    int64_t sum = 0;
    for (std::size_t row : selectedRows()) {
        if (row >= archive_.rows.size()) continue;
        ++count;
        sum += archive_.rows[row].size;
    }
    setStatusText(1,
                  QString::fromStdString(
                      " " + std::to_string(count) + " sélectionné(s) " +
                      formatNumber2(static_cast<double>(sum) / 1000.0, env_.separators) + " Ko"));
}

void TMainKorvelt2002::clearCatalog() {
    listView_->selectionModel()->clear();
    archive_.rows.clear();
    model_->resetFromRows();
}

void TMainKorvelt2002::TrierLaListeClick(int tag) {
    archive_.sortKey = tag;
    HourGlass wait;
    listView_->selectionModel()->clear();
    sortCatalog(archive_.rows, archive_.sortKey);
    model_->resetFromRows();
}

void TMainKorvelt2002::setSelectionOfAll(bool selected) {
    QItemSelectionModel* selection = listView_->selectionModel();
    if (!selected || model_->rowCount() == 0) {
        selection->clearSelection();
        return;
    }
    const QItemSelection all(model_->index(0, 0),
                             model_->index(model_->rowCount() - 1, CatalogModel::ColumnCount - 1));
    selection->select(all, QItemSelectionModel::ClearAndSelect);
}

void TMainKorvelt2002::SelectAll_ArchExecute() {
    setSelectionOfAll(true);
    ListViewFileClick(this);
}

void TMainKorvelt2002::SelectNone_ArchExecute() {
    setSelectionOfAll(false);
    ListViewFileClick(this);
}

void TMainKorvelt2002::InvertSelectExecute() {
    const int rows = model_->rowCount();
    if (rows > 0) {
        const QItemSelection all(model_->index(0, 0),
                                 model_->index(rows - 1, CatalogModel::ColumnCount - 1));
        listView_->selectionModel()->select(all, QItemSelectionModel::Toggle);
    }
    ListViewFileClick(this);
}

void TMainKorvelt2002::CopyPathExecute() {
    const auto rows = selectedRows();
    if (rows.size() != 1 || rows.front() >= archive_.rows.size()) return;
    // The folder as this host names it, spelled as on disk, for a terminal or
    // a file manager; a folder on no drive of the map keeps its stored text.
    const std::string& folder = archive_.rows[rows.front()].folder;
    const std::optional<std::string> host = platform().toHost(folder);
    QGuiApplication::clipboard()->setText(QString::fromStdString(host ? *host : folder));
}

void TMainKorvelt2002::updateSortChecks() {
    for (QAction* item : sortItems_) item->setChecked(item->data().toInt() == archive_.sortKey);
}

void TMainKorvelt2002::updateActionStates() {
    // Before the menus exist (while the window is built) there is nothing to set.
    if (!searchFileItem_) return;
    const bool open = archiveOpen();
    const bool onDisk = archiveExists();
    const bool hasRows = !archive_.rows.empty();
    const bool stored = hasRows && onDisk;  // rows an archive on disk can give back
    const bool missing = std::any_of(archive_.rows.begin(), archive_.rows.end(),
                                     [](const CatalogRow& row) { return row.status == Missing; });
    const std::size_t selected = selectedRows().size();
    const struct {
        QAction* item;
        bool enabled;
    } states[] = {
        {action("SaveText_Arch"), open && hasRows},
        {action("Print_Arch"), open && hasRows},
        {action("Close_Arch"), open},
        {action("SaveAs_Arch"), onDisk},
        {action("Dell_Arch"), onDisk},
        {action("Move_Arch"), onDisk},
        {action("SelectAll_Arch"), hasRows},
        {action("SelectNone_Arch"), selected > 0},
        {action("InvertSelect"), selected > 0},
        {action("CopyPath"), selected == 1},
        {searchFileItem_, hasRows},
        {action("AddFile"), open},
        {dellFileItem_, selected > 0},
        {action("Archiver"), open},
        {action("Restaure"), stored},
        {action("RestaureManquants"), missing && onDisk},
        {action("SelfExtractor"), stored},
        {action("ModiEnTete"), onDisk},
        {action("Verifier_Arch"), stored},
        {action("Tester_Arch"), stored},
        {action("Reparer_Arch"), onDisk},
        {viewFileItem_, selected == 1},
    };
    for (const auto& state : states) state.item->setEnabled(state.enabled);
    // "Sélectionner" picks among the rows the list shows.
    const bool shown = model_->rowCount() > 0;
    for (QAction* item : selectActions_) item->setEnabled(shown);
}

void TMainKorvelt2002::Fichier1Click() {
    updateActionStates();
}

void TMainKorvelt2002::Edition1Click() {
    updateActionStates();
    updateSortChecks();
}

void TMainKorvelt2002::Action1Click() {
    updateActionStates();
    ListViewFileClick(this);
}

void TMainKorvelt2002::PopupArchPopup() {
    updateActionStates();
    updateSortChecks();
    ListViewFileClick(this);
}

}  // namespace kv
