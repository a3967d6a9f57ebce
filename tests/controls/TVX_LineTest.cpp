// The line control: exactly the pixels of its shape, nothing else, repaints
// only on change, and Align keeps it on its parent's edge.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>

#include "controls/TVX_Line.h"

using kv::TVX_Line;

namespace {

const QColor parentColour(10, 200, 10);
const QColor lineColour(200, 0, 0);

class CountingLine : public TVX_Line {
  public:
    using TVX_Line::TVX_Line;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        TVX_Line::paintEvent(event);
    }
};

struct ShapeCase {
    const char* name;
    TVX_Line::TBorder_Shape shape;
    std::function<bool(int x, int y, int w, int h)> drawn;
};

class LineShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(LineShapes, PaintsOnlyItsEdge) {
    const ShapeCase& c = GetParam();
    QWidget parent;
    parent.resize(40, 30);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, parentColour);
    parent.setPalette(palette);
    auto* line = new TVX_Line(&parent);
    line->setGeometry(5, 5, 10, 4);
    line->setBorderColor(lineColour);
    line->setBorderShape(c.shape);

    const QImage image = parent.grab().toImage();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x) {
            const QColor expected = c.drawn(x, y, 10, 4) ? lineColour : parentColour;
            EXPECT_EQ(image.pixelColor(5 + x, 5 + y), expected) << "at " << x << "," << y;
        }
    // Nothing outside the control.
    EXPECT_EQ(image.pixelColor(4, 4), parentColour);
    EXPECT_EQ(image.pixelColor(15, 9), parentColour);
}

INSTANTIATE_TEST_SUITE_P(
    EveryShape, LineShapes,
    ::testing::Values(
        ShapeCase{"Box", TVX_Line::bsBox,
                  [](int x, int y, int w, int h) {
                      return x == 0 || y == 0 || x == w - 1 || y == h - 1;
                  }},
        ShapeCase{"Top", TVX_Line::bsTopLine, [](int, int y, int, int) { return y == 0; }},
        ShapeCase{"Bottom", TVX_Line::bsBottomLine,
                  [](int, int y, int, int h) { return y == h - 1; }},
        ShapeCase{"Left", TVX_Line::bsLeftLine, [](int x, int, int, int) { return x == 0; }},
        ShapeCase{"Right", TVX_Line::bsRightLine,
                  [](int x, int, int w, int) { return x == w - 1; }}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST(Line, StartsAsAGreyBoxAndRepaintsOnlyOnChange) {
    QWidget parent;
    auto* line = new CountingLine(&parent);
    EXPECT_EQ(line->borderColor(), QColor(128, 128, 128));
    EXPECT_EQ(line->borderShape(), TVX_Line::bsBox);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QApplication::processEvents();

    line->paints = 0;
    line->setBorderColor(QColor(128, 128, 128));
    line->setBorderShape(TVX_Line::bsBox);
    QApplication::processEvents();
    EXPECT_EQ(line->paints, 0);
    line->setBorderShape(TVX_Line::bsTopLine);
    QApplication::processEvents();
    EXPECT_EQ(line->paints, 1);
    line->setBorderColor(Qt::black);
    QApplication::processEvents();
    EXPECT_EQ(line->paints, 2);
}

TEST(Line, AlignFollowsTheParentEdge) {
    QWidget parent;
    parent.resize(100, 50);
    parent.show();
    auto* bottom = new TVX_Line(&parent);
    bottom->resize(10, 2);
    bottom->setAlign(TVX_Line::alBottom);
    auto* left = new TVX_Line(&parent);
    left->resize(1, 5);
    left->setAlign(TVX_Line::alLeft);
    EXPECT_EQ(bottom->geometry(), QRect(0, 48, 100, 2));
    EXPECT_EQ(left->geometry(), QRect(0, 0, 1, 50));
    parent.resize(120, 80);
    QApplication::processEvents();
    EXPECT_EQ(bottom->geometry(), QRect(0, 78, 120, 2));
    EXPECT_EQ(left->geometry(), QRect(0, 0, 1, 80));
}

}  // namespace
