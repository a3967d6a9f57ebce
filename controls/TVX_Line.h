#pragma once
// TVX_Line: a one-pixel separator painted on its parent: a frame around the
// control or one of its four edges, in BorderColor. The rest of its area is
// left to the parent. Setters repaint only when the value changes.
//
// Align places the line along an edge of its parent (or over the whole of it)
// and keeps it there when the parent is resized; alNone leaves it where it is.

#include <QColor>
#include <QWidget>

namespace kv {

class TVX_Line : public QWidget {
    Q_OBJECT
  public:
    enum TBorder_Shape { bsBox, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };
    Q_ENUM(TBorder_Shape)
    enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
    Q_ENUM(TAlign)

  private:
    Q_PROPERTY(QColor BorderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(TBorder_Shape BorderShape READ borderShape WRITE setBorderShape)
    Q_PROPERTY(TAlign Align READ align WRITE setAlign)

  public:
    explicit TVX_Line(QWidget* parent = nullptr);

    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& value);
    TBorder_Shape borderShape() const { return borderShape_; }
    void setBorderShape(TBorder_Shape value);
    TAlign align() const { return align_; }
    void setAlign(TAlign value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyAlign();

    QColor borderColor_{128, 128, 128};
    TBorder_Shape borderShape_ = bsBox;
    TAlign align_ = alNone;
};

}  // namespace kv
