#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

#include "store/color_archive.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const std::vector<Color> three = {Color::withRGB(0.25, 0.5, 0.75, 1.0), Color::withWhite(0.5, 0.25),
                                  Color::withRGB(1.0, 0.0, 0.0, 1.0)};
}  // namespace

TEST(ColorArchiveTest, RoundTripKeepsExactComponentsAndColorSpaces) {
    const std::vector<Color> colors = {
        Color::withRGB(1.0 / 3.0, 0.1 + 0.2, std::nextafter(0.0, 1.0), std::nextafter(1.0, 0.0)),
        Color::withWhite(2.0 / 3.0), Color::white(), Color::withRGB(1, 1, 1), Color::withoutRGB()};
    const QByteArray archive = ColorArchive::encode(colors);
    EXPECT_EQ(archive.size(), 9 + 33 * static_cast<qsizetype>(colors.size()));
    EXPECT_EQ(archive.left(5), QByteArray("TBCA\x01", 5));
    const ColorArchive::Decoded decoded = ColorArchive::decode(archive);
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_EQ(decoded.colors, colors);
    EXPECT_NE(decoded.colors[2], decoded.colors[3]);  // grey white and RGB white stay apart
    EXPECT_TRUE(ColorArchive::decode(ColorArchive::encode(std::vector<Color>{})).colors.empty());

    // The history matches entries by their bytes, so -0 must not differ from 0; odd values are
    // stored as values reading accepts.
    EXPECT_EQ(ColorArchive::encode(Color::withRGB(-0.0, 0.5, 0.0)),
              ColorArchive::encode(Color::withRGB(0.0, 0.5, 0.0)));
    const auto odd =
        ColorArchive::decode(ColorArchive::encode(Color::withRGB(kNaN, 1.5, -kInf, -1)));
    EXPECT_EQ(odd.problem, QString());
    EXPECT_EQ(odd.colors, std::vector<Color>{Color::withRGB(0.0, 1.0, 0.0, 0.0)});
}

TEST(ColorArchiveTest, MalformedArchivesGiveTheWholeSoundEntriesAndSayWhy) {
    const QByteArray good = ColorArchive::encode(three);
    const auto changed = [&good](qsizetype at, const QByteArray& bytes) {
        return QByteArray(good).replace(at, bytes.size(), bytes);
    };
    QByteArray hugeCount(4, '\xff');
    const struct {
        const char* name;
        QByteArray bytes;
        size_t sound;  // leading entries that must come back as they were
    } cases[] = {
        {"empty", QByteArray(), 0},
        {"short header", good.left(8), 0},
        {"wrong magic", changed(0, "X"), 0},
        {"newer version", changed(4, "\x02"), 0},
        {"cut inside the third entry", good.left(good.size() - 5), 2},
        {"bytes left over", good + QByteArray(40, '\0'), 3},
        {"a count beyond the bytes", changed(5, hugeCount), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ColorArchive::Decoded decoded = ColorArchive::decode(c.bytes);
        EXPECT_EQ(decoded.colors, std::vector<Color>(three.begin(), three.begin() + c.sound));
        EXPECT_FALSE(decoded.problem.isEmpty());
    }
}

TEST(ColorArchiveTest, UnreadableEntriesReadAsWhiteInTheirPlace) {
    const qsizetype second = ColorArchive::headerSize + ColorArchive::entrySize;
    for (const double bad : {kNaN, kInf, -kInf, 1.5, -0.5}) {
        SCOPED_TRACE(bad);
        QByteArray bytes = ColorArchive::encode(three);
        quint64 bits;
        std::memcpy(&bits, &bad, sizeof bits);
        qToLittleEndian(bits, bytes.data() + second + 1 + 8);  // the second's green
        const ColorArchive::Decoded decoded = ColorArchive::decode(bytes);
        EXPECT_EQ(decoded.colors, (std::vector<Color>{three[0], Color::white(), three[2]}));
        EXPECT_TRUE(decoded.problem.contains("1 of 3"));
    }
    QByteArray unknownSpace = ColorArchive::encode(three);
    unknownSpace[second] = 7;
    const ColorArchive::Decoded decoded = ColorArchive::decode(unknownSpace);
    EXPECT_EQ(decoded.colors, (std::vector<Color>{three[0], Color::white(), three[2]}));
    EXPECT_FALSE(decoded.problem.isEmpty());
}
