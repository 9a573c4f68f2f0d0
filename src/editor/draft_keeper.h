#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "editing/editor_fields.h"
#include "store/draft.h"
#include "store/managed_object_context.h"

class Command;
class DraftJournal;
class DraftStore;
class Pixel;

// Keeps an open editor's work in the store as its draft. After every change of the history
// (a step entered, undone or redone), and after a colour or tool change once there is a
// draft, it hands the picture, the colour, the tool and the history steps the store lacks to
// the draft's journal, once the event that made the change is done (so that a stroke's last
// cell is in). The journal writes on its own thread: drawing never waits for the disk. Cells
// that a stroke or a shape still under way has painted are in no step yet and are kept out.
class DraftKeeper : public QObject {
public:
    struct Sources {
        // True while a stroke is under way.
        std::function<bool()> strokeOpen;
        // The name of the tool in use.
        std::function<QString()> toolName;
    };

    // A new draft id, or a restored draft's. drawing is the stored drawing it came from.
    DraftKeeper(EditorFields& editor, Sources sources, QString id, QUuid drawing,
                QObject* parent = nullptr);
    ~DraftKeeper() override;  // what is pending is written: leaving any other way keeps it

    const QString& id() const { return id_; }
    // The draft of a restored editor is in the store already, with these commands' steps.
    void adoptStored(const std::vector<std::shared_ptr<Command>>& history);

    // Something the draft holds changed; written once the current event is done.
    void changed();
    // Hands the current state to the journal at once.
    void writeNow();
    // Waits until what was handed over is written; false when the store refused it.
    bool flush();
    // True once the store may hold this editor's draft.
    bool hasDraft() const { return hasDraft_; }

    // For Save: deletes the draft inside the save's transaction. Nothing without a draft.
    ManagedObjectContext::WithinSave discardWithinSave();
    // After a Save that committed: nothing more is written.
    void close();
    // For Exit: writes nothing more and deletes the draft in a transaction of its own.
    void discard();

    // The journal, once there is one (tests and measurements).
    DraftJournal* journal() const { return journal_.get(); }

    // The step a history command makes, cells as indexes of the canvas.
    DraftStep stepFor(const Command& command) const {
        return stepFrom(command, cellIndex_->index());
    }
    // The commands that replay a draft's steps on the canvas's cells.
    static std::shared_ptr<Command> commandFor(const DraftStep& step,
                                               const std::vector<Pixel*>& cells);

private:
    using CellIndex = std::unordered_map<const Pixel*, uint32_t>;
    // Which index each cell has, made on first use from the cells' addresses alone, so that
    // the journal's thread can make it: a large grid's takes milliseconds, which opening the
    // editor should not spend.
    class LazyCellIndex {
    public:
        explicit LazyCellIndex(std::vector<const Pixel*> cells) : cells_(std::move(cells)) {}
        const CellIndex& index() const;

    private:
        std::vector<const Pixel*> cells_;
        mutable std::once_flag made_;
        mutable CellIndex index_;
    };
    struct Written {
        std::shared_ptr<Command> command;  // held, so that its address is never reused
        size_t cells;  // a group may still grow within the event that entered it
    };
    // The history as one line, done steps first, then the undone ones, next to redo first.
    const std::shared_ptr<Command>& commandAt(size_t position) const;
    size_t historySize() const;
    static DraftStep stepFrom(const Command& command, const CellIndex& index);
    // The picture as the history stands, applied steps done: the canvas itself unless a
    // gesture is under way. keep is how many written steps the history still has.
    std::vector<Color> cellsNow(size_t keep, size_t applied) const;
    std::vector<Color> liveCells() const;
    static size_t cellCountOf(const Command& command);

    EditorFields& editor_;
    Sources sources_;
    QString id_;
    QUuid drawing_;
    QTimer pending_;
    // Read by the journal's thread too (cells never move).
    std::shared_ptr<const LazyCellIndex> cellIndex_;
    std::vector<Written> written_;
    // The cells last written and how many steps were done then.
    std::vector<Color> lastCells_;
    size_t lastApplied_ = 0;
    DraftStore* store_ = nullptr;
    std::unique_ptr<DraftJournal> journal_;
    bool hasDraft_ = false;
    bool closed_ = false;
    bool reportedUnknownStep_ = false;
};
