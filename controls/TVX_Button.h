#pragma once
// TVX_Button: a flat, owner-drawn push button with three looks.
//
//   down look       while Down is set (by the program; a click never sets it)
//   mouse-over look while the mouse is over the button
//   normal look     otherwise
//
// Each look has its own background colour, caption font and picture (the
// normal picture, Image, stands in for a missing over or down picture). Every
// setter stores the value and repaints only when the value changes; fonts and
// pictures are copied. Setting Image also moves Margin so that the caption
// starts right of the picture: 2 for an empty picture, else picture width +
// ImageLeft + 2 (kept to 8 bits). A Margin set afterwards wins.
//
// A caption font here is a font and a colour, as a font of the designer is:
// NormalTextColor / OverTextColor / DownTextColor are the fonts, and
// NormalFontColor / OverFontColor / DownFontColor their colours (black).
//
// The button paints on its parent: with Transparent set it fills nothing and
// the parent shows through. Clicks are reported by clicked() and trigger the
// associated action, if any.

#include <QAction>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace kv {

class TVX_Button : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Border READ border WRITE setBorder)
    Q_PROPERTY(QColor BorderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor NormalColor READ normalColor WRITE setNormalColor)
    Q_PROPERTY(QFont NormalTextColor READ normalTextColor WRITE setNormalTextColor)
    Q_PROPERTY(QColor NormalFontColor READ normalFontColor WRITE setNormalFontColor)
    Q_PROPERTY(bool Down READ down WRITE setDown)
    Q_PROPERTY(QColor DownColor READ downColor WRITE setDownColor)
    Q_PROPERTY(QFont DownTextColor READ downTextColor WRITE setDownTextColor)
    Q_PROPERTY(QColor DownFontColor READ downFontColor WRITE setDownFontColor)
    Q_PROPERTY(QColor OverColor READ overColor WRITE setOverColor)
    Q_PROPERTY(QFont OverTextColor READ overTextColor WRITE setOverTextColor)
    Q_PROPERTY(QColor OverFontColor READ overFontColor WRITE setOverFontColor)
    Q_PROPERTY(QColor CadreColor READ cadreColor WRITE setCadreColor)
    Q_PROPERTY(bool CadreOver READ cadreOver WRITE setCadreOver)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(int Margin READ margin WRITE setMargin)
    Q_PROPERTY(bool Enfoncement READ enfoncement WRITE setEnfoncement)
    Q_PROPERTY(QPixmap Image READ image WRITE setImage)
    Q_PROPERTY(QPixmap ImageOver READ imageOver WRITE setImageOver)
    Q_PROPERTY(QPixmap ImageDown READ imageDown WRITE setImageDown)
    Q_PROPERTY(int ImageLeft READ imageLeft WRITE setImageLeft)
    Q_PROPERTY(QColor ImageMask READ imageMask WRITE setImageMask)
    Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)
    Q_PROPERTY(int Tag READ tag WRITE setTag)
    Q_PROPERTY(bool ShowHint READ showHint WRITE setShowHint)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)

  public:
    enum class Look { Normal, Over, Down };

    explicit TVX_Button(QWidget* parent = nullptr);

    bool border() const { return border_; }
    void setBorder(bool value);
    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& value);
    QColor normalColor() const { return normalColor_; }
    void setNormalColor(const QColor& value);
    QFont normalTextColor() const { return normalFont_; }
    void setNormalTextColor(const QFont& value);
    QColor normalFontColor() const { return normalFontColor_; }
    void setNormalFontColor(const QColor& value);
    bool down() const { return down_; }
    void setDown(bool value);
    QColor downColor() const { return downColor_; }
    void setDownColor(const QColor& value);
    QFont downTextColor() const { return downFont_; }
    void setDownTextColor(const QFont& value);
    QColor downFontColor() const { return downFontColor_; }
    void setDownFontColor(const QColor& value);
    QColor overColor() const { return overColor_; }
    void setOverColor(const QColor& value);
    QFont overTextColor() const { return overFont_; }
    void setOverTextColor(const QFont& value);
    QColor overFontColor() const { return overFontColor_; }
    void setOverFontColor(const QColor& value);
    QColor cadreColor() const { return cadreColor_; }
    void setCadreColor(const QColor& value);
    bool cadreOver() const { return cadreOver_; }
    void setCadreOver(bool value);
    QString caption() const { return caption_; }
    void setCaption(const QString& value);
    int margin() const { return margin_; }
    void setMargin(int value);  // a byte: kept to its low 8 bits
    bool enfoncement() const { return enfoncement_; }
    void setEnfoncement(bool value);
    QPixmap image() const { return image_; }
    void setImage(const QPixmap& value);  // also moves Margin (see above)
    QPixmap imageOver() const { return imageOver_; }
    void setImageOver(const QPixmap& value);
    QPixmap imageDown() const { return imageDown_; }
    void setImageDown(const QPixmap& value);
    int imageLeft() const { return imageLeft_; }
    void setImageLeft(int value);  // a byte: kept to its low 8 bits
    QColor imageMask() const { return imageMask_; }
    void setImageMask(const QColor& value);
    bool transparent() const { return transparent_; }
    void setTransparent(bool value);
    int tag() const { return tag_; }
    void setTag(int value) { tag_ = value; }
    bool showHint() const { return showHint_; }
    void setShowHint(bool value);
    QString hint() const { return hint_; }
    void setHint(const QString& value);

    // The action the button triggers on a click; caption, hint, enabled and
    // visible follow it. nullptr unlinks.
    QAction* action() const { return action_; }
    void setAction(QAction* action);

    bool hovered() const { return hover_; }
    // The look the next paint draws, from Down and the hover flag.
    Look look() const;

    QSize sizeHint() const override { return QSize(75, 25); }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void syncFromAction();
    void updateToolTip();
    void drawPicture(QPainter& painter, const QPixmap& picture, int shift) const;

    bool border_ = false;
    QColor borderColor_{0, 0, 0};
    QColor normalColor_{128, 128, 128};
    QFont normalFont_;
    QColor normalFontColor_{0, 0, 0};
    bool down_ = false;
    QColor downColor_{128, 128, 128};
    QFont downFont_;
    QColor downFontColor_{0, 0, 0};
    QColor overColor_{128, 128, 128};
    QFont overFont_;
    QColor overFontColor_{0, 0, 0};
    QColor cadreColor_{255, 0, 0};
    bool cadreOver_ = true;
    QString caption_ = QStringLiteral("VX_Button");
    int margin_ = 10;
    bool enfoncement_ = false;
    QPixmap image_;
    QPixmap imageOver_;
    QPixmap imageDown_;
    int imageLeft_ = 2;
    QColor imageMask_{0, 0, 0};
    bool transparent_ = false;
    int tag_ = 0;
    bool showHint_ = false;
    QString hint_;
    QPointer<QAction> action_;
    bool hover_ = false;
    bool pressed_ = false;
};

}  // namespace kv
