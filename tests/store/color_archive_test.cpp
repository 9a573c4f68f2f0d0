#include <gtest/gtest.h>

#include <zlib.h>
#include <QFile>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "store/color_archive.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// Values that must come back bit for bit: thirds, sums that are not what they look, the
// smallest and largest below 1, grey and RGB white apart, a colour without RGB.
const std::vector<Color> kOdd = {
    Color::withRGB(1.0 / 3.0, 0.1 + 0.2, std::nextafter(0.0, 1.0), std::nextafter(1.0, 0.0)),
    Color::withWhite(2.0 / 3.0), Color::white(), Color::withRGB(1, 1, 1), Color::withoutRGB()};
const std::vector<Color> three = {Color::withRGB(0.25, 0.5, 0.75, 1.0), Color::withWhite(0.5, 0.25),
                                  Color::withRGB(1.0, 0.0, 0.0, 1.0)};
}  // namespace

TEST(ColorArchiveTest, RoundTripKeepsExactComponentsAndColorSpaces) {
    const ColorArchive::Decoded decoded = ColorArchive::decode(ColorArchive::encode(kOdd));
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_EQ(decoded.colors, kOdd);

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
        {"short header", good.left(8), 0},
        {"wrong magic", changed(0, "X"), 0},
        {"newer version", changed(4, "\x03"), 0},
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
    QByteArray outOfRange = ColorArchive::encode(three);
    const double bad = 1.5;
    quint64 bits;
    std::memcpy(&bits, &bad, sizeof bits);
    qToLittleEndian(bits, outOfRange.data() + second + 1 + 8);  // the second's green
    QByteArray unknownSpace = ColorArchive::encode(three);
    unknownSpace[second] = 7;
    for (const QByteArray& bytes : {outOfRange, unknownSpace}) {
        const ColorArchive::Decoded decoded = ColorArchive::decode(bytes);
        EXPECT_EQ(decoded.colors, (std::vector<Color>{three[0], Color::white(), three[2]}));
        EXPECT_TRUE(decoded.problem.contains("1 of 3"));
    }
}

namespace {
// The colours of fixtures/color_archive_v1_28x28.bin, which the version-1 writer made before
// version 2 existed.
std::vector<Color> fixtureColors() {
    std::vector<Color> colors;
    for (int i = 0; i < 28 * 28; ++i) {
        const Color kinds[] = {
            Color::white(),
            Color::withRGB(i / 28 / 27.0, i % 28 / 27.0, 1.0 / 3.0),
            Color::withWhite(i / 783.0, 0.5),
            Color::systemCyan(),
            Color::withRGB(0.1 + 0.2, std::nextafter(0.0, 1.0), std::nextafter(1.0, 0.0), 0.75),
            Color::withRGB((i * 37 % 101) / 100.0, 0.0, 1.0)};
        colors.push_back(kinds[i % 6]);
    }
    return colors;
}

// Colours as the wheel makes them: arbitrary doubles, not steps of 1/255.
std::vector<Color> wheelColors(int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Color> colors;
    for (int i = 0; i < count; ++i) {
        colors.push_back(Color::withRGB(unit(random), unit(random), unit(random)));
    }
    return colors;
}

// A 256 x 256 drawing: a white ground, filled shapes and strokes in 300 wheel colours, and a
// dithered band where every cell differs from its neighbours.
std::vector<Color> bigDrawing() {
    const std::vector<Color> palette = wheelColors(300, 7);
    std::vector<Color> colors(256 * 256, Color::white());
    std::mt19937 random(11);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            Color& cell = colors[size_t(x * 256 + y)];
            const int dx = x - 128;
            const int dy = y - 100;
            if (dx * dx + dy * dy < 60 * 60) {
                cell = palette[size_t((dx * dx + dy * dy) / 40)];
            } else if ((x + 2 * y) % 37 < 2) {
                cell = palette[size_t(x % 300)];
            } else if (y > 200 && y < 232) {
                cell = palette[random() % 300];
            }
        }
    }
    return colors;
}

QByteArray compactArchive(quint32 count, quint32 paletteSize, int width,
                          const QByteArray& payload) {
    QByteArray out("TBCA\x02", 5);
    char number[4];
    qToLittleEndian(count, number);
    out.append(number, 4);
    qToLittleEndian(paletteSize, number);
    out.append(number, 4);
    out.append(static_cast<char>(width));
    uLongf packed = compressBound(uLong(payload.size()));
    QByteArray stream(qsizetype(packed), '\0');
    compress(reinterpret_cast<Bytef*>(stream.data()), &packed,
             reinterpret_cast<const Bytef*>(payload.constData()), uLong(payload.size()));
    stream.truncate(qsizetype(packed));
    return out + stream;
}
}  // namespace

