#include "store/color_archive.h"

#include <zlib.h>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {
constexpr char magic[4] = {'T', 'B', 'C', 'A'};
// Deflate's level: drawings are mostly runs of a few colours, which every level packs about
// as tightly; a higher one would only make saving slower.
constexpr int kCompressionLevel = 1;
// Deflate never packs more than about 1032 bytes into one; a stream promising more per byte
// it has is refused before anything is allocated for it.
constexpr qint64 kMostInflation = 1032;

using Entry = std::array<char, ColorArchive::entrySize>;

double storable(double component) {
    if (!std::isfinite(component)) {
        return 0.0;
    }
    // Adding 0.0 turns -0 into +0.
    return std::clamp(component, 0.0, 1.0) + 0.0;
}

Entry entryFor(const Color& color) {
    Entry entry;
    entry[0] = static_cast<char>(static_cast<int>(color.space()));
    const auto& components = color.components();
    for (int i = 0; i < 4; ++i) {
        quint64 bits;
        const double value = storable(components[static_cast<size_t>(i)]);
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian(bits, entry.data() + 1 + 8 * i);
    }
    return entry;
}

QByteArray header(quint32 count) {
    QByteArray out;
    out.reserve(ColorArchive::headerSize + ColorArchive::entrySize * static_cast<qsizetype>(count));
    out.append(magic, 4);
    out.append(static_cast<char>(ColorArchive::version));
    char n[4];
    qToLittleEndian(count, n);
    out.append(n, 4);
    return out;
}

// Nothing when the entry is not a colour this version can hold.
std::optional<Color> readEntry(const char* entry) {
    double c[4];
    for (int i = 0; i < 4; ++i) {
        const quint64 bits = qFromLittleEndian<quint64>(entry + 1 + 8 * i);
        std::memcpy(&c[i], &bits, sizeof bits);
        if (!std::isfinite(c[i]) || c[i] < 0.0 || c[i] > 1.0) {
            return std::nullopt;
        }
    }
    switch (static_cast<unsigned char>(entry[0])) {
        case static_cast<int>(ColorSpace::rgb):
            return Color::withRGB(c[0], c[1], c[2], c[3]);
        case static_cast<int>(ColorSpace::gray):
            return Color::withWhite(c[0], c[1]);
        case static_cast<int>(ColorSpace::pattern):
            return Color::withoutRGB();
        default:
            return std::nullopt;
    }
}

QString unreadableProblem(qsizetype unreadable, qsizetype count) {
    return QStringLiteral(
               "%1 of %2 colors unreadable (unknown space or component not within 0...1), "
               "read as white")
        .arg(unreadable)
        .arg(count);
}

int indexWidthFor(quint64 paletteSize) {
    return paletteSize <= 0x100 ? 1 : paletteSize <= 0x10000 ? 2 : 4;
}

struct EntryHash {
    size_t operator()(const Entry& entry) const {
        return std::hash<std::string_view>()(std::string_view(entry.data(), entry.size()));
    }
};

ColorArchive::Decoded decodeList(const QByteArray& archive) {
    ColorArchive::Decoded result;
    const qsizetype size = archive.size();
    const char* data = archive.constData();
    const quint32 declared = qFromLittleEndian<quint32>(data + 5);
    const qsizetype present = (size - ColorArchive::headerSize) / ColorArchive::entrySize;
    const qsizetype count = std::min<qsizetype>(declared, present);
    QStringList problems;
    if (static_cast<qint64>(declared) * ColorArchive::entrySize !=
        size - ColorArchive::headerSize) {
        problems << QStringLiteral("declares %1 colors in %2 bytes; read %3")
                        .arg(declared)
                        .arg(size)
                        .arg(count);
    }
    result.colors.reserve(static_cast<size_t>(count));
    qsizetype unreadable = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const std::optional<Color> color =
            readEntry(data + ColorArchive::headerSize + i * ColorArchive::entrySize);
        if (!color) {
            ++unreadable;
        }
        result.colors.push_back(color.value_or(Color::white()));
    }
    if (unreadable > 0) {
        problems << unreadableProblem(unreadable, count);
    }
    result.problem = problems.join(QStringLiteral("; "));
    return result;
}

