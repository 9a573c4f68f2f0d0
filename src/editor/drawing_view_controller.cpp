#include "editor/drawing_view_controller.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editing/shape_tool.h"
#include "editor/draft_keeper.h"
#include "editor/mirror_axis_node.h"
#include "editor/split_presentation_controller.h"
#include "export/exact_scale_export.h"
#include "export/picture_exporter.h"
#include "imaging/image_asset.h"
#include "imaging/png_encoder.h"
#include "platform/animation.h"
#include "platform/console.h"
#include "platform/impact_feedback_generator.h"
#include "platform/screen_metrics.h"
#include "platform/store_review_controller.h"
#include "scene/scene.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "screens/popover_presentation_controller.h"
#include "screens/storyboard.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/thumbnail.h"
#include "ui_drawing_view_controller.h"

namespace {
// The layout file places Save 12 points from the right edge of a 390-point screen.
constexpr int kSaveButtonRightMargin = 12;
// A tap of fingers on the glass: the mouse, which stands in for one finger or a pair moving
// together, never makes one.
class FingerTapGestureRecognizer final : public TapGestureRecognizer {
public:
    explicit FingerTapGestureRecognizer(int fingers) { setNumberOfTouchesRequired(fingers); }

protected:
    void touchesBegan(const std::vector<GestureTouch>& touches) override {
        for (const GestureTouch& touch : touches) {
            if (touch.precise && state() == GestureState::possible) {
                setState(GestureState::failed);
                return;
            }
        }
        TapGestureRecognizer::touchesBegan(touches);
    }
};

template <class T>
std::unique_ptr<Tool> make() {
    return std::make_unique<T>();
}

// The date as a long date and a short time in the user's locale, without the weekday.
QString savedAtText(const QDateTime& moment) {
    const QLocale locale;
    QString pattern = locale.dateFormat(QLocale::LongFormat);
    pattern.remove(QRegularExpression(QStringLiteral("d{4}[,.]?\\s*")));
    return locale.toString(moment.date(), pattern.trimmed()) + QStringLiteral(", ") +
           locale.toString(moment.time(), QLocale::ShortFormat);
}
}  // namespace

DrawingViewController::DrawingViewController(QWidget* parent)
    : PlatformViewController(parent),
      ui_(std::make_unique<Ui::DrawingViewController>()),
      strokes_(*this, currentTool) {
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
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!canvasView || !clipboard) {
        return;
    }
    // From the canvas itself: copying is not sharing and leaves the stored record alone.
    const Canvas* canvas = canvasView->canvas();
    const PictureExporter exporter(canvas->getColorArray(), canvas->width, canvas->height);
    if (const std::optional<QImage> image = exporter.exportImage(1000, 1000)) {
        clipboard->setImage(*image);
    }
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
    setupDraft();
    StoreReviewController::requestReview();
    // The layout file's controls stay above everything the code adds.
    ui_->backButton->raise();
    ui_->saveButton->raise();
}

