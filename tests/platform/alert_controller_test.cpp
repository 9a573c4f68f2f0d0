#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "platform/alert_controller.h"
#include "platform/screen_stack.h"
#include "test_support.h"

namespace {
struct AlertTest : testing::Test {
    ScreenStack stack;
    PlatformViewController* root = new PlatformViewController;
    QString saved;
    int cancels = 0;
    bool savedOffStack = false;

    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
    }

    // The editor's save alert, as a screen would build it, shown over the root.
    AlertController* presentSaveAlert() {
        auto* alert = new AlertController("Save Tilebloom", "");
        alert->addTextField([](QLineEdit* field) { field->setPlaceholderText("Title"); });
        QPointer<AlertController> weak = alert;
        alert->addAction(AlertAction("Save", AlertActionStyle::defaultStyle, [this, weak] {
            savedOffStack = stack.topViewController() == root;
            if (weak && !weak->textFields().isEmpty()) {
                saved = weak->textFields().first()->text();
            }
        }));
        alert->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [this, weak] {
            ++cancels;
            if (weak) {
                weak->dismiss(true);
            }
        }));
        root->present(alert, true);
        return alert;
    }

    static QPoint at(QWidget* control, QWidget* in) { return control->mapTo(in, QPoint()); }
};
}  // namespace

TEST_F(AlertTest, ACentredCardWithTheFieldAboveNamedActionsCancelFirstOrLast) {
    AlertController* alert = presentSaveAlert();
    ASSERT_EQ(stack.topViewController(), alert);
    EXPECT_EQ(alert->geometry(), stack.rect());  // covers the window, dimming what is below
    const QRect card = alert->card()->geometry();
    EXPECT_EQ(card.left(), stack.width() - 1 - card.right());
    EXPECT_GT(card.top(), 0);
    EXPECT_LT(card.bottom(), stack.height());
    ASSERT_EQ(alert->textFields().size(), 1);
    QLineEdit* field = alert->textFields().first();
    EXPECT_EQ(field->accessibleName(), "Title");
    QLabel* title = nullptr;
    for (QLabel* label : alert->findChildren<QLabel*>()) {
        title = label->text() == "Save Tilebloom" ? label : title;
    }
    ASSERT_NE(title, nullptr);
    EXPECT_GT(at(field, alert).y(), at(title, alert).y());

    // Two actions side by side below the field, "Cancel" on the left, both large enough for a
    // finger; the one Return triggers is drawn bold.
    QPushButton* save = alert->actionButton("Save");
    QPushButton* cancel = alert->actionButton("Cancel");
    ASSERT_TRUE(save && cancel);
    EXPECT_EQ(save->accessibleName(), "Save");
    EXPECT_EQ(at(save, alert).y(), at(cancel, alert).y());
    EXPECT_LT(at(cancel, alert).x(), at(save, alert).x());
    EXPECT_GT(at(save, alert).y(), at(field, alert).y());
    EXPECT_GE(save->height(), 44);
    EXPECT_GT(save->font().weight(), cancel->font().weight());

    // Three actions stack in one column, the cancel one last.
    alert->triggerAction("Cancel");
    auto* three = new AlertController("Photo", "What now?");
    three->addAction(AlertAction("Cancel", AlertActionStyle::cancel));
    three->addAction(AlertAction("Keep", AlertActionStyle::defaultStyle));
    three->addAction(AlertAction("Delete", AlertActionStyle::destructive));
    root->present(three, false);
    const QPoint keep = at(three->actionButton("Keep"), three);
    const QPoint remove = at(three->actionButton("Delete"), three);
    EXPECT_LT(keep.y(), remove.y());
    EXPECT_LT(remove.y(), at(three->actionButton("Cancel"), three).y());
    EXPECT_EQ(keep.x(), remove.x());
}

TEST_F(AlertTest, ATappedActionDismissesTheAlertThenRunsItsHandlerWithTheTypedText) {
    AlertController* alert = presentSaveAlert();
    QPointer<AlertController> weak = alert;
    QTest::keyClicks(alert->textFields().first(), "Sunset");
    QTest::mouseClick(alert->actionButton("Save"), Qt::LeftButton);
    EXPECT_EQ(saved, "Sunset");
    EXPECT_TRUE(savedOffStack);
    EXPECT_EQ(stack.topViewController(), root);

    // Once the event loop has run, the weak reference is empty and using it is harmless.
    processEvents();
    EXPECT_TRUE(weak.isNull());
    EXPECT_EQ(stack.depth(), 1);
}

TEST_F(AlertTest, ReturnAndEscapeTriggerTheDefaultAndCancelActions) {
    AlertController* alert = presentSaveAlert();
    QTest::keyClicks(alert->textFields().first(), "Cat");
    QTest::keyClick(alert->textFields().first(), Qt::Key_Return);
    EXPECT_EQ(saved, "Cat");
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(stack.topViewController(), root);

    saved.clear();
    alert = presentSaveAlert();
    QTest::keyClicks(alert->textFields().first(), "Dog");
    QTest::keyClick(alert->textFields().first(), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(stack.topViewController(), root);

    // Return on a focused button presses that button.
    alert = presentSaveAlert();
    QTest::keyClick(alert->actionButton("Cancel"), Qt::Key_Return);
    EXPECT_EQ(cancels, 2);
    EXPECT_TRUE(saved.isEmpty());

    // Two default-style actions and no preference: Return does not guess, and without a
    // cancel-style action Escape does nothing either.
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
    EXPECT_EQ(stack.topViewController(), root);
}

TEST_F(AlertTest, AnActionSheetKeepsCancelApartAndCancelsOnABackdropTap) {
    int shares = 0;
    auto* sheet = new AlertController("", "", AlertControllerStyle::actionSheet);
    sheet->addAction(AlertAction("Share", AlertActionStyle::defaultStyle, [&] { ++shares; }));
    sheet->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [this] { ++cancels; }));
    sheet->addTextField();  // sheets take no input
    EXPECT_TRUE(sheet->textFields().isEmpty());
    root->present(sheet, true);

    QPushButton* share = sheet->actionButton("Share");
    QPushButton* cancel = sheet->actionButton("Cancel");
    EXPECT_NE(share->parentWidget(), cancel->parentWidget());
    EXPECT_GT(at(cancel, sheet).y(), at(share, sheet).y());
    EXPECT_GT(at(cancel, sheet).y() + cancel->height(), stack.height() - 80);

    // A tap on the card itself is not a tap on the backdrop.
    QTest::mouseClick(sheet->card(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(cancels, 0);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(20, 40));
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(shares, 0);
    EXPECT_EQ(stack.topViewController(), root);
}
