#include "store/draft.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "store/color_archive.h"

// Named: the sanitizer flavours compile the store's files as one unit.
namespace draft_codec {
constexpr char cellsMagic[4] = {'T', 'B', 'D', 'L'};
constexpr char stepMagic[4] = {'T', 'B', 'D', 'S'};
constexpr quint8 codecVersion = 1;

// The exact value of a colour, as the archive writes it: -0 and +0 are one colour.
using ColorKey = std::array<uint64_t, 5>;

ColorKey keyOf(const Color& color) {
    ColorKey key{static_cast<uint64_t>(color.space()), 0, 0, 0, 0};
    for (size_t i = 0; i < 4; ++i) {
        const double value = color.components()[i] + 0.0;
        std::memcpy(&key[i + 1], &value, sizeof value);
    }
    return key;
}

struct KeyHash {
    size_t operator()(const ColorKey& key) const {
        uint64_t h = 1469598103934665603ull;
        for (uint64_t word : key) {
            h = (h ^ word) * 1099511628211ull;
        }
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

// Colours in order of first use, each once.
class Palette {
public:
    uint32_t indexOf(const Color& color) {
        if (!colors_.empty() && colors_[last_] == color) {
            return last_;  // runs of one colour are the rule in a picture
        }
        const auto [found, added] =
            indexes_.try_emplace(keyOf(color), static_cast<uint32_t>(colors_.size()));
        if (added) {
            colors_.push_back(color);
        }
        last_ = found->second;
        return last_;
    }
    const std::vector<Color>& colors() const { return colors_; }

private:
    std::vector<Color> colors_;
    std::unordered_map<ColorKey, uint32_t, KeyHash> indexes_;
    uint32_t last_ = 0;
};

void appendU32(QByteArray& out, uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendVarint(QByteArray& out, uint64_t value) {
    while (value >= 0x80) {
        out.append(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    out.append(static_cast<char>(value));
}

void appendPalette(QByteArray& out, const Palette& palette) {
    const QByteArray archive = ColorArchive::encode(palette.colors());
    appendU32(out, static_cast<uint32_t>(archive.size()));
    out.append(archive);
}

// Reads forward through a blob; every read fails, rather than reading past the end, once the
// bytes run out.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}

    bool magic(const char (&expected)[4], QString& problem) {
        if (bytes_.size() < 5 || std::memcmp(bytes_.constData(), expected, 4) != 0) {
            problem = QStringLiteral("not a draft blob of its kind");
            return false;
        }
        const auto version = static_cast<quint8>(bytes_[4]);
        if (version != codecVersion) {
            problem = QStringLiteral("unknown draft blob version %1").arg(version);
            return false;
        }
        at_ = 5;
        return true;
    }
    std::optional<uint8_t> u8() {
        if (at_ >= bytes_.size()) {
            return std::nullopt;
        }
        return static_cast<uint8_t>(bytes_[at_++]);
    }
    std::optional<uint32_t> u32() {
        if (bytes_.size() - at_ < 4) {
            return std::nullopt;
        }
        const auto value = qFromLittleEndian<quint32>(bytes_.constData() + at_);
        at_ += 4;
        return value;
    }
    std::optional<uint64_t> varint() {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::optional<uint8_t> byte = u8();
            if (!byte) {
                return std::nullopt;
            }
            value |= static_cast<uint64_t>(*byte & 0x7f) << shift;
            if ((*byte & 0x80) == 0) {
                return value;
            }
        }
        return std::nullopt;  // longer than any 64-bit number
    }
    std::optional<std::vector<Color>> palette(QString& problem) {
        const std::optional<uint32_t> length = u32();
        if (!length || bytes_.size() - at_ < static_cast<qsizetype>(*length)) {
            problem = QStringLiteral("the palette runs past the end");
            return std::nullopt;
        }
        ColorArchive::Decoded decoded = ColorArchive::decode(bytes_.mid(at_, *length));
        at_ += *length;
        if (!decoded.problem.isEmpty()) {
            problem = QStringLiteral("the palette is damaged: ") + decoded.problem;
            return std::nullopt;
        }
        return std::move(decoded.colors);
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    const QByteArray& bytes_;
    qsizetype at_ = 0;
};
}  // namespace draft_codec

QByteArray DraftCodec::encodeCells(const std::vector<Color>& cells) {
    using namespace draft_codec;
    Palette palette;
    std::vector<std::pair<uint64_t, uint32_t>> runs;
    for (const Color& cell : cells) {
        const uint32_t index = palette.indexOf(cell);
        if (!runs.empty() && runs.back().second == index) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, index);
        }
    }
    QByteArray out(cellsMagic, 4);
    out.append(static_cast<char>(codecVersion));
    appendU32(out, static_cast<uint32_t>(cells.size()));
    appendPalette(out, palette);
    for (const auto& [length, index] : runs) {
        appendVarint(out, length);
        appendVarint(out, index);
    }
    return out;
}

std::optional<std::vector<Color>> DraftCodec::decodeCells(const QByteArray& bytes,
                                                          uint64_t cellCount, QString& problem) {
    using namespace draft_codec;
    Reader reader(bytes);
    if (!reader.magic(cellsMagic, problem)) {
        return std::nullopt;
    }
    const std::optional<uint32_t> count = reader.u32();
    if (!count || *count != cellCount) {
        problem = QStringLiteral("the cells are not the %1 of the grid").arg(cellCount);
        return std::nullopt;
    }
    const std::optional<std::vector<Color>> palette = reader.palette(problem);
    if (!palette) {
        return std::nullopt;
    }
    std::vector<Color> cells;
    cells.reserve(cellCount);
    while (cells.size() < cellCount) {
        const std::optional<uint64_t> length = reader.varint();
        const std::optional<uint64_t> index = reader.varint();
        if (!length || !index || *length == 0 || *length > cellCount - cells.size() ||
            *index >= palette->size()) {
            problem = QStringLiteral("the cell runs are damaged after %1 cells").arg(cells.size());
            return std::nullopt;
        }
        cells.insert(cells.end(), *length, (*palette)[*index]);
    }
    if (!reader.atEnd()) {
        problem = QStringLiteral("bytes follow the last cell");
        return std::nullopt;
    }
    return cells;
}

QByteArray DraftCodec::encodeStep(const DraftStep& step) {
    using namespace draft_codec;
    std::vector<const DraftCellChange*> changes;
    changes.reserve(step.changes.size());
    for (const DraftCellChange& change : step.changes) {
        changes.push_back(&change);
    }
    std::sort(changes.begin(), changes.end(),
              [](const DraftCellChange* a, const DraftCellChange* b) { return a->cell < b->cell; });
    Palette palette;
    std::vector<std::pair<uint32_t, uint32_t>> indexes;
    indexes.reserve(changes.size());
    for (const DraftCellChange* change : changes) {
        const uint32_t before = palette.indexOf(change->before);
        indexes.emplace_back(before, palette.indexOf(change->after));
    }
    QByteArray out(stepMagic, 4);
    out.append(static_cast<char>(codecVersion));
    out.append(static_cast<char>(step.group ? 1 : 0));
    appendPalette(out, palette);
    appendU32(out, static_cast<uint32_t>(changes.size()));
    uint32_t previous = 0;
    for (size_t i = 0; i < changes.size(); ++i) {
        appendVarint(out, changes[i]->cell - previous);
        appendVarint(out, indexes[i].first);
        appendVarint(out, indexes[i].second);
        previous = changes[i]->cell;
    }
    return out;
}

std::optional<DraftStep> DraftCodec::decodeStep(const QByteArray& bytes, uint64_t cellCount,
                                                QString& problem) {
    using namespace draft_codec;
    Reader reader(bytes);
    if (!reader.magic(stepMagic, problem)) {
        return std::nullopt;
    }
    const std::optional<uint8_t> kind = reader.u8();
    if (!kind || *kind > 1) {
        problem = QStringLiteral("unknown step kind");
        return std::nullopt;
    }
    const std::optional<std::vector<Color>> palette = reader.palette(problem);
    if (!palette) {
        return std::nullopt;
    }
    const std::optional<uint32_t> count = reader.u32();
    if (!count || *count > cellCount || (*kind == 0 && *count != 1)) {
        problem = QStringLiteral("the step's change count is not possible");
        return std::nullopt;
    }
    DraftStep step;
    step.group = *kind == 1;
    step.changes.reserve(*count);
    uint64_t cell = 0;
    for (uint32_t i = 0; i < *count; ++i) {
        const std::optional<uint64_t> gap = reader.varint();
        const std::optional<uint64_t> before = reader.varint();
        const std::optional<uint64_t> after = reader.varint();
        if (!gap || !before || !after || (i > 0 && *gap == 0) || *gap >= cellCount - cell ||
            *before >= palette->size() || *after >= palette->size()) {
            problem = QStringLiteral("the step's changes are damaged after %1").arg(i);
            return std::nullopt;
        }
        cell += *gap;
        step.changes.push_back(
            {static_cast<uint32_t>(cell), (*palette)[*before], (*palette)[*after]});
    }
    if (!reader.atEnd()) {
        problem = QStringLiteral("bytes follow the step's last change");
        return std::nullopt;
    }
    return step;
}
