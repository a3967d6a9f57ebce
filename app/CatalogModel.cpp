#include "app/CatalogModel.h"

#include "text/Text.h"

namespace kv {
namespace {

struct ColumnInfo {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

const ColumnInfo kColumns[CatalogModel::ColumnCount] = {
    {"Nom", 100, Qt::AlignLeft | Qt::AlignVCenter},
    {"Dossier", 150, Qt::AlignLeft | Qt::AlignVCenter},
    {"Taille", 60, Qt::AlignRight | Qt::AlignVCenter},
    {"Compressé", 80, Qt::AlignRight | Qt::AlignVCenter},
    {"Modifié", 120, Qt::AlignLeft | Qt::AlignVCenter},
    {"Type", 60, Qt::AlignLeft | Qt::AlignVCenter},
};

}  // namespace

QString CatalogModel::columnCaption(int column) {
    if (column < 0 || column >= ColumnCount) return {};
    return QString::fromUtf8(kColumns[column].caption);
}

int CatalogModel::defaultWidth(int column) {
    if (column < 0 || column >= ColumnCount) return 0;
    return kColumns[column].width;
}

Qt::Alignment CatalogModel::columnAlignment(int column) {
    if (column < 0 || column >= ColumnCount) return Qt::AlignLeft | Qt::AlignVCenter;
    return kColumns[column].alignment;
}

std::string CatalogModel::cellText(const CatalogRow& row, int column, const LocaleSeparators& sep) {
    switch (column) {
        case ColName:
            return row.name;
        case ColFolder:
            return row.folder;
        case ColSize:
            return std::to_string(row.size);
        case ColCompressed:
            return row.compressedSize ? std::to_string(*row.compressedSize) : std::string();
        case ColModified:
            return formatDosDateTime(row.fileDate, sep);
        case ColType:
            return row.typeName;
        default:
            return {};
    }
}

CatalogModel::CatalogModel(Catalog& rows, const LocaleSeparators& separators, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), separators_(separators) {
    take(0);
}

void CatalogModel::take(std::size_t from) {
    for (std::size_t i = from; i < rows_.size(); ++i)
        if (filterShows(filter_, rows_[i].status)) shown_.push_back(i);
    seen_ = rows_.size();
}

void CatalogModel::setIconProvider(std::function<QIcon(int)> provider) {
    icons_ = std::move(provider);
    if (!shown_.empty())
        emit dataChanged(index(0, ColName), index(rowCount() - 1, ColName), {Qt::DecorationRole});
}

void CatalogModel::setFilter(StatusFilter filter) {
    if (filter == filter_) return;
    filter_ = filter;
    resetFromRows();
}

const CatalogRow* CatalogModel::shownRow(int row) const {
    if (row < 0 || row >= rowCount()) return nullptr;
    const std::size_t index = shown_[static_cast<std::size_t>(row)];
    return index < rows_.size() ? &rows_[index] : nullptr;
}

int CatalogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int CatalogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CatalogModel::data(const QModelIndex& index, int role) const {
    const CatalogRow* shown = index.isValid() ? shownRow(index.row()) : nullptr;
    if (!shown) return {};
    const CatalogRow& row = *shown;
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            // Names hold the host's bytes as they are; a legacy 8-bit name
            // shows its letters instead of replacement marks.
            return QString::fromStdString(text::forDisplay(cellText(row, column, separators_)));
        case Qt::DecorationRole:
            if (column == ColName && icons_) return icons_(row.status);
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columnAlignment(column));
        default:
            return {};
    }
}

QVariant CatalogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return columnCaption(section);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(columnAlignment(section));
    return {};
}

Qt::ItemFlags CatalogModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CatalogModel::syncAppended() {
    const std::size_t size = rows_.size();
    if (size < seen_) {
        resetFromRows();
        return;
    }
    if (size == seen_) return;
    std::vector<std::size_t> added;
    for (std::size_t i = seen_; i < size; ++i)
        if (filterShows(filter_, rows_[i].status)) added.push_back(i);
    seen_ = size;
    if (added.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    shown_.insert(shown_.end(), added.begin(), added.end());
    endInsertRows();
}

void CatalogModel::syncAppendedIfDue() {
    if (sinceSync_.isValid() && sinceSync_.elapsed() < SyncIntervalMs) return;
    syncAppended();
    sinceSync_.restart();
}

void CatalogModel::resetFromRows() {
    beginResetModel();
    shown_.clear();
    take(0);
    endResetModel();
}

void CatalogModel::beginErase(int first, int last) {
    beginRemoveRows({}, first, last);
    erasingFirst_ = first;
    erasing_ = last - first + 1;
}

void CatalogModel::endErase() {
    const auto first = shown_.begin() + erasingFirst_;
    shown_.erase(first, first + erasing_);
    // The rows after the erased ones moved up in the vector.
    for (auto i = shown_.begin() + erasingFirst_; i != shown_.end(); ++i)
        *i -= static_cast<std::size_t>(erasing_);
    seen_ -= static_cast<std::size_t>(erasing_);
    erasing_ = 0;
    endRemoveRows();
}

}  // namespace kv
