#pragma once
// CatalogModel: the catalog rows of the open archive as the main list shows them,
// six columns ("Nom", "Dossier", "Taille", "Compressé", "Modifié", "Type"),
// the status icon on the name column. The rows stay in the engine's own
// vector (the engine reads and writes it directly); the model only tells the
// views what changed, and makes each cell's text from the row's values
// (cellText, which the text and printed listings share).
//
// The model shows the rows its status filter lets through (all of them by
// default), in the vector's order: row r of the model is the vector's row
// catalogIndex(r). It announces rows by its own list of them, not by the
// vector's size: while an engine operation fills or grows the vector and lets
// events run, the views keep seeing a consistent list, and syncAppended()
// announces the new rows in one insert. data() answers nothing for a row the
// vector no longer holds, so a repaint in the middle of a reload never reads
// past it.

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QIcon>
#include <functional>
#include <vector>

#include "engine/Catalog.h"
#include "util/Format.h"

namespace kv {

class CatalogModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { ColName, ColFolder, ColSize, ColCompressed, ColModified, ColType, ColumnCount };

    // The captions, default widths and alignments of the six columns.
    static QString columnCaption(int column);
    static int defaultWidth(int column);
    static Qt::Alignment columnAlignment(int column);

    // The text of a row's column as the list and the listings show it: the
    // name, the folder, the size and the compressed size in decimal (the
    // latter empty until archived), the date "dd/mm/yyyy hh:nn" with the
    // locale's separators (empty when it is no valid date), the type text.
    // The bytes of names are given as the row holds them.
    static std::string cellText(const CatalogRow& row, int column, const LocaleSeparators& sep);

    // separators: the user's locale, which outlives the model.
    CatalogModel(Catalog& rows, const LocaleSeparators& separators, QObject* parent = nullptr);

    // The icon of an EntryStatus value (the image list of the program).
    void setIconProvider(std::function<QIcon(int)> provider);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Which rows are shown; a change lays the list out afresh (the views lose
    // their selection).
    void setFilter(StatusFilter filter);
    StatusFilter filter() const { return filter_; }
    // The vector's index of a shown row (0 <= row < rowCount()), and the row
    // itself, null for a row past the end of the list or of the vector.
    std::size_t catalogIndex(int row) const { return shown_[static_cast<std::size_t>(row)]; }
    const CatalogRow* shownRow(int row) const;

    // After the vector grew at its end: announces the new rows the filter shows.
    void syncAppended();
    // The same, at most every SyncIntervalMs: while an operation appends many
    // rows and lets events run, the list shows them growing a few times a
    // second (each announcement makes a view lay out its rows again).
    void syncAppendedIfDue();
    static constexpr qint64 SyncIntervalMs = 500;
    // After the vector was replaced, cleared, sorted or shrunk in any other
    // way, or statuses changed: the views forget the old rows and read the
    // vector afresh.
    void resetFromRows();
    // Brackets a change the model announces itself: the shown rows [first,
    // last], which must be the vector's rows from catalogIndex(first) on
    // without a gap (as with no filter), are erased from the vector between
    // beginErase and endErase.
    void beginErase(int first, int last);
    void endErase();

  private:
    // The shown rows among the vector's rows from `from` on, appended to shown_.
    void take(std::size_t from);

    Catalog& rows_;
    const LocaleSeparators& separators_;
    StatusFilter filter_ = StatusFilter::All;
    std::vector<std::size_t> shown_;  // the vector's index of each shown row
    std::size_t seen_ = 0;            // the vector's rows the list was made from
    int erasingFirst_ = 0;
    int erasing_ = 0;
    QElapsedTimer sinceSync_;
    std::function<QIcon(int)> icons_;
};

}  // namespace kv
