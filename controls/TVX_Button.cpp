#include "controls/TVX_Button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <optional>

#include "controls/Hint.h"

namespace kv {
namespace {

template <typename T>
bool store(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

// Two pictures are the same when they share their data; a different picture,
// even of equal content, is copied in and repainted.
bool storePicture(QPixmap& field, const QPixmap& value) {
    if (field.cacheKey() == value.cacheKey()) return false;
    field = value;
    return true;
}

void frame(QPainter& painter, const QRect& r, const QColor& colour) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

}  // namespace

TVX_Button::TVX_Button(QWidget* parent) : QWidget(parent) {
    normalFont_ = font();
    downFont_ = font();
    overFont_ = font();
    resize(75, 25);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void TVX_Button::setBorder(bool value) {
    if (store(border_, value)) update();
}
void TVX_Button::setBorderColor(const QColor& value) {
    if (store(borderColor_, value)) update();
}
void TVX_Button::setNormalColor(const QColor& value) {
    if (store(normalColor_, value)) update();
}
void TVX_Button::setNormalTextColor(const QFont& value) {
    if (store(normalFont_, value)) update();
}
void TVX_Button::setNormalFontColor(const QColor& value) {
    if (store(normalFontColor_, value)) update();
}
void TVX_Button::setDown(bool value) {
    if (store(down_, value)) update();
}
void TVX_Button::setDownColor(const QColor& value) {
    if (store(downColor_, value)) update();
}
void TVX_Button::setDownTextColor(const QFont& value) {
    if (store(downFont_, value)) update();
}
void TVX_Button::setDownFontColor(const QColor& value) {
    if (store(downFontColor_, value)) update();
}
void TVX_Button::setOverColor(const QColor& value) {
    if (store(overColor_, value)) update();
}
void TVX_Button::setOverTextColor(const QFont& value) {
    if (store(overFont_, value)) update();
}
void TVX_Button::setOverFontColor(const QColor& value) {
    if (store(overFontColor_, value)) update();
}
void TVX_Button::setCadreColor(const QColor& value) {
    if (store(cadreColor_, value)) update();
}
void TVX_Button::setCadreOver(bool value) {
    if (store(cadreOver_, value)) update();
}
void TVX_Button::setCaption(const QString& value) {
    if (store(caption_, value)) update();
}
void TVX_Button::setMargin(int value) {
    if (store(margin_, value & 0xFF)) update();
}
void TVX_Button::setEnfoncement(bool value) {
    if (store(enfoncement_, value)) update();
}

void TVX_Button::setImage(const QPixmap& value) {
    if (!storePicture(image_, value)) return;
    margin_ = image_.isNull() ? 2 : (image_.width() + imageLeft_ + 2) & 0xFF;
    update();
}

void TVX_Button::setImageOver(const QPixmap& value) {
    if (storePicture(imageOver_, value)) update();
}
void TVX_Button::setImageDown(const QPixmap& value) {
    if (storePicture(imageDown_, value)) update();
}
void TVX_Button::setImageLeft(int value) {
    if (store(imageLeft_, value & 0xFF)) update();
}
void TVX_Button::setImageMask(const QColor& value) {
    if (store(imageMask_, value)) update();
}

void TVX_Button::setTransparent(bool value) {
    if (!store(transparent_, value)) return;
    // An opaque button paints every pixel itself; a transparent one lets the
    // parent paint underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent_);
    update();
}

void TVX_Button::setShowHint(bool value) {
    if (store(showHint_, value)) updateToolTip();
}

void TVX_Button::setHint(const QString& value) {
    if (store(hint_, value)) updateToolTip();
}

void TVX_Button::updateToolTip() {
    setToolTip(showHint_ ? hintShort(hint_) : QString());
    setStatusTip(hintLong(hint_));
}

void TVX_Button::setAction(QAction* action) {
    if (action_ == action) return;
    if (action_) disconnect(action_, nullptr, this, nullptr);
    action_ = action;
    if (action_) {
        connect(action_, &QAction::changed, this, &TVX_Button::syncFromAction);
        syncFromAction();
    }
}

void TVX_Button::syncFromAction() {
    if (!action_) return;
    setCaption(action_->text());
    setEnabled(action_->isEnabled());
    setVisible(action_->isVisible());
    const QString hint = action_->statusTip().isEmpty()
                             ? action_->toolTip()
                             : action_->toolTip() + QLatin1Char('|') + action_->statusTip();
    setHint(hint);
}

TVX_Button::Look TVX_Button::look() const {
    if (down_) return Look::Down;
    if (hover_) return Look::Over;
    return Look::Normal;
}

void TVX_Button::drawPicture(QPainter& painter, const QPixmap& picture, int shift) const {
    // The mask colour is drawn as transparent: those pixels keep whatever lies below.
    QImage masked = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = imageMask_.rgb();
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            if (qAlpha(line[x]) == 255 && (line[x] & 0xFFFFFF) == (mask & 0xFFFFFF)) line[x] = 0;
    }
    const int y = (height() - masked.height()) / 2 + shift;
    painter.drawImage(QPoint(imageLeft_ + shift, y), masked);
}

void TVX_Button::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r(0, 0, width(), height());
    const bool enabled = isEnabled();
    const int a = enfoncement_ ? 1 : 0;

    QColor fill;
    QFont captionFont;
    QColor captionColour;
    QPixmap picture;
    int shift = 0;
    std::optional<QColor> frameColour;

    switch (look()) {
        case Look::Down:
            fill = downColor_;
            if (border_) frameColour = borderColor_;
            captionFont = downFont_;
            captionColour = downFontColor_;
            picture = imageDown_.isNull() ? image_ : imageDown_;
            shift = a;
            break;
        case Look::Over:
            fill = overColor_;
            if (cadreOver_) {
                if (enabled)
                    frameColour = cadreColor_;
                else if (border_)
                    frameColour = borderColor_;
            }
            captionFont = enabled ? overFont_ : normalFont_;
            captionColour = enabled ? overFontColor_ : normalFontColor_;
            picture = (!imageOver_.isNull() && enabled) ? imageOver_ : image_;
            shift = a;
            break;
        case Look::Normal:
            fill = normalColor_;
            if (border_) frameColour = borderColor_;
            captionFont = normalFont_;
            captionColour = normalFontColor_;
            picture = image_;
            break;
    }

    if (!transparent_) painter.fillRect(r, fill);
    if (frameColour) frame(painter, r, *frameColour);
    if (!caption_.isEmpty()) {
        painter.setFont(captionFont);
        painter.setPen(captionColour);
        const QFontMetrics metrics(captionFont);
        const int top = shift + height() / 2 - metrics.height() / 2;
        painter.drawText(QPoint(margin_ + shift, top + metrics.ascent()), caption_);
    }
    if (!picture.isNull()) drawPicture(painter, picture, shift);
}

void TVX_Button::enterEvent(QEnterEvent* event) {
    hover_ = true;
    repaint();
    QWidget::enterEvent(event);
}

void TVX_Button::leaveEvent(QEvent* event) {
    hover_ = false;
    repaint();
    QWidget::leaveEvent(event);
}

void TVX_Button::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    QWidget::mousePressEvent(event);
}

void TVX_Button::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    QWidget::mouseReleaseEvent(event);
    if (!click) return;
    emit clicked();
    if (action_) action_->trigger();
}

}  // namespace kv