// Inflates exactly expected bytes from the stream, which must end there and fill the rest of
// the input; nothing otherwise.
std::optional<QByteArray> inflateExactly(const char* input, qsizetype inputSize, qsizetype expected,
                                         QString& problem) {
    QByteArray out(expected, Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        problem = QStringLiteral("the decompressor could not start; no colors read");
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
    stream.avail_in = static_cast<uInt>(inputSize);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(expected);
    const int status = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    const uInt left = stream.avail_in;
    inflateEnd(&stream);
    if (status != Z_STREAM_END || produced != static_cast<uLong>(expected)) {
        problem = QStringLiteral(
                      "the compressed colors are damaged or do not hold the %1 bytes "
                      "the header promises; no colors read")
                      .arg(expected);
        return std::nullopt;
    }
    if (left != 0) {
        problem = QStringLiteral("%1 bytes follow the compressed colors; no colors read").arg(left);
        return std::nullopt;
    }
    return out;
}

ColorArchive::Decoded decodeCompact(const QByteArray& archive) {
    ColorArchive::Decoded result;
    const qsizetype size = archive.size();
    if (size < ColorArchive::compactHeaderSize) {
        result.problem =
            QStringLiteral("%1 bytes are too short for the header; no colors read").arg(size);
        return result;
    }
    const char* data = archive.constData();
    const quint32 count = qFromLittleEndian<quint32>(data + 5);
    const quint32 paletteSize = qFromLittleEndian<quint32>(data + 9);
    const int width = static_cast<unsigned char>(data[13]);
    const bool soundCounts = count <= ColorArchive::maximumColors &&
                             (count == 0 ? paletteSize == 0 : paletteSize >= 1) &&
                             paletteSize <= count && width == indexWidthFor(paletteSize);
    if (!soundCounts) {
        result.problem = QStringLiteral(
                             "%1 colors in a palette of %2 with %3-byte indices cannot "
                             "be right; no colors read")
                             .arg(count)
                             .arg(paletteSize)
                             .arg(width);
        return result;
    }
    const qint64 expected = qint64(paletteSize) * ColorArchive::entrySize + qint64(count) * width;
    const qint64 compressed = size - ColorArchive::compactHeaderSize;
    if (expected > compressed * kMostInflation) {
        result.problem = QStringLiteral("%1 compressed bytes cannot hold %2 colors; no colors read")
                             .arg(compressed)
                             .arg(count);
        return result;
    }
    const std::optional<QByteArray> payload = inflateExactly(
        data + ColorArchive::compactHeaderSize, compressed, qsizetype(expected), result.problem);
    if (!payload) {
        return result;
    }
    const char* entries = payload->constData();
    std::vector<Color> palette;
    palette.reserve(paletteSize);
    qsizetype unreadable = 0;
    for (quint32 i = 0; i < paletteSize; ++i) {
        const std::optional<Color> color =
            readEntry(entries + qsizetype(i) * ColorArchive::entrySize);
        unreadable += color ? 0 : 1;
        palette.push_back(color.value_or(Color::white()));
    }
    const auto* indices =
        reinterpret_cast<const uchar*>(entries) + qsizetype(paletteSize) * ColorArchive::entrySize;
    result.colors.reserve(count);
    qsizetype beyond = 0;
    for (quint32 i = 0; i < count; ++i) {
        quint32 index = 0;
        switch (width) {
            case 1:
                index = indices[i];
                break;
            case 2:
                index = qFromLittleEndian<quint16>(indices + 2 * qsizetype(i));
                break;
            default:
                index = qFromLittleEndian<quint32>(indices + 4 * qsizetype(i));
                break;
        }
        if (index < paletteSize) {
            result.colors.push_back(palette[index]);
        } else {
            ++beyond;
            result.colors.push_back(Color::white());
        }
    }
    QStringList problems;
    if (unreadable > 0) {
        problems << QStringLiteral(
                        "%1 of %2 palette colors unreadable (unknown space or "
                        "component not within 0...1), read as white")
                        .arg(unreadable)
                        .arg(paletteSize);
    }
    if (beyond > 0) {
        problems << QStringLiteral("%1 of %2 colors point past the palette of %3, read as white")
                        .arg(beyond)
                        .arg(count)
                        .arg(paletteSize);
    }
    result.problem = problems.join(QStringLiteral("; "));
    return result;
}
}  // namespace