// Drawings stored by earlier builds read as they were; the lists they make are still written
// in their form, byte for byte, so that those builds read what this one stores.
TEST(ColorArchiveTest, ArchivesFromEarlierBuildsReadAndSmallListsKeepTheirBytes) {
    QFile file(QStringLiteral(TILEBLOOM_STORE_FIXTURES "/color_archive_v1_28x28.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    const ColorArchive::Decoded decoded = ColorArchive::decode(stored);
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_EQ(decoded.colors, fixtureColors());
    EXPECT_EQ(ColorArchive::encode(decoded.colors), stored);
    EXPECT_EQ(ColorArchive::encode(std::vector<Color>(20 * 20, Color::white())).at(4), '\x01');
    // One more colour than the largest old grid and the list goes compact.
    EXPECT_EQ(ColorArchive::encode(std::vector<Color>(28 * 28 + 1, Color::white())).at(4), '\x02');
}

TEST(ColorArchiveTest, TheLargestDrawingIsStoredExactlyInUnder200KB) {
    const std::vector<Color> drawing = bigDrawing();
    const QByteArray archive = ColorArchive::encode(drawing);
    EXPECT_LE(archive.size(), 200 * 1024);
    const ColorArchive::Decoded decoded = ColorArchive::decode(archive);
    EXPECT_EQ(decoded.problem, QString());
    EXPECT_TRUE(decoded.colors == drawing);
    EXPECT_EQ(ColorArchive::encode(decoded.colors), archive) << "equal lists, equal bytes";
}

// Every kind of entry survives the compact form bit for bit, whatever the palette's size.
TEST(ColorArchiveTest, TheCompactFormKeepsEveryEntryAtEveryIndexWidth) {
    std::vector<Color> odd = kOdd;
    odd.push_back(Color::withRGB(-0.0, 0.5, 0.0));
    for (const int distinct : {2, 300, 70000}) {
        SCOPED_TRACE(distinct);
        std::vector<Color> colors = wheelColors(distinct - 1, uint32_t(distinct));
        colors.insert(colors.end(), odd.begin(), odd.end());
        while (colors.size() < size_t(28 * 28 + 1)) {
            colors.push_back(colors[colors.size() % 3]);
        }
        const QByteArray archive = ColorArchive::encodeCompact(colors);
        EXPECT_EQ(archive.at(13), distinct + 5 <= 256 ? 1 : distinct + 5 <= 65536 ? 2 : 4);
        const ColorArchive::Decoded decoded = ColorArchive::decode(archive);
        EXPECT_EQ(decoded.problem, QString());
        ASSERT_EQ(decoded.colors.size(), colors.size());
        colors[size_t(distinct - 1 + 5)] = Color::withRGB(0.0, 0.5, 0.0);  // -0 is stored as 0
        EXPECT_TRUE(decoded.colors == colors);
    }
}

TEST(ColorArchiveTest, DamagedCompactArchivesGiveNoColoursOrWhiteInPlaceAndSayWhy) {
    const std::vector<Color> colors = bigDrawing();
    const QByteArray good = ColorArchive::encode(colors);
    const auto changed = [&good](qsizetype at, const QByteArray& bytes) {
        return QByteArray(good).replace(at, bytes.size(), bytes);
    };
    QByteArray flipped = good;
    flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x5a);
    const struct {
        const char* name;
        QByteArray bytes;
    } refused[] = {
        {"cut inside the stream", good.left(good.size() - 9)},
        {"a damaged stream", flipped},
        {"more colours than the stream holds", changed(5, QByteArray("\x00\x00\x02\x00", 4))},
        {"more colours than any drawing", changed(5, QByteArray("\xff\xff\xff\xff", 4))},
        {"a palette larger than the list", changed(9, QByteArray("\x00\x00\x01\x00", 4))},
        {"an index width the palette does not need", changed(13, "\x04")},
        {"a tiny stream promising megabytes",
         compactArchive(ColorArchive::maximumColors, 1, 1, QByteArray(40, '\0'))},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        const ColorArchive::Decoded decoded = ColorArchive::decode(c.bytes);
        EXPECT_TRUE(decoded.colors.empty());
        EXPECT_FALSE(decoded.problem.isEmpty());
    }

    // A stray index and an unreadable palette entry: white in their places, the rest kept.
    const Color red = Color::red();
    QByteArray payload = ColorArchive::encodeList({red, red}).mid(ColorArchive::headerSize);
    payload[ColorArchive::entrySize] = 9;  // the second entry's space
    payload += QByteArray("\x00\x01\x02\x00", 4);
    const ColorArchive::Decoded decoded = ColorArchive::decode(compactArchive(4, 2, 1, payload));
    EXPECT_EQ(decoded.colors, (std::vector<Color>{red, Color::white(), Color::white(), red}));
    EXPECT_TRUE(decoded.problem.contains("1 of 2 palette colors unreadable"));
    EXPECT_TRUE(decoded.problem.contains("1 of 4 colors point past the palette"));
}
