// The flat button: setters repaint only on change, the three looks and how
// each paints, the margin rule of Image, hover, clicks and the action link.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "controls/TVX_Button.h"

using kv::TVX_Button;

namespace {

class CountingButton : public TVX_Button {
  public:
    using TVX_Button::TVX_Button;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        TVX_Button::paintEvent(event);
    }
};

QPixmap solid(int w, int h, QColor colour) {
    QPixmap pixmap(w, h);
    pixmap.fill(colour);
    return pixmap;
}

void flush() {
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
}

void enter(QWidget& widget) {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

// The button drawn over a parent of a known colour, so pixels the button
// leaves alone show the parent.
const QColor parentColour(10, 200, 10);

class ButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        parent.resize(120, 60);
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, parentColour);
        parent.setPalette(palette);
        button = new CountingButton(&parent);
        button->move(10, 10);
        button->setCaption(QString());
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
        flush();
    }

    QColor pixel(int x, int y) {
        const QImage image = parent.grab().toImage();
        return image.pixelColor(button->x() + x, button->y() + y);
    }

    QWidget parent;
    CountingButton* button = nullptr;
};

struct SetterCase {
    const char* name;
    std::function<void(TVX_Button&)> setSame;
    std::function<void(TVX_Button&)> setOther;
};

class ButtonSetters : public ButtonTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(ButtonSetters, RepaintOnlyWhenTheValueChanges) {
    const SetterCase& c = GetParam();
    button->paints = 0;
    c.setSame(*button);
    flush();
    EXPECT_EQ(button->paints, 0) << "same value repainted";
    c.setOther(*button);
    flush();
    EXPECT_EQ(button->paints, 1) << "new value not repainted once";
    c.setOther(*button);
    flush();
    EXPECT_EQ(button->paints, 1) << "second identical set repainted";
}

const QFont otherFont = [] {
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(17);
    return font;
}();
// Built on first use: pixmaps need the application.
const QPixmap& picture() {
    static const QPixmap pixmap = solid(8, 8, Qt::blue);
    return pixmap;
}

INSTANTIATE_TEST_SUITE_P(
    EverySetter, ButtonSetters,
    ::testing::Values(
        SetterCase{"Border", [](TVX_Button& b) { b.setBorder(false); },
                   [](TVX_Button& b) { b.setBorder(true); }},
        SetterCase{"BorderColor", [](TVX_Button& b) { b.setBorderColor(QColor(0, 0, 0)); },
                   [](TVX_Button& b) { b.setBorderColor(Qt::blue); }},
        SetterCase{"NormalColor", [](TVX_Button& b) { b.setNormalColor(QColor(128, 128, 128)); },
                   [](TVX_Button& b) { b.setNormalColor(Qt::yellow); }},
        SetterCase{"NormalTextColor",
                   [](TVX_Button& b) { b.setNormalTextColor(b.normalTextColor()); },
                   [](TVX_Button& b) { b.setNormalTextColor(otherFont); }},
        SetterCase{"Down", [](TVX_Button& b) { b.setDown(false); },
                   [](TVX_Button& b) { b.setDown(true); }},
        SetterCase{"DownColor", [](TVX_Button& b) { b.setDownColor(QColor(128, 128, 128)); },
                   [](TVX_Button& b) { b.setDownColor(Qt::cyan); }},
        SetterCase{"OverTextColor", [](TVX_Button& b) { b.setOverTextColor(b.overTextColor()); },
                   [](TVX_Button& b) { b.setOverTextColor(otherFont); }},
        SetterCase{"CadreOver", [](TVX_Button& b) { b.setCadreOver(true); },
                   [](TVX_Button& b) { b.setCadreOver(false); }},
        SetterCase{"Caption", [](TVX_Button& b) { b.setCaption(QString()); },
                   [](TVX_Button& b) { b.setCaption(QStringLiteral("Fermer")); }},
        SetterCase{"Margin", [](TVX_Button& b) { b.setMargin(10); },
                   [](TVX_Button& b) { b.setMargin(30); }},
        SetterCase{"Enfoncement", [](TVX_Button& b) { b.setEnfoncement(false); },
                   [](TVX_Button& b) { b.setEnfoncement(true); }},
        SetterCase{"Image", [](TVX_Button& b) { b.setImage(QPixmap()); },
                   [](TVX_Button& b) { b.setImage(picture()); }},
        SetterCase{"ImageDown", [](TVX_Button& b) { b.setImageDown(QPixmap()); },
                   [](TVX_Button& b) { b.setImageDown(picture()); }},
        SetterCase{"ImageLeft", [](TVX_Button& b) { b.setImageLeft(2); },
                   [](TVX_Button& b) { b.setImageLeft(5); }},
        SetterCase{"ImageMask", [](TVX_Button& b) { b.setImageMask(QColor(0, 0, 0)); },
                   [](TVX_Button& b) { b.setImageMask(Qt::white); }},
        SetterCase{"Transparent", [](TVX_Button& b) { b.setTransparent(false); },
                   [](TVX_Button& b) { b.setTransparent(true); }}),
    [](const ::testing::TestParamInfo<SetterCase>& info) { return std::string(info.param.name); });

