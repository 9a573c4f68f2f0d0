#include "editor/editor_draft.h"

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "editor/draft_keeper.h"
#include "editor/drawing_view_controller.h"
#include "platform/console.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"

EditorDraft::EditorDraft(DrawingViewController& editor) : editor_(editor) {}

EditorDraft::~EditorDraft() = default;

void EditorDraft::restore(Draft draft) {
    editor_.previousDrawing = CoreDataManager::loadDrawing(draft.drawing);
    if (editor_.previousDrawing) {
        // as the gallery does for a reopened drawing
        keepRecordFor(&editor_, editor_.previousDrawing);
    }
    restoring_ = std::move(draft);
}

void EditorDraft::setup() {
    DraftKeeper::Sources sources{[&editor = editor_] { return editor.strokes_.isStrokeOpen(); },
                                 [&editor = editor_]() -> QString {
                                     const Tool* tool = editor.currentTool.get();
                                     Button* button =
                                         editor.toolbar_ && tool
                                             ? editor.toolbar_->fanMenu().buttonFor(typeid(*tool))
                                             : nullptr;
                                     return button ? button->objectName() : QString();
                                 }};
    const QUuid drawingId = editor_.previousDrawing ? editor_.previousDrawing->id() : QUuid();
    if (restoring_) {
        const std::vector<std::shared_ptr<Command>> history = applyRestored(*restoring_);
        keeper_ =
            std::make_unique<DraftKeeper>(editor_, std::move(sources), restoring_->id, drawingId);
        keeper_->adoptStored(history);
        restoring_.reset();
    } else {
        keeper_ = std::make_unique<DraftKeeper>(editor_, std::move(sources),
                                                QUuid::createUuid().toString(QUuid::WithoutBraces),
                                                drawingId);
    }
    // Through the editor, which outlives its draft.
    editor_.commandManager.onChange = [&editor = editor_] { editor.noteDraftChange(); };
}

std::vector<std::shared_ptr<Command>> EditorDraft::applyRestored(const Draft& draft) {
    editor_.currentDrawingColor = draft.color;
    editor_.showDrawingColor(draft.color);
    // Only a folded tool button of the fan menu is pressed: the name comes from the file.
    QWidget* mainView = editor_.mainView;
    auto* toolButton =
        mainView && !draft.tool.isEmpty() ? mainView->findChild<Button*>(draft.tool) : nullptr;
    if (toolButton && toolButton != editor_.fanMenuButton &&
        !toolButton->isUserInteractionEnabled()) {
        toolButton->click();
    } else if (draft.tool != u"paintBrushButton") {
        printLine(QStringLiteral("Drafts: the tool \"%1\" is not offered; the paintbrush is used.")
                      .arg(draft.tool));
    }
    // The steps are replayed to rebuild the history; the cells are then set as the draft
    // kept them.
    std::vector<Pixel*> cells =
        editor_.canvasView ? editor_.canvasView->canvas()->pixelArray() : std::vector<Pixel*>{};
    std::vector<std::shared_ptr<Command>> history;
    history.reserve(draft.steps.size());
    for (const DraftStep& step : draft.steps) {
        history.push_back(DraftKeeper::commandFor(step, cells));
        editor_.commandManager.execute(history.back());
    }
    for (size_t undone = static_cast<size_t>(draft.applied); undone < history.size(); ++undone) {
        editor_.commandManager.undo();
    }
    for (size_t i = 0; i < cells.size() && i < draft.cells.size(); ++i) {
        cells[i]->setFillColor(draft.cells[i]);
    }
    return history;
}

void EditorDraft::noteChange() {
    if (keeper_) {
        keeper_->changed();
    }
}
