#pragma once
// CutCellTips: the catalog list's item delegate, which shows a cell's whole
// text as a tooltip when the column is too narrow for it (the text ends in
// "..."), and no tooltip on a cell shown whole. Any column: a long folder, a
// long type name, a date in a narrowed column.

#include <QStyledItemDelegate>

namespace kv {

class CutCellTips : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // True when the cell's text is wider than the room its column gives it.
    bool isCut(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace kv
