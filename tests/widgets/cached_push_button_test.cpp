// The push button that keeps a picture of its bevel must look like a plain push button in
// every state and after every change, with or without a style sheet.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <functional>
#include <memory>

#include "test_support.h"
#include "widgets/cached_push_button.h"

namespace {
// The editor's sheet: rounded, translucent or coloured, darker when pressed; and a property
// a sheet may select on.
const char* const kSheet = R"(
QPushButton { color: white; font-size: 16px; font-weight: 600; border: none;
  border-radius: 20px; padding: 0 14px; background: rgba(255, 255, 255, 34); }
QPushButton:pressed { background: rgba(255, 255, 255, 70); }
QPushButton:disabled { background: rgba(120, 120, 120, 90); }
QPushButton[accent="true"] { background: rgb(50, 173, 230); }
)";

QImage shown(QWidget& button, qreal scale) {
    QImage image((QSizeF(button.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(qRgb(30, 30, 30));
    button.render(&image);
    return image;
}

// A button of either kind in a window of its own, as the layout file places it.
struct Placed {
    QWidget window;
    QPushButton* button;
    Placed(bool cached, const char* sheet) {
        window.setStyleSheet(QString::fromUtf8(sheet));
        window.resize(200, 100);
        button = cached ? new CachedPushButton(QStringLiteral("‹ Back"), &window)
                        : new QPushButton(QStringLiteral("‹ Back"), &window);
        button->setGeometry(12, 14, 84, 40);
        // As in the editor; focus has a test of its own, one window being active at a time.
        button->setFocusPolicy(Qt::NoFocus);
        window.show();
        processEvents();
    }
};
}  // namespace

TEST(CachedPushButtonTest, LooksLikeAPlainPushButtonThroughEveryChange) {
    const struct {
        const char* what;
        std::function<void(Placed&)> change;
        const char* sheet = kSheet;
        bool visible = true;
    } cases[] = {
        {"pressed", [](Placed& p) { p.button->setDown(true); }},
        {"resized", [](Placed& p) { p.button->resize(120, 48); }},
        // Only the shape changes: the palette stays as it was.
        {"corners in the window's sheet",
         [](Placed& p) {
             p.window.setStyleSheet(
                 QString::fromUtf8(kSheet).replace(QStringLiteral("20px"), QStringLiteral("6px")));
         }},
        {"property the sheet selects on",
         [](Placed& p) {
             p.button->setProperty("accent", true);
             p.button->style()->unpolish(p.button);
             p.button->style()->polish(p.button);
         }},
        // Without a sheet the style draws the bevel from the palette and the state.
        {"palette",
         [](Placed& p) {
             QPalette palette = p.button->palette();
             palette.setColor(QPalette::Button, QColor(240, 200, 60));
             p.button->setPalette(palette);
         },
         ""},
        {"default", [](Placed& p) { p.button->setDefault(true); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Placed cached(true, c.sheet);
        Placed plain(false, c.sheet);
        // At the screen's own scale the button shows its picture; grabbed at others it paints.
        const qreal own = cached.button->devicePixelRatioF();
        const QImage before = shown(*cached.button, own);
        EXPECT_TRUE(before == shown(*plain.button, own));
        c.change(cached);
        c.change(plain);
        processEvents();
        for (const qreal scale : {own, 2.0, 3.0}) {
            SCOPED_TRACE(scale);
            EXPECT_TRUE(shown(*cached.button, scale) == shown(*plain.button, scale));
        }
        EXPECT_EQ(before != shown(*cached.button, own), c.visible);
    }
}

// Focused, the button shows the focus frame over its picture as a plain one shows it (the
// classic style draws one that shows).
TEST(CachedPushButtonTest, ShowsItsFocusAsAPlainPushButtonDoes) {
    const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    QImage focused[2];
    for (const bool cached : {true, false}) {
        Placed placed(cached, "");
        placed.button->setStyle(windows.get());
        placed.button->setFocusPolicy(Qt::StrongFocus);
        placed.window.activateWindow();
        placed.button->setFocus();
        processEvents();
        ASSERT_TRUE(placed.button->hasFocus());
        focused[cached] = shown(*placed.button, placed.button->devicePixelRatioF());
        placed.button->clearFocus();
        processEvents();
        EXPECT_TRUE(focused[cached] != shown(*placed.button, placed.button->devicePixelRatioF()));
    }
    EXPECT_TRUE(focused[0] == focused[1]);
}
