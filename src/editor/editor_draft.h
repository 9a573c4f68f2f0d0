#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "store/draft.h"

class Command;
class DraftKeeper;
class DrawingViewController;

// One editor's draft: the draft it reopens from, if any, and the keeper that writes its work
// to the store once the view has loaded.
class EditorDraft {
public:
    explicit EditorDraft(DrawingViewController& editor);
    ~EditorDraft();

    // Opens, once presented, as the draft left it; the drawing it came from is reopened when
    // it is still stored.
    void restore(Draft draft);
    // The draft being reopened, until the editor is set up.
    const Draft* restoring() const { return restoring_ ? &*restoring_ : nullptr; }
    // Puts a reopened draft in place and starts keeping the editor's work.
    void setup();
    DraftKeeper* keeper() const { return keeper_.get(); }
    void noteChange();

private:
    // Puts a restored draft's colour, tool and history in place; the history's commands.
    std::vector<std::shared_ptr<Command>> applyRestored(const Draft& draft);

    DrawingViewController& editor_;
    std::unique_ptr<DraftKeeper> keeper_;
    std::optional<Draft> restoring_;
};
