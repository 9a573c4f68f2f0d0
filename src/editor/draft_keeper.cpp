#include "editor/draft_keeper.h"

#include <algorithm>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editing/draw_command.h"
#include "editing/group_draw_command.h"
#include "platform/console.h"
#include "store/draft_store.h"

DraftKeeper::DraftKeeper(EditorFields& editor, Sources sources, QString id, QUuid drawing,
                         QObject* parent)
    : QObject(parent),
      editor_(editor),
      sources_(std::move(sources)),
      id_(std::move(id)),
      drawing_(drawing) {
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &DraftKeeper::writeNow);
    std::vector<const Pixel*> cells;
    if (editor_.canvasView) {
        const std::vector<Pixel*>& pixels = editor_.canvasView->canvas()->pixelArray();
        cells.assign(pixels.begin(), pixels.end());
    }
    cellIndex_ = std::make_shared<LazyCellIndex>(std::move(cells));
    // Opened with no gesture under way: the picture before any step.
    lastCells_ = liveCells();
}

const DraftKeeper::CellIndex& DraftKeeper::LazyCellIndex::index() const {
    std::call_once(made_, [this] {
        index_.reserve(cells_.size());
        for (size_t i = 0; i < cells_.size(); ++i) {
            index_.emplace(cells_[i], static_cast<uint32_t>(i));
        }
    });
    return index_;
}

DraftKeeper::~DraftKeeper() {
    if (pending_.isActive()) {
        writeNow();
    }
    // The journal's destructor writes what is still queued.
}

void DraftKeeper::adoptStored(const std::vector<std::shared_ptr<Command>>& history) {
    written_.clear();
    for (const auto& command : history) {
        written_.push_back({command, cellCountOf(*command)});
    }
    lastCells_ = liveCells();
    lastApplied_ = editor_.commandManager.commandStack().size();
    hasDraft_ = true;
}

void DraftKeeper::changed() {
    if (!closed_ && !pending_.isActive()) {
        pending_.start();
    }
}

size_t DraftKeeper::historySize() const {
    return editor_.commandManager.commandStack().size() + editor_.commandManager.undoStack().size();
}

const std::shared_ptr<Command>& DraftKeeper::commandAt(size_t position) const {
    const auto& done = editor_.commandManager.commandStack();
    if (position < done.size()) {
        return done[position];
    }
    const auto& undone = editor_.commandManager.undoStack();
    return undone[undone.size() - 1 - (position - done.size())];
}

size_t DraftKeeper::cellCountOf(const Command& command) {
    if (const auto* group = dynamic_cast<const GroupDrawCommand*>(&command)) {
        return group->size();
    }
    return 1;
}

DraftStep DraftKeeper::stepFrom(const Command& command, const CellIndex& index) {
    DraftStep step;
    const auto add = [&](const DrawCommand& draw) {
        const auto found = index.find(draw.pixel);
        if (found != index.end()) {
            step.changes.push_back({found->second, draw.oldColor, draw.newColor});
        }
    };
    if (const auto* draw = dynamic_cast<const DrawCommand*>(&command)) {
        step.group = false;
        add(*draw);
    } else if (const auto* group = dynamic_cast<const GroupDrawCommand*>(&command)) {
        step.changes.reserve(group->size());
        for (size_t i = 0; i < group->size(); ++i) {
            add(group->at(i));
        }
    }
    return step;
}

std::shared_ptr<Command> DraftKeeper::commandFor(const DraftStep& step,
                                                 const std::vector<Pixel*>& cells) {
    if (!step.group && step.changes.size() == 1 && step.changes[0].cell < cells.size()) {
        const DraftCellChange& change = step.changes[0];
        return std::make_shared<DrawCommand>(change.before, change.after, cells[change.cell]);
    }
    auto group = std::make_shared<GroupDrawCommand>();
    group->reserve(step.changes.size());
    for (const DraftCellChange& change : step.changes) {
        if (change.cell < cells.size()) {
            group->record(DrawCommand(change.before, change.after, cells[change.cell]));
        }
    }
    return group;
}

