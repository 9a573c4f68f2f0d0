#include "editor/drawing_view_controller.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QShortcut>
#include <cmath>
#include <numbers>

#include "canvas/canvas.h"
#include "canvas/canvas_view.h"
#include "canvas/pixel.h"
#include "color/color_picker_view_controller.h"
#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editor/split_presentation_controller.h"
#include "export/exact_scale_export.h"
#include "export/picture_exporter.h"
#include "screens/activity_type.h"
#include "screens/activity_view_controller.h"
#include "screens/alert_controller.h"
#include "platform/animation.h"
#include "imaging/image_asset.h"
#include "platform/impact_feedback_generator.h"
#include "imaging/png_encoder.h"
#include "screens/popover_presentation_controller.h"
#include "platform/screen_metrics.h"
#include "platform/store_review_controller.h"
#include "screens/storyboard.h"
#include "scene/scene.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/thumbnail.h"
#include "ui_drawing_view_controller.h"

namespace {
constexpr double kFanSpread = 50;
constexpr double kFanRise = 70;
constexpr double kFanSeconds = 0.3;
constexpr double kRotateSeconds = 0.4;

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
    : PlatformViewController(parent), ui_(std::make_unique<Ui::DrawingViewController>()) {
    ui_->setupUi(this);
    mainView = ui_->mainView;
    currentTool = std::make_unique<Paintbrush>();
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CanvasView::sceneBackgroundColor().toQColor());
    setPalette(palette);

    const auto undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, &DrawingViewController::undoButtonPressedWithSender);
    for (const QKeySequence& keys :
         {QKeySequence(QKeySequence::Redo), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}) {
        const auto redo = new QShortcut(keys, this);
        connect(redo, &QShortcut::activated, this,
                &DrawingViewController::redoButtonPressedWithSender);
    }
    const auto copy = new QShortcut(QKeySequence::Copy, this);
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
    setupLowerToolbar();
    setupToolbarButtons();
    setupFanMenuButton();
    // The menu button must be in place before the tool buttons fold onto it.
    layoutToolbar();
    setupToolButtons();
    requestStoreReview();
    // The layout file's controls stay above everything the code adds.
    ui_->backButton->raise();
    ui_->saveButton->raise();
}

void DrawingViewController::requestStoreReview() {
    StoreReviewController::requestReview();
}

