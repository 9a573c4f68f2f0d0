#pragma once

// The editor on a grid of any shape in a phone-sized window, driven by touches, the wheel and
// the device's turns; the test moves the clock.
#include <algorithm>
#include <cmath>
#include <vector>

#include "editor/pipette.h"
#include "editor_fixture.h"

struct OblongEditorTest : EditorFixture {
    // A new drawing of width x height cells in the given colours (white when none), upright.
    void open(int64_t width, int64_t height, std::vector<Color> colors = {}) {
        if (editor) {
            leave();
        }
        DeviceOrientationCenter::shared().simulateOrientation(DeviceOrientation::portrait);
        if (colors.empty()) {
            colors.assign(size_t(width * height), Color::white());
        }
        editor = new DrawingViewController;
        editor->startingCells = DrawingViewController::StartingCells{colors, width, height};
        home->present(editor, false);
        processEvents();
        ASSERT_TRUE(editor && editor->canvasView);
    }
    // A cell's centre in the editor's coordinates, exactly.
    QPointF at(int64_t x, int64_t y) {
        const QPointF centre = canvas().getPixel(x, y)->position() + QPointF(150, 150);
        return editor->canvasView->convertPointFromScene(canvas().convertPointToScene(centre));
    }
    // The box the grid takes on screen, however it is turned.
    QRectF shown() {
        const auto edges = canvasEdgesWithin(*editor->canvasView, QRectF(-1e6, -1e6, 2e6, 2e6));
        return edges
                   ? QRectF(QPointF(edges->left, edges->top), QPointF(edges->right, edges->bottom))
                   : QRectF();
    }
    double cellSide() { return canvas().xScale() * Pixel::kSize; }
    QPointF middle() { return QPointF(editor->width() / 2.0, editor->height() / 2.0); }

    // Two fingers side by side dragged by delta, in strokes of at most 300 points each way.
    void pan(QPointF delta) {
        const QPointF apart(40, 0);
        while (std::abs(delta.x()) > 0.5 || std::abs(delta.y()) > 0.5) {
            const QPointF part(std::clamp(delta.x(), -300.0, 300.0),
                               std::clamp(delta.y(), -300.0, 300.0));
            delta -= part;
            const QPointF a = middle() - part / 2 - apart / 2;
            touch().press(0, a.toPoint(), target()).press(1, (a + apart).toPoint(), target());
            // Few steps: each touch event costs the test a millisecond's sleep.
            QPointF p = a;
            for (int step = 1; step <= 4; ++step) {
                p = a + part * step / 4.0;
                touch().move(0, p.toPoint(), target()).move(1, (p + apart).toPoint(), target());
            }
            touch().release(0, p.toPoint(), target()).release(1, (p + apart).toPoint(), target());
        }
    }
};
