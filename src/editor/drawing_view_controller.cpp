#include "editor/drawing_view_controller.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editor/draft_keeper.h"
#include "editor/drawing_saver.h"
#include "editor/editor_draft.h"
#include "editor/editor_tools.h"
#include "editor/mirror_axis_node.h"
#include "editor/split_presentation_controller.h"
#include "export/picture_exporter.h"
#include "platform/impact_feedback_generator.h"
#include "platform/screen_metrics.h"
#include "platform/store_review_controller.h"
#include "scene/scene.h"
#include "screens/activity_view_controller.h"
#include "screens/storyboard.h"
#include "store/drawing.h"
#include "ui_drawing_view_controller.h"

namespace {
// The layout file places Save 12 points from the right edge of a 390-point screen.
constexpr int kSaveButtonRightMargin = 12;
}  // namespace

DrawingViewController::DrawingViewController(QWidget* parent)
    : PlatformViewController(parent),
      ui_(std::make_unique<Ui::DrawingViewController>()),
      strokes_(*this, currentTool),
      saver_(std::make_unique<DrawingSaver>(*this)),
      tools_(std::make_unique<EditorTools>(*this)),
      draft_(std::make_unique<EditorDraft>(*this)) {
    ui_->setupUi(this);
    mainView = ui_->mainView;
    currentTool = std::make_unique<Paintbrush>();
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CanvasView::sceneBackgroundColor().toQColor());
    setPalette(palette);
    // Only while the editor has the focus: a text field over it copies its own text.
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    copy->setContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QShortcut::activated, this, &DrawingViewController::copyPictureToClipboard);
}

void DrawingViewController::copyPictureToClipboard() {
    saver_->copyPictureToClipboard();
}

DrawingViewController::~DrawingViewController() {
    // The editor's orientation registration goes with it.
    if (observer) {
        DeviceOrientationCenter::shared().removeObserver(*observer);
    }
    // While the canvas is still there: what the draft has not written yet is.
    draft_.reset();
}

InterfaceOrientationMask DrawingViewController::supportedInterfaceOrientations() const {
    return InterfaceOrientationMask::portrait;
}

void DrawingViewController::viewDidLoad() {
    const ScreenMetrics& screen = ScreenMetrics::main();
    screenWidth_ = screen.width;
    screenHeight_ = screen.height;
    mainView->setGeometry(rect());
    observer =
        DeviceOrientationCenter::shared().addObserver([this] { rotateCanvasForOrientation(); });
    setupCanvasView();
    setupGestureRecognizers();
    setupToolbar();
    draft_->setup();
    StoreReviewController::requestReview();
    // The layout file's controls stay above everything the code adds.
    ui_->backButton->raise();
    ui_->saveButton->raise();
}

void DrawingViewController::setupCanvasView() {
    CanvasView* view = nullptr;
    if (const Draft* restoring = draft_->restoring()) {
        view = new CanvasView(restoring->cells, static_cast<double>(restoring->width),
                              static_cast<double>(restoring->height), mainView);
    } else if (previousDrawing) {
        view = new CanvasView(previousDrawing->colorArray(),
                              static_cast<double>(previousDrawing->width()),
                              static_cast<double>(previousDrawing->height()), mainView);
    } else if (startingCells) {
        view = new CanvasView(startingCells->colors, static_cast<double>(startingCells->width),
                              static_cast<double>(startingCells->height), mainView);
    } else {
        view = new CanvasView(mainView);
    }
    view->setAccessibleName(QStringLiteral("Canvas"));
    view->show();
    canvasView = view;
    mirrorAxis_ = MirrorAxisNode::addTo(*view->canvas());
    navigator_ = std::make_unique<CanvasNavigator>(view, QSizeF(screenWidth_, screenHeight_));
    pipette_ = std::make_unique<Pipette>(mainView, view);
    pipette_->onPick = [this](const Color& color) {
        currentDrawingColor = color;
        showDrawingColor(color);
        noteDraftChange();
    };
    // The canvas shows above the toolbar.
    pipette_->visibleArea = [this] {
        QRectF area = mainView ? QRectF(mainView->rect()) : QRectF();
        if (lowerToolbar) {
            area.setBottom(std::min(area.bottom(), double(lowerToolbar->geometry().top())));
        }
        return area;
    };
}

