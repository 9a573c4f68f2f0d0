#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "test_support.h"
#include "widgets/stepper.h"

namespace {
struct StepperFixture : testing::Test {
    Stepper stepper;
    QSignalSpy changes{&stepper, &Stepper::valueChanged};
    std::unique_ptr<QPointingDevice> finger{QTest::createTouchDevice()};

    void SetUp() override {
        stepper.setMinimumValue(0);
        stepper.setMaximumValue(2);
        stepper.setStepValue(1);
        stepper.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stepper));
    }

    void tap(QWidget* button) {
        const QPoint centre = button->mapTo(&stepper, button->rect().center());
        QTest::touchEvent(&stepper, finger.get()).press(0, centre, &stepper);
        QTest::touchEvent(&stepper, finger.get()).release(0, centre, &stepper);
        processEvents();
    }
};
}  // namespace

TEST_F(StepperFixture, FingerTapsStepWithinTheRangeAndEachEndDisablesItsButton) {
    QToolButton* up = stepper.incrementButton();
    EXPECT_FALSE(stepper.decrementButton()->isEnabled());

    tap(up);
    tap(up);
    tap(up);  // on the disabled end: nothing changes and nothing is sent
    EXPECT_EQ(stepper.value(), 2);
    EXPECT_FALSE(up->isEnabled());
    EXPECT_TRUE(stepper.decrementButton()->isEnabled());
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(1).at(0).toDouble(), 2);
    // Set from outside: clamped, and nothing is sent.
    stepper.setValue(-3);
    EXPECT_EQ(stepper.value(), 0);
    EXPECT_EQ(changes.count(), 2);
}
