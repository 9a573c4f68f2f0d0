// The app as main() starts it, driven by input events until it is killed: it restores what it
// is offered (undoing and redoing all of it) or opens a new drawing, then draws, undoes,
// redoes, changes tool and colour, and now and then saves or exits. It prints one line per
// state before the draft could be written: "fresh", "restored", "step <kind>", "saving" or
// "exiting", then "<ns> <canvas hash> <undo> <redo> <colour hash> <tool> <history hash>";
// "saved <ns>" and "exited <ns>" after those. TILEBLOOM_DRAFT_KILL_SAVES is how many of a
// hundred actions save or exit.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <random>

#include "app/app_delegate.h"
#include "app/scene_delegate.h"
#include "canvas/canvas.h"
#include "canvas/pixel.h"
#include "draft_kill_state.h"
#include "editing/bucket.h"
#include "editor/draft_keeper.h"
#include "editor/drawing_view_controller.h"
#include "gestures/gesture_clock.h"
#include "platform/animation.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/screen_metrics.h"
#include "screens/alert_controller.h"
#include "screens/app_window.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"

namespace {
class Driver {
public:
    explicit Driver(AppWindow& window)
        : window_(window),
          random_(std::random_device{}()),
          saves_(std::clamp(qEnvironmentVariableIntValue("TILEBLOOM_DRAFT_KILL_SAVES"), 1, 90)) {}

    void run() {
        settle();
        auto* offer = qobject_cast<AlertController*>(top());
        if (offer && offer->title() == u"Restore your unsaved drawing?") {
            offer->triggerAction(QStringLiteral("Restore"));
            settle();
            report("restored");
            sweep();
        } else {
            newDrawing();
        }
        for (;;) {
            act();
        }
    }

private:
    PlatformViewController* top() { return window_.screenStack()->topViewController(); }
    DrawingViewController* editor() { return qobject_cast<DrawingViewController*>(top()); }
    // Lets the app run what the events queued: the draft's write among it.
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    void report(const char* what) {
        DrawingViewController* shown = editor();
        if (!shown) {
            printLine(QStringLiteral("lost the editor after %1").arg(QLatin1String(what)));
            std::exit(3);
        }
        const Canvas& canvas = *shown->canvasView->canvas();
        std::vector<std::shared_ptr<Command>> line = shown->commandManager.commandStack();
        const auto& undone = shown->commandManager.undoStack();
        line.insert(line.end(), undone.rbegin(), undone.rend());
        std::vector<DraftStep> steps;
        for (const auto& command : line) {
            steps.push_back(shown->draftKeeper()->stepFor(*command));
        }
        printLine(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                      .arg(QLatin1String(what))
                      .arg(draft_kill::nowNs())
                      .arg(draft_kill::hashOf(canvas.getColorArray()))
                      .arg(shown->commandManager.commandStack().size())
                      .arg(shown->commandManager.undoStack().size())
                      .arg(draft_kill::hashOf({shown->currentDrawingColor}))
                      .arg(dynamic_cast<Bucket*>(shown->currentTool.get()) ? "bucket" : "brush")
                      .arg(draft_kill::hashOf(steps)));
    }

    void click(QWidget* widget) {
        if (widget) {
            QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        }
    }
    void clickNamed(const char* name) { click(editor()->findChild<QWidget*>(name)); }

    QPoint anyCell() {
        DrawingViewController* shown = editor();
        const Canvas& canvas = *shown->canvasView->canvas();
        const QPointF centre =
            canvas.getPixel(pick(int(canvas.width)), pick(int(canvas.height)))->position() +
            QPointF(150, 150);
        return shown->canvasView->convertPointFromScene(canvas.convertPointToScene(centre))
            .toPoint();
    }
    // Touches delivered without running the event loop: the state is printed before the
    // draft's write, which waits for the loop, can start.
    void touch(QEventPoint::State state, QPoint point) {
        static QPointingDevice* device = QTest::createTouchDevice();
        auto sequence = QTest::touchEvent(&window_, device, false);
        QWidget* target = editor()->canvasView;
        state == QEventPoint::State::Pressed   ? sequence.press(0, point, target)
        : state == QEventPoint::State::Updated ? sequence.move(0, point, target)
                                               : sequence.release(0, point, target);
        sequence.commit(false);
    }

