#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "platform/color.h"

// The byte form in which colours are stored: one archive per attribute, holding a drawing's
// whole colour list or the one colour of a history entry. Numbers are little-endian.
//
// Version 1, a list of entries:
//
//   offset  size    content
//   0       4       magic "TBCA"
//   4       1       version: 1
//   5       4       colour count n, unsigned
//   9       33 * n  n entries of 33 bytes: the colour space (0 RGB, 1 grey, 2 no RGB form),
//                   then the four doubles of Color::components() in IEEE 754 binary64
//                   (RGB: red, green, blue, alpha; grey: white, alpha, 0, 0; else 0, 0, 0, 0)
//
// Version 2, a palette and one index per colour, compressed; a 256 x 256 drawing is 2 MB in
// version 1 and a few kilobytes here:
//
//   0       4       magic "TBCA"
//   4       1       version: 2
//   5       4       colour count n, unsigned, at most maximumColors
//   9       4       palette size m: the distinct entries, 1 ... n (0 when n is 0)
//   13      1       index width w in bytes: 1 when m <= 256, 2 when m <= 65536, else 4
//   14      ...     a zlib stream (RFC 1950) holding 33 * m + w * n bytes: the m distinct
//                   entries as in version 1, in the order they are first used, then n indices
//                   into them, w bytes each
//
// Entries are exact in both: components in 0...1 are written bit for bit, except that -0 is
// written as 0, so equal colours always give equal entries. A component out of range is
// written clamped into 0...1, a non-finite one as 0, so the store never holds a value that
// reading would refuse.
//
// Writing: one colour (a history entry, which the store matches by its bytes) and lists of at
// most olderBuildsLargestList colours (the grids older builds make) are written in version 1,
// byte for byte as before, so that older builds read them and stored bytes still match; longer
// lists in version 2. Equal lists give equal bytes in both.
//
// Reading never goes past the end of the bytes, never inflates more than the header promises,
// and always yields a usable list:
// - a short header, a wrong magic or an unknown version give no colours;
// - version 1: a length that disagrees with n gives the whole entries that are there, at most n;
// - version 2: a header that cannot be right (counts, widths, more than maximumColors) or a
//   stream that is damaged, short or followed by other bytes gives no colours;
// - an entry with an unknown space or a component that is not finite or lies outside 0...1
//   reads as white, the colour of a blank cell, and so does an index beyond the palette, so
//   the other cells keep their places.
// Every such fault is described in Decoded::problem.
class ColorArchive {
public:
    ColorArchive() = delete;

    static constexpr int headerSize = 9;
    static constexpr int entrySize = 33;
    static constexpr quint8 version = 1;
    static constexpr quint8 compactVersion = 2;
    static constexpr int compactHeaderSize = 14;
    static constexpr qsizetype olderBuildsLargestList = 28 * 28;
    // Sixteen times the largest grid: enough for any drawing, and what a hostile header can
    // make a reader allocate stays within tens of megabytes.
    static constexpr quint32 maximumColors = 16 * 256 * 256;

    struct Decoded {
        std::vector<Color> colors;
        // Empty for a sound archive, otherwise what was wrong and what was made of it.
        QString problem;
    };

    static QByteArray encode(const std::vector<Color>& colors);
    static QByteArray encode(const Color& color);
    static Decoded decode(const QByteArray& archive);

    // The two writers, whatever the list's length; encode picks one.
    static QByteArray encodeList(const std::vector<Color>& colors);
    static QByteArray encodeCompact(const std::vector<Color>& colors);
};