// Toolbar and fan menu.

void DrawingViewController::setupToolbar() {
    toolbar_ = new EditorToolbar(mainView, QSizeF(screenWidth_, screenHeight_), this);
    connect(toolbar_, &EditorToolbar::undoPressed, this,
            &DrawingViewController::undoButtonPressedWithSender);
    connect(toolbar_, &EditorToolbar::redoPressed, this,
            &DrawingViewController::redoButtonPressedWithSender);
    connect(toolbar_, &EditorToolbar::sharePressed, this,
            &DrawingViewController::exportButtonPressedWithSender);
    connect(toolbar_, &EditorToolbar::colorPickerPressed, this,
            &DrawingViewController::colorPickerButtonPressedWithSender);
    lowerToolbar = toolbar_->bar();
    colorPickerButton = toolbar_->colorPickerButton();
    FanMenu& menu = toolbar_->fanMenu();
    fanMenuButton = menu.menuButton();
    // The menu button must be in place before the tool buttons fold onto it.
    toolbar_->layout(width(), false);
    tools_->install();
    menu.onToolChosen = [this](std::unique_ptr<Tool> tool) { selectTool(std::move(tool)); };
    hideFanMenu();
    tools_->showToolOptions();
}

void DrawingViewController::viewDidLayoutSubviews() {
    if (mainView) {
        mainView->setGeometry(rect());
    }
    // Save keeps its margin to the right edge, whatever the width.
    ui_->saveButton->move(width() - kSaveButtonRightMargin - ui_->saveButton->width(),
                          ui_->saveButton->y());
    // A resized window: the canvas fits the new size as at start; cells and history stay.
    const QSizeF screen(ScreenMetrics::main().width, ScreenMetrics::main().height);
    if (navigator_ && toolbar_ && navigator_->fitScreen(screen)) {
        toolbar_->setScreen(screen);
    }
    if (toolbar_) {
        toolbar_->layout(width(), true);
    }
}

void DrawingViewController::showFanMenu() {
    if (toolbar_) {
        toolbar_->fanMenu().unfold();
    }
}

void DrawingViewController::hideFanMenu() {
    if (toolbar_ && currentTool) {
        const Tool& active = *currentTool;
        toolbar_->fanMenu().fold(typeid(active));
    }
}

void DrawingViewController::selectTool(std::unique_ptr<Tool> tool) {
    // A stroke under way ends with its tool: the new one knows nothing of its group.
    strokes_.finishInterruptedStroke();
    currentTool = std::move(tool);
    hideFanMenu();
    tools_->showToolOptions();
    noteDraftChange();
}

void DrawingViewController::paintBrushButtonPressedWithSender() {
    selectTool(std::make_unique<Paintbrush>());
}

void DrawingViewController::fillButtonPressedWithSender() {
    selectTool(std::make_unique<Bucket>());
}

void DrawingViewController::undoButtonPressedWithSender() {
    strokes_.undo();
}

void DrawingViewController::redoButtonPressedWithSender() {
    strokes_.redo();
}

void DrawingViewController::colorPickerButtonPressedWithSender() {
    presentColorPicker();
}

void DrawingViewController::exportButtonPressedWithSender() {
    shareDrawing();
}

void DrawingViewController::showDrawingColor(const Color& color) {
    if (toolbar_) {
        toolbar_->showDrawingColor(color);
    }
}

// Gestures.

