#pragma once
// CatalogModel: the catalog rows of the open archive as the main list shows them,
// six columns ("Nom", "Dossier", "Taille", "Compressé", "Modifié", "Type"),
// the status icon on the name column. The rows stay in the engine's own
// vector (the engine reads and writes it directly); the model only tells the
// views what changed, and makes each cell's text from the row's values
// (cellText, which the text and printed listings share).
//
// The model announces rows by its own count (shownRows), not by the vector's
// size: while an engine operation fills or grows the vector and lets events
// run, the views keep seeing a consistent list, and syncAppended() announces
// the new rows in one insert. data() answers nothing for a row the vector no
// longer holds, so a repaint in the middle of a reload never reads past it.

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QIcon>
#include <functional>

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

    // After the vector grew at its end: announces the new rows.
    void syncAppended();
    // The same, at most every SyncIntervalMs: while an operation appends many
    // rows and lets events run, the list shows them growing a few times a
    // second (each announcement makes a view lay out its rows again).
    void syncAppendedIfDue();
    static constexpr qint64 SyncIntervalMs = 500;
    // After the vector was replaced, cleared, sorted or shrunk in any other
    // way: the views forget the old rows and read the vector afresh.
    void resetFromRows();
    // Brackets a change the model announces itself: the vector's rows [first,
    // last] are erased between beginErase and endErase.
    void beginErase(int first, int last);
    void endErase();

    int shownRows() const { return shown_; }

  private:
    Catalog& rows_;
    const LocaleSeparators& separators_;
    int shown_ = 0;
    int erasing_ = 0;
    QElapsedTimer sinceSync_;
    std::function<QIcon(int)> icons_;
};

}  // namespace kv
