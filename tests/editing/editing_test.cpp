// The undo group and the fill against a reference search; the editor's history model test
// drives the tools through real input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <deque>
#include <random>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "editing/bucket.h"
#include "editing/editor_fields.h"
#include "editing/group_draw_command.h"

TEST(GroupDrawCommandTest, OneCommandPerCellKeepsTheFirstOldColour) {
    Canvas canvas(3, 1);
    Pixel* one = canvas.getPixel(0, 0);
    Pixel* two = canvas.getPixel(1, 0);
    GroupDrawCommand group;
    group.addCommand(DrawCommand(one->fillColor(), Color::red(), one));
    group.addCommand(DrawCommand(two->fillColor(), Color::red(), two));
    EXPECT_EQ(one->fillColor(), Color::red());
    group.addCommand(DrawCommand(one->fillColor(), Color::blue(), one));
    EXPECT_EQ(group.size(), 2u);
    EXPECT_EQ(one->fillColor(), Color::blue());  // painted, though not recorded again
    group.undo();
    EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(3, Color::white()));
    group.redo();
    EXPECT_EQ(one->fillColor(), Color::red());  // the recorded command's colour
    // Only draw commands join a group.
    group.addCommand(GroupDrawCommand());
    EXPECT_EQ(group.size(), 2u);

    // Beyond a few colours a step finds them by hash; -0 and 0, and a colour not equal to
    // itself, must still give each cell exactly its own back.
    Canvas wide(16, 1);
    std::vector<Color> before, after;
    for (int i = 0; i < 16; ++i) {
        before.push_back(i % 3 == 0 ? Color::withRGB(i % 2 ? -0.0 : 0.0, 0, 0)
                                    : Color::withRGB(i / 16.0, 0.5, 1));
    }
    before[15] = Color::withRGB(std::nan(""), 0, 0);
    GroupDrawCommand many;
    for (int i = 0; i < 16; ++i) {
        wide.getPixel(i, 0)->setFillColor(before[size_t(i)]);
        after.push_back(Color::withWhite(i / 16.0));
        many.addCommand(DrawCommand(before[size_t(i)], after.back(), wide.getPixel(i, 0)));
    }
    const auto bits = [](const std::vector<Color>& colours) {
        std::vector<std::array<double, 4>> all;
        for (const Color& colour : colours) {
            all.push_back(colour.components());
        }
        return testing::PrintToString(all);
    };
    many.undo();
    EXPECT_EQ(bits(wide.getColorArray()), bits(before));
    EXPECT_TRUE(std::signbit(wide.getPixel(3, 0)->fillColor().components()[0]));
    many.redo();
    EXPECT_EQ(bits(wide.getColorArray()), bits(after));
}

// Fills and colour replacements on random pictures of few colours (some a hair's breadth off
// another, within the tolerance or just beyond it, or in alpha alone), against a plain
// breadth-first search: every cell the region holds is recoloured and no other, one command each,
// and undo and redo give back every colour exactly, with the canvas's own colour list following the
// cells.
TEST(FillModelTest, FillsAndReplacementsMatchAPlainSearchOnRandomPictures) {
    const Color palette[] = {Color::white(),
                             Color::red(),
                             Color::withRGB(0.999995, 0, 0, 1),
                             Color::withRGB(1, 0.00002, 0, 1),
                             Color::withRGB(1, 0, 0, 0.9),
                             Color::blue()};
    // Within 0.00001 in every component, alpha too (every colour here is RGB).
    const auto same = [](const Color& a, const Color& b) {
        for (size_t i = 0; i < 4; ++i) {
            if (std::abs(a.components()[i] - b.components()[i]) > 0.00001) {
                return false;
            }
        }
        return true;
    };
    std::mt19937 random(7);
    const std::pair<int64_t, int64_t> sizes[] = {{1, 1},   {1, 9},  {9, 1},   {5, 7},
                                                 {16, 16}, {33, 4}, {64, 64}, {256, 256}};
    for (int round = 0; round < 120; ++round) {
        const auto [width, height] = sizes[size_t(round) % std::size(sizes)];
        // Fewer colours on some rounds make large, winding regions.
        const size_t colours = 2 + size_t(random() % 5);
        std::vector<Color> before;
        for (int64_t i = 0; i < width * height; ++i) {
            before.push_back(palette[random() % colours]);
        }
        Canvas canvas(before, width, height);
        const int64_t column = int64_t(random() % uint64_t(width));
        const int64_t row = int64_t(random() % uint64_t(height));
        const Color target = before[size_t(column * height + row)];
        const Color replacement = palette[random() % std::size(palette)];
        const bool replacing = random() % 4 == 0;
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ", " << width << " x " << height << ", from ("
                     << column << ", " << row << ")" << (replacing ? ", replacing" : ""));

        const auto open = [&](size_t i) {
            return same(before[i], target) && !same(before[i], replacement);
        };
        std::vector<bool> region(before.size(), false);
        if (replacing) {
            for (size_t i = 0; i < before.size(); ++i) {
                region[i] = open(i);
            }
        } else if (open(size_t(column * height + row))) {
            std::deque<std::pair<int64_t, int64_t>> queue{{column, row}};
            region[size_t(column * height + row)] = true;
            while (!queue.empty()) {
                const auto [c, r] = queue.front();
                queue.pop_front();
                for (const auto& [dc, dr] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    const int64_t nc = c + dc;
                    const int64_t nr = r + dr;
                    const auto i = size_t(nc * height + nr);
                    if (nc >= 0 && nc < width && nr >= 0 && nr < height && !region[i] && open(i)) {
                        region[i] = true;
                        queue.emplace_back(nc, nr);
                    }
                }
            }
        }
        std::vector<Color> expected = before;
        size_t count = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (region[i]) {
                expected[i] = replacement;
                ++count;
            }
        }

        EditorFields editor;
        editor.groupDrawCommand = std::make_shared<GroupDrawCommand>();
        if (replacing) {
            replaceColor(canvas, target, replacement, editor);
        } else {
            floodFill(canvas, column, row, target, replacement, editor);
        }
        GroupDrawCommand& group = *editor.groupDrawCommand;
        ASSERT_EQ(group.size(), count);
        ASSERT_EQ(canvas.getColorArray(), expected);
        std::vector<Color> cells;
        for (const Pixel* cell : canvas.pixelArray()) {
            cells.push_back(cell->fillColor());
        }
        ASSERT_EQ(cells, expected);
        editor.commandManager.execute(editor.groupDrawCommand);
        ASSERT_EQ(canvas.getColorArray(), expected);
        editor.commandManager.undo();
        ASSERT_EQ(canvas.getColorArray(), before);
        ASSERT_EQ(canvas.getPixel(column, row)->fillColor(), target);
        editor.commandManager.redo();
        ASSERT_EQ(canvas.getColorArray(), expected);
    }
}
