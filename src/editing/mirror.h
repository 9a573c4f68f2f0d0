#pragma once

#include <QPoint>
#include <QString>
#include <vector>

// Which mirror axes through the grid's centre the tools paint across. The vertical axis swaps
// left and right, the horizontal one top and bottom.
enum class MirrorAxes : int {
    none = 0,
    vertical = 1,
    horizontal = 2,
    both = 3,
};

namespace mirror {

// The next setting in the order none, vertical, horizontal, both, none.
MirrorAxes next(MirrorAxes axes);
// How the setting reads to a person ("Off", "Vertical axis", ...).
QString describe(MirrorAxes axes);

// The cells with their mirror images on a width x height grid, each cell once: a cell on an
// axis is its own image. Cells off the grid are dropped, before and after mirroring.
std::vector<QPoint> withImages(const std::vector<QPoint>& cells, int width, int height,
                               MirrorAxes axes);

}  // namespace mirror
