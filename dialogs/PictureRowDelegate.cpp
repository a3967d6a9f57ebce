#include "dialogs/PictureRowDelegate.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "gui/FormBitmap.h"

namespace kv {

void PictureRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QRect r = option.rect;
    // A row fills the visible width even when its text is shorter.
    if (option.widget) r.setRight(std::max(r.right(), option.widget->width()));
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(r, selected ? QColor(192, 192, 192) : QColor(Qt::white));
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics fm(option.font);
    painter->drawText(r.left() + TextLeft, r.top() + 1 + fm.ascent(), text);
    const QPixmap picture = TFormBitmap::smallPixmap(picture_);
    if (!picture.isNull()) {
        const int h = qRound(picture.height() / picture.devicePixelRatio());
        painter->drawPixmap(r.left() + PictureLeft, r.top() + (r.height() - h) / 2, picture);
    }
    painter->restore();
}

QSize PictureRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    if (extent_ > 0) return {extent_, rowHeight_};
    const QFontMetrics fm(option.font);
    return {TextLeft + fm.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4,
            rowHeight_};
}

}  // namespace kv
