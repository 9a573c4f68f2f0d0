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
    void SetUp() override {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
    }

    // The editor's save alert, as a screen would build it.
    AlertController* saveAlert(QString* savedTitle, int* cancels = nullptr) {
        auto* alert = new AlertController("Save Tilebloom", "");
        alert->addTextField([](QLineEdit* field) { field->setPlaceholderText("Title"); });
        QPointer<AlertController> weak = alert;
        alert->addAction(AlertAction("Save", AlertActionStyle::defaultStyle, [weak, savedTitle] {
            if (weak && !weak->textFields().isEmpty()) {
                *savedTitle = weak->textFields().first()->text();
            }
        }));
        alert->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [weak, cancels] {
            if (cancels) {
                ++*cancels;
            }
            if (weak) {
                weak->dismiss(true);
            }
        }));
        return alert;
    }

    QLabel* labelWithText(QWidget* parent, const QString& text) {
        for (QLabel* label : parent->findChildren<QLabel*>()) {
            if (label->text() == text) {
                return label;
            }
        }
        return nullptr;
    }
};
}  // namespace

TEST_F(AlertTest, LaidOutAsACentredCardWithNamedControls) {
    QString saved;
    AlertController* alert = saveAlert(&saved);
    root->present(alert, true);
    ASSERT_EQ(stack.topViewController(), alert);
    EXPECT_EQ(alert->geometry(), stack.rect());  // covers the window, dimming what is below
    EXPECT_TRUE(root->isVisible());

    const QRect card = alert->card()->geometry();
    EXPECT_EQ(card.left(), stack.width() - 1 - card.right());
    EXPECT_GT(card.top(), 0);
    EXPECT_LT(card.bottom(), stack.height());

    QLabel* title = labelWithText(alert, "Save Tilebloom");
    ASSERT_NE(title, nullptr);
    EXPECT_GE(title->font().weight(), QFont::DemiBold);
    ASSERT_EQ(alert->textFields().size(), 1);
    QLineEdit* field = alert->textFields().first();
    EXPECT_EQ(field->accessibleName(), "Title");
    EXPECT_TRUE(field->isVisible());
    EXPECT_GT(field->mapTo(alert, QPoint()).y(), title->mapTo(alert, QPoint()).y());

    // Two actions side by side, "Cancel" on the left, both large enough for a finger.
    QPushButton* save = alert->actionButton("Save");
    QPushButton* cancel = alert->actionButton("Cancel");
    ASSERT_TRUE(save && cancel);
    EXPECT_EQ(save->accessibleName(), "Save");
    EXPECT_EQ(cancel->accessibleName(), "Cancel");
    const QPoint saveAt = save->mapTo(alert, QPoint());
    const QPoint cancelAt = cancel->mapTo(alert, QPoint());
    EXPECT_EQ(saveAt.y(), cancelAt.y());
    EXPECT_LT(cancelAt.x(), saveAt.x());
    EXPECT_GE(save->height(), 44);
    EXPECT_GT(saveAt.y(), field->mapTo(alert, QPoint()).y());
    // The action Return triggers is the one drawn bold.
    EXPECT_GT(save->font().weight(), cancel->font().weight());

    // Three actions stack in one column, the cancel one last.
    auto* three = new AlertController("Photo", "What now?");
    three->addAction(AlertAction("Cancel", AlertActionStyle::cancel));
    three->addAction(AlertAction("Keep", AlertActionStyle::defaultStyle));
    three->addAction(AlertAction("Delete", AlertActionStyle::destructive));
    alert->triggerAction("Cancel");
    root->present(three, false);
    const int keepY = three->actionButton("Keep")->mapTo(three, QPoint()).y();
    const int deleteY = three->actionButton("Delete")->mapTo(three, QPoint()).y();
    const int cancelY = three->actionButton("Cancel")->mapTo(three, QPoint()).y();
    EXPECT_LT(keepY, deleteY);
    EXPECT_LT(deleteY, cancelY);
    EXPECT_EQ(three->actionButton("Keep")->x(), three->actionButton("Cancel")->x());
}

