#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "platform/color.h"

// The byte form in which colours are stored: one archive per attribute, holding a drawing's
// whole colour list or the one colour of a history entry.
//
// Version 1, numbers little-endian:
//
//   offset  size    content
//   0       4       magic "TBCA"
//   4       1       version: 1
//   5       4       colour count n, unsigned
//   9       33 * n  n entries of 33 bytes: the colour space (0 RGB, 1 grey, 2 no RGB form),
//                   then the four doubles of Color::components() in IEEE 754 binary64
//                   (RGB: red, green, blue, alpha; grey: white, alpha, 0, 0; else 0, 0, 0, 0)
//
// Entries have a fixed size, so the exact length follows from n. Components in 0...1 are
// written exactly, except that -0 is written as 0: equal colours always give equal bytes,
// which lets the store match history entries by their bytes. A component out of range is
// written clamped into 0...1, a non-finite one as 0, so the store never holds a value that
// reading would refuse.
//
// Reading never goes past the end of the bytes and always yields a usable list:
// - a short header, a wrong magic or an unknown version give no colours;
// - a length that disagrees with n gives the whole entries that are there, at most n;
// - an entry with an unknown space or a component that is not finite or lies outside 0...1
//   reads as white, the colour of a blank cell, so the other cells keep their places.
// Every such fault is described in Decoded::problem.
class ColorArchive {
public:
    ColorArchive() = delete;

    static constexpr int headerSize = 9;
    static constexpr int entrySize = 33;
    static constexpr quint8 version = 1;

    struct Decoded {
        std::vector<Color> colors;
        // Empty for a sound archive, otherwise what was wrong and what was made of it.
        QString problem;
    };

    static QByteArray encode(const std::vector<Color>& colors);
    static QByteArray encode(const Color& color);
    static Decoded decode(const QByteArray& archive);
};
