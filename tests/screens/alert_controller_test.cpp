#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "screen_fixture.h"
#include "screens/alert_controller.h"
#include "test_support.h"

namespace {
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

TEST_F(AlertTest, AnActionDismissesTheAlertThenRunsItsHandlerWithTheTypedText) {
    AlertController* alert = presentSaveAlert();
    QPointer<AlertController> weak = alert;
    QTest::keyClicks(alert->textFields().first(), "Sunset");
    QTest::mouseClick(alert->actionButton("Save"), Qt::LeftButton);
    EXPECT_EQ(saved, "Sunset");
    EXPECT_TRUE(savedOffStack);
    EXPECT_FALSE(alert->triggerAction("Cancel"));  // only one action ever runs
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
