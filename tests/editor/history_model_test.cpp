// The editor's history against a model of it. Seeded random taps, strokes, fills, tool and
// colour choices, second fingers, pans, cancelled touches, undo and redo (also in the middle of
// a gesture) reach the editor as touches, mouse input, clicks and keys; after every step, and
// at every point mid-gesture where the history changes, the canvas and the number of undo and
// redo steps must be what the model says. TILEBLOOM_HISTORY_STEPS sets the number of steps,
// TILEBLOOM_HISTORY_SEED the seed; a failure names both and the actions that led to it.
#include <deque>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <tuple>

#include "editing/shapes.h"
#include "editor_fixture.h"

// Named: the sanitizer flavour compiles the editor tests as one unit.
namespace history_model {
const int kSteps =
    positiveFromEnvironment("TILEBLOOM_HISTORY_STEPS", TILEBLOOM_HISTORY_DEFAULT_STEPS);
const unsigned kSeed = static_cast<unsigned>(positiveFromEnvironment("TILEBLOOM_HISTORY_SEED", 1));
constexpr int kStepsPerEditor = 2500;  // a fresh editor, at a random size, this often

// Colours as the model keeps them: an index into this list. The canvas starts white, the
// editor paints cyan until another colour is chosen.
const Color kPalette[] = {Color::white(), Color::systemCyan(), Color::red(),
                          Color::withRGB(0, 1, 0, 1), Color::blue()};
const char kLetters[] = "WCRGB?";
// A palette index per cell, in the canvas's order (column * height + row, rows from the bottom).
using Cells = std::vector<uint8_t>;

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<int> neighbours(int cell) const {  // sharing an edge
        const int x = cell / height;
        const int y = cell % height;
        std::vector<int> around;
        for (const auto& [dx, dy] : {std::pair(-1, 0), {1, 0}, {0, -1}, {0, 1}}) {
            if (x + dx >= 0 && x + dx < width && y + dy >= 0 && y + dy < height) {
                around.push_back((x + dx) * height + y + dy);
            }
        }
        return around;
    }
    std::string name(int cell) const {
        return QStringLiteral("(%1,%2)").arg(cell / height).arg(cell % height).toStdString();
    }
};

// What the user must find: the canvas, and each undoable and redoable step as the cells
// before and after it.
struct Model {
    Cells canvas;
    std::vector<std::pair<Cells, Cells>> undo, redo;

    void enter(Cells after) {
        undo.emplace_back(canvas, after);
        redo.clear();
        canvas = std::move(after);
    }
    void undoStep() {
        if (!undo.empty()) {
            canvas = undo.back().first;
            redo.push_back(std::move(undo.back()));
            undo.pop_back();
        }
    }
    void redoStep() {
        if (!redo.empty()) {
            canvas = redo.back().second;
            undo.push_back(std::move(redo.back()));
            redo.pop_back();
        }
    }
};

struct Options {
    int mirror = 0;  // none, vertical, horizontal, both: the editor's order
    bool filled = false;
    bool replace = false;
};

// A cell and its mirror images, each once, in the order the editor paints them.
std::vector<int> withImages(const Grid& grid, int cell, int mirror) {
    const int x = cell / grid.height;
    const int y = cell % grid.height;
    const int mx = grid.width - 1 - x;
    const int my = grid.height - 1 - y;
    std::vector<int> cells{cell};
    for (const auto& [on, cx, cy] :
         {std::tuple(mirror % 2 == 1, mx, y), {mirror >= 2, x, my}, {mirror == 3, mx, my}}) {
        const int image = cx * grid.height + cy;
        if (on && std::find(cells.begin(), cells.end(), image) == cells.end()) {
            cells.push_back(image);
        }
    }
    return cells;
}