struct MarginCase {
    const char* name;
    int imageWidth;  // 0: an empty picture
    int imageLeft;
    int expected;
};

class ImageMargin : public ::testing::TestWithParam<MarginCase> {};

TEST_P(ImageMargin, CaptionStartsRightOfThePicture) {
    const MarginCase& c = GetParam();
    TVX_Button button;
    button.setImageLeft(c.imageLeft);
    if (c.imageWidth == 0) {
        button.setImage(picture());  // a change first, so the empty picture is a new value
        button.setImage(QPixmap());
    } else {
        button.setImage(solid(c.imageWidth, 4, Qt::red));
    }
    EXPECT_EQ(button.margin(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ImageMargin,
    ::testing::Values(MarginCase{"Width16", 16, 2, 20}, MarginCase{"Empty", 0, 2, 2},
                      MarginCase{"WiderLeft", 16, 7, 25},
                      MarginCase{"WrapsToAByte", 300, 2, (300 + 2 + 2) & 0xFF}),
    [](const ::testing::TestParamInfo<MarginCase>& info) { return std::string(info.param.name); });

TEST(ImageMarginOrder, AMarginSetAfterThePictureWins) {
    TVX_Button button;
    button.setImage(solid(16, 16, Qt::red));
    button.setMargin(40);
    EXPECT_EQ(button.margin(), 40);
    // The same picture again is no new picture: the margin stays.
    button.setImage(button.image());
    EXPECT_EQ(button.margin(), 40);
}

TEST_F(ButtonTest, NormalLookFillsAndFramesOnlyWithBorder) {
    button->setNormalColor(Qt::yellow);
    EXPECT_EQ(pixel(0, 0), QColor(Qt::yellow));
    EXPECT_EQ(pixel(30, 12), QColor(Qt::yellow));
    button->setBorder(true);
    button->setBorderColor(Qt::blue);
    EXPECT_EQ(pixel(0, 0), QColor(Qt::blue));
    EXPECT_EQ(pixel(74, 24), QColor(Qt::blue));
    EXPECT_EQ(pixel(1, 1), QColor(Qt::yellow));
}

TEST_F(ButtonTest, HoverShowsTheOverLookWithItsFrameAndRepaintsAtOnce) {
    button->setOverColor(Qt::cyan);
    button->paints = 0;
    enter(*button);
    EXPECT_TRUE(button->hovered());
    EXPECT_EQ(button->paints, 1);  // painted before any event ran
    EXPECT_EQ(button->look(), TVX_Button::Look::Over);
    EXPECT_EQ(pixel(30, 12), QColor(Qt::cyan));
    EXPECT_EQ(pixel(0, 0), QColor(255, 0, 0));  // CadreColor
    button->setCadreOver(false);
    EXPECT_EQ(pixel(0, 0), QColor(Qt::cyan));
    flush();
    button->paints = 0;  // grabbing paints too
    leave(*button);
    EXPECT_FALSE(button->hovered());
    EXPECT_EQ(button->paints, 1);
    EXPECT_EQ(button->look(), TVX_Button::Look::Normal);
}

TEST_F(ButtonTest, DownWinsOverHoverAndAClickChangesNeither) {
    button->setDownColor(Qt::magenta);
    button->setDown(true);
    enter(*button);
    EXPECT_EQ(button->look(), TVX_Button::Look::Down);
    EXPECT_EQ(pixel(30, 12), QColor(Qt::magenta));
    EXPECT_EQ(pixel(0, 0), QColor(Qt::magenta));  // no frame without Border

    button->setDown(false);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->down());
}

TEST_F(ButtonTest, DisabledUnderTheMouseUsesTheNormalFontPictureAndOnlyTheBorderFrame) {
    button->setOverColor(Qt::cyan);
    button->setImageOver(solid(6, 6, Qt::red));
    button->setImage(solid(6, 6, Qt::blue));
    button->setCaption(QStringLiteral("WWWW"));
    button->setNormalFontColor(Qt::darkBlue);
    button->setOverFontColor(Qt::darkRed);
    enter(*button);
    EXPECT_EQ(pixel(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(pixel(3, 12), QColor(Qt::red));  // ImageOver while enabled

    button->setEnabled(false);
    enter(*button);  // the flag follows the mouse, enabled or not
    ASSERT_EQ(button->look(), TVX_Button::Look::Over);
    EXPECT_EQ(pixel(30, 2), QColor(Qt::cyan));
    EXPECT_EQ(pixel(0, 0), QColor(Qt::cyan));   // CadreOver but no Border: no frame
    EXPECT_EQ(pixel(3, 12), QColor(Qt::blue));  // the plain Image
    const QImage image = parent.grab().toImage().copy(button->geometry());
    bool normalInk = false, overInk = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            normalInk |= image.pixelColor(x, y) == QColor(Qt::darkBlue);
            overInk |= image.pixelColor(x, y) == QColor(Qt::darkRed);
        }
    EXPECT_TRUE(normalInk);
    EXPECT_FALSE(overInk);

    button->setBorder(true);
    button->setBorderColor(Qt::blue);
    EXPECT_EQ(pixel(0, 0), QColor(Qt::blue));
}

TEST_F(ButtonTest, EnfoncementShiftsThePictureInTheOverAndDownLooksOnly) {
    button->setEnfoncement(true);
    button->setImage(solid(4, 4, Qt::blue));  // at x 2, y (25 - 4) / 2 = 10
    EXPECT_EQ(pixel(2, 10), QColor(Qt::blue));
    EXPECT_NE(pixel(6, 14), QColor(Qt::blue));

    enter(*button);
    EXPECT_NE(pixel(2, 10), QColor(Qt::blue));
    EXPECT_EQ(pixel(3, 11), QColor(Qt::blue));
    EXPECT_EQ(pixel(6, 14), QColor(Qt::blue));
    leave(*button);

    button->setDown(true);
    EXPECT_EQ(pixel(3, 11), QColor(Qt::blue));
    EXPECT_NE(pixel(2, 10), QColor(Qt::blue));
}

TEST_F(ButtonTest, TransparentPaintsNoBackgroundInAnyLook) {
    button->setTransparent(true);
    EXPECT_EQ(pixel(30, 12), parentColour);
    enter(*button);
    EXPECT_EQ(pixel(30, 12), parentColour);
    button->setDown(true);
    EXPECT_EQ(pixel(30, 12), parentColour);
    button->setTransparent(false);
    EXPECT_EQ(pixel(30, 12), QColor(128, 128, 128));
}

TEST_F(ButtonTest, TheMaskColourOfAPictureIsNotDrawn) {
    button->setNormalColor(Qt::yellow);
    QPixmap masked = solid(6, 6, Qt::black);
    {
        QPainter painter(&masked);
        painter.fillRect(2, 2, 2, 2, Qt::red);
    }
    button->setImage(masked);  // at x 2, y 9
    EXPECT_EQ(pixel(2, 9), QColor(Qt::yellow));
    EXPECT_EQ(pixel(4, 11), QColor(Qt::red));
    button->setImageMask(Qt::white);
    EXPECT_EQ(pixel(2, 9), QColor(Qt::black));
}

TEST_F(ButtonTest, LeftClicksAreReportedAndTriggerTheAction) {
    QAction action(QStringLiteral("Fermer"));
    action.setStatusTip(QStringLiteral("Fermer la fenêtre"));
    QSignalSpy clicks(button, &TVX_Button::clicked);
    QSignalSpy triggers(&action, &QAction::triggered);
    button->setAction(&action);
    EXPECT_EQ(button->caption(), "Fermer");

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(triggers.count(), 1);

    action.setEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    action.setText(QStringLiteral("Quitter"));
    EXPECT_EQ(button->caption(), "Quitter");
}

}  // namespace
