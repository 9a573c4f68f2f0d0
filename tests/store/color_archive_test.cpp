#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

#include "store/color_archive.h"

namespace {
// The byte offset of component c of entry i.
qsizetype componentAt(qsizetype entry, int component) {
    return ColorArchive::headerSize + entry * ColorArchive::entrySize + 1 + 8 * component;
}

void putDouble(QByteArray& bytes, qsizetype offset, double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, bytes.data() + offset);
}

std::vector<Color> threeColors() {
    return {Color::withRGB(0.25, 0.5, 0.75, 1.0), Color::withWhite(0.5, 0.25),
            Color::withRGB(1.0, 0.0, 0.0, 1.0)};
}
}  // namespace

TEST(ColorArchiveTest, RoundTripKeepsExactComponentsAndColorSpaces) {
    const std::vector<Color> colors = {
        Color::withRGB(1.0 / 3.0, 0.1 + 0.2, std::nextafter(0.0, 1.0), std::nextafter(1.0, 0.0)),
        Color::withWhite(2.0 / 3.0),
        Color::clear(),
        Color::white(),
        Color::withRGB(1, 1, 1),
        Color::systemCyan(),
        Color::withoutRGB()};
    const QByteArray archive = ColorArchive::encode(colors);
    EXPECT_EQ(archive.size(), 9 + 33 * static_cast<qsizetype>(colors.size()));
    EXPECT_EQ(archive.left(5), QByteArray("TBCA\x01", 5));
    const ColorArchive::Decoded decoded = ColorArchive::decode(archive);
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_EQ(decoded.colors, colors);
    // Grey white and RGB white stay apart.
    EXPECT_NE(decoded.colors[3], decoded.colors[4]);

    EXPECT_TRUE(ColorArchive::decode(ColorArchive::encode(std::vector<Color>{})).colors.empty());
    EXPECT_EQ(ColorArchive::encode(Color::white()),
              ColorArchive::encode(std::vector<Color>{Color::white()}));
}

TEST(ColorArchiveTest, EqualColorsGiveEqualBytesAndOddValuesAreStoredReadable) {
    // The history matches entries by their bytes, so -0 must not differ from 0.
    EXPECT_EQ(ColorArchive::encode(Color::withRGB(-0.0, 0.5, 0.0)),
              ColorArchive::encode(Color::withRGB(0.0, 0.5, 0.0)));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ColorArchive::Decoded decoded = ColorArchive::decode(
        ColorArchive::encode(std::vector<Color>{Color::withRGB(nan, 1.5, -inf, -0.25)}));
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_EQ(decoded.colors, std::vector<Color>{Color::withRGB(0.0, 1.0, 0.0, 0.0)});
}

TEST(ColorArchiveTest, BrokenHeadersGiveNoColorsAndSayWhy) {
    const QByteArray good = ColorArchive::encode(threeColors());
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    QByteArray newerVersion = good;
    newerVersion[4] = 2;
    for (const QByteArray& bytes : {QByteArray(), good.left(8), wrongMagic, newerVersion}) {
        const ColorArchive::Decoded decoded = ColorArchive::decode(bytes);
        EXPECT_TRUE(decoded.colors.empty()) << bytes.size();
        EXPECT_FALSE(decoded.problem.isEmpty()) << bytes.size();
    }
}

TEST(ColorArchiveTest, WrongLengthsGiveTheWholeEntriesThatAreThere) {
    const std::vector<Color> colors = threeColors();
    const QByteArray good = ColorArchive::encode(colors);

    // Cut inside the third entry: two are whole.
    ColorArchive::Decoded decoded = ColorArchive::decode(good.left(good.size() - 5));
    EXPECT_EQ(decoded.colors, std::vector<Color>(colors.begin(), colors.begin() + 2));
    EXPECT_FALSE(decoded.problem.isEmpty());

    // Bytes left over after the declared entries are ignored.
    decoded = ColorArchive::decode(good + QByteArray(40, '\0'));
    EXPECT_EQ(decoded.colors, colors);
    EXPECT_FALSE(decoded.problem.isEmpty());

    // A huge declared count does not make the reader trust it.
    QByteArray huge = good;
    qToLittleEndian<quint32>(0xFFFFFFFFu, huge.data() + 5);
    decoded = ColorArchive::decode(huge);
    EXPECT_EQ(decoded.colors, colors);
    EXPECT_FALSE(decoded.problem.isEmpty());
}

TEST(ColorArchiveTest, UnreadableEntriesReadAsWhiteInTheirPlace) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {nan, inf, -inf, 1.5, -0.5}) {
        SCOPED_TRACE(bad);
        QByteArray bytes = ColorArchive::encode(threeColors());
        putDouble(bytes, componentAt(1, 1), bad);
        const ColorArchive::Decoded decoded = ColorArchive::decode(bytes);
        ASSERT_EQ(decoded.colors.size(), 3u);
        EXPECT_EQ(decoded.colors[0], threeColors()[0]);
        EXPECT_EQ(decoded.colors[1], Color::white());
        EXPECT_EQ(decoded.colors[2], threeColors()[2]);
        EXPECT_TRUE(decoded.problem.contains(QStringLiteral("1 of 3")));
    }
    QByteArray unknownSpace = ColorArchive::encode(threeColors());
    unknownSpace[ColorArchive::headerSize + 2 * ColorArchive::entrySize] = 7;
    const ColorArchive::Decoded decoded = ColorArchive::decode(unknownSpace);
    ASSERT_EQ(decoded.colors.size(), 3u);
    EXPECT_EQ(decoded.colors[2], Color::white());
    EXPECT_FALSE(decoded.problem.isEmpty());
}
