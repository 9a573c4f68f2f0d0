// Cell geometry of the line, rectangle and ellipse, and mirror images, as grid pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "editing/mirror.h"
#include "editing/shapes.h"

namespace {
using Cells = std::vector<QPoint>;

// The cells on a width x height grid as text, top row first; cells off the grid are left out.
std::vector<std::string> picture(const Cells& cells, int width, int height) {
    std::vector<std::string> rows(size_t(height), std::string(size_t(width), '.'));
    for (const QPoint& cell : cells) {
        if (cell.x() >= 0 && cell.y() >= 0 && cell.x() < width && cell.y() < height) {
            rows[size_t(height - 1 - cell.y())][size_t(cell.x())] = '#';
        }
    }
    return rows;
}

std::set<std::pair<int, int>> asSet(const Cells& cells) {
    std::set<std::pair<int, int>> set;
    for (const QPoint& cell : cells) {
        set.insert({cell.x(), cell.y()});
    }
    return set;
}

// How many of the eight cells around a cell are in the set.
int neighbours(const std::set<std::pair<int, int>>& set, int x, int y) {
    int n = 0;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            n += (dx != 0 || dy != 0) && set.count({x + dx, y + dy});
        }
    }
    return n;
}

bool eightConnected(const std::set<std::pair<int, int>>& set) {
    if (set.empty()) {
        return true;
    }
    std::set<std::pair<int, int>> seen{*set.begin()};
    std::vector<std::pair<int, int>> pending{*set.begin()};
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (set.count({x + dx, y + dy}) && seen.insert({x + dx, y + dy}).second) {
                    pending.push_back({x + dx, y + dy});
                }
            }
        }
    }
    return seen.size() == set.size();
}

bool touchesAllSides(const std::set<std::pair<int, int>>& set, int w, int h) {
    bool left = false, right = false, bottom = false, top = false;
    for (const auto& [x, y] : set) {
        left |= x == 0;
        right |= x == w - 1;
        bottom |= y == 0;
        top |= y == h - 1;
    }
    return left && right && bottom && top;
}
}  // namespace

TEST(LineTest, OneCellPerStepInEveryDirectionAndBothWaysTheSameLength) {
    EXPECT_EQ(picture(shapes::line({0, 0}, {6, 2}), 7, 3),
              (std::vector<std::string>{".....##", "..###..", "##....."}));
    // Every octant: starts and ends where asked, each step to an eight-neighbour, no cell twice.
    for (int dx = -9; dx <= 9; ++dx) {
        for (int dy = -9; dy <= 9; ++dy) {
            const Cells cells = shapes::line({0, 0}, {dx, dy});
            ASSERT_EQ(cells.front(), QPoint(0, 0));
            ASSERT_EQ(cells.back(), QPoint(dx, dy));
            ASSERT_EQ(cells.size(), size_t(std::max(std::abs(dx), std::abs(dy)) + 1)) << dx << dy;
            for (size_t i = 1; i < cells.size(); ++i) {
                const QPoint step = cells[i] - cells[i - 1];
                ASSERT_TRUE(std::abs(step.x()) <= 1 && std::abs(step.y()) <= 1 && step != QPoint())
                    << dx << "," << dy;
            }
        }
    }
}

TEST(LineTest, ShiftSnapsToTheNearestOfEightDirections) {
    EXPECT_EQ(shapes::snapToOctant({5, 5}, {12, 7}), QPoint(12, 5));  // mostly across
    EXPECT_EQ(shapes::snapToOctant({5, 5}, {4, -3}), QPoint(5, -3));  // mostly down
    EXPECT_EQ(shapes::snapToOctant({5, 5}, {9, 8}), QPoint(9, 9));    // near the diagonal
    EXPECT_EQ(shapes::snapToOctant({5, 5}, {0, 9}), QPoint(0, 10));   // up and to the left
    EXPECT_EQ(shapes::squareCorner({2, 2}, {7, 4}), QPoint(7, 7));
    EXPECT_EQ(shapes::squareCorner({2, 2}, {0, -4}), QPoint(-4, -4));
}

TEST(RectangleTest, OutlineOrFilledFromEitherCorner) {
    const std::vector<std::string> outline{"......", ".####.", ".#..#.", ".####.", "......"};
    EXPECT_EQ(picture(shapes::rectangle({1, 1}, {4, 3}, false), 6, 5), outline);
    EXPECT_EQ(picture(shapes::rectangle({4, 1}, {1, 3}, false), 6, 5), outline);
    EXPECT_EQ(picture(shapes::rectangle({1, 3}, {4, 1}, true), 6, 5),
              (std::vector<std::string>{"......", ".####.", ".####.", ".####.", "......"}));
    EXPECT_EQ(shapes::rectangle({1, 1}, {4, 3}, false).size(), 10u);  // corners once
    EXPECT_EQ(shapes::rectangle({3, 3}, {3, 3}, false), Cells{QPoint(3, 3)});
}