void DrawingViewController::setupGestureRecognizers() {
    auto* pinch = new PinchGestureRecognizer;
    pinch->addTarget(this, &DrawingViewController::handlePinchFrom);
    pinch->setDelegate(this);

    auto* pan = new PanGestureRecognizer;
    pan->addTarget(this, &DrawingViewController::handlePanFrom);
    pan->setMinimumNumberOfTouches(2);
    pan->setDelegate(this);

    auto* draw = new PanGestureRecognizer;
    draw->addTarget(this, &DrawingViewController::handleDrawFrom);
    draw->setMaximumNumberOfTouches(1);

    auto* tap = new TapGestureRecognizer;
    tap->addTarget(this, &DrawingViewController::handleTapFrom);
    tapGestureRecognizer = tap;

    // Taps of fingers on the glass: the mouse, which stands in for one finger or a pair moving
    // together, never makes one.
    auto* twoFingerTap = new TapGestureRecognizer;
    twoFingerTap->setNumberOfTouchesRequired(2);
    twoFingerTap->setRequiresFingers(true);
    twoFingerTap->addTarget(this, &DrawingViewController::handleTwoFingerTapFrom);
    twoFingerTap->setDelegate(this);
    twoFingerTapGestureRecognizer = twoFingerTap;
    auto* threeFingerTap = new TapGestureRecognizer;
    threeFingerTap->setNumberOfTouchesRequired(3);
    threeFingerTap->setRequiresFingers(true);
    threeFingerTap->addTarget(this, &DrawingViewController::handleThreeFingerTapFrom);
    threeFingerTap->setDelegate(this);
    threeFingerTapGestureRecognizer = threeFingerTap;

    addGestureRecognizer(mainView, pinch);
    addGestureRecognizer(mainView, pan);
    addGestureRecognizer(mainView, draw);
    addGestureRecognizer(mainView, tap);
    addGestureRecognizer(mainView, twoFingerTap);
    addGestureRecognizer(mainView, threeFingerTap);

    if (canvasView) {
        auto* longPress = new LongPressGestureRecognizer;
        longPress->addTarget(this, &DrawingViewController::handleLongPressNew);
        longPress->setNumberOfTouchesRequired(1);
        longPress->setMinimumPressDuration(0.4);
        longPress->setAllowableMovement(20);
        addGestureRecognizer(canvasView, longPress);
        longPressGestureRecognizer = longPress;
    }
}

bool DrawingViewController::gestureRecognizerShouldRecognizeSimultaneouslyWith(
    GestureRecognizer& recognizer, GestureRecognizer& other) {
    // A tap of several fingers is no pan or zoom: once either has begun the tap fails, and the
    // other way round.
    const auto isFingerTap = [this](const GestureRecognizer& r) {
        return &r == twoFingerTapGestureRecognizer.data() ||
               &r == threeFingerTapGestureRecognizer.data();
    };
    return !isFingerTap(recognizer) && !isFingerTap(other);
}

void DrawingViewController::handleTapFrom(TapGestureRecognizer& recognizer) {
    strokes_.tap(recognizer);
}

void DrawingViewController::handleTwoFingerTapFrom(TapGestureRecognizer&) {
    ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
    strokes_.undo();
}

void DrawingViewController::handleThreeFingerTapFrom(TapGestureRecognizer&) {
    ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
    strokes_.redo();
}

void DrawingViewController::handleDrawFrom(PanGestureRecognizer& recognizer) {
    // Shift held with the mouse: lines keep to eight directions, shapes to squares and circles.
    // Asked of the keyboard itself: the state the last key event left can be stale (after
    // Ctrl+Shift+Z, X11 reports Shift's own release with Shift still held).
    toolOptions.constrainShapes =
        QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    strokes_.draw(recognizer, canDraw);
}

void DrawingViewController::handlePanFrom(PanGestureRecognizer& recognizer) {
    panCanvas(recognizer);
}

void DrawingViewController::handlePinchFrom(PinchGestureRecognizer& recognizer) {
    zoomCanvas(recognizer);
}

void DrawingViewController::handleLongPressNew(LongPressGestureRecognizer& recognizer) {
    pickColorWithPipette(recognizer);
}

