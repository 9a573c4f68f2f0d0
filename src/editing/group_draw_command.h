#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "canvas/pixel.h"
#include "editing/command.h"
#include "editing/draw_command.h"
#include "editing/multi_command.h"

class FillObserver;

// The cells of one step (a stroke or a fill). Keeps the first command per cell, so undo
// gives every cell back the colour it had before the step.
class GroupDrawCommand final : public Command, public MultiCommand {
public:
    GroupDrawCommand();
    ~GroupDrawCommand() override;

    // Paints every recorded cell; nothing to do when they show the step already because the
    // commands were added (and painted) and nothing was undone since: entering a whole-grid
    // fill into the history would otherwise visit every cell a second time.
    void execute() override;
    void undo() override;
    // Records a DrawCommand (unless the cell is already recorded) and paints it at once;
    // commands of other kinds are ignored.
    void addCommand(const Command& command) override;
    // The same for a command known to be a DrawCommand, as the tools have.
    void addCommand(const DrawCommand& command);
    // Records without painting, for a step whose cells already show it (or are to be
    // painted by execute); false when the cell is recorded already.
    bool record(const DrawCommand& command);
    // The same as addCommand(DrawCommand(before, after, pixel)), without making the command:
    // a fill records tens of thousands.
    void addChange(Pixel* pixel, const Color& before, const Color& after) {
        const bool painted = painted_;
        recordChange(pixel, before, after);
        painted_ = painted;
        pixel->setFillColor(after);
    }
    void reserve(size_t count) { changes_.reserve(count); }

    // The recorded commands, one per cell, in the order they were recorded.
    size_t size() const { return changes_.size(); }
    bool empty() const { return changes_.empty(); }
    DrawCommand at(size_t position) const;

    // How far ahead of the cell being painted its successors' memory is asked for.
    static constexpr size_t kLookAhead = 16;

private:
    // One cell's change, its colours as places in colours_: a whole-grid step holds tens of
    // thousands of cells but mostly a few colours, and a colour is five times a change's size.
    struct Change {
        Pixel* pixel;
        uint32_t before;
        uint32_t after;
    };
    class ColourPlaces;

    bool recordChange(Pixel* pixel, const Color& before, const Color& after);
    // The colour's place, added if new; last is where the previous colour of its kind was,
    // which a fill's cells mostly share.
    uint32_t placeOf(const Color& colour, uint32_t& last) {
        if (last < colours_.size() && sameBits(colours_[last], colour)) {
            return last;
        }
        return findPlace(colour, last);
    }
    uint32_t findPlace(const Color& colour, uint32_t& last);
    // The same colour bit for bit: a cell gets back exactly what it had, -0 and NaN included,
    // which equality of colours would not tell apart or match.
    static bool sameBits(const Color& a, const Color& b) {
        return a.space() == b.space() &&
               std::memcmp(a.components().data(), b.components().data(), sizeof(double) * 4) == 0;
    }
    void paint(bool forward) const;

    std::vector<Change> changes_;
    std::vector<Color> colours_;
    // Looks colours up once there are more than a handful.
    std::unique_ptr<ColourPlaces> places_;
    uint32_t lastBefore_ = 0;
    uint32_t lastAfter_ = 0;
    bool painted_ = true;
    // Which cells are recorded: a bit per cell of the grid the first cell lies on, by the
    // number its grid gave it, so that a whole-grid fill checks each cell without hashing;
    // cells elsewhere (off any grid) by address.
    const FillObserver* grid_ = nullptr;
    std::vector<uint64_t> onGrid_;
    std::unordered_set<const Pixel*> offGrid_;
};
