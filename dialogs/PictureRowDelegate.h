#pragma once
// The owner-drawn rows of the selection list and of the script list: a silver
// fill (192, 192, 192) for a selected row and white otherwise, the text in black
// 21 pixels from the left and 1 pixel from the top, and one picture of the main
// image list 2 pixels from the left, centred vertically.

#include <QStyledItemDelegate>

namespace kv {

class PictureRowDelegate : public QStyledItemDelegate {
  public:
    // picture: an index of the main image list (TFormBitmap); rowHeight in pixels.
    PictureRowDelegate(int picture, int rowHeight, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), picture_(picture), rowHeight_(rowHeight) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The width every row claims, so that the list scrolls that far; 0 gives
    // each row its own text width.
    void setExtent(int width) { extent_ = width; }

    static constexpr int TextLeft = 21;
    static constexpr int PictureLeft = 2;

  private:
    int picture_;
    int rowHeight_;
    int extent_ = 0;
};

}  // namespace kv
