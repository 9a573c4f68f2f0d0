#pragma once

#include <iosfwd>

class Color;
class QPointF;

// How test failures show colours and points: "rgb(1, 0, 0, 1)", "grey(1, 1)" (white, alpha),
// "(160, 290)". Every test file sees these (the build includes this header first), so that
// every file prints them the same way.
void PrintTo(const Color& color, std::ostream* out);
void PrintTo(const QPointF& point, std::ostream* out);
