#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/color.h"

// What an open editor keeps in the store so that a crash loses nothing: the picture, the
// drawing colour and tool, and the session's undo and redo history.

// One cell of an undo step: the colour it had before the step and the one the step gave it.
struct DraftCellChange {
    uint32_t cell = 0;  // index in the canvas's column-major cell order
    Color before;
    Color after;
    bool operator==(const DraftCellChange&) const = default;
};

// One undo step: a single recoloured cell (a tap) or a group (a stroke, a fill).
struct DraftStep {
    bool group = true;
    std::vector<DraftCellChange> changes;
    bool operator==(const DraftStep&) const = default;
};

struct Draft {
    // The largest side a draft may have; the same bound the canvas puts on a drawing.
    static constexpr int64_t largestSide = 256;

    QString id;
    // The stored drawing the editor was opened with; null for a new drawing.
    QUuid drawing;
    int64_t width = 0;
    int64_t height = 0;
    std::vector<Color> cells;
    Color color;
    // The tool's button name in the editor ("paintBrushButton", ...).
    QString tool;
    // The history as one line: the first `applied` steps are done, oldest first; the rest
    // are undone, the next one to redo first.
    std::vector<DraftStep> steps;
    int64_t applied = 0;
};

// The byte forms of a draft's cells and steps. Both start with a magic and a version, numbers
// little-endian, counts as LEB128 varints after a fixed header; colours go through one
// ColorArchive palette per blob, so that equal colours are written once.
//
// Cells, "TBDL" 1: u32 cell count n, u32 palette length p, p bytes of ColorArchive, then runs of
// equal cells in cell order as (varint length >= 1, varint palette index) covering exactly n.
//
// Step, "TBDS" 1: u8 kind (0 one cell, 1 group), u32 palette length p, p bytes of
// ColorArchive, u32 change count m, then m changes in increasing cell order as (varint cell
// gap, varint before index, varint after index): the first gap is the cell itself, later ones
// the distance to the previous cell (>= 1).
//
// Decoding never reads past the end and accepts nothing but a whole, sound blob: trailing
// bytes, an index out of range, a palette colour ColorArchive reads with a problem, or a cell
// not below cellCount make it fail with a sentence saying why.
class DraftCodec {
public:
    DraftCodec() = delete;

    static QByteArray encodeCells(const std::vector<Color>& cells);
    static std::optional<std::vector<Color>> decodeCells(const QByteArray& bytes,
                                                         uint64_t cellCount, QString& problem);

    static QByteArray encodeStep(const DraftStep& step);
    static std::optional<DraftStep> decodeStep(const QByteArray& bytes, uint64_t cellCount,
                                               QString& problem);
};