QByteArray ColorArchive::encode(const std::vector<Color>& colors) {
    return static_cast<qsizetype>(colors.size()) <= olderBuildsLargestList ? encodeList(colors)
                                                                           : encodeCompact(colors);
}

QByteArray ColorArchive::encode(const Color& color) {
    return encodeList({color});
}

QByteArray ColorArchive::encodeList(const std::vector<Color>& colors) {
    QByteArray out = header(static_cast<quint32>(colors.size()));
    for (const Color& color : colors) {
        out.append(entryFor(color).data(), entrySize);
    }
    return out;
}

QByteArray ColorArchive::encodeCompact(const std::vector<Color>& colors) {
    // The palette in order of first use, so that equal lists give equal bytes.
    std::vector<Entry> palette;
    std::vector<quint32> indices;
    indices.reserve(colors.size());
    std::unordered_map<Entry, quint32, EntryHash> known;
    const Color* previous = nullptr;
    for (const Color& color : colors) {
        // Neighbouring cells mostly share their colour: no need to look that one up.
        if (previous && color == *previous) {
            indices.push_back(indices.back());
            continue;
        }
        previous = &color;
        const Entry entry = entryFor(color);
        const auto [place, added] = known.try_emplace(entry, quint32(palette.size()));
        if (added) {
            palette.push_back(entry);
        }
        indices.push_back(place->second);
    }
    const int width = indexWidthFor(palette.size());
    QByteArray payload(qsizetype(palette.size()) * entrySize + qsizetype(indices.size()) * width,
                       Qt::Uninitialized);
    char* at = payload.data();
    for (const Entry& entry : palette) {
        std::memcpy(at, entry.data(), entrySize);
        at += entrySize;
    }
    for (const quint32 index : indices) {
        switch (width) {
            case 1:
                *at = static_cast<char>(index);
                break;
            case 2:
                qToLittleEndian(static_cast<quint16>(index), at);
                break;
            default:
                qToLittleEndian(index, at);
                break;
        }
        at += width;
    }

    uLongf packedSize = compressBound(static_cast<uLong>(payload.size()));
    QByteArray out(compactHeaderSize + qsizetype(packedSize), Qt::Uninitialized);
    std::memcpy(out.data(), magic, 4);
    out[4] = static_cast<char>(compactVersion);
    qToLittleEndian(static_cast<quint32>(colors.size()), out.data() + 5);
    qToLittleEndian(static_cast<quint32>(palette.size()), out.data() + 9);
    out[13] = static_cast<char>(width);
    const int status = compress2(reinterpret_cast<Bytef*>(out.data() + compactHeaderSize),
                                 &packedSize, reinterpret_cast<const Bytef*>(payload.constData()),
                                 static_cast<uLong>(payload.size()), kCompressionLevel);
    if (status != Z_OK) {
        // Only memory running out stops deflate; the uncompressed form always stores.
        return encodeList(colors);
    }
    out.truncate(compactHeaderSize + qsizetype(packedSize));
    return out;
}

ColorArchive::Decoded ColorArchive::decode(const QByteArray& archive) {
    Decoded result;
    const qsizetype size = archive.size();
    if (size < headerSize) {
        result.problem =
            QStringLiteral("%1 bytes are too short for the header; no colors read").arg(size);
        return result;
    }
    const char* data = archive.constData();
    if (std::memcmp(data, magic, 4) != 0) {
        result.problem = QStringLiteral("not a color archive; no colors read");
        return result;
    }
    const auto archiveVersion = static_cast<unsigned char>(data[4]);
    if (archiveVersion == version) {
        return decodeList(archive);
    }
    if (archiveVersion == compactVersion) {
        return decodeCompact(archive);
    }
    result.problem = QStringLiteral("unknown version %1; no colors read").arg(archiveVersion);
    return result;
}