    void act() {
        // The last saves_ of a hundred save or exit, the ones before them draw and change.
        const int roll = pick(100) >= 100 - saves_ ? 97 + pick(3) : pick(97);
        if (roll < 30) {
            const QPoint at = anyCell();
            touch(QEventPoint::State::Pressed, at);
            touch(QEventPoint::State::Released, at);
            report("step draw");
        } else if (roll < 55) {
            QPoint at = anyCell();
            touch(QEventPoint::State::Pressed, at);
            for (int i = pick(5) + 1; i > 0; --i) {
                at = anyCell();
                touch(QEventPoint::State::Updated, at);
            }
            touch(QEventPoint::State::Released, at);
            report("step draw");
        } else if (roll < 70) {
            clickNamed("undoButton");
            report("step undo");
        } else if (roll < 80) {
            clickNamed("redoButton");
            report("step redo");
        } else if (roll < 87) {
            click(editor()->fanMenuButton);
            settle();
            click(pick(2) ? editor()->fillButton : editor()->paintBrushButton);
            report("step tool");
        } else if (roll < 95) {
            editor()->colorChosen(Color::withRGB(pick(5) / 4.0, pick(5) / 4.0, pick(2), 1));
            report("step colour");
        } else if (roll < 97) {
            sweep();
        } else if (roll < 99) {
            // The draft is on disk first, so that a kill during the save must leave it or the
            // saved drawing: the test tells the two apart.
            editor()->draftKeeper()->flush();
            report("saving");
            clickNamed("saveButton");
            settle();
            auto* alert = qobject_cast<AlertController*>(top());
            alert->textFields().first()->setText(QStringLiteral("kept"));
            alert->triggerAction(QStringLiteral("Save"));
            settle();
            printLine(QStringLiteral("saved %1").arg(draft_kill::nowNs()));
            newDrawing();
            return;
        } else {
            editor()->draftKeeper()->flush();
            report("exiting");
            clickNamed("backButton");
            settle();
            qobject_cast<AlertController*>(top())->triggerAction(QStringLiteral("Exit"));
            settle();
            printLine(QStringLiteral("exited %1").arg(draft_kill::nowNs()));
            newDrawing();
            return;
        }
        settle();
    }

    // Undoes the whole history, then redoes it: every step of it, on the canvas.
    void sweep() {
        while (!editor()->commandManager.commandStack().empty()) {
            clickNamed("undoButton");
            report("step undo");
            settle();
        }
        while (!editor()->commandManager.undoStack().empty()) {
            clickNamed("redoButton");
            report("step redo");
            settle();
        }
    }

    void newDrawing() {
        for (QAbstractButton* button : top()->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == u"New drawing") {
                click(button);
                break;
            }
        }
        settle();
        report("fresh");
    }

    AppWindow& window_;
    std::mt19937 random_;
    int saves_;
};
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tilebloom"));
    QApplication::setOrganizationName(QStringLiteral("Tilebloom"));
    // Screens and alerts come up at once; a press is never held long enough for the pipette.
    Animation::setEnabled(false);
    ManualGestureClock clock;
    ScreenMetrics::configure(ScreenMetrics::phone());

    AppDelegate appDelegate;
    Application::shared().setDelegate(&appDelegate);
    appDelegate.applicationDidFinishLaunching(Application::shared());
    AppDelegate::registerScreens(Storyboard::main());
    SceneDelegate scene;
    scene.willConnect(ScreenMetrics::phone());
    scene.window->show();
    Driver(*scene.window).run();
}