// The tools; a new one is one more entry here and in tapped and stroked.
enum class Kind { brush, bucket, eraser, line, rectangle, ellipse };
struct ModelTool {
    Kind kind;
    const char* name;
    const char* button;  // in the fan menu
    const char* key;
};
const ModelTool kTools[] = {
    {Kind::brush, "paintbrush", "paintBrushButton", "B"},
    {Kind::bucket, "bucket", "fillButton", "G"},
    {Kind::eraser, "eraser", "eraserButton", "E"},
    {Kind::line, "line", "lineButton", "L"},
    {Kind::rectangle, "rectangle", "rectangleButton", "U"},
    {Kind::ellipse, "ellipse", "ellipseButton", "O"},
};
bool isShape(Kind kind) {
    return kind == Kind::line || kind == Kind::rectangle || kind == Kind::ellipse;
}

void paint(const Grid& grid, Cells& cells, int cell, uint8_t colour, const Options& options) {
    for (const int image : withImages(grid, cell, options.mirror)) {
        cells[size_t(image)] = colour;
    }
}

// The cells after a tap; every tap is a step. The bucket fills the tapped cell's region (the
// cells of its colour joined by edges) or, replacing, every cell of its colour; mirrored,
// each image fills in turn with what it finds then. A fill in the region's own colour
// changes nothing but is still a step.
Cells tapped(Kind kind, const Grid& grid, Cells cells, int tapped, uint8_t colour,
             const Options& options) {
    if (kind != Kind::bucket) {
        paint(grid, cells, tapped, kind == Kind::eraser ? 0 : colour, options);
        return cells;
    }
    for (const int cell : withImages(grid, tapped, options.mirror)) {
        const uint8_t target = cells[size_t(cell)];
        if (target == colour) {
            continue;
        }
        if (options.replace) {
            std::replace(cells.begin(), cells.end(), target, colour);
            continue;
        }
        std::vector<int> pending{cell};
        cells[size_t(cell)] = colour;
        while (!pending.empty()) {
            const int next = pending.back();
            pending.pop_back();
            for (const int n : grid.neighbours(next)) {
                if (cells[size_t(n)] == target) {
                    cells[size_t(n)] = colour;
                    pending.push_back(n);
                }
            }
        }
    }
    return cells;
}

// The cells after a stroke over path; nothing when it makes no step (the bucket's). A shape
// runs from where the finger went down to where it lifted: its geometry is the shapes' own
// (tested on its own), the steps and mirror images are what is checked here.
std::optional<Cells> stroked(Kind kind, const Grid& grid, Cells cells, const std::vector<int>& path,
                             uint8_t colour, const Options& options) {
    if (kind == Kind::bucket) {
        return std::nullopt;
    }
    if (!isShape(kind)) {
        for (const int cell : path) {
            paint(grid, cells, cell, kind == Kind::eraser ? 0 : colour, options);
        }
        return cells;
    }
    const QPoint from(path.front() / grid.height, path.front() % grid.height);
    const QPoint to(path.back() / grid.height, path.back() % grid.height);
    for (const QPoint& cell : kind == Kind::line ? shapes::line(from, to)
                              : kind == Kind::rectangle
                                  ? shapes::rectangle(from, to, options.filled)
                                  : shapes::ellipse(from, to, options.filled)) {
        paint(grid, cells, cell.x() * grid.height + cell.y(), colour, options);
    }
    return cells;
}

// What cuts a gesture short, or comes in the middle of it.
enum class Cut {
    none,
    secondFinger,      // lands on the canvas and lifts without moving
    secondFingerPans,  // lands, and both fingers pan
    undoButton,
    redoButton,
    undoKeys,
    redoKeys,
    toolChoice,
    touchCancel,  // the system takes the touches away
};
const char* const kCutNames[] = {
    "",          "second finger", "second finger pans", "undo button", "redo button",
    "undo keys", "redo keys",     "tool choice",        "touch cancel"};
// Cuts that end the touch sequence's one-finger gestures for good.
bool endsTheSequence(Cut cut) {
    return cut == Cut::secondFinger || cut == Cut::secondFingerPans || cut == Cut::touchCancel;
}

struct HistoryModelTest : EditorFixture {
    HistoryModelTest() : EditorFixture(false) {}
    std::mt19937 random{kSeed};
    Grid grid;
    Model model;
    const ModelTool* tool = &kTools[0];
    uint8_t colour = 1;
    Options options;
    std::vector<int> reachable;  // cells whose centre a finger can land on, found after moves
    std::vector<bool> isReachable;
    std::map<int, QPoint> down;      // fingers on the glass
    std::deque<std::string> recent;  // the last actions, for a failure's message
    int step = 0;
    bool failed = false;

