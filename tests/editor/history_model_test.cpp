// The editor's history against a model of it. Seeded random taps, strokes, fills, tool and
// colour choices, second fingers, pans, cancelled touches, undo and redo (also in the middle of
// a gesture) reach the editor as touches, mouse input, clicks and keys; after every step, and
// at every point mid-gesture where the history changes, the canvas and the number of undo and
// redo steps must be what the model says. TILEBLOOM_HISTORY_STEPS sets the number of steps,
// TILEBLOOM_HISTORY_SEED the seed; a failure names both and the actions that led to it.
#include <algorithm>
#include <deque>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <tuple>

#include "editing/shapes.h"
#include "editor_fixture.h"

namespace {
const int kSteps =
    positiveFromEnvironment("TILEBLOOM_HISTORY_STEPS", TILEBLOOM_HISTORY_DEFAULT_STEPS);
const unsigned kSeed = static_cast<unsigned>(positiveFromEnvironment("TILEBLOOM_HISTORY_SEED", 1));
// A fresh editor, at a random grid size, this often: long histories and every size.
constexpr int kStepsPerEditor = 2500;

// Colours as the model keeps them: an index into this list. The canvas starts white, the
// editor paints cyan until another colour is chosen.
const Color kPalette[] = {Color::white(), Color::systemCyan(), Color::red(),
                          Color::withRGB(0, 1, 0, 1), Color::blue()};
const char kLetters[] = "WCRGB?";
constexpr uint8_t kUnknown = 5;
// A palette index per cell, in the canvas's order (column * height + row, rows from the bottom).
using Cells = std::vector<uint8_t>;

struct Grid {
    int width = 0;
    int height = 0;
    // The cells sharing an edge with a cell.
    std::vector<int> neighbours(int cell) const {
        const int x = cell / height;
        const int y = cell % height;
        std::vector<int> around;
        for (const auto& [dx, dy] :
             {std::pair(-1, 0), std::pair(1, 0), std::pair(0, -1), std::pair(0, 1)}) {
            if (x + dx >= 0 && x + dx < width && y + dy >= 0 && y + dy < height) {
                around.push_back((x + dx) * height + y + dy);
            }
        }
        return around;
    }
    std::string name(int cell) const {
        std::ostringstream text;
        text << "(" << cell / height << "," << cell % height << ")";
        return text.str();
    }
};

// What the user must find: the canvas, and each undoable and redoable step as the cells
// before and after it.
struct HistoryModel {
    struct Step {
        Cells before;
        Cells after;
    };
    Cells canvas;
    std::vector<Step> undo;
    std::vector<Step> redo;

