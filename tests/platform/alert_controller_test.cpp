#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "platform/alert_controller.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {
QPoint at(QWidget* control, QWidget* in) {
    return control->mapTo(in, QPoint());
}

struct AlertTest : ScreenFixture<> {
    QString saved;
    int cancels = 0;
    bool savedOffStack = false;

    // The editor's save alert, as a screen would build it, shown over the root.
    AlertController* presentSaveAlert() {
        auto* alert = new AlertController("Save Tilebloom", "");
        alert->addTextField([](QLineEdit* field) { field->setPlaceholderText("Title"); });
        QPointer<AlertController> weak = alert;
        alert->addAction(AlertAction("Save", AlertActionStyle::defaultStyle, [this, weak] {
            savedOffStack = stack.topViewController() == root;
            saved = weak ? weak->textFields().first()->text() : "gone";
        }));
        alert->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [this, weak] {
            ++cancels;
            if (weak) {
                weak->dismiss(true);  // already off the stack: nothing else may close
            }
        }));
        root->present(alert, true);
        return alert;
    }
};
}  // namespace

TEST_F(AlertTest, ACentredCardWithNamedControlsAndCancelOnTheLeft) {
    AlertController* alert = presentSaveAlert();
    EXPECT_EQ(alert->geometry(), stack.rect());  // covers the window, dimming what is below
    const QRect card = alert->card()->geometry();
    EXPECT_EQ(card.left(), stack.width() - 1 - card.right());
    EXPECT_TRUE(stack.rect().contains(card));
    EXPECT_EQ(alert->textFields().first()->accessibleName(), "Title");
    QPushButton* save = alert->actionButton("Save");
    QPushButton* cancel = alert->actionButton("Cancel");
    EXPECT_EQ(save->accessibleName(), "Save");
    EXPECT_EQ(at(save, alert).y(), at(cancel, alert).y());
    EXPECT_LT(at(cancel, alert).x(), at(save, alert).x());
    EXPECT_GE(save->height(), 44);
}

TEST_F(AlertTest, AnActionDismissesTheAlertThenRunsItsHandlerWithTheTypedText) {
    AlertController* alert = presentSaveAlert();
    QPointer<AlertController> weak = alert;
    QTest::keyClicks(alert->textFields().first(), "Sunset");
    QTest::mouseClick(alert->actionButton("Save"), Qt::LeftButton);
    EXPECT_EQ(saved, "Sunset");
    EXPECT_TRUE(savedOffStack);
    processEvents();
    EXPECT_TRUE(weak.isNull());
    EXPECT_EQ(stack.depth(), 1);

    // Return triggers the default action, Escape the cancel one, Return on a focused button
    // that button.
    alert = presentSaveAlert();
    QTest::keyClicks(alert->textFields().first(), "Cat");
    QTest::keyClick(alert->textFields().first(), Qt::Key_Return);
    EXPECT_EQ(saved, "Cat");
    alert = presentSaveAlert();
    QTest::keyClicks(alert->textFields().first(), "Dog");
    QTest::keyClick(alert->textFields().first(), Qt::Key_Escape);
    alert = presentSaveAlert();
    QTest::keyClick(alert->actionButton("Cancel"), Qt::Key_Return);
    EXPECT_EQ(cancels, 2);
    EXPECT_EQ(saved, "Cat");
    EXPECT_EQ(stack.topViewController(), root);
}

TEST_F(AlertTest, AHandlerCanCloseTheScreenBelowAndOnlyOneActionEverRuns) {
    auto* editor = new PlatformViewController;
    root->present(editor, false);
    int exits = 0;
    auto* exit =
        new AlertController("Are you sure?", "Your draw will be lost if you don\u2019t save them.");
    exit->addAction(AlertAction("Exit", AlertActionStyle::defaultStyle, [&exits, editor] {
        ++exits;
        editor->dismiss(true);
    }));
    exit->addAction(AlertAction("Cancel", AlertActionStyle::cancel));
    editor->present(exit, true);
    ASSERT_EQ(stack.depth(), 3);

    QTest::mouseClick(exit->actionButton("Exit"), Qt::LeftButton);
    EXPECT_FALSE(exit->triggerAction("Exit"));
    EXPECT_FALSE(exit->triggerAction("Cancel"));
    processEvents();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(stack.depth(), 1);
}