TEST_F(AlertTest, ATappedActionDismissesTheAlertThenRunsItsHandlerWithTheTypedText) {
    QString saved = "untouched";
    AlertController* alert = saveAlert(&saved);
    QPointer<AlertController> weak = alert;
    bool offStackWhenRun = false;
    alert->addAction(AlertAction("Check", AlertActionStyle::defaultStyle,
                                 [&] { offStackWhenRun = stack.topViewController() == root; }));
    root->present(alert, true);

    QTest::keyClicks(alert->textFields().first(), "Sunset");
    QTest::mouseClick(alert->actionButton("Save"), Qt::LeftButton);
    EXPECT_EQ(saved, "Sunset");
    EXPECT_EQ(stack.topViewController(), root);

    // Once the event loop has run, the weak reference is empty and using it is harmless.
    processEvents();
    EXPECT_TRUE(weak.isNull());
    if (weak) {
        weak->dismiss(true);
    }
    EXPECT_EQ(stack.depth(), 1);

    auto* second = new AlertController("Check", "");
    second->addAction(AlertAction("Check", AlertActionStyle::defaultStyle,
                                  [&] { offStackWhenRun = stack.topViewController() == root; }));
    root->present(second, false);
    QTest::mouseClick(second->actionButton("Check"), Qt::LeftButton);
    EXPECT_TRUE(offStackWhenRun);
}

TEST_F(AlertTest, ReturnAndEscapeTriggerTheDefaultAndCancelActions) {
    QString saved;
    int cancels = 0;
    AlertController* alert = saveAlert(&saved, &cancels);
    root->present(alert, true);
    QLineEdit* field = alert->textFields().first();
    QTest::keyClicks(field, "Cat");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(saved, "Cat");
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(stack.topViewController(), root);

    saved.clear();
    alert = saveAlert(&saved, &cancels);
    root->present(alert, true);
    QTest::keyClicks(alert->textFields().first(), "Dog");
    QTest::keyClick(alert->textFields().first(), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(stack.topViewController(), root);

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

    // Return on a focused button presses that button.
    alert = saveAlert(&saved, &cancels);
    root->present(alert, true);
    QTest::keyClick(alert->actionButton("Cancel"), Qt::Key_Return);
    EXPECT_EQ(cancels, 2);
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

    QPushButton* button = exit->actionButton("Exit");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(exit->triggerAction("Exit"));
    EXPECT_FALSE(exit->triggerAction("Cancel"));
    processEvents();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(stack.depth(), 1);
    EXPECT_EQ(stack.topViewController(), root);
}

TEST_F(AlertTest, AnActionSheetKeepsCancelApartAndCancelsOnABackdropTap) {
    int cancels = 0;
    int shares = 0;
    auto* sheet = new AlertController("", "", AlertControllerStyle::actionSheet);
    sheet->addAction(AlertAction("Share", AlertActionStyle::defaultStyle, [&] { ++shares; }));
    sheet->addAction(AlertAction("Cancel", AlertActionStyle::cancel, [&] { ++cancels; }));
    sheet->addTextField();  // sheets take no input
    EXPECT_TRUE(sheet->textFields().isEmpty());
    root->present(sheet, true);

    QPushButton* share = sheet->actionButton("Share");
    QPushButton* cancel = sheet->actionButton("Cancel");
    EXPECT_NE(share->parentWidget(), cancel->parentWidget());
    const QRect cancelRect(cancel->mapTo(sheet, QPoint()), cancel->size());
    EXPECT_GT(cancelRect.top(), share->mapTo(sheet, QPoint()).y());
    EXPECT_GT(cancelRect.bottom(), stack.height() - 80);

    // A tap on the card itself is not a tap on the backdrop.
    QTest::mouseClick(sheet->card(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(cancels, 0);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(20, 40));
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(shares, 0);
    EXPECT_EQ(stack.topViewController(), root);
}
