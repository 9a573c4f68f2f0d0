#pragma once

#include <iosfwd>

class Color;

// How test failures show a colour: its space and exact components, e.g. "rgb(1, 0, 0, 1)" or
// "grey(1, 1)" (white, alpha). Every test file sees it (the build includes it first), so
// that every file prints colours the same way.
void PrintTo(const Color& color, std::ostream* out);
