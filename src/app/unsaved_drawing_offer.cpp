#include "app/unsaved_drawing_offer.h"

#include <QPointer>

#include "editor/drawing_view_controller.h"
#include "platform/console.h"
#include "screens/alert_controller.h"
#include "screens/storyboard.h"
#include "store/draft_store.h"

namespace {
// The newest draft that nobody is writing and that reads, claimed for this run.
std::optional<Draft> nextDraft(DraftStore& drafts) {
    for (const DraftStore::Found& found : drafts.abandonedDrafts()) {
        if (!drafts.claim(found)) {
            continue;  // another run took it first
        }
        QString problem;
        std::optional<Draft> draft = drafts.read(found.id, problem);
        if (draft) {
            return draft;
        }
        printLine(QStringLiteral("Drafts: the unsaved drawing %1 cannot be read (%2); it is kept "
                                 "aside in the store.")
                      .arg(found.id, problem));
        if (auto failure = drafts.keepAside(found.id, problem)) {
            printLine(failure->consoleLine(QStringLiteral("Could not keep it aside. ")));
        }
    }
    return std::nullopt;
}
}  // namespace

void UnsavedDrawingOffer::offer(PlatformViewController* home) {
    if (home == nullptr || !DraftStore::applicationStoreHasDrafts()) {
        return;
    }
    DraftStore* drafts = DraftStore::application();
    if (drafts == nullptr) {
        return;  // the store said why on its own line
    }
    std::optional<Draft> draft = nextDraft(*drafts);
    if (!draft) {
        return;
    }
    auto* alert =
        new AlertController(QStringLiteral("Restore your unsaved drawing?"),
                            QStringLiteral("Tilebloom closed before your drawing was saved."));
    const QPointer<PlatformViewController> screen(home);
    const QString id = draft->id;
    alert->addAction(
        AlertAction(QStringLiteral("Restore"), AlertActionStyle::defaultStyle,
                    [screen, restored = std::make_shared<Draft>(std::move(*draft))] {
                        auto* editor = qobject_cast<DrawingViewController*>(
                            Storyboard::main().instantiateViewController(QStringLiteral("draw")));
                        if (!screen || !editor) {
                            delete editor;
                            return;
                        }
                        editor->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
                        editor->restoreDraft(std::move(*restored));
                        screen->present(editor, true);
                    }));
    // Destructive, not cancel: Escape must not throw the drawing away.
    alert->addAction(
        AlertAction(QStringLiteral("Discard"), AlertActionStyle::destructive, [screen, id] {
            if (DraftStore* store = DraftStore::application()) {
                if (auto failure = store->discard(id)) {
                    printLine(failure->consoleLine(
                        QStringLiteral("Could not delete the unsaved drawing. ")));
                }
            }
            if (screen) {
                offer(screen);
            }
        }));
    alert->setPreferredAction(QStringLiteral("Restore"));
    home->present(alert, true);
}
