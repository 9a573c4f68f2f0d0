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

TEST_F(AlertTest, ACentredCardWithCancelLeftOfTwoOrLastOfThree) {
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

    alert->triggerAction("Cancel");
    auto* three = new AlertController("Photo", "What now?");
    three->addAction(AlertAction("Cancel", AlertActionStyle::cancel));
    three->addAction(AlertAction("Keep", AlertActionStyle::defaultStyle));
    three->addAction(AlertAction("Delete", AlertActionStyle::destructive));
    root->present(three, false);
    const QPoint keep = at(three->actionButton("Keep"), three);
    const QPoint remove = at(three->actionButton("Delete"), three);
    EXPECT_EQ(keep.x(), remove.x());
    EXPECT_LT(keep.y(), remove.y());
    EXPECT_LT(remove.y(), at(three->actionButton("Cancel"), three).y());
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

TEST_F(AlertTest, WithTwoDefaultActionsTheKeysDoNotGuess) {
    int settings = 0;
    auto* access = new AlertController("Allow Camera Roll Access",
                                       "Photos access is necessary for this app to run.");
    access->addAction(AlertAction("Settings", AlertActionStyle::defaultStyle, [&] { ++settings; }));
    access->addAction(AlertAction("Cancel", AlertActionStyle::defaultStyle));
    root->present(access, true);
    QTest::keyClick(access, Qt::Key_Return);
    QTest::keyClick(access, Qt::Key_Escape);
    EXPECT_EQ(stack.topViewController(), access);
    access->setPreferredAction("Settings");
    QTest::keyClick(access, Qt::Key_Enter);
    EXPECT_EQ(settings, 1);
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

TEST_F(AlertTest, AnActionSheetKeepsCancelApartAndCancelsOnABackdropTap) {
    int shares = 0;
    auto* sheet = new AlertController("", "", AlertControllerStyle::actionSheet);
    sheet->addAction(AlertAction("Share", AlertActionStyle::defaultStyle, [&] { ++shares; }));
    sheet->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [this] { ++cancels; }));
    sheet->addTextField();  // sheets take no input
    EXPECT_TRUE(sheet->textFields().isEmpty());
    root->present(sheet, true);
    QPushButton* cancel = sheet->actionButton("Cancel");
    EXPECT_NE(sheet->actionButton("Share")->parentWidget(), cancel->parentWidget());
    EXPECT_GT(at(cancel, sheet).y(), at(sheet->actionButton("Share"), sheet).y());

    // A tap on the card itself is not a tap on the backdrop.
    QTest::mouseClick(sheet->card(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(cancels, 0);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(20, 40));
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(shares, 0);
    EXPECT_EQ(stack.topViewController(), root);
}
