#include "canvas/pixel.h"

Pixel::Pixel() {
    setFillColor(Color::white());
    setStrokeColor(Color::gray());
    setLineWidth(kLineWidth);
    setPathRect(QRectF(0, 0, kSize, kSize));
    setUserInteractionEnabled(true);
    setAntialiased(false);
}
