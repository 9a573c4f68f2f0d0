#include "store/color_archive.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {
constexpr char magic[4] = {'T', 'B', 'C', 'A'};

double storable(double component) {
    if (!std::isfinite(component)) {
        return 0.0;
    }
    // Adding 0.0 turns -0 into +0.
    return std::clamp(component, 0.0, 1.0) + 0.0;
}

void appendColor(QByteArray& out, const Color& color) {
    char entry[ColorArchive::entrySize];
    entry[0] = static_cast<char>(static_cast<int>(color.space()));
    const auto& components = color.components();
    for (int i = 0; i < 4; ++i) {
        quint64 bits;
        const double value = storable(components[static_cast<size_t>(i)]);
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian(bits, entry + 1 + 8 * i);
    }
    out.append(entry, ColorArchive::entrySize);
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
}  // namespace

QByteArray ColorArchive::encode(const std::vector<Color>& colors) {
    QByteArray out = header(static_cast<quint32>(colors.size()));
    for (const Color& color : colors) {
        appendColor(out, color);
    }
    return out;
}

QByteArray ColorArchive::encode(const Color& color) {
    QByteArray out = header(1);
    appendColor(out, color);
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
    if (archiveVersion != version) {
        result.problem = QStringLiteral("unknown version %1; no colors read").arg(archiveVersion);
        return result;
    }
    const quint32 declared = qFromLittleEndian<quint32>(data + 5);
    const qsizetype present = (size - headerSize) / entrySize;
    const qsizetype count = std::min<qsizetype>(declared, present);
    QStringList problems;
    if (static_cast<qint64>(declared) * entrySize != size - headerSize) {
        problems << QStringLiteral("declares %1 colors in %2 bytes; read %3")
                        .arg(declared)
                        .arg(size)
                        .arg(count);
    }
    result.colors.reserve(static_cast<size_t>(count));
    qsizetype unreadable = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const std::optional<Color> color = readEntry(data + headerSize + i * entrySize);
        if (!color) {
            ++unreadable;
        }
        result.colors.push_back(color.value_or(Color::white()));
    }
    if (unreadable > 0) {
        problems << QStringLiteral(
                        "%1 of %2 colors unreadable (unknown space or component not "
                        "within 0...1), read as white")
                        .arg(unreadable)
                        .arg(count);
    }
    result.problem = problems.join(QStringLiteral("; "));
    return result;
}