void DrawingViewController::setupCanvasView() {
    CanvasView* view = nullptr;
    if (previousDrawing) {
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
}

// Toolbar, fan menu and tool buttons.

void DrawingViewController::setupLowerToolbar() {
    auto* toolbar = new QWidget(mainView);
    toolbar->setObjectName(QStringLiteral("lowerToolbar"));
    toolbar->setAutoFillBackground(true);
    QPalette palette = toolbar->palette();
    palette.setColor(QPalette::Window, Qt::white);
    toolbar->setPalette(palette);
    // Touches on the bar never reach the canvas's gestures.
    toolbar->setProperty("blocksGestures", true);
    toolbar->setAccessibleName(QStringLiteral("Toolbar"));
    toolbar->show();
    lowerToolbar = toolbar;
}

Button* DrawingViewController::makeIconButton(const QString& imageName,
                                              void (DrawingViewController::*action)(), double width,
                                              double height, double inset,
                                              const std::optional<Color>& backgroundColor) {
    auto* button = new Button(mainView);
    button->setImageEdgeInsets(QMarginsF(inset, inset, inset, inset));
    button->setImage(ImageAsset::icon(imageName));
    connect(button, &Button::clicked, this, action);
    button->setFrame(QRectF(0, 0, width, height));
    if (backgroundColor) {
        button->setBackgroundColor(backgroundColor);
    }
    button->show();
    return button;
}

Button* DrawingViewController::makeColorButton(void (DrawingViewController::*action)(),
                                               double width, double height) {
    auto* button = new Button(mainView);
    button->setCornerRadius(width * 0.5);
    button->setBorder(0.5, Color::lightGray());
    connect(button, &Button::clicked, this, action);
    button->setFrame(QRectF(0, 0, width, height));
    button->show();
    return button;
}

void DrawingViewController::setupToolbarButtons() {
    Button* share = makeIconButton(QStringLiteral("ic_share"),
                                   &DrawingViewController::exportButtonPressedWithSender, 40, 40,
                                   10, std::nullopt);
    share->setObjectName(QStringLiteral("shareButton"));
    share->setAccessibleName(QStringLiteral("Share"));
    share->setToolTip(QStringLiteral("Share the drawing"));

    colorPickerButton =
        makeColorButton(&DrawingViewController::colorPickerButtonPressedWithSender, 40, 40);
    colorPickerButton->setObjectName(QStringLiteral("colorPickerButton"));
    colorPickerButton->setAccessibleName(QStringLiteral("Choose colour"));
    colorPickerButton->setToolTip(QStringLiteral("Choose the drawing colour"));
    colorPickerButton->setBackgroundColor(Color::systemCyan());

    Button* undo = makeIconButton(QStringLiteral("ic_undo"),
                                  &DrawingViewController::undoButtonPressedWithSender, 40, 40, 10,
                                  std::nullopt);
    undo->setObjectName(QStringLiteral("undoButton"));
    undo->setAccessibleName(QStringLiteral("Undo"));
    undo->setToolTip(QStringLiteral("Undo (Ctrl+Z)"));

    Button* redo = makeIconButton(QStringLiteral("ic_redo"),
                                  &DrawingViewController::redoButtonPressedWithSender, 40, 40, 10,
                                  std::nullopt);
    redo->setObjectName(QStringLiteral("redoButton"));
    redo->setAccessibleName(QStringLiteral("Redo"));
    redo->setToolTip(QStringLiteral("Redo (Ctrl+Shift+Z)"));
}

void DrawingViewController::setupFanMenuButton() {
    // No image, title or background: invisible, but it takes the taps that open the menu.
    auto* button = new Button(mainView);
    button->setObjectName(QStringLiteral("fanMenuButton"));
    button->setAccessibleName(QStringLiteral("Tools"));
    button->setToolTip(QStringLiteral("Choose a tool"));
    button->setFrame(QRectF(0, 0, 50, 50));
    connect(button, &Button::clicked, this, &DrawingViewController::showFanMenu);
    button->show();
    fanMenuButton = button;
}

Button* DrawingViewController::makeToolButton(const QString& imageName,
                                              void (DrawingViewController::*action)()) {
    auto* button = new Button(mainView);
    button->setImageEdgeInsets(QMarginsF(13, 13, 13, 13));
    button->setBackgroundColor(Color::white());
    button->setImage(ImageAsset::icon(imageName));
    button->setCornerRadius(25);
    button->setShadow(Color::black(), 5, 0.5, QPointF(0, 5));
    button->setFrame(QRectF(0, 0, 50, 50));
    if (fanMenuButton) {
        // Start folded, so that nothing flies in from a corner while the editor opens.
        button->setCenter(fanMenuButton->center());
    }
    connect(button, &Button::clicked, this, action);
    return button;
}

void DrawingViewController::setupToolButtons() {
    paintBrushButton = makeToolButton(QStringLiteral("ic_brush"),
                                      &DrawingViewController::paintBrushButtonPressedWithSender);
    paintBrushButton->setObjectName(QStringLiteral("paintBrushButton"));
    paintBrushButton->setAccessibleName(QStringLiteral("Paintbrush"));
    paintBrushButton->setToolTip(QStringLiteral("Paint cells"));
    fillButton = makeToolButton(QStringLiteral("ic_paint_bucket"),
                                &DrawingViewController::fillButtonPressedWithSender);
    fillButton->setObjectName(QStringLiteral("fillButton"));
    fillButton->setAccessibleName(QStringLiteral("Paint bucket"));
    fillButton->setToolTip(QStringLiteral("Fill an area"));
    // The bucket lies above the paintbrush, both above the fan menu button.
    paintBrushButton->show();
    paintBrushButton->raise();
    fillButton->show();
    fillButton->raise();
    paintBrushButton->setUserInteractionEnabled(false);
    fillButton->setUserInteractionEnabled(false);
    foldToolButtons();
}

void DrawingViewController::layoutToolbar() {
    if (!lowerToolbar) {
        return;
    }
    const double w = screenWidth_;
    const double h = screenHeight_;
    const double u = w / 6;
    const double toolbarTop = h - h / 9;
    lowerToolbar->setGeometry(QRectF(0, toolbarTop, w, h / 9).toRect());
    const double buttonCentreY = toolbarTop + 10 + 20;
    auto place = [&](const char* name, double centreX) {
        if (auto* button = mainView->findChild<Button*>(QLatin1String(name))) {
            button->setCenter(QPointF(centreX, buttonCentreY));
        }
    };
    place("undoButton", u * 0.5);
    place("redoButton", u * 0.5 + 20 + u);
    place("shareButton", w - u * 0.5);
    place("colorPickerButton", w - u * 0.5 - 20 - u);
    if (fanMenuButton) {
        fanMenuButton->setCenter(QPointF(width() / 2.0, toolbarTop + 20));
    }
}

void DrawingViewController::viewDidLayoutSubviews() {
    if (mainView) {
        mainView->setGeometry(rect());
    }
    layoutToolbar();
    if (fanMenuButton && paintBrushButton && fillButton) {
        paintBrushButton->setCenter(fanMenuButton->center());
        fillButton->setCenter(fanMenuButton->center());
    }
}

void DrawingViewController::showFanMenu() {
    fanOutToolButtons();
}

void DrawingViewController::hideFanMenu() {
    foldToolButtons();
}

void DrawingViewController::fanOutToolButtons() {
    if (!paintBrushButton || !fillButton || !fanMenuButton) {
        return;
    }
    paintBrushButton->setUserInteractionEnabled(true);
    fillButton->setUserInteractionEnabled(true);
    const QPointF c = fanMenuButton->center();
    Animation::animate(fillButton, "alpha", 1.0, kFanSeconds);
    Animation::animate(paintBrushButton, "alpha", 1.0, kFanSeconds);
    Animation::animate(fillButton, "center", QPointF(c.x() + kFanSpread, c.y() - kFanRise),
                       kFanSeconds);
    Animation::animate(paintBrushButton, "center", QPointF(c.x() - kFanSpread, c.y() - kFanRise),
                       kFanSeconds);
}

void DrawingViewController::foldToolButtons() {
    if (!paintBrushButton || !fillButton || !fanMenuButton) {
        return;
    }
    paintBrushButton->setUserInteractionEnabled(false);
    fillButton->setUserInteractionEnabled(false);
    if (dynamic_cast<Paintbrush*>(currentTool.get())) {
        Animation::animate(fillButton, "alpha", 0.0, kFanSeconds);
    } else if (dynamic_cast<Bucket*>(currentTool.get())) {
        Animation::animate(paintBrushButton, "alpha", 0.0, kFanSeconds);
    }
    const QPointF c = fanMenuButton->center();
    Animation::animate(paintBrushButton, "center", c, kFanSeconds);
    Animation::animate(fillButton, "center", c, kFanSeconds);
}

void DrawingViewController::selectTool(std::unique_ptr<Tool> tool) {
    currentTool = std::move(tool);
    foldToolButtons();
}

void DrawingViewController::paintBrushButtonPressedWithSender() {
    selectTool(std::make_unique<Paintbrush>());
}

void DrawingViewController::fillButtonPressedWithSender() {
    selectTool(std::make_unique<Bucket>());
}

void DrawingViewController::undoButtonPressedWithSender() {
    // A stroke still open becomes its step first, so that undo takes back what is painted.
    finishInterruptedStroke();
    commandManager.undo();
}

void DrawingViewController::redoButtonPressedWithSender() {
    finishInterruptedStroke();  // painting is a new step: nothing is left to redo after it
    commandManager.redo();
}

void DrawingViewController::colorPickerButtonPressedWithSender() {
    presentColorPicker();
}

void DrawingViewController::exportButtonPressedWithSender() {
    shareDrawing();
}

void DrawingViewController::showDrawingColor(const Color& color) {
    if (colorPickerButton) {
        colorPickerButton->setBackgroundColor(color);
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

    addGestureRecognizer(mainView, pinch);
    addGestureRecognizer(mainView, pan);
    addGestureRecognizer(mainView, draw);
    addGestureRecognizer(mainView, tap);

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

bool DrawingViewController::gestureRecognizerShouldRecognizeSimultaneouslyWith(GestureRecognizer&,
                                                                               GestureRecognizer&) {
    return true;
}

void DrawingViewController::handleTapFrom(TapGestureRecognizer& recognizer) {
    currentTool->handleTap(recognizer, *this);
}

void DrawingViewController::handleDrawFrom(PanGestureRecognizer& recognizer) {
    const GestureState state = recognizer.state();
    const bool ending = state == GestureState::ended || state == GestureState::cancelled ||
                        state == GestureState::failed;
    if (!canDraw) {
        // Cells painted before drawing was switched off must stay undoable.
        if (ending) {
            finishInterruptedStroke();
        }
        return;
    }
    if (state != GestureState::began && !strokeOpen_) {
        // A stroke whose beginning was not drawn (drawing was off then) paints nothing: its
        // cells would belong to no undo step.
        return;
    }
    const QPointF location = recognizer.locationInView();
    if (state == GestureState::began) {
        finishInterruptedStroke();
        strokeOpen_ = true;
        // The pan begins only once the finger has moved a little: start the stroke where the
        // finger went down, so the first cell is painted too.
        const QPointF start = location - recognizer.translationInView(recognizer.view());
        currentTool->handleDraw(GestureSnapshot(GestureState::began, start), *this);
        drawAlong(start, location, true);
    } else {
        // Every cell the finger passed, not only those under the sampled positions.
        drawAlong(lastDrawLocation_, location, false);
        currentTool->handleDraw(recognizer, *this);
    }
    lastDrawLocation_ = location;
    if (state == GestureState::ended) {
        strokeOpen_ = false;
    } else if (state == GestureState::cancelled || state == GestureState::failed) {
        // Cells painted by an interrupted stroke must stay undoable.
        finishInterruptedStroke();
    }
}

void DrawingViewController::drawAlong(QPointF from, QPointF to, bool includeEnd) {
    if (!canvasView) {
        return;
    }
    const double cell = canvasView->canvas()->xScale() * Pixel::kSize;
    const double step = std::max(1.0, cell / 3);
    const QPointF delta = to - from;
    const double length = std::hypot(delta.x(), delta.y());
    const int steps = static_cast<int>(std::ceil(length / step));
    for (int i = 1; i < steps || (includeEnd && i == steps); ++i) {
        const QPointF point = from + delta * (static_cast<double>(i) / steps);
        currentTool->handleDraw(GestureSnapshot(GestureState::changed, point), *this);
    }
}

void DrawingViewController::finishInterruptedStroke() {
    if (!strokeOpen_) {
        return;
    }
    strokeOpen_ = false;
    const auto& history = commandManager.commandStack();
    const bool entered = !history.empty() && history.back() == groupDrawCommand;
    if (!entered && groupDrawCommand && !groupDrawCommand->drawCommands.empty()) {
        commandManager.execute(groupDrawCommand);
    }
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
    finishInterruptedStroke();
    if (!canvasView) {
        return;
    }
    const QPointF translation = recognizer.translationInView(canvasView);
    Scene* scene = canvasView->canvasScene();
    const double dx = translation.x() * scene->xScale();
    const double dy = -translation.y() * scene->yScale();
    const AllowedMove allowed = allowedCanvasMove(dx, dy);
    canvasView->canvas()->run(Action::moveBy(allowed.x ? dx : 0, allowed.y ? dy : 0, 0));
    recognizer.setTranslation(QPointF(0, 0), canvasView);
}

AllowedMove DrawingViewController::allowedCanvasMove(double dx, double dy) const {
    if (!canvasView) {
        return {};
    }
    const Canvas* canvas = canvasView->canvas();
    const QPointF centre(canvasView->width() / 2.0, canvasView->height() / 2.0);
    const QSizeF size(static_cast<double>(canvas->width) * Pixel::kSize,
                      static_cast<double>(canvas->height) * Pixel::kSize);
    return allowedCanvasMoveFor(canvas->position(), centre, size,
                                QPointF(canvas->xScale(), canvas->yScale()), dx, dy);
}

void DrawingViewController::zoomCanvas(PinchGestureRecognizer& recognizer) {
    const double s = recognizer.scale();
    recognizer.setScale(1);
    if (!canvasView) {
        return;
    }
    Canvas* canvas = canvasView->canvas();
    if (zoomRefused(canvas->xScale(), static_cast<double>(canvas->width) * Pixel::kSize,
                    Pixel::kSize, screenWidth_, s)) {
        return;
    }
    canvas->run(Action::scaleBy(s, 0));
}

Pixel* DrawingViewController::pixelAtScenePoint(QPointF scenePoint) const {
    if (!canvasView) {
        return nullptr;
    }
    const std::vector<Node*> nodes = canvasView->canvasScene()->nodesAt(scenePoint);
    return nodes.empty() ? nullptr : dynamic_cast<Pixel*>(nodes.front());
}

void DrawingViewController::pickColorWithPipette(LongPressGestureRecognizer& recognizer) {
    if (!canvasView) {
        return;
    }
    const QPointF pt = recognizer.locationInView(canvasView);
    Pixel* cell = pixelAtScenePoint(canvasView->convertPointToScene(pt));
    const GestureState state = recognizer.state();
    if (state == GestureState::began) {
        ImpactFeedbackGenerator(ImpactFeedbackGenerator::FeedbackStyle::light).impactOccurred();
        if (!cell) {
            if (pipetteCircle) {
                pipetteCircle->deleteLater();
            }
            pipetteCircle = nullptr;
            return;
        }
        if (pipetteCircle) {
            pipetteCircle->deleteLater();
        }
        auto* circle = new Button(mainView);
        circle->setObjectName(QStringLiteral("pipetteCircle"));
        circle->setAccessibleName(QStringLiteral("Picked colour"));
        circle->setUserInteractionEnabled(false);
        circle->setCornerRadius(40);
        circle->setBackgroundColor(cell->fillColor());
        circle->setBorder(0.75, Color::darkGray());
        circle->setShadow(Color::black(), 5, 0.4, QPointF(0, 3));
        circle->setFrame(QRectF(0, 0, 80, 80));
        circle->setCenter(QPointF(pt.x(), pt.y() - 10));
        currentDrawingColor = cell->fillColor();
        showDrawingColor(currentDrawingColor);
        circle->show();
        circle->raise();
        pipetteCircle = circle;
        return;
    }
    if (state == GestureState::changed) {
        auto* circle = qobject_cast<Button*>(pipetteCircle.data());
        if (!circle) {
            return;
        }
        const QPointF q = clampIntoEdges(pt, canvasView->canvasBoundsInView());
        if (!cell) {
            const QPointF inCanvasView = canvasView->mapFrom(mainView, q);
            cell = pixelAtScenePoint(canvasView->convertPointToScene(inCanvasView));
        }
        if (!cell) {
            return;
        }
        circle->setCenter(QPointF(q.x(), q.y() - 10));
        currentDrawingColor = cell->fillColor();
        circle->setBackgroundColor(currentDrawingColor);
        showDrawingColor(currentDrawingColor);
        return;
    }
    if (pipetteCircle) {
        pipetteCircle->hide();
        pipetteCircle->deleteLater();
    }
    pipetteCircle = nullptr;
}

void DrawingViewController::rotateCanvasForOrientation() {
    double angle = 0;
    switch (DeviceOrientationCenter::shared().orientation()) {
        case DeviceOrientation::portrait:
            angle = 0;
            break;
        case DeviceOrientation::landscapeLeft:
            angle = -std::numbers::pi / 2;
            break;
        case DeviceOrientation::landscapeRight:
            angle = std::numbers::pi / 2;
            break;
        case DeviceOrientation::portraitUpsideDown:
            return;
        case DeviceOrientation::faceUp:
        case DeviceOrientation::faceDown:
        case DeviceOrientation::unknown:
            angle = 0;
            break;
    }
    const Action rotation = Action::rotateToAngle(angle, kRotateSeconds, true);
    if (canvasView) {
        canvasView->canvas()->run(rotation);
    }
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
        if (!originalColors_) {
            originalColors_ = previousDrawing->colorArray();
            originalSize_ = {previousDrawing->width(), previousDrawing->height()};
        }
        previousDrawing->setColorArray(colors);
        // A stored size the canvas could not show was replaced by a sound one: the record
        // takes the size of the cells it now holds, so that it can be exported and reopened.
        previousDrawing->setWidth(canvas->width);
        previousDrawing->setHeight(canvas->height);
    } else {
        previousDrawing = Drawing::create(colors, canvas->width, canvas->height);
        createdHere_ = true;
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
        auto* alert = new AlertController(
            QStringLiteral("Could not save"),
            QStringLiteral("Your drawing is still open. Check that there is free space and try "
                           "again."));
        alert->addAction(AlertAction(QStringLiteral("OK"), AlertActionStyle::cancel));
        present(alert, true);
        return;
    }
    originalColors_.reset();
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
    CoreDataManager::saveDrawing(drawing, previous);
    ManagedObjectContext* context = drawing->managedObjectContext();
    // A save that failed leaves its changes pending in the context.
    return context && !context->hasChanges();
}

void DrawingViewController::showExitAlert() {
    auto* alert =
        new AlertController(QStringLiteral("Are you sure?"),
                            QStringLiteral("Your draw will be lost if you don\u2019t save them."));
    alert->addAction(AlertAction(QStringLiteral("Exit"), AlertActionStyle::defaultStyle, [this] {
        discardUnsavedRecordChanges();
        dismiss(true);
    }));
    alert->addAction(AlertAction(QStringLiteral("Cancel"), AlertActionStyle::cancel));
    present(alert, true);
}

void DrawingViewController::discardUnsavedRecordChanges() {
    // Sharing wrote the canvas into the stored drawing's record without saving it; leaving
    // must not let a later, unrelated save commit what the user chose to throw away.
    if (previousDrawing && originalColors_ && !createdHere_) {
        previousDrawing->setColorArray(*originalColors_);
        previousDrawing->setWidth(originalSize_.first);
        previousDrawing->setHeight(originalSize_.second);
    }
    originalColors_.reset();
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
