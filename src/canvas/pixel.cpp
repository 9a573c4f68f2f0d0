#include "canvas/pixel.h"

#include "canvas/canvas.h"

Pixel::Pixel() {
    setFillColor(Color::white());
    setStrokeColor(Color::gray());
    setLineWidth(kLineWidth);
    setPathRect(QRectF(0, 0, kSize, kSize));
    setUserInteractionEnabled(true);
    setAntialiased(false);
}

void Pixel::fillColorChanged() {
    if (canvas_) {
        canvas_->cellColorChanged(*this);
    } else {
        ShapeNode::fillColorChanged();
    }
}