void DrawingViewController::setupCanvasView() {
    CanvasView* view = nullptr;
    if (restoring_) {
        view = new CanvasView(restoring_->cells, static_cast<double>(restoring_->width),
                              static_cast<double>(restoring_->height), mainView);
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
    // Left to right on the fan: brush and bucket in the middle, where they have always been.
    menu.addTool({QStringLiteral("lineButton"), QStringLiteral("ic_line"), QStringLiteral("Line"),
                  QStringLiteral("Draw a straight line"), typeid(LineTool), make<LineTool>,
                  QStringLiteral("L")});
    menu.addTool({QStringLiteral("eraserButton"), QStringLiteral("ic_eraser"),
                  QStringLiteral("Eraser"), QStringLiteral("Erase cells to white"), typeid(Eraser),
                  make<Eraser>, QStringLiteral("E")});
    paintBrushButton = menu.addTool({QStringLiteral("paintBrushButton"), QStringLiteral("ic_brush"),
                                     QStringLiteral("Paintbrush"), QStringLiteral("Paint cells"),
                                     typeid(Paintbrush), make<Paintbrush>, QStringLiteral("B")});
    fillButton = menu.addTool({QStringLiteral("fillButton"), QStringLiteral("ic_paint_bucket"),
                               QStringLiteral("Paint bucket"), QStringLiteral("Fill an area"),
                               typeid(Bucket), make<Bucket>, QStringLiteral("G")});
    menu.addTool({QStringLiteral("rectangleButton"), QStringLiteral("ic_rectangle"),
                  QStringLiteral("Rectangle"), QStringLiteral("Draw a rectangle"),
                  typeid(RectangleTool), make<RectangleTool>, QStringLiteral("U")});
    menu.addTool({QStringLiteral("ellipseButton"), QStringLiteral("ic_ellipse"),
                  QStringLiteral("Ellipse"), QStringLiteral("Draw an ellipse"), typeid(EllipseTool),
                  make<EllipseTool>, QStringLiteral("O")});
    menu.keysAllowed = [this] { return acceptsToolKeys(); };
    toolbar_->keysAllowed = [this] { return acceptsToolKeys(); };
    connect(toolbar_, &EditorToolbar::mirrorPressed, this, &DrawingViewController::cycleMirror);
    connect(toolbar_, &EditorToolbar::filledPressed, this,
            &DrawingViewController::toggleFilledShapes);
    connect(toolbar_, &EditorToolbar::replacePressed, this,
            &DrawingViewController::toggleReplaceColor);
    menu.onToolChosen = [this](std::unique_ptr<Tool> tool) { selectTool(std::move(tool)); };
    hideFanMenu();
    showToolOptions();
}

bool DrawingViewController::acceptsToolKeys() const {
    return presentedViewController() == nullptr;
}

void DrawingViewController::showToolOptions() {
    if (toolbar_) {
        toolbar_->showToolOptions(toolOptions,
                                  currentTool ? currentTool->option() : Tool::Option::none);
    }
    if (mirrorAxis_) {
        mirrorAxis_->setAxes(toolOptions.mirror);
    }
}

void DrawingViewController::cycleMirror() {
    toolOptions.mirror = mirror::next(toolOptions.mirror);
    showToolOptions();
}

void DrawingViewController::toggleFilledShapes() {
    toolOptions.filledShapes = !toolOptions.filledShapes;
    showToolOptions();
}

void DrawingViewController::toggleReplaceColor() {
    toolOptions.replaceColor = !toolOptions.replaceColor;
    showToolOptions();
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
    showToolOptions();
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

    auto* twoFingerTap = new FingerTapGestureRecognizer(2);
    twoFingerTap->addTarget(this, &DrawingViewController::handleTwoFingerTapFrom);
    twoFingerTap->setDelegate(this);
    twoFingerTapGestureRecognizer = twoFingerTap;
    auto* threeFingerTap = new FingerTapGestureRecognizer(3);
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
    previousDrawing = CoreDataManager::loadDrawing(draft.drawing);
    if (previousDrawing) {
        keepRecordFor(this, previousDrawing);  // as the gallery does for a reopened drawing
    }
    restoring_ = std::move(draft);
}

void DrawingViewController::setupDraft() {
    DraftKeeper::Sources sources{
        [this] { return strokes_.isStrokeOpen(); },
        [this]() -> QString {
            const Tool* tool = currentTool.get();
            Button* button =
                toolbar_ && tool ? toolbar_->fanMenu().buttonFor(typeid(*tool)) : nullptr;
            return button ? button->objectName() : QString();
        }};
    const QUuid drawingId = previousDrawing ? previousDrawing->id() : QUuid();
    if (restoring_) {
        const std::vector<std::shared_ptr<Command>> history = applyRestoredDraft(*restoring_);
        draft_ =
            std::make_unique<DraftKeeper>(*this, std::move(sources), restoring_->id, drawingId);
        draft_->adoptStored(history);
        restoring_.reset();
    } else {
        draft_ = std::make_unique<DraftKeeper>(*this, std::move(sources),
                                               QUuid::createUuid().toString(QUuid::WithoutBraces),
                                               drawingId);
    }
    commandManager.onChange = [this] { noteDraftChange(); };
}

std::vector<std::shared_ptr<Command>> DrawingViewController::applyRestoredDraft(
    const Draft& draft) {
    currentDrawingColor = draft.color;
    showDrawingColor(draft.color);
    // Only a folded tool button of the fan menu is pressed: the name comes from the file.
    auto* toolButton =
        mainView && !draft.tool.isEmpty() ? mainView->findChild<Button*>(draft.tool) : nullptr;
    if (toolButton && toolButton != fanMenuButton && !toolButton->isUserInteractionEnabled()) {
        toolButton->click();
    } else if (draft.tool != u"paintBrushButton") {
        printLine(QStringLiteral("Drafts: the tool \"%1\" is not offered; the paintbrush is used.")
                      .arg(draft.tool));
    }
    // The steps are replayed to rebuild the history; the cells are then set as the draft
    // kept them.
    std::vector<Pixel*> cells =
        canvasView ? canvasView->canvas()->pixelArray() : std::vector<Pixel*>{};
    std::vector<std::shared_ptr<Command>> history;
    history.reserve(draft.steps.size());
    for (const DraftStep& step : draft.steps) {
        history.push_back(DraftKeeper::commandFor(step, cells));
        commandManager.execute(history.back());
    }
    for (size_t undone = static_cast<size_t>(draft.applied); undone < history.size(); ++undone) {
        commandManager.undo();
    }
    for (size_t i = 0; i < cells.size() && i < draft.cells.size(); ++i) {
        cells[i]->setFillColor(draft.cells[i]);
    }
    return history;
}

void DrawingViewController::noteDraftChange() {
    if (draft_) {
        draft_->changed();
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
    ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
    auto* alert = new AlertController(QStringLiteral("Save Tilebloom"), QString());
    alert->addTextField([](QLineEdit* field) {
        field->setPlaceholderText(QStringLiteral("Title"));
        field->setAccessibleName(QStringLiteral("Title"));
    });
    const QPointer<AlertController> weakAlert(alert);
    alert->addAction(
        AlertAction(QStringLiteral("Save"), AlertActionStyle::defaultStyle, [this, weakAlert] {
            if (!weakAlert || weakAlert->textFields().isEmpty()) {
                return;
            }
            saveCurrentDrawing(weakAlert->textFields().first()->text());
        }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::cancel, [weakAlert] {
        if (weakAlert) {
            weakAlert->dismiss(true);
        }
    }));
    present(alert, true);
}

bool DrawingViewController::updateDrawingRecord() {
    if (!canvasView) {
        return false;
    }
    const Canvas* canvas = canvasView->canvas();
    const std::vector<Color> colors = canvas->getColorArray();
    if (previousDrawing) {
        previousDrawing->setColorArray(colors);
        // A stored size the canvas could not show was replaced by a sound one: the record
        // takes the size of the cells it now holds, so that it can be exported and reopened.
        previousDrawing->setWidth(canvas->width);
        previousDrawing->setHeight(canvas->height);
    } else {
        previousDrawing = Drawing::create(colors, canvas->width, canvas->height);
    }
    if (previousDrawing && drawing != previousDrawing) {
        // Held while the editor lives. An editor that goes without Save or Exit (closed by
        // anything else) throws away what it left unsaved, so that no later save writes it.
        connect(this, &QObject::destroyed, [held = RecordRef<Drawing>(previousDrawing)] {
            ManagedObjectContext* context = held->managedObjectContext();
            if (context && held->hasChanges()) {
                context->rollback();
            }
        });
    }
    drawing = previousDrawing;
    refreshPictureExporter();
    return true;
}

void DrawingViewController::saveCurrentDrawing(const QString& title) {
    if (!updateDrawingRecord() || !pictureExporter) {
        return;
    }
    const std::optional<QImage> image = pictureExporter->exportImage(300, 300);
    if (!image) {
        return;
    }
    const QByteArray png = PngEncoder::encode(*image);
    if (png.isEmpty()) {
        return;
    }
    if (!storeDrawingWithThumbnail(png, title)) {
        // The store said no: closing now would lose the drawing, so the editor stays.
        // A store that could not be opened is not a full disk: the user's file is kept.
        auto* alert = new AlertController(
            QStringLiteral("Could not save"),
            CoreDataManager::storeIsOpen()
                ? QStringLiteral("Your drawing is still open. Check that there is free space "
                                 "and try again.")
                : QStringLiteral("Your drawings could not be opened. The file was kept as it "
                                 "is."));
        alert->addAction(AlertAction(QStringLiteral("OK"), AlertActionStyle::cancel));
        present(alert, true);
        return;
    }
    dismiss(true);
}

void DrawingViewController::refreshPictureExporter() {
    if (!drawing) {
        pictureExporter.reset();
        return;
    }
    pictureExporter = std::make_unique<PictureExporter>(drawing->colorArray(), drawing->width(),
                                                        drawing->height());
}

bool DrawingViewController::storeDrawingWithThumbnail(const QByteArray& pngData,
                                                      const QString& title) {
    if (!drawing) {
        return false;
    }
    const QString date = savedAtText(QDateTime::currentDateTime());
    Thumbnail* thumbnail = Thumbnail::create(title, date, pngData);
    if (!thumbnail) {
        return false;
    }
    Thumbnail* previous = drawing->thumbnail();
    drawing->setThumbnail(thumbnail);
    thumbnail->setDrawing(drawing);
    // The draft goes in the transaction that stores the drawing: a crash leaves one or the
    // other. Written up to date first, so that a refused save leaves it current.
    ManagedObjectContext::WithinSave deleteDraft;
    if (draft_) {
        draft_->flush();
        deleteDraft = draft_->discardWithinSave();
    }
    CoreDataManager::saveDrawing(drawing, previous, deleteDraft);
    ManagedObjectContext* context = drawing->managedObjectContext();
    // A save that failed leaves its changes pending in the context.
    const bool saved = context && !context->hasChanges();
    if (saved && draft_) {
        draft_->close();
    }
    return saved;
}

void DrawingViewController::showExitAlert() {
    auto* alert =
        new AlertController(QStringLiteral("Are you sure?"),
                            QStringLiteral("Your draw will be lost if you don\u2019t save them."));
    alert->addAction(AlertAction(QStringLiteral("Exit"), AlertActionStyle::defaultStyle, [this] {
        discardUnsavedRecordChanges();
        if (draft_) {
            draft_->discard();
        }
        dismiss(true);
    }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::cancel));
    present(alert, true);
}

void DrawingViewController::discardUnsavedRecordChanges() {
    // Sharing and refused saves left the record, and thumbnails, changed in the store's
    // memory; leaving throws all of it away, so that no later, unrelated save writes it.
    if (previousDrawing && previousDrawing->hasChanges()) {
        if (ManagedObjectContext* context = previousDrawing->managedObjectContext()) {
            context->rollback();
        }
    }
}

void DrawingViewController::shareDrawing() {
    if (!updateDrawingRecord() || !pictureExporter) {
        return;
    }
    const std::optional<QImage> image = pictureExporter->exportImage(1000, 1000);
    if (!image) {
        return;
    }
    auto* sheet = new ActivityViewController({*image});
    sheet->setExcludedActivityTypes({ActivityType::addToReadingList, ActivityType::assignToContact,
                                     ActivityType::openInIBooks, ActivityType::copyToPasteboard});
    sheet->setSaveAsChoices(saveAsChoices(*image));
    if (drawing && drawing->thumbnail()) {
        sheet->setSuggestedFileName(drawing->thumbnail()->fileName());
    }
    if (PopoverPresentationController* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(this);
    }
    present(sheet, true);
}

QList<ActivityViewController::SaveAsChoice> DrawingViewController::saveAsChoices(
    const QImage& shared) const {
    QList<ActivityViewController::SaveAsChoice> choices;
    if (!pictureExporter) {
        return choices;
    }
    const auto size = [](int64_t w, int64_t h) {
        return QStringLiteral("%1 \u00D7 %2 pixels").arg(w).arg(h);
    };
    choices.append({QStringLiteral("1000 points (%1)").arg(size(shared.width(), shared.height())),
                    [shared] { return shared; }});
    // A snapshot of the cells, so that later painting does not change what is saved.
    const auto cells = std::make_shared<PictureExporter>(*pictureExporter);
    const int64_t w = cells->canvasWidth;
    const int64_t h = cells->canvasHeight;
    for (int scale = 1; scale <= ExactScaleExport::largestScale(w, h); ++scale) {
        choices.append({QStringLiteral("%1\u00D7 (%2)").arg(scale).arg(size(w * scale, h * scale)),
                        [cells, scale] {
                            return ExactScaleExport::exportAtScale(*cells, scale).value_or(QImage());
                        }});
    }
    return choices;
}
