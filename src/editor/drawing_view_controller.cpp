#include "editor/drawing_view_controller.h"

#include <QDateTime>
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
#include "export/picture_exporter.h"
#include "platform/activity_view_controller.h"
#include "platform/alert_controller.h"
#include "platform/image_asset.h"
#include "platform/impact_feedback_generator.h"
#include "platform/png_encoder.h"
#include "platform/screen_metrics.h"
#include "platform/store_review_controller.h"
#include "platform/storyboard.h"
#include "scene/scene.h"
#include "store/core_data_manager.h"
#include "store/drawing.h"
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
    observer = DeviceOrientationCenter::shared().addObserver([this] { rotateCanvasForOrientation(); });
    setupCanvasView();
    setupGestureRecognizers();
    setupLowerToolbar();
    setupToolbarButtons();
    setupFanMenuButton();
    setupToolButtons();
    requestStoreReview();
    // The layout file's controls stay above everything the code adds.
    ui_->backButton->raise();
    ui_->saveButton->raise();
    layoutToolbar();
}

void DrawingViewController::requestStoreReview() { StoreReviewController::requestReview(); }

void DrawingViewController::setupCanvasView() {
    CanvasView* view = nullptr;
    if (previousDrawing) {
        view = new CanvasView(previousDrawing->colorArray(),
                              static_cast<double>(previousDrawing->width()),
                              static_cast<double>(previousDrawing->height()), mainView);
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
                                              void (DrawingViewController::*action)(),
                                              double width, double height, double inset,
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

void DrawingViewController::showFanMenu() { fanOutToolButtons(); }

void DrawingViewController::hideFanMenu() { foldToolButtons(); }

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

void DrawingViewController::fillButtonPressedWithSender() { selectTool(std::make_unique<Bucket>()); }

void DrawingViewController::undoButtonPressedWithSender() { commandManager.undo(); }

void DrawingViewController::redoButtonPressedWithSender() { commandManager.redo(); }

void DrawingViewController::colorPickerButtonPressedWithSender() { presentColorPicker(); }

void DrawingViewController::exportButtonPressedWithSender() { shareDrawing(); }

void DrawingViewController::showDrawingColor(const Color& color) {
    if (colorPickerButton) {
        colorPickerButton->setBackgroundColor(color);
    }
}
