// The round button keeps a picture of its look: every change to what it shows must show, and
// a button changed into a state must look like one made in it.
#include <gtest/gtest.h>

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <functional>

#include "test_support.h"
#include "widgets/button.h"

namespace {
const QRgb kBackdrop = qRgb(40, 40, 40);

// An icon of one colour with a dark corner, so that a wrong placement shows too.
QIcon swatch(const QColor& colour) {
    QPixmap pixmap(60, 60);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.fillRect(0, 0, 20, 20, Qt::black);
    painter.end();
    return QIcon(pixmap);
}

// What the button shows on a dark backdrop, scale device pixels a point. A masked widget
// renders its mask's bounding rectangle at the offset.
QImage shown(Button& button, qreal scale = 3, QPoint offset = {}) {
    QImage image((QSizeF(button.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(kBackdrop);
    button.render(&image, offset);
    return image;
}

// A tool button of the fan: white, round, shadowed, ringed, with an icon.
void makeToolButton(Button& button) {
    button.setImageEdgeInsets(QMarginsF(13, 13, 13, 13));
    button.setBackgroundColor(Color::white());
    button.setImage(swatch(Qt::red));
    button.setCornerRadius(25);
    button.setShadow(Color::black(), 5, 0.5, QPointF(0, 5));
    button.setBorder(2, Color::systemCyan());
    button.setFrame(QRectF(10, 10, 50, 50));
}

// A toolbar icon: no background, no shadow.
void makeIconButton(Button& button) {
    button.setImageEdgeInsets(QMarginsF(10, 10, 10, 10));
    button.setImage(swatch(Qt::blue));
    button.setFrame(QRectF(10, 10, 40, 40));
}
}  // namespace

TEST(ButtonTest, AChangedButtonLooksLikeOneMadeThatWay) {
    const struct {
        const char* what;
        std::function<void(Button&)> make;
        std::function<void(Button&)> change;
        bool visible = true;  // whether the change shows at all
    } cases[] = {
        {"background", makeToolButton,
         [](Button& b) { b.setBackgroundColor(Color::withRGB(0.80, 0.92, 0.98, 1)); }},
        {"corners", makeToolButton, [](Button& b) { b.setCornerRadius(8); }},
        {"shadow", makeToolButton,
         [](Button& b) { b.setShadow(Color::black(), 3, 0.9, QPointF(2, 2)); }},
        {"icon", makeToolButton, [](Button& b) { b.setImage(swatch(Qt::green)); }},
        {"pressed", makeToolButton, [](Button& b) { b.setDown(true); }},
        {"moved a whole point", makeToolButton, [](Button& b) { b.setCenter(QPointF(36, 35)); },
         false},
        {"moved by a fraction", makeIconButton, [](Button& b) { b.setCenter(QPointF(30.4, 30)); }},
        {"faded and back", makeToolButton,
         [](Button& b) {
             b.setAlpha(0.5);
             shown(b);
             b.setBackgroundColor(Color::red());
             b.setAlpha(1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Button changed;
        c.make(changed);
        const QImage before = shown(changed);
        c.change(changed);
        const QImage after = shown(changed);
        Button made;
        c.make(made);
        c.change(made);
        EXPECT_TRUE(after == shown(made));
        EXPECT_EQ(before != after, c.visible);
    }
}

// Shown at another scale (the window moved to another screen), the look is made again at
// that scale; faded, the button shows its look at part strength.
TEST(ButtonTest, TheLookFollowsTheScaleAndTheFade) {
    Button button;
    makeToolButton(button);
    const QImage twice = shown(button, 2);
    Button fresh;
    makeToolButton(fresh);
    EXPECT_TRUE(shown(button, 3) == shown(fresh, 3));
    EXPECT_TRUE(shown(button, 2) == twice);

    const QImage opaque = shown(button);
    button.setAlpha(0.5);
    const QImage faded = shown(button);
    // Between the icon and the ring.
    const QPoint middle =
        (button.frame().topLeft() - QPointF(button.pos()) + QPointF(5, 25)).toPoint() * 3;
    EXPECT_EQ(opaque.pixel(middle), qRgb(255, 255, 255));
    const QColor half = faded.pixelColor(middle);
    EXPECT_GT(half.red(), 100);
    EXPECT_LT(half.red(), 200);
}

// Cut by a mask (the fan's tool buttons), the button shows exactly what it shows unmasked,
// inside the mask, and the backdrop outside it.
TEST(ButtonTest, AMaskCutsTheLookAndNothingElse) {
    Button plain;
    makeToolButton(plain);
    Button masked;
    makeToolButton(masked);
    const QRegion mask(QRect(QPoint(7, 10), QSize(66, 66)), QRegion::Ellipse);
    masked.setMask(mask);
    const QImage whole = shown(plain);
    const QImage cut = shown(masked, 3, mask.boundingRect().topLeft());
    int inside = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const bool in = mask.contains(QPoint(x / 3, y / 3));
            inside += in;
            ASSERT_EQ(cut.pixel(x, y), in ? whole.pixel(x, y) : kBackdrop) << x << ", " << y;
        }
    }
    EXPECT_GT(inside, whole.width() * whole.height() / 2);
}
