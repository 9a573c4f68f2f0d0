#include "editing/group_draw_command.h"

#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "canvas/pixel.h"

namespace {
// Colours in a few places are found by looking at each; beyond that by hashing.
constexpr size_t kFewColours = 8;

struct SameBits {
    bool operator()(const Color& a, const Color& b) const {
        return a.space() == b.space() &&
               std::memcmp(a.components().data(), b.components().data(), sizeof(double) * 4) == 0;
    }
};

struct BitsHash {
    size_t operator()(const Color& colour) const {
        const auto* bytes = reinterpret_cast<const char*>(colour.components().data());
        return std::hash<std::string_view>()(std::string_view(bytes, sizeof(double) * 4)) ^
               static_cast<size_t>(colour.space());
    }
};
}  // namespace

class GroupDrawCommand::ColourPlaces {
public:
    std::unordered_map<Color, uint32_t, BitsHash, SameBits> places;
};

GroupDrawCommand::GroupDrawCommand() = default;
GroupDrawCommand::~GroupDrawCommand() = default;

void GroupDrawCommand::execute() {
    if (painted_) {
        return;
    }
    painted_ = true;
    paint(true);
}

void GroupDrawCommand::undo() {
    painted_ = false;
    paint(false);
}

void GroupDrawCommand::paint(bool forward) const {
    const size_t count = changes_.size();
    for (size_t i = 0; i < count; ++i) {
        // The cells are scattered over the heap, one memory line each: asking for a cell's
        // line a few steps ahead keeps a whole-grid undo from waiting on every one in turn.
        if (i + kLookAhead < count) {
            changes_[i + kLookAhead].pixel->prefetchFill();
        }
        const Change& change = changes_[i];
        change.pixel->setFillColor(colours_[forward ? change.after : change.before]);
    }
}

DrawCommand GroupDrawCommand::at(size_t position) const {
    const Change& change = changes_.at(position);
    return DrawCommand(colours_[change.before], colours_[change.after], change.pixel);
}

void GroupDrawCommand::addCommand(const Command& command) {
    if (const auto* draw = dynamic_cast<const DrawCommand*>(&command)) {
        addCommand(*draw);
    }
}

void GroupDrawCommand::addCommand(const DrawCommand& command) {
    const bool painted = painted_;
    record(command);
    painted_ = painted;
    command.pixel->setFillColor(command.newColor);
}

bool GroupDrawCommand::record(const DrawCommand& command) {
    return recordChange(command.pixel, command.oldColor, command.newColor);
}

bool GroupDrawCommand::recordChange(Pixel* pixel, const Color& oldColor, const Color& newColor) {
    const FillObserver* grid = pixel->fillObserver();
    if (grid && !grid_) {
        grid_ = grid;
    }
    if (grid && grid == grid_) {
        const uint32_t tag = pixel->fillObserverTag();
        const size_t word = tag / 64;
        const uint64_t bit = uint64_t(1) << (tag % 64);
        if (word >= onGrid_.size()) {
            onGrid_.resize(word + 1, 0);
        }
        if (onGrid_[word] & bit) {
            return false;
        }
        onGrid_[word] |= bit;
    } else if (!offGrid_.insert(pixel).second) {
        return false;
    }
    const uint32_t before = placeOf(oldColor, lastBefore_);
    const uint32_t after = placeOf(newColor, lastAfter_);
    changes_.push_back({pixel, before, after});
    painted_ = false;
    return true;
}

uint32_t GroupDrawCommand::findPlace(const Color& colour, uint32_t& last) {
    if (!places_) {
        for (uint32_t place = 0; place < colours_.size(); ++place) {
            if (sameBits(colours_[place], colour)) {
                return last = place;
            }
        }
        if (colours_.size() < kFewColours) {
            colours_.push_back(colour);
            return last = uint32_t(colours_.size() - 1);
        }
        places_ = std::make_unique<ColourPlaces>();
        for (uint32_t place = 0; place < colours_.size(); ++place) {
            places_->places.emplace(colours_[place], place);
        }
    }
    const auto [found, added] = places_->places.try_emplace(colour, uint32_t(colours_.size()));
    if (added) {
        colours_.push_back(colour);
    }
    return last = found->second;
}
