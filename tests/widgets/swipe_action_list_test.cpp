#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <memory>
#include <vector>

#include "test_support.h"
#include "widgets/swipe_action_list.h"
#include "widgets/swipe_action_row.h"

namespace {
using Strings = std::vector<QString>;

// A list of titles whose rows offer "Delete" and "Duplicate", recording what the user did.
struct ListFixture : testing::Test, SwipeActionListDataSource, SwipeActionListDelegate {
    SwipeActionList list;
    Strings titles = {"A", "B", "C", "D"};
    std::vector<int> selected;
    Strings performed;
    int rowsAsked = 0;
    int rowsMade = 0;
    bool completeWith = true;
    std::unique_ptr<QPointingDevice> finger{QTest::createTouchDevice()};

    void SetUp() override {
        list.registerRow("title", [this] {
            ++rowsMade;
            return new SwipeActionRow("title");
        });
        list.setRowHeight(100);
        list.resize(390, 600);
        list.setDataSource(this);
        list.setDelegate(this);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    int numberOfRows(SwipeActionList*) override { return static_cast<int>(titles.size()); }
    SwipeActionRow* rowAt(SwipeActionList*, int row) override {
        ++rowsAsked;
        SwipeActionRow* widget = list.dequeueReusableRow("title", row);
        widget->setAccessibleName(titles[static_cast<size_t>(row)]);
        return widget;
    }
    void didSelectRow(SwipeActionList*, int row) override {
        selected.push_back(row);
        list.deselectRow(row, true);
    }
    SwipeActionsConfiguration trailingSwipeActions(SwipeActionList*, int row) override {
        auto action = [this, row](const QString& name) {
            return [this, row, name](const SwipeAction::Completion& done) {
                performed.push_back(name + " " + titles[static_cast<size_t>(row)]);
                done(completeWith);
            };
        };
        return {{{SwipeAction::Style::destructive, "Delete", Qt::red, action("Delete")},
                 {SwipeAction::Style::normal, "Duplicate", Qt::darkGray, action("Duplicate")}},
                true};
    }

    // A point on the row, in the viewport.
    QPoint on(int row, int x) const { return QPoint(x, list.rectForRow(row).center().y()); }

    // A drag in steps, so the list sees the motion as it happens: a finger's, or the mouse's.
    void drag(QPoint from, QPoint to) {
        QTest::touchEvent(&list, finger.get()).press(0, from, list.viewport());
        for (int step = 1; step <= 8; ++step) {
            const QPoint at = from + (to - from) * step / 8;
            QTest::touchEvent(&list, finger.get()).move(0, at, list.viewport());
        }
        QTest::touchEvent(&list, finger.get()).release(0, to, list.viewport());
        processEvents();
    }
    void mouseDrag(QPoint from, QPoint to) {
        QTest::mousePress(list.viewport(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 8; ++step) {
            QTest::mouseMove(list.viewport(), from + (to - from) * step / 8);
        }
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, to);
        processEvents();
    }
    void tap(QPoint at) { drag(at, at); }
};
}  // namespace

TEST_F(ListFixture, APartialSwipeRevealsBothActionsOutermostFirstAndEachRunsOnce) {
    drag(on(1, 350), on(1, 150));
    EXPECT_EQ(list.swipedRow(), 1);
    SwipeActionRow* row = list.visibleRow(1);
    ASSERT_EQ(row->actionButtons().size(), 2u);
    QPushButton* remove = row->actionButtons()[0];
    QPushButton* copy = row->actionButtons()[1];
    EXPECT_EQ(row->swipeOffset(), -row->revealWidth()) << "snapped fully open";
    EXPECT_LT(copy->geometry().right(), remove->geometry().left());
    EXPECT_TRUE(performed.empty()) << "revealing performs nothing";

    // A finger on "Duplicate" runs it once; the row closes afterwards, even when it failed.
    completeWith = false;
    tap(list.viewport()->mapFromGlobal(row->mapToGlobal(copy->geometry().center())));
    EXPECT_EQ(performed, Strings{"Duplicate B"});
    EXPECT_EQ(row->swipeOffset(), 0);
    EXPECT_TRUE(selected.empty());

    // A full swipe with the mouse performs the destructive action without showing it.
    mouseDrag(on(0, 385), on(0, 10));
    EXPECT_EQ(performed, (Strings{"Duplicate B", "Delete A"}));
    EXPECT_EQ(list.swipedRow(), -1);
}

TEST_F(ListFixture, AShortSwipeSnapsBackAndATapWhileOpenOnlyCloses) {
    drag(on(2, 300), on(2, 270));
    EXPECT_EQ(list.visibleRow(2)->swipeOffset(), 0);
    mouseDrag(on(2, 300), on(2, 160));
    ASSERT_EQ(list.swipedRow(), 2);
    tap(on(0, 60));
    EXPECT_EQ(list.swipedRow(), -1);
    EXPECT_TRUE(selected.empty());

    // Closed, a tap or a click selects the row under it.
    tap(on(2, 100));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, on(0, 100));
    EXPECT_EQ(selected, (std::vector<int>{2, 0}));
    EXPECT_EQ(list.selectedRow(), -1) << "the delegate deselected it";
}

TEST_F(ListFixture, ALongListMakesOnlyTheRowsInSightAndReusesThem) {
    titles.clear();
    for (int i = 0; i < 1000; ++i) {
        titles.push_back(QString::number(i));
    }
    list.reloadData();
    EXPECT_EQ(list.visibleRowIndexes().size(), 6u);
    const int asked = rowsAsked;

    // A vertical finger drag scrolls instead of swiping.
    drag(on(4, 200), on(0, 200));
    EXPECT_EQ(list.verticalScrollBar()->value(), 400);
    EXPECT_EQ(list.swipedRow(), -1);

    list.scrollToRow(999);
    EXPECT_EQ(list.visibleRow(999)->accessibleName(), "999");
    EXPECT_LE(rowsMade, 8) << "rows are reused, not made per entry";
    EXPECT_LT(rowsAsked - asked, 20);

    // A tap after scrolling selects the entry under the finger, not the one at that height.
    tap(on(998, 50));
    EXPECT_EQ(selected, std::vector<int>{998});
}

TEST_F(ListFixture, AnEmptyListAndAnUnknownIdentifierAreHarmless) {
    titles.clear();
    list.reloadData();
    tap(QPoint(100, 100));
    list.openSwipeActions(0);
    list.performSwipeAction(0, 0);
    EXPECT_TRUE(selected.empty() && performed.empty());
    SwipeActionRow* missing = nullptr;
    const std::string out = captureStdout([&] { missing = list.dequeueReusableRow("nope", 0); });
    EXPECT_EQ(missing, nullptr);
    EXPECT_NE(out.find("\"nope\""), std::string::npos);
}