    int pick(size_t n) { return std::uniform_int_distribution<int>(0, int(n) - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }
    int anyReachable() { return reachable[size_t(pick(reachable.size()))]; }
    // Touches go straight to the canvas view, where Qt delivers the fingers that land on it
    // (QTest's touch sequences wait a millisecond per event). Fingers not named stand still.
    using St = QEventPoint::State;
    using Change = std::tuple<int, St, QPoint>;
    void fingers(const std::vector<Change>& changes) {
        const bool first = down.empty();
        QList<QEventPoint> points;
        for (const auto& [id, state, at] : changes) {
            down[id] = at;
        }
        for (const auto& [id, at] : down) {
            St state = St::Stationary;
            for (const auto& [changed, how, where] : changes) {
                state = changed == id ? how : state;
            }
            points.append(QEventPoint(id, state, at, editor->canvasView->mapToGlobal(at)));
        }
        for (const auto& [id, state, at] : changes) {
            if (state == St::Released) {
                down.erase(id);
            }
        }
        QTouchEvent event(first          ? QEvent::TouchBegin
                          : down.empty() ? QEvent::TouchEnd
                                         : QEvent::TouchUpdate,
                          device(), Qt::NoModifier, points);
        QApplication::sendEvent(editor->canvasView, &event);
    }
    void finger(int id, St state, QPoint at) { fingers({{id, state, at}}); }
    // Two fingers moving together.
    void pair(St state, QPoint a, QPoint b) { fingers({{0, state, a}, {1, state, b}}); }
    // Unlike the fixture's, runs no events: the check after each action does.
    void click(const char* name) {
        auto* widget = editor->findChild<QWidget*>(name);
        ASSERT_TRUE(widget) << name;
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
    void log(std::string action) {
        recent.push_back(std::to_string(step) + ": " + std::move(action));
        if (recent.size() > 16) {
            recent.pop_front();
        }
    }

    void open(int64_t side) {
        SettingsManager::applyGridSize(side);
        openEditor();
        grid = {int(canvas().width), int(canvas().height)};
        model = {Cells(size_t(grid.width * grid.height), 0), {}, {}};
        tool = &kTools[0];
        colour = 1;
        options = {};
        findReachable();
        log("open " + std::to_string(side) + " x " + std::to_string(side));
    }

    QPoint centre(int cell) { return at(cell / grid.height, cell % grid.height); }
    // On the canvas view itself, not under a control, and over that cell alone.
    void findReachable() {
        reachable.clear();
        isReachable.assign(size_t(grid.width * grid.height), false);
        CanvasView& view = *editor->canvasView;
        for (int cell = 0; cell < grid.width * grid.height; ++cell) {
            const QPoint p = centre(cell);
            const std::vector<Pixel*> under = view.pixelsAtScenePoint(view.convertPointToScene(p));
            if (window.rect().contains(p) && window.childAt(p) == &view && under.size() == 1 &&
                under[0] == canvas().pixelArray()[size_t(cell)]) {
                reachable.push_back(cell);
                isReachable[size_t(cell)] = true;
            }
        }
    }
    // A walk from a random cell to neighbouring ones, never diagonally.
    std::vector<int> walk(size_t length) {
        std::vector<int> path{anyReachable()};
        while (path.size() < length) {
            std::vector<int> next;
            for (const int n : grid.neighbours(path.back())) {
                if (isReachable[size_t(n)]) {
                    next.push_back(n);
                }
            }
            if (next.empty()) {
                break;
            }
            path.push_back(next[size_t(pick(next.size()))]);
        }
        return path;
    }

    // The editor against the model; a failure names the seed, both canvases and the last
    // actions.
    void check(const char* when) {
        if (failed) {
            return;
        }
        const auto& cells = canvas().pixelArray();
        Cells shown(cells.size(), 5);  // '?'
        for (size_t i = 0; i < cells.size(); ++i) {
            const auto found =
                std::find(std::begin(kPalette), std::end(kPalette), cells[i]->fillColor());
            shown[i] = uint8_t(found - std::begin(kPalette));
        }
        const size_t undos = editor->commandManager.commandStack().size();
        const size_t redos = editor->commandManager.undoStack().size();
        if (shown == model.canvas && undos == model.undo.size() && redos == model.redo.size()) {
            return;
        }
        std::ostringstream message;
        message << "seed " << kSeed << ", step " << step << ", " << when << ": undo steps " << undos
                << " (model " << model.undo.size() << "), redo steps " << redos << " (model "
                << model.redo.size() << ")\nshown | model, top row first:\n";
        for (int y = grid.height - 1; y >= 0; --y) {
            for (const Cells* side : {&shown, &model.canvas}) {
                for (int x = 0; x < grid.width; ++x) {
                    message << kLetters[(*side)[size_t(x * grid.height + y)]];
                }
                message << (side == &shown ? " | " : "\n");
            }
        }
        message << "the last actions:\n";
        for (const std::string& action : recent) {
            message << "  " << action << "\n";
        }
        ADD_FAILURE() << message.str();
        failed = true;
    }

    void chooseTool(const ModelTool& chosen) {
        if (chance(30)) {
            QTest::keySequence(editor, QKeySequence(chosen.key));
        } else {
            click("fanMenuButton");
            click(chosen.button);
        }
        tool = &chosen;
        findReachable();  // the tool's own option switch may have come up over the canvas
    }
    void undo(bool keys) {
        keys ? QTest::keySequence(editor, QKeySequence("Ctrl+Z")) : click("undoButton");
        model.undoStep();
    }
    void redo(bool keys) {
        if (keys) {
            QTest::keySequence(editor, QKeySequence(chance(50) ? "Ctrl+Shift+Z" : "Ctrl+Y"));
            // QTest lifts Shift with Shift still in the event's modifiers, and the offscreen
            // platform has no keyboard to ask: a key event with none puts the state right, as
            // a real keyboard's state would be.
            QTest::keyRelease(editor, Qt::Key_Shift, Qt::NoModifier);
        } else {
            click("redoButton");
        }
        model.redoStep();
    }

    // One random action, checked.
    void act() {
        const int roll = pick(100);
        if (roll < 14) {
            tap();
        } else if (roll < 34) {
            stroke(Cut::none);
        } else if (roll < 58) {
            stroke(Cut(1 + pick(8)));
        } else if (roll < 65) {
            const ModelTool& chosen = kTools[size_t(pick(std::size(kTools)))];
            chooseTool(chosen);
            log(std::string("choose ") + chosen.name);
        } else if (roll < 69) {
            colour = uint8_t(1 + pick(std::size(kPalette) - 1));
            editor->colorChosen(kPalette[colour]);
            log(std::string("colour ") + kLetters[colour]);
        } else if (roll < 74) {
            pan();
        } else if (roll < 77) {
            switchOption();
        } else if (roll < 80) {
            fingerTap(chance(60) ? 2 : 3);
        } else {
            const bool keys = chance(50);
            roll < 89 ? undo(keys) : redo(keys);
            log(std::string(roll < 89 ? "undo" : "redo") + (keys ? " keys" : " button"));
        }
        processEvents();
        check("after it");
    }

    void tap() {
        const int cell = anyReachable();
        const QPoint p = centre(cell);
        const bool mouse = chance(30);
        log(std::string("tap ") + tool->name + (mouse ? " mouse " : " touch ") + grid.name(cell));
        if (mouse) {
            QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, p);
        } else {
            finger(0, St::Pressed, p);
            finger(0, St::Released, p);
        }
        model.enter(tapped(tool->kind, grid, model.canvas, cell, colour, options));
    }

    // The mirror (key or switch) or the active tool's own option.
    void switchOption() {
        const bool own = tool->kind == Kind::bucket || tool->kind == Kind::rectangle ||
                         tool->kind == Kind::ellipse;
        if (own && chance(40)) {
            bool& option = tool->kind == Kind::bucket ? options.replace : options.filled;
            click(tool->kind == Kind::bucket ? "replaceButton" : "filledButton");
            option = !option;
            log(std::string(tool->kind == Kind::bucket ? "replace " : "filled ") +
                (option ? "on" : "off"));
            return;
        }
        const bool key = chance(50);
        key ? QTest::keyClick(editor, Qt::Key_M) : click("mirrorButton");
        options.mirror = (options.mirror + 1) % 4;
        log("mirror " + std::to_string(options.mirror) + (key ? " key" : " switch"));
    }

    // Fingers landing together on the canvas and lifting without moving: two undo, three redo.
    void fingerTap(int count) {
        std::vector<Change> landing, lifting;
        while (int(landing.size()) < count) {
            const QPoint p = centre(anyReachable());
            if (std::none_of(landing.begin(), landing.end(),
                             [&](const Change& c) { return std::get<2>(c) == p; })) {
                landing.emplace_back(int(landing.size()), St::Pressed, p);
                lifting.emplace_back(int(lifting.size()), St::Released, p);
            }
        }
        log(std::to_string(count) + "-finger tap");
        fingers(landing);
        fingers(lifting);
        count == 2 ? model.undoStep() : model.redoStep();
    }

    // A one-finger drag along neighbouring cells, cut after `at` moves when cut is set.
    void stroke(Cut cut) {
        const std::vector<int> path = walk(size_t(2 + pick(7)));
        if (path.size() < 2) {
            return tap();
        }
        // The mouse has no second finger and cannot click while it drags: keys only.
        const bool mouse =
            chance(25) && (cut == Cut::none || cut == Cut::undoKeys || cut == Cut::redoKeys);
        const size_t at = size_t(pick(path.size()));
        std::ostringstream action;
        action << "stroke " << tool->name << (mouse ? " mouse " : " touch ");
        for (size_t i = 0; i < path.size(); ++i) {
            action << (i == 0 ? "" : "-") << grid.name(path[i]);
        }
        if (cut != Cut::none) {
            action << ", cut by " << kCutNames[int(cut)] << " after " << at << " moves";
        }
        log(action.str());
        const ModelTool* strokeTool = tool;
        bool open = true;  // the finger is down and the gesture goes on
        for (size_t i = 0; i < path.size() && open; ++i) {
            const QPoint p = centre(path[i]);
            if (mouse) {
                i == 0 ? QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, p)
                       : QTest::mouseMove(&window, p);
            } else {
                finger(0, i == 0 ? St::Pressed : St::Updated, p);
            }
            if (cut != Cut::none && i == at) {
                // A stroke under way ends as a step with what it painted so far; a shape is
                // only shown until the finger lifts.
                if (at > 0 && !isShape(tool->kind)) {
                    const std::vector<int> passed(path.begin(), path.begin() + long(at) + 1);
                    if (auto after =
                            stroked(tool->kind, grid, model.canvas, passed, colour, options)) {
                        model.enter(std::move(*after));
                    }
                }
                open = interrupt(cut, path[i]);
                processEvents();
                check("mid-gesture");
                // Cut before it moved, the gesture goes on with whatever tool is chosen now.
                strokeTool = at > 0 || endsTheSequence(cut) ? nullptr : tool;
            }
        }
        if (open && mouse) {
            QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, centre(path.back()));
        } else if (open) {
            finger(0, St::Released, centre(path.back()));
        }
        if (strokeTool) {
            if (auto after = stroked(strokeTool->kind, grid, model.canvas, path, colour, options)) {
                model.enter(std::move(*after));
            }
        }
        if (cut == Cut::secondFingerPans) {
            findReachable();
        }
    }

    // Sends the cut in the middle of a gesture whose first finger rests on a cell, and applies
    // its own effect to the model. False when the gesture's fingers have all lifted.
    bool interrupt(Cut cut, int fingerCell) {
        switch (cut) {
            case Cut::secondFinger:
            case Cut::secondFingerPans: {
                int other = fingerCell;
                while (other == fingerCell) {
                    other = anyReachable();
                }
                const QPoint first = centre(fingerCell);
                const QPoint second = centre(other);
                finger(1, St::Pressed, second);
                if (cut == Cut::secondFinger) {
                    finger(1, St::Released, second);
                    return true;
                }
                const QPoint step = panStep();
                for (int i = 1; i <= 3; ++i) {
                    pair(St::Updated, first + step * i, second + step * i);
                }
                pair(St::Released, first + step * 3, second + step * 3);
                return false;
            }
            case Cut::undoButton:
            case Cut::undoKeys:
                undo(cut == Cut::undoKeys);
                return true;
            case Cut::redoButton:
            case Cut::redoKeys:
                redo(cut == Cut::redoKeys);
                return true;
            case Cut::toolChoice:
                chooseTool(kTools[size_t(pick(std::size(kTools)))]);
                return true;
            case Cut::touchCancel: {
                QTouchEvent cancel(QEvent::TouchCancel, device());
                QApplication::sendEvent(editor->canvasView, &cancel);
                return true;
            }
            case Cut::none:
                break;
        }
        return true;
    }

    // A third of a pan that drifts back towards the middle, more so once few cells can be
    // reached, so that the canvas never wanders off for long.
    QPoint panStep() {
        const QPointF middle =
            canvas().convertPointToScene(QPointF(grid.width, grid.height) * Pixel::kSize / 2 +
                                         canvas().pixelArray().front()->position());
        const QPointF offset =
            editor->canvasView->convertPointFromScene(middle) - QPointF(195, 422);
        const double back = reachable.size() < 12 ? 1.0 : 0.5;
        const QPointF drift(pick(161) - 80, pick(161) - 80);
        QPointF step = (drift - offset * back) / 3;
        // Far enough for a pan: fingers that stay within a touch's slop make a tap, which undoes.
        const double length = std::hypot(step.x(), step.y());
        if (length < 6) {
            step = length > 0 ? step * (6 / length) : QPointF(6, 0);
        }
        return step.toPoint();
    }

    void run() {
        const int64_t sides[] = {20, 24, 28};
        for (step = 0; step < kSteps && !failed; ++step) {
            if (step % kStepsPerEditor == 0) {
                open(sides[pick(std::size(sides))]);
            }
            act();
        }
        std::cout << step << " steps (seed " << kSeed << ")\n";
    }

    // A two-finger pan (or the right mouse button's), with undo, redo or a cancel midway.
    void pan() {
        const bool mouse = chance(30);
        static const Cut cuts[] = {Cut::none,     Cut::none,     Cut::undoButton,
                                   Cut::redoKeys, Cut::undoKeys, Cut::touchCancel};
        Cut cut = cuts[pick(std::size(cuts))];
        if (mouse && cut != Cut::undoKeys && cut != Cut::redoKeys) {
            cut = Cut::none;
        }
        const QPoint a = centre(anyReachable());
        const QPoint b = centre(anyReachable());
        const QPoint step = panStep();
        log(std::string("pan") + (mouse ? " mouse" : " touch") + " by (" +
            std::to_string(step.x() * 3) + "," + std::to_string(step.y() * 3) + ")" +
            (cut == Cut::none ? "" : std::string(", ") + kCutNames[int(cut)] + " midway"));
        if (mouse) {
            QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, a);
        } else {
            pair(St::Pressed, a, b);
        }
        for (int i = 1; i <= 3; ++i) {
            if (mouse) {
                QTest::mouseMove(&window, a + step * i);
            } else {
                pair(St::Updated, a + step * i, b + step * i);
            }
            if (i == 2 && cut != Cut::none) {
                interrupt(cut, 0);
                processEvents();
                check("mid-pan");
            }
        }
        if (mouse) {
            QTest::mouseRelease(&window, Qt::RightButton, Qt::NoModifier, a + step * 3);
        } else {
            pair(St::Released, a + step * 3, b + step * 3);
        }
        findReachable();
    }
};
}  // namespace history_model

using history_model::HistoryModelTest;

TEST_F(HistoryModelTest, TheCanvasAndBothStacksFollowTheModel) {
    run();
}
