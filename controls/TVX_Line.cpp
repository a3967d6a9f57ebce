#include "controls/TVX_Line.h"

#include <QEvent>
#include <QPainter>

namespace kv {

TVX_Line::TVX_Line(QWidget* parent) : QWidget(parent) {
    if (parent) parent->installEventFilter(this);
}

void TVX_Line::setBorderColor(const QColor& value) {
    if (borderColor_ == value) return;
    borderColor_ = value;
    update();
}

void TVX_Line::setBorderShape(TBorder_Shape value) {
    if (borderShape_ == value) return;
    borderShape_ = value;
    update();
}

void TVX_Line::setAlign(TAlign value) {
    if (align_ == value) return;
    align_ = value;
    applyAlign();
}

void TVX_Line::applyAlign() {
    const QWidget* parent = parentWidget();
    if (!parent) return;
    const QRect area = parent->contentsRect();
    QRect g = geometry();
    switch (align_) {
        case alNone:
            return;
        case alTop:
            g = QRect(area.left(), area.top(), area.width(), height());
            break;
        case alBottom:
            g = QRect(area.left(), area.bottom() + 1 - height(), area.width(), height());
            break;
        case alLeft:
            g = QRect(area.left(), area.top(), width(), area.height());
            break;
        case alRight:
            g = QRect(area.right() + 1 - width(), area.top(), width(), area.height());
            break;
        case alClient:
            g = area;
            break;
    }
    setGeometry(g);
}

bool TVX_Line::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) applyAlign();
    return QWidget::eventFilter(watched, event);
}

void TVX_Line::paintEvent(QPaintEvent*) {
    // One-pixel rows and columns filled directly, so an edge covers exactly the
    // pixels it names whatever the painter's pen rules.
    QPainter painter(this);
    const int w = width(), h = height();
    const QColor c = borderColor_;
    switch (borderShape_) {
        case bsBox:
            painter.fillRect(0, 0, w, 1, c);
            painter.fillRect(0, h - 1, w, 1, c);
            painter.fillRect(0, 0, 1, h, c);
            painter.fillRect(w - 1, 0, 1, h, c);
            break;
        case bsTopLine:
            painter.fillRect(0, 0, w, 1, c);
            break;
        case bsBottomLine:
            painter.fillRect(0, h - 1, w, 1, c);
            break;
        case bsLeftLine:
            painter.fillRect(0, 0, 1, h, c);
            break;
        case bsRightLine:
            painter.fillRect(w - 1, 0, 1, h, c);
            break;
    }
}

}  // namespace kv