void DraftKeeper::writeNow() {
    pending_.stop();
    if (closed_ || !editor_.canvasView) {
        return;
    }
    const size_t length = historySize();
    if (length == 0 && !hasDraft_) {
        return;  // nothing done yet that a crash could lose
    }
    if (!journal_) {
        DraftStore* store = DraftStore::application();
        if (store == nullptr) {
            return;  // no store: the save says so
        }
        journal_ = store->journal();
    }
    const Canvas& canvas = *editor_.canvasView->canvas();
    DraftWrite write;
    write.id = id_;
    write.drawing = drawing_;
    write.width = canvas.width;
    write.height = canvas.height;
    write.color = editor_.currentDrawingColor;
    write.tool = sources_.toolName ? sources_.toolName() : QString();
    write.applied = static_cast<int64_t>(editor_.commandManager.commandStack().size());

    // Steps the store holds stay; from the first one that differs on, they are written again.
    // Only the newest written step can have grown since (within the event that entered it).
    size_t keep = 0;
    while (keep < length && keep < written_.size() && written_[keep].command == commandAt(keep)) {
        ++keep;
    }
    if (keep > 0 && keep == written_.size() &&
        written_[keep - 1].cells != cellCountOf(*written_[keep - 1].command)) {
        --keep;
    }
    write.keepSteps = static_cast<int64_t>(keep);
    write.cells = cellsNow(keep, static_cast<size_t>(write.applied));
    lastCells_ = write.cells;
    lastApplied_ = static_cast<size_t>(write.applied);
    written_.resize(keep);
    for (size_t position = keep; position < length; ++position) {
        std::shared_ptr<Command> command = commandAt(position);
        if (!reportedUnknownStep_ && !dynamic_cast<const DrawCommand*>(command.get()) &&
            !dynamic_cast<const GroupDrawCommand*>(command.get())) {
            reportedUnknownStep_ = true;
            printLine(
                QStringLiteral("Drafts: a step of a kind the draft cannot hold is kept "
                               "as an empty step."));
        }
        written_.push_back({command, cellCountOf(*command)});
        // Read on the journal's thread: a command in the history no longer changes.
        write.steps.emplace(static_cast<int64_t>(position),
                            [command = std::shared_ptr<const Command>(std::move(command)),
                             index = cellIndex_] { return stepFrom(*command, index->index()); });
    }
    hasDraft_ = true;
    journal_->submit(std::move(write));
}

std::vector<Color> DraftKeeper::liveCells() const {
    if (!editor_.canvasView) {
        return {};
    }
    return editor_.canvasView->canvas()->getColorArray();
}

std::vector<Color> DraftKeeper::cellsNow(size_t keep, size_t applied) const {
    if (!sources_.strokeOpen || !sources_.strokeOpen()) {
        return liveCells();
    }
    // A stroke or a shape under way has painted cells that no step holds yet. The cells the
    // history stands for are those last written, taken along the history to where it is now:
    // back through the steps written then to the part both share, forward (or further back)
    // through the steps of now.
    std::vector<Color> cells = lastCells_;
    const Canvas& canvas = *editor_.canvasView->canvas();
    const auto apply = [&](const Command& command, bool forward) {
        const auto set = [&](const DrawCommand& draw) {
            // On this thread the canvas is there to ask.
            const std::optional<int64_t> found = canvas.indexOf(draw.pixel);
            if (found && size_t(*found) < cells.size()) {
                cells[size_t(*found)] = forward ? draw.newColor : draw.oldColor;
            }
        };
        if (const auto* draw = dynamic_cast<const DrawCommand*>(&command)) {
            set(*draw);
        } else if (const auto* group = dynamic_cast<const GroupDrawCommand*>(&command)) {
            for (size_t i = 0; i < group->size(); ++i) {
                set(group->at(i));
            }
        }
    };
    const size_t shared = std::min(lastApplied_, keep);
    for (size_t position = lastApplied_; position > shared; --position) {
        apply(*written_[position - 1].command, false);
    }
    for (size_t position = shared; position < applied; ++position) {
        apply(*commandAt(position), true);
    }
    for (size_t position = shared; position > applied; --position) {
        apply(*commandAt(position - 1), false);
    }
    return cells;
}

bool DraftKeeper::flush() {
    if (pending_.isActive()) {
        writeNow();
    }
    return journal_ ? journal_->flush() : true;
}

ManagedObjectContext::WithinSave DraftKeeper::discardWithinSave() {
    if (!hasDraft_) {
        return {};
    }
    return [id = id_]() -> std::optional<StoreError> {
        DraftStore* store = DraftStore::application();
        return store ? store->discardWithinTransaction(id) : std::nullopt;
    };
}

void DraftKeeper::close() {
    pending_.stop();
    closed_ = true;
    if (journal_) {
        journal_->close();
    }
}

void DraftKeeper::discard() {
    close();
    if (!hasDraft_) {
        return;
    }
    if (DraftStore* store = DraftStore::application()) {
        if (auto failure = store->discard(id_)) {
            printLine(
                failure->consoleLine(QStringLiteral("Could not delete the unsaved drawing. ")));
        }
    }
}
