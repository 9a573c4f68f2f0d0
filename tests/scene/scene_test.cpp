#include <gtest/gtest.h>

#include <numbers>

#include "scene/scene.h"
#include "scene/shape_node.h"
#include "scene/sprite_node.h"

namespace {
std::unique_ptr<ShapeNode> square(double side) {
    auto node = std::make_unique<ShapeNode>();
    node->setPathRect(QRectF(0, 0, side, side));
    return node;
}
}  // namespace

// Conversions through a turned node are the editor's pipette test's: it fails on a turn the
// wrong way.
TEST(NodeTest, HitTestListsTopmostFirstAndChildrenBeforeTheirParent) {
    Scene scene(QSizeF(100, 100));
    auto* back = scene.addChild(std::make_unique<SpriteNode>(Color::red(), QSizeF(100, 100)));
    back->setPosition(QPointF(50, 50));
    auto* lower = back->addChild(square(20));
    auto* upper = back->addChild(square(20));
    upper->setPosition(QPointF(10, 0));

    // (15, 5) in back: both squares.
    EXPECT_EQ(scene.nodesAt(QPointF(65, 55)), (std::vector<Node*>{upper, lower, back}));
    // Right and top edges are open: a shared edge (x = 20 in back) belongs to one square only.
    EXPECT_EQ(scene.nodesAt(QPointF(70, 55)), (std::vector<Node*>{upper, back}));
    EXPECT_TRUE(scene.nodesAt(QPointF(150, 50)).empty());
}

TEST(ActionTest, InstantActionsLandAtOnceAndRotateToTakesTheShortestArc) {
    Scene scene(QSizeF(100, 100));
    auto* node = scene.addChild(std::make_unique<SpriteNode>(Color::red(), QSizeF(10, 10)));
    node->setPosition(QPointF(50, 50));
    node->run(Action::scaleBy(1.5, 0));
    node->run(Action::scaleBy(2, 0));
    EXPECT_DOUBLE_EQ(node->yScale(), 3);
    EXPECT_FALSE(scene.hasRunningActions());

    node->setZRotation(3.0);
    node->run(Action::rotateToAngle(-3.0, 0.4));
    EXPECT_TRUE(scene.hasRunningActions());
    scene.update(10.0);  // the clock's first tick starts the action
    scene.update(10.2);
    // From 3 to -3 the short way passes through pi (0.283 rad), not through 0 (6 rad).
    EXPECT_NEAR(node->zRotation(), 3.0 + (2 * std::numbers::pi - 6.0) / 2, 1e-9);
    scene.update(10.5);
    EXPECT_FALSE(scene.hasRunningActions());
}

TEST(SceneTest, RecolouringMarksOnlyThatNodeWhileMovingMarksEverything) {
    Scene scene(QSizeF(390, 844));
    auto* cell = scene.addChild(square(10));
    cell->setPosition(QPointF(100, 100));
    cell->setLineWidth(2);
    scene.takeDirtyRect();

    cell->setFillColor(Color::blue());
    EXPECT_EQ(scene.takeDirtyRect(), QRectF(99, 99, 12, 12));
    cell->setPosition(QPointF(120, 100));
    EXPECT_EQ(scene.takeDirtyRect(), QRectF(0, 0, 390, 844));
}

// The view asks whether anything moves on every change, and a canvas holds tens of thousands
// of still cells: the scene keeps count instead of looking, and must keep it right.
TEST(ActionTest, TheSceneKnowsOfActionsAnywhereBelowIt) {
    Scene scene(QSizeF(100, 100));
    auto parent = std::make_unique<SpriteNode>(Color::red(), QSizeF(10, 10));
    Node* child = parent->addChild(square(2));
    Node* other = parent->addChild(square(2));
    child->run(Action::moveBy(10, 0, 1.0));  // before the tree joins the scene
    EXPECT_FALSE(scene.hasRunningActions());
    Node* joined = scene.addChild(std::move(parent));
    EXPECT_TRUE(scene.hasRunningActions());
    other->run(Action::scaleBy(2, 0.5));
    scene.update(0);
    scene.update(0.6);  // the scaling ends, the move goes on
    EXPECT_DOUBLE_EQ(other->xScale(), 2);
    EXPECT_TRUE(scene.hasRunningActions());
    scene.update(1.1);
    EXPECT_EQ(child->position(), QPointF(10, 0));
    EXPECT_FALSE(scene.hasRunningActions());

    joined->run(Action::rotateToAngle(1, 1));
    child->run(Action::moveBy(1, 1, 1));
    joined->removeAllActions();
    EXPECT_TRUE(scene.hasRunningActions());
    child->removeAllActions();
    EXPECT_FALSE(scene.hasRunningActions());
}

namespace {
// Keeps its own record of what changed, as the canvas does for its cells.
struct Recording : Node {
    QRectF changed;
    int asked = 0;
    QRectF takeChangedSceneRect() override {
        ++asked;
        return std::exchange(changed, QRectF());
    }
};
}  // namespace

TEST(SceneTest, ANodeThatRecordsItsOwnChangesIsAskedOnceWhenTheFrameIsTaken) {
    Scene scene(QSizeF(390, 844));
    auto* node = scene.addChild(std::make_unique<Recording>());
    scene.takeDirtyRect();
    EXPECT_FALSE(scene.needsDisplay());

    node->changed = QRectF(10, 10, 5, 5);
    scene.invalidateLater(node);
    scene.invalidateLater(node);
    EXPECT_TRUE(scene.needsDisplay());
    scene.invalidate(QRectF(40, 40, 1, 1));
    EXPECT_EQ(scene.takeDirtyRect(), QRectF(10, 10, 31, 31));
    EXPECT_EQ(node->asked, 1);

    scene.invalidateLater(node);
    scene.withdrawInvalidation(node);
    EXPECT_EQ(scene.takeDirtyRect(), QRectF());
    EXPECT_EQ(node->asked, 1);
}