TEST(EllipseTest, SmallSizesLookRound) {
    EXPECT_EQ(picture(shapes::ellipse({0, 0}, {2, 2}, false), 3, 3),
              (std::vector<std::string>{".#.", "#.#", ".#."}));
    EXPECT_EQ(picture(shapes::ellipse({0, 0}, {2, 2}, true), 3, 3),
              (std::vector<std::string>{".#.", "###", ".#."}));
    EXPECT_EQ(picture(shapes::ellipse({0, 0}, {3, 3}, false), 4, 4),
              (std::vector<std::string>{".##.", "#..#", "#..#", ".##."}));
}

// Every size up to 40 x 40: symmetric, touching the box on all sides, an outline without gaps
// or doubled corners, and the filled shape exactly the outline with what it encloses (a
// closed convex outline encloses each row between its ends).
TEST(EllipseTest, EverySizeIsSymmetricClosedThinAndFilledByItsInside) {
    for (int w = 1; w <= 40; ++w) {
        for (int h = 1; h <= 40; ++h) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            const auto outline = asSet(shapes::ellipse({0, 0}, {w - 1, h - 1}, false));
            const auto filled = asSet(shapes::ellipse({w - 1, h - 1}, {0, 0}, true));
            ASSERT_EQ(outline.size(), shapes::ellipse({0, 0}, {w - 1, h - 1}, false).size());
            for (const auto* shape : {&outline, &filled}) {
                for (const auto& [x, y] : *shape) {
                    ASSERT_TRUE(x >= 0 && y >= 0 && x < w && y < h);
                    ASSERT_TRUE(shape->count({w - 1 - x, y}) && shape->count({x, h - 1 - y}))
                        << "not symmetric at " << x << "," << y;
                }
                ASSERT_TRUE(touchesAllSides(*shape, w, h));
            }
            ASSERT_TRUE(eightConnected(outline));
            // Filled: each row from the outline's leftmost cell in it to its rightmost.
            std::set<std::pair<int, int>> spans;
            for (int y = 0; y < h; ++y) {
                int left = w, right = -1;
                for (const auto& [x, row] : outline) {
                    if (row == y) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
                for (int x = left; x <= right; ++x) {
                    spans.insert({x, y});
                }
            }
            ASSERT_EQ(filled, spans);
            for (const auto& [x, y] : outline) {
                // No doubled corner: a cell whose only two neighbours on the curve touch each
                // other is one the curve can do without.
                const int n = neighbours(outline, x, y);
                if (n == 2) {
                    for (const int sx : {-1, 1}) {
                        for (const int sy : {-1, 1}) {
                            ASSERT_FALSE(outline.count({x + sx, y}) && outline.count({x, y + sy}))
                                << "doubled corner at " << x << "," << y;
                        }
                    }
                }
                // A cell with more than two neighbours on the curve is there only where taking
                // it out, with its mirror images, would break the curve or its reach.
                if (n > 2) {
                    auto without = outline;
                    for (const auto& image :
                         {std::pair(x, y), std::pair(w - 1 - x, y), std::pair(x, h - 1 - y),
                          std::pair(w - 1 - x, h - 1 - y)}) {
                        without.erase(image);
                    }
                    ASSERT_FALSE(eightConnected(without) && touchesAllSides(without, w, h))
                        << "avoidable thick cell at " << x << "," << y;
                }
            }
        }
    }
}

TEST(MirrorTest, ImagesAcrossEachAxisWithCellsOnTheAxisOnce) {
    const Cells stroke{{0, 0}, {1, 3}, {2, 1}, {4, 4}, {-1, 2}, {5, 0}};  // two off a 5 x 5 grid
    EXPECT_EQ(picture(mirror::withImages(stroke, 5, 5, MirrorAxes::none), 5, 5),
              (std::vector<std::string>{"....#", ".#...", ".....", "..#..", "#...."}));
    EXPECT_EQ(picture(mirror::withImages(stroke, 5, 5, MirrorAxes::vertical), 5, 5),
              (std::vector<std::string>{"#...#", ".#.#.", ".....", "..#..", "#...#"}));
    EXPECT_EQ(picture(mirror::withImages(stroke, 5, 5, MirrorAxes::horizontal), 5, 5),
              (std::vector<std::string>{"#...#", ".##..", ".....", ".##..", "#...#"}));
    EXPECT_EQ(picture(mirror::withImages(stroke, 5, 5, MirrorAxes::both), 5, 5),
              (std::vector<std::string>{"#...#", ".###.", ".....", ".###.", "#...#"}));
    // The middle of an odd grid is its own image; an even width has no middle column.
    EXPECT_EQ(mirror::withImages({{2, 2}}, 5, 5, MirrorAxes::both).size(), 1u);
    EXPECT_EQ(picture(mirror::withImages({{2, 0}, {1, 3}}, 4, 4, MirrorAxes::vertical), 4, 4),
              (std::vector<std::string>{".##.", "....", "....", ".##."}));
}