void DrawingViewController::panCanvas(PanGestureRecognizer& recognizer) {
    const GestureState state = recognizer.state();
    if (state == GestureState::ended || state == GestureState::cancelled ||
        state == GestureState::failed) {
        // A pan that the system cancelled must not leave drawing switched off.
        canDraw = true;
        return;
    }
    canDraw = false;
    strokes_.finishInterruptedStroke();
    if (navigator_) {
        navigator_->pan(recognizer);
    }
}

AllowedMove DrawingViewController::allowedCanvasMove(double dx, double dy) const {
    return navigator_ ? navigator_->allowedMove(dx, dy) : AllowedMove{};
}

void DrawingViewController::zoomCanvas(PinchGestureRecognizer& recognizer) {
    if (navigator_) {
        navigator_->zoom(recognizer);
    }
}

void DrawingViewController::rotateCanvasForOrientation() {
    if (navigator_) {
        navigator_->turnFor(DeviceOrientationCenter::shared().orientation());
    }
}

Pixel* DrawingViewController::pixelAtScenePoint(QPointF scenePoint) const {
    return canvasView ? cellAtScenePoint(*canvasView, scenePoint) : nullptr;
}

void DrawingViewController::pickColorWithPipette(LongPressGestureRecognizer& recognizer) {
    if (!pipette_ || !canvasView) {
        return;
    }
    pipette_->handle(GestureSnapshot(recognizer.state(), recognizer.locationInView(canvasView)));
    pipetteCircle = pipette_->circle();
}

// Colour picker.

void DrawingViewController::presentColorPicker() {
    auto* picker = qobject_cast<ColorPickerViewController*>(
        Storyboard::main().instantiateViewController(QStringLiteral("colorpicker")));
    if (!picker) {
        return;
    }
    picker->setModalPresentationStyle(ModalPresentationStyle::custom);
    picker->setColorChoiceDelegate(this);
    picker->setTransitioningDelegate(this);
    picker->setInitialColor(currentDrawingColor);
    present(picker, true);
}

std::unique_ptr<PresentationController>
DrawingViewController::presentationControllerForPresentedViewController(
    PlatformViewController* presented, PlatformViewController* presenting,
    PlatformViewController*) {
    return std::make_unique<SplitPresentationController>(presented, presenting);
}

void DrawingViewController::colorChosen(const Color& color) {
    const auto rgba = color.getRGBA();
    if (!rgba) {
        // Nothing to paint with; the picker never hands such a colour back.
        return;
    }
    currentDrawingColor = Color::withRGB(rgba->red, rgba->green, rgba->blue, rgba->alpha);
    showDrawingColor(color);
    noteDraftChange();
}

// The draft.

void DrawingViewController::restoreDraft(Draft draft) {
    draft_->restore(std::move(draft));
}

DraftKeeper* DrawingViewController::draftKeeper() const {
    return draft_ ? draft_->keeper() : nullptr;
}

void DrawingViewController::noteDraftChange() {
    if (draft_) {
        draft_->noteChange();
    }
}

// Save, leave and share.

void DrawingViewController::savePressed() {
    showSaveAlert();
}

void DrawingViewController::backPressed() {
    showExitAlert();
}

void DrawingViewController::showSaveAlert() {
    saver_->showSaveAlert();
}

void DrawingViewController::saveCurrentDrawing(const QString& title) {
    saver_->saveCurrentDrawing(title);
}

void DrawingViewController::refreshPictureExporter() {
    saver_->refreshPictureExporter();
}

bool DrawingViewController::storeDrawingWithThumbnail(const QByteArray& pngData,
                                                      const QString& title) {
    return saver_->storeDrawingWithThumbnail(pngData, title);
}

void DrawingViewController::showExitAlert() {
    saver_->showExitAlert();
}

void DrawingViewController::shareDrawing() {
    saver_->shareDrawing();
}
