#include <gtest/gtest.h>

#include <QPointer>

#include "screen_fixture.h"
#include "screens/storyboard.h"
#include "test_support.h"

namespace {
class CountingScreen : public PlatformViewController {
public:
    int loads = 0;

protected:
    void viewDidLoad() override { ++loads; }
};

using StackFixture = ScreenFixture<CountingScreen>;
}  // namespace

TEST_F(StackFixture, PresentingLoadsOnceAndLinksBothWays) {
    auto* first = new CountingScreen;
    root->present(first, true);
    EXPECT_EQ(first->loads, 1);
    EXPECT_EQ(root->presentedViewController(), first);
    EXPECT_EQ(first->presentingViewController(), root);
    EXPECT_EQ(stack.topViewController(), first);

    // A screen that already presents one cannot present a second; the stray one is not leaked.
    QPointer<CountingScreen> stray = new CountingScreen;
    root->present(stray, false);
    processEvents();
    EXPECT_TRUE(stray.isNull());
    EXPECT_EQ(stack.depth(), 2);
}

TEST_F(StackFixture, DismissingRemovesTheScreenAndEverythingAboveIt) {
    QPointer<CountingScreen> first = new CountingScreen;
    QPointer<CountingScreen> second = new CountingScreen;
    root->present(first, false);
    first->present(second, false);
    ASSERT_EQ(stack.depth(), 3);

    bool completed = false;
    first->dismiss(false);  // dismisses what first presents
    EXPECT_EQ(stack.topViewController(), first.data());
    first->dismiss(true, [&] { completed = true; });  // now first itself
    processEvents();
    EXPECT_TRUE(completed);
    EXPECT_EQ(stack.topViewController(), root);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(second.isNull());

    root->dismiss(false);  // the root stays
    EXPECT_EQ(stack.depth(), 1);
}

TEST(StoryboardTest, InstantiatesByIdentifierAndRefusesUnknownOnes) {
    Storyboard board;
    board.registerScreen("draw", [] { return new CountingScreen; });
    std::unique_ptr<PlatformViewController> screen(board.instantiateViewController("draw"));
    EXPECT_NE(screen, nullptr);
    PlatformViewController* missing = nullptr;
    const std::string out =
        captureStdout([&] { missing = board.instantiateViewController("nope"); });
    EXPECT_EQ(missing, nullptr);
    EXPECT_NE(out.find("\"nope\""), std::string::npos);
}