    void enter(Cells after) {
        undo.push_back({canvas, after});
        redo.clear();
        canvas = std::move(after);
    }
    void undoStep() {
        if (!undo.empty()) {
            canvas = undo.back().before;
            redo.push_back(std::move(undo.back()));
            undo.pop_back();
        }
    }
    void redoStep() {
        if (!redo.empty()) {
            canvas = redo.back().after;
            undo.push_back(std::move(redo.back()));
            redo.pop_back();
        }
    }
};

// The editor's tool switches as the model keeps them.
struct Options {
    int mirror = 0;  // none, vertical, horizontal, both: the editor's order
    bool filled = false;
    bool replace = false;
};

// A cell and its mirror images, each once, in the order the editor paints them.
std::vector<int> withImages(const Grid& grid, int cell, int mirror) {
    const int x = cell / grid.height;
    const int y = cell % grid.height;
    const bool acrossX = mirror == 1 || mirror == 3;
    const bool acrossY = mirror == 2 || mirror == 3;
    std::vector<int> cells{cell};
    const auto add = [&](int cx, int cy) {
        const int image = cx * grid.height + cy;
        if (std::find(cells.begin(), cells.end(), image) == cells.end()) {
            cells.push_back(image);
        }
    };
    if (acrossX) {
        add(grid.width - 1 - x, y);
    }
    if (acrossY) {
        add(x, grid.height - 1 - y);
    }
    if (acrossX && acrossY) {
        add(grid.width - 1 - x, grid.height - 1 - y);
    }
    return cells;
}

// A tool as the model sees it: the cells after a tap on a cell, and after a stroke over the
// cells the finger passed, in order; nothing when it makes no undo step. A stroke cut short
// is the stroke over the cells passed so far, or nothing for a shape, which is only shown
// until the finger lifts. A new tool is one more entry in kTools.
struct ModelTool {
    const char* name;
    const char* button;  // its button in the fan menu
    const char* key;
    std::function<std::optional<Cells>(const Grid&, Cells, int cell, uint8_t colour,
                                       const Options&)>
        tap;
    std::function<std::optional<Cells>(const Grid&, Cells, const std::vector<int>& path,
                                       uint8_t colour, const Options&)>
        stroke;
    bool shape = false;
};

std::optional<Cells> paintCell(const Grid& grid, Cells cells, int cell, uint8_t colour,
                               const Options& options) {
    for (const int image : withImages(grid, cell, options.mirror)) {
        cells[size_t(image)] = colour;
    }
    return cells;
}
std::optional<Cells> paintPath(const Grid& grid, Cells cells, const std::vector<int>& path,
                               uint8_t colour, const Options& options) {
    for (const int cell : path) {
        cells = *paintCell(grid, std::move(cells), cell, colour, options);
    }
    return cells;
}
std::optional<Cells> erase(const Grid& grid, Cells cells, int cell, uint8_t, const Options& o) {
    return paintCell(grid, std::move(cells), cell, 0, o);
}
std::optional<Cells> erasePath(const Grid& grid, Cells cells, const std::vector<int>& path, uint8_t,
                               const Options& o) {
    return paintPath(grid, std::move(cells), path, 0, o);
}
// The tapped cell's region: the cells of its colour joined to it by edges; or, replacing, every
// cell of its colour. A fill in the region's own colour changes nothing, but is still a step.
// Mirrored, each image of the tapped cell fills in turn, with what it finds then.
std::optional<Cells> fill(const Grid& grid, Cells cells, int tapped, uint8_t colour,
                          const Options& options) {
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
std::optional<Cells> noStep(const Grid&, Cells, const std::vector<int>&, uint8_t, const Options&) {
    return std::nullopt;
}
// A shape from where the finger went down to where it lifted; the geometry is the shapes'
// own (tested on its own), the steps and mirror images are what is checked here.
template <int kind>
std::optional<Cells> shapeStroke(const Grid& grid, Cells cells, const std::vector<int>& path,
                                 uint8_t colour, const Options& options) {
    const QPoint from(path.front() / grid.height, path.front() % grid.height);
    const QPoint to(path.back() / grid.height, path.back() % grid.height);
    const std::vector<QPoint> shape = kind == 0   ? shapes::line(from, to)
                                      : kind == 1 ? shapes::rectangle(from, to, options.filled)
                                                  : shapes::ellipse(from, to, options.filled);
    for (const QPoint& cell : shape) {
        cells =
            *paintCell(grid, std::move(cells), cell.x() * grid.height + cell.y(), colour, options);
    }
    return cells;
}

const ModelTool kTools[] = {
    {"paintbrush", "paintBrushButton", "B", paintCell, paintPath},
    {"bucket", "fillButton", "G", fill, noStep},
    {"eraser", "eraserButton", "E", erase, erasePath},
    {"line", "lineButton", "L", paintCell, shapeStroke<0>, true},
    {"rectangle", "rectangleButton", "U", paintCell, shapeStroke<1>, true},
    {"ellipse", "ellipseButton", "O", paintCell, shapeStroke<2>, true},
};

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
const char* name(Cut cut) {
    static const char* const names[] = {
        "",          "second finger", "second finger pans", "undo button", "redo button",
        "undo keys", "redo keys",     "tool choice",        "touch cancel"};
    return names[int(cut)];
}
// Cuts that end the touch sequence's one-finger gestures for good.
bool endsTheSequence(Cut cut) {
    return cut == Cut::secondFinger || cut == Cut::secondFingerPans || cut == Cut::touchCancel;
}

struct HistoryModelTest : EditorFixture {
    HistoryModelTest() : EditorFixture(false) {}
    std::mt19937 random{kSeed};
    Grid grid;
    HistoryModel model;
    const ModelTool* tool = &kTools[0];
    uint8_t colour = 1;
    Options options;
    std::vector<int> reachable;  // cells whose centre a finger can land on, found after moves
    std::vector<bool> isReachable;
    std::map<int, QPoint> down;      // fingers on the glass
    std::deque<std::string> recent;  // the last actions, for a failure's message
    std::map<std::string, int> counts;
    int step = 0;
    bool failed = false;

    int pick(size_t n) { return std::uniform_int_distribution<int>(0, int(n) - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }
    // Touches go straight to the canvas view, where Qt delivers the fingers that land on it
    // (QTest's touch sequences wait a millisecond per event). Fingers not named stand still.
    using Change = std::tuple<int, QEventPoint::State, QPoint>;
    void fingers(const std::vector<Change>& changes) {
        const bool first = down.empty();
        for (const auto& [id, state, at] : changes) {
            down[id] = at;
        }
        QList<QEventPoint> points;
        for (const auto& [id, at] : down) {
            QEventPoint::State state = QEventPoint::State::Stationary;
            for (const auto& [changed, how, where] : changes) {
                state = changed == id ? how : state;
            }
            points.append(QEventPoint(id, state, at, editor->canvasView->mapToGlobal(at)));
        }
        for (const auto& [id, state, at] : changes) {
            if (state == QEventPoint::State::Released) {
                down.erase(id);
            }
        }
        const QEvent::Type type = first          ? QEvent::TouchBegin
                                  : down.empty() ? QEvent::TouchEnd
                                                 : QEvent::TouchUpdate;
        QTouchEvent event(type, device(), Qt::NoModifier, points);
        QApplication::sendEvent(editor->canvasView, &event);
    }
    // Unlike the fixture's, runs no events: the check after each action does.
    void click(const char* name) {
        auto* widget = editor->findChild<QWidget*>(name);
        ASSERT_TRUE(widget) << name;
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
    void press(int id, QPoint at) { fingers({{id, QEventPoint::State::Pressed, at}}); }
    void move(int id, QPoint at) { fingers({{id, QEventPoint::State::Updated, at}}); }
    void release(int id, QPoint at) { fingers({{id, QEventPoint::State::Released, at}}); }
    void log(std::string action) {
        ++counts[action.substr(0, action.find(' '))];
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

    QPoint centre(int cell) {
        const Pixel* pixel = canvas().pixelArray()[size_t(cell)];
        const QPointF middle = pixel->position() + QPointF(Pixel::kSize, Pixel::kSize) / 2;
        return editor->canvasView->convertPointFromScene(canvas().convertPointToScene(middle))
            .toPoint();
    }
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
        std::vector<int> path{reachable[size_t(pick(reachable.size()))]};
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
    std::string describe(const std::vector<int>& path) {
        std::ostringstream text;
        for (size_t i = 0; i < path.size(); ++i) {
            text << (i == 0 ? "" : "-") << grid.name(path[i]);
        }
        return text.str();
    }

    // The editor against the model; false (and a failure naming the seed) when they differ.
    bool check(const char* when) {
        if (failed) {
            return false;
        }
        const auto& cells = canvas().pixelArray();
        Cells shown(cells.size(), kUnknown);
        for (size_t i = 0; i < cells.size(); ++i) {
            const auto found =
                std::find(std::begin(kPalette), std::end(kPalette), cells[i]->fillColor());
            if (found != std::end(kPalette)) {
                shown[i] = uint8_t(found - std::begin(kPalette));
            }
        }
        const CommandManager& history = editor->commandManager;
        if (shown == model.canvas && history.commandStack().size() == model.undo.size() &&
            history.undoStack().size() == model.redo.size()) {
            return true;
        }
        std::ostringstream message;
        message << "seed " << kSeed << ", step " << step << ", " << when << ": "
                << "undo steps " << history.commandStack().size() << " (model " << model.undo.size()
                << "), redo steps " << history.undoStack().size() << " (model " << model.redo.size()
                << ")\nshown | model, top row first:\n";
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
        return false;
    }

    void chooseTool(const ModelTool& chosen) {
        if (chance(30)) {
            QTest::keySequence(editor, QKeySequence(chosen.key));
        } else {
            click("fanMenuButton");
            click(chosen.button);
        }
        tool = &chosen;
        // The tool's own option switch may have come up over the canvas.
        findReachable();
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
            static const Cut cuts[] = {Cut::secondFinger, Cut::secondFingerPans, Cut::undoButton,
                                       Cut::redoButton,   Cut::undoKeys,         Cut::redoKeys,
                                       Cut::toolChoice,   Cut::touchCancel};
            stroke(cuts[pick(std::size(cuts))]);
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
        } else if (roll < 89) {
            const bool keys = chance(50);
            undo(keys);
            log(keys ? "undo keys" : "undo button");
        } else {
            const bool keys = chance(50);
            redo(keys);
            log(keys ? "redo keys" : "redo button");
        }
        processEvents();
        check("after it");
    }

    void tap() {
        const int cell = reachable[size_t(pick(reachable.size()))];
        const QPoint p = centre(cell);
        const bool mouse = chance(30);
        log(std::string("tap ") + tool->name + (mouse ? " mouse " : " touch ") + grid.name(cell));
        if (mouse) {
            QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, p);
        } else {
            press(0, p);
            release(0, p);
        }
        if (std::optional<Cells> after = tool->tap(grid, model.canvas, cell, colour, options)) {
            model.enter(std::move(*after));
        }
    }

    // The mirror (key or switch) or the active tool's own option.
    void switchOption() {
        const bool ownOption = std::string(tool->name) == "bucket" ||
                               std::string(tool->name) == "rectangle" ||
                               std::string(tool->name) == "ellipse";
        if (ownOption && chance(40)) {
            if (std::string(tool->name) == "bucket") {
                click("replaceButton");
                options.replace = !options.replace;
                log(std::string("replace ") + (options.replace ? "on" : "off"));
            } else {
                click("filledButton");
                options.filled = !options.filled;
                log(std::string("filled ") + (options.filled ? "on" : "off"));
            }
            return;
        }
        const bool key = chance(50);
        key ? QTest::keyClick(editor, Qt::Key_M) : click("mirrorButton");
        options.mirror = (options.mirror + 1) % 4;
        log(std::string("mirror ") + std::to_string(options.mirror) + (key ? " key" : " switch"));
    }

    // Fingers landing together on the canvas and lifting without moving: two undo, three redo.
    void fingerTap(int count) {
        std::vector<QPoint> points;
        while (int(points.size()) < count) {
            const QPoint p = centre(reachable[size_t(pick(reachable.size()))]);
            if (std::find(points.begin(), points.end(), p) == points.end()) {
                points.push_back(p);
            }
        }
        std::vector<Change> landing;
        std::vector<Change> lifting;
        for (int i = 0; i < count; ++i) {
            landing.emplace_back(i, QEventPoint::State::Pressed, points[size_t(i)]);
            lifting.emplace_back(i, QEventPoint::State::Released, points[size_t(i)]);
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
        action << "stroke " << tool->name << (mouse ? " mouse " : " touch ") << describe(path);
        if (cut != Cut::none) {
            ++counts[std::string("(cut by ") + name(cut) + ")"];
            action << ", cut by " << name(cut) << " after " << at << " moves";
        }
        log(action.str());
        const ModelTool* strokeTool = tool;
        bool open = true;  // the finger is down and the gesture goes on
        for (size_t i = 0; i < path.size() && open; ++i) {
            const QPoint p = centre(path[i]);
            if (i == 0 && mouse) {
                QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, p);
            } else if (i == 0) {
                press(0, p);
            } else if (mouse) {
                QTest::mouseMove(&window, p);
            } else {
                move(0, p);
            }
            if (cut != Cut::none && i == at) {
                // A stroke under way ends as a step with what it painted so far.
                if (at > 0 && !tool->shape) {
                    const std::vector<int> passed(path.begin(), path.begin() + long(at) + 1);
                    if (std::optional<Cells> after =
                            tool->stroke(grid, model.canvas, passed, colour, options)) {
                        model.enter(std::move(*after));
                    }
                }
                open = interrupt(cut, path[i]);
                processEvents();
                check("mid-gesture");
                strokeTool = at > 0 || endsTheSequence(cut) ? nullptr : tool;
            }
        }
        if (open && mouse) {
            QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, centre(path.back()));
        } else if (open) {
            release(0, centre(path.back()));
        }
        if (strokeTool) {
            if (std::optional<Cells> after =
                    strokeTool->stroke(grid, model.canvas, path, colour, options)) {
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
                    other = reachable[size_t(pick(reachable.size()))];
                }
                const QPoint first = centre(fingerCell);
                const QPoint second = centre(other);
                press(1, second);
                if (cut == Cut::secondFinger) {
                    release(1, second);
                    return true;
                }
                const QPoint step = panStep();
                for (int i = 1; i <= 3; ++i) {
                    fingers({{0, QEventPoint::State::Updated, first + step * i},
                             {1, QEventPoint::State::Updated, second + step * i}});
                }
                fingers({{0, QEventPoint::State::Released, first + step * 3},
                         {1, QEventPoint::State::Released, second + step * 3}});
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

    // A two-finger pan (or the right mouse button's), with undo, redo or a cancel midway.
    void pan() {
        const bool mouse = chance(30);
        static const Cut cuts[] = {Cut::none,     Cut::none,     Cut::undoButton,
                                   Cut::redoKeys, Cut::undoKeys, Cut::touchCancel};
        Cut cut = cuts[pick(std::size(cuts))];
        if (mouse && cut != Cut::undoKeys && cut != Cut::redoKeys) {
            cut = Cut::none;
        }
        const QPoint a = centre(reachable[size_t(pick(reachable.size()))]);
        const QPoint b = centre(reachable[size_t(pick(reachable.size()))]);
        const QPoint step = panStep();
        log(std::string("pan") + (mouse ? " mouse" : " touch") + " by (" +
            std::to_string(step.x() * 3) + "," + std::to_string(step.y() * 3) + ")" +
            (cut == Cut::none ? "" : std::string(", ") + name(cut) + " midway"));
        if (mouse) {
            QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, a);
        } else {
            fingers({{0, QEventPoint::State::Pressed, a}, {1, QEventPoint::State::Pressed, b}});
        }
        for (int i = 1; i <= 3; ++i) {
            if (mouse) {
                QTest::mouseMove(&window, a + step * i);
            } else {
                fingers({{0, QEventPoint::State::Updated, a + step * i},
                         {1, QEventPoint::State::Updated, b + step * i}});
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
            fingers({{0, QEventPoint::State::Released, a + step * 3},
                     {1, QEventPoint::State::Released, b + step * 3}});
        }
        findReachable();
    }
};
}  // namespace

TEST_F(HistoryModelTest, TheCanvasAndBothStacksFollowTheModel) {
    const int64_t sides[] = {20, 24, 28};
    for (step = 0; step < kSteps && !failed; ++step) {
        if (step % kStepsPerEditor == 0) {
            open(sides[pick(std::size(sides))]);
        }
        act();
    }
    std::cout << step << " steps (seed " << kSeed << "):";
    for (const auto& [action, count] : counts) {
        std::cout << " " << action << " " << count;
    }
    std::cout << "\n";
}
