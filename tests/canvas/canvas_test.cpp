#include <gtest/gtest.h>

#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "grid_picture.h"
#include "test_support.h"

TEST(CanvasTest, ABlankGridIsWhiteCellsInColumnMajorOrder) {
    Canvas canvas(20, 20);
    ASSERT_EQ(canvas.pixelArray().size(), 400u);
    EXPECT_EQ(canvas.size(), QSizeF(6000, 6000));
    EXPECT_EQ(canvas.getPixel(0, 0)->position(), QPointF(-3000, -3000));
    EXPECT_EQ(canvas.getPixel(19, 19)->position(), QPointF(2700, 2700));
    EXPECT_EQ(canvas.getPixel(0, 1), canvas.pixelArray()[1]);
    EXPECT_EQ(canvas.getPixel(1, 0), canvas.pixelArray()[20]);
    EXPECT_EQ(canvas.getPixel(19, 19), canvas.pixelArray()[399]);
    // The children are the cells, in the same order.
    ASSERT_EQ(canvas.children().size(), 400u);
    EXPECT_EQ(canvas.children()[20].get(), canvas.getPixel(1, 0));
    for (const Pixel* cell : canvas.pixelArray()) {
        ASSERT_EQ(cell->fillColor(), Color::white());
        ASSERT_EQ(cell->strokeColor(), Color::gray());
        ASSERT_EQ(cell->lineWidth(), 10);
        ASSERT_FALSE(cell->isAntialiased());
        ASSERT_TRUE(cell->isUserInteractionEnabled());
    }
}

TEST(CanvasTest, LookupsAcrossAnyEdgeFindNothing) {
    Canvas canvas(20, 20);
    EXPECT_EQ(canvas.getPixel(20, 0), nullptr);
    EXPECT_EQ(canvas.getPixel(0, 20), nullptr);
    EXPECT_EQ(canvas.getPixel(-1, 0), nullptr);
    EXPECT_EQ(canvas.getPixel(0, -1), nullptr);
    // Index arithmetic alone would wrap (0, 20) onto (1, 0); the bounds check must catch it.
    EXPECT_EQ(canvas.getPixel(0, 20), nullptr);
}

TEST(CanvasTest, ColourListsRoundTripCellForCell) {
    Canvas source(24, 24);
    EXPECT_EQ(source.getColorArray(), std::vector<Color>(576, Color::white()));
    source.getPixel(1, 0)->setFillColor(Color::red());
    source.getPixel(0, 1)->setFillColor(Color::blue());
    source.getPixel(23, 5)->setFillColor(Color::withRGB(0.25, 0.5, 0.75, 1));
    const std::vector<Color> colors = source.getColorArray();
    EXPECT_EQ(colors[24], Color::red());  // column 1, row 0
    EXPECT_EQ(colors[1], Color::blue());  // column 0, row 1

    Canvas copy(colors, 24, 24);
    EXPECT_EQ(copy.getColorArray(), colors);
    EXPECT_EQ(copy.getPixel(23, 5)->fillColor(), Color::withRGB(0.25, 0.5, 0.75, 1));
}

TEST(CanvasTest, TheLargestGridHas784Cells) {
    Canvas canvas(28, 28);
    EXPECT_EQ(canvas.pixelArray().size(), 784u);
    EXPECT_EQ(canvas.size(), QSizeF(8400, 8400));
    EXPECT_EQ(canvas.getPixel(27, 27)->position(), QPointF(3900, 3900));
}

TEST(CanvasTest, AColourListOfTheWrongLengthIsUsedAsFarAsItGoes) {
    std::vector<Color> shortList(10, Color::red());
    std::string out = captureStdout([&] {
        Canvas canvas(shortList, 20, 20);
        EXPECT_EQ(canvas.pixelArray().size(), 400u);
        EXPECT_EQ(canvas.pixelArray()[9]->fillColor(), Color::red());
        EXPECT_EQ(canvas.pixelArray()[10]->fillColor(), Color::white());
    });
    EXPECT_NE(out.find("holds 10 colours, expected 400"), std::string::npos);

    std::vector<Color> longList(500, Color::blue());
    out = captureStdout([&] {
        Canvas canvas(longList, 20, 20);
        EXPECT_EQ(canvas.getColorArray(), std::vector<Color>(400, Color::blue()));
    });
    EXPECT_NE(out.find("holds 500 colours"), std::string::npos);
}

TEST(CanvasTest, GridPicturesReadTopRowFirst) {
    Canvas canvas(3, 3);
    grid_picture::paint(canvas, {"R..", "...", "..B"});
    EXPECT_EQ(canvas.getPixel(0, 2)->fillColor(), Color::red());
    EXPECT_EQ(canvas.getPixel(2, 0)->fillColor(), Color::blue());
    EXPECT_EQ(grid_picture::read(canvas), (std::vector<std::string>{"R..", "...", "..B"}));
}
