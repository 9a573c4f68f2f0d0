#include "editor/editor_toolbar.h"

#include <QKeySequence>
#include <QPalette>
#include <QShortcut>
#include <QWidget>

#include "editing/mirror.h"
#include "imaging/image_asset.h"

namespace {
constexpr double kButtonSize = 40;
constexpr double kIconInset = 10;
constexpr double kOptionSize = 40;
constexpr double kOptionMargin = 12;  // from the screen's side and from the bar
// A switched-on option: the app's accent behind the icon.
const Color kOptionOn = Color::withRGB(0.80, 0.92, 0.98, 1);
const Color kOptionRing = Color::withRGB(50 / 255.0, 173 / 255.0, 230 / 255.0, 1);

QString mirrorIcon(MirrorAxes axes) {
    switch (axes) {
        case MirrorAxes::none:
            return QStringLiteral("ic_mirror_off");
        case MirrorAxes::vertical:
            return QStringLiteral("ic_mirror_vertical");
        case MirrorAxes::horizontal:
            return QStringLiteral("ic_mirror_horizontal");
        case MirrorAxes::both:
            return QStringLiteral("ic_mirror_both");
    }
    return {};
}

QWidget* makeBar(QWidget* view) {
    auto* bar = new QWidget(view);
    bar->setObjectName(QStringLiteral("lowerToolbar"));
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, Qt::white);
    bar->setPalette(palette);
    // Touches on the bar never reach the canvas's gestures.
    bar->setProperty("blocksGestures", true);
    bar->setAccessibleName(QStringLiteral("Toolbar"));
    bar->show();
    return bar;
}
}  // namespace

EditorToolbar::EditorToolbar(QWidget* view, QSizeF screen, QObject* parent)
    : QObject(parent),
      view_(view),
      screen_(screen),
      bar_(makeBar(view)),
      shareButton_(
          makeIconButton("shareButton", QStringLiteral("ic_share"), &EditorToolbar::sharePressed)),
      colorPickerButton_(new Button(view)),
      undoButton_(
          makeIconButton("undoButton", QStringLiteral("ic_undo"), &EditorToolbar::undoPressed)),
      redoButton_(
          makeIconButton("redoButton", QStringLiteral("ic_redo"), &EditorToolbar::redoPressed)),
      mirrorButton_(makeOptionButton("mirrorButton", QStringLiteral("Mirror drawing"),
                                     &EditorToolbar::mirrorPressed)),
      filledButton_(makeOptionButton("filledButton", QStringLiteral("Filled shapes"),
                                     &EditorToolbar::filledPressed)),
      replaceButton_(makeOptionButton("replaceButton", QStringLiteral("Replace colour"),
                                      &EditorToolbar::replacePressed)),
      fanMenu_(view) {
    shareButton_->setAccessibleName(QStringLiteral("Share"));
    shareButton_->setToolTip(QStringLiteral("Share the drawing"));
    undoButton_->setAccessibleName(QStringLiteral("Undo"));
    undoButton_->setToolTip(QStringLiteral("Undo (Ctrl+Z)"));
    redoButton_->setAccessibleName(QStringLiteral("Redo"));
    redoButton_->setToolTip(QStringLiteral("Redo (Ctrl+Shift+Z)"));

    Button* color = colorPickerButton_;
    color->setObjectName(QStringLiteral("colorPickerButton"));
    color->setAccessibleName(QStringLiteral("Choose colour"));
    color->setToolTip(QStringLiteral("Choose the drawing colour"));
    color->setCornerRadius(kButtonSize / 2);
    color->setBorder(0.5, Color::lightGray());
    connect(color, &Button::clicked, this, &EditorToolbar::colorPickerPressed);
    color->setFrame(QRectF(0, 0, kButtonSize, kButtonSize));
    color->setBackgroundColor(Color::systemCyan());
    color->show();
    addUndoAndRedoKeys();
    auto* mirrorKey = new QShortcut(QKeySequence(QStringLiteral("M")), view_);
    connect(mirrorKey, &QShortcut::activated, this, [this] {
        if (!keysAllowed || keysAllowed()) {
            emit mirrorPressed();
        }
    });
    filledButton_->setImage(ImageAsset::icon(QStringLiteral("ic_shape_filled")));
    filledButton_->setToolTip(QStringLiteral("Fill rectangles and ellipses"));
    replaceButton_->setImage(ImageAsset::icon(QStringLiteral("ic_replace_color")));
    replaceButton_->setToolTip(
        QStringLiteral("Bucket replaces the tapped colour everywhere on the grid"));
    showToolOptions(ToolOptions{}, Tool::Option::none);
}

Button* EditorToolbar::makeOptionButton(const char* objectName, const QString& accessibleName,
                                        void (EditorToolbar::*signal)()) {
    auto* button = new Button(view_);
    button->setObjectName(QLatin1String(objectName));
    button->setAccessibleName(accessibleName);
    button->setCheckable(true);
    button->setImageEdgeInsets(QMarginsF(9, 9, 9, 9));
    button->setCornerRadius(kOptionSize / 2);
    button->setShadow(Color::black(), 4, 0.4, QPointF(0, 3));
    button->setFrame(QRectF(0, 0, kOptionSize, kOptionSize));
    // The editor changes the option and shows it back through showToolOptions.
    connect(button, &Button::clicked, this, signal);
    button->show();
    return button;
}

void EditorToolbar::showToolOptions(const ToolOptions& options, Tool::Option activeToolOption) {
    const auto show = [](Button* button, bool on) {
        if (!button) {
            return;
        }
        button->setChecked(on);
        button->setBackgroundColor(on ? kOptionOn : Color::white());
        button->setBorder(on ? 2 : 0, kOptionRing);
    };
    if (mirrorButton_) {
        show(mirrorButton_, options.mirror != MirrorAxes::none);
        mirrorButton_->setImage(ImageAsset::icon(mirrorIcon(options.mirror)));
        const QString state = mirror::describe(options.mirror);
        mirrorButton_->setAccessibleDescription(state);
        mirrorButton_->setToolTip(QStringLiteral("Mirror drawing: %1 (M)").arg(state.toLower()));
    }
    show(filledButton_, options.filledShapes);
    show(replaceButton_, options.replaceColor);
    if (filledButton_) {
        filledButton_->setVisible(activeToolOption == Tool::Option::filledShapes);
    }
    if (replaceButton_) {
        replaceButton_->setVisible(activeToolOption == Tool::Option::replaceColor);
    }
}

void EditorToolbar::addUndoAndRedoKeys() {
    // One shortcut per action and each sequence bound once: a sequence bound twice is
    // ambiguous and fires neither (X11's standard redo keys are Ctrl+Shift+Z alone).
    QList<QKeySequence> undoKeys{QKeySequence(QStringLiteral("Ctrl+Z"))};
    QList<QKeySequence> redoKeys{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                 QKeySequence(QStringLiteral("Ctrl+Y"))};
    const auto addStandard = [](QList<QKeySequence>& keys, QKeySequence::StandardKey standard,
                                const QList<QKeySequence>& taken) {
        for (const QKeySequence& platformKeys : QKeySequence::keyBindings(standard)) {
            if (!keys.contains(platformKeys) && !taken.contains(platformKeys)) {
                keys.append(platformKeys);
            }
        }
    };
    addStandard(undoKeys, QKeySequence::Undo, redoKeys);
    addStandard(redoKeys, QKeySequence::Redo, undoKeys);
    auto* undo = new QShortcut(view_);
    undo->setKeys(undoKeys);
    connect(undo, &QShortcut::activated, this, &EditorToolbar::undoPressed);
    auto* redo = new QShortcut(view_);
    redo->setKeys(redoKeys);
    connect(redo, &QShortcut::activated, this, &EditorToolbar::redoPressed);
}

Button* EditorToolbar::makeIconButton(const char* objectName, const QString& imageName,
                                      void (EditorToolbar::*signal)()) {
    auto* button = new Button(view_);
    button->setObjectName(QLatin1String(objectName));
    button->setImageEdgeInsets(QMarginsF(kIconInset, kIconInset, kIconInset, kIconInset));
    button->setImage(ImageAsset::icon(imageName));
    connect(button, &Button::clicked, this, signal);
    button->setFrame(QRectF(0, 0, kButtonSize, kButtonSize));
    button->show();
    return button;
}

void EditorToolbar::layout(double viewWidth, bool snapTools) {
    if (!bar_) {
        return;
    }
    const double w = screen_.width();
    const double h = screen_.height();
    const double u = w / 6;
    const double toolbarTop = h - h / 9;
    bar_->setGeometry(QRectF(0, toolbarTop, w, h / 9).toRect());
    const double buttonCentreY = toolbarTop + 10 + 20;
    const auto place = [&](Button* button, double centreX) {
        if (button) {
            button->setCenter(QPointF(centreX, buttonCentreY));
        }
    };
    place(undoButton_, u * 0.5);
    place(redoButton_, u * 0.5 + 20 + u);
    place(shareButton_, w - u * 0.5);
    place(colorPickerButton_, w - u * 0.5 - 20 - u);
    fanMenu_.placeAt(QPointF(viewWidth / 2.0, toolbarTop + 20), snapTools);
    // The options sit in the corners just above the bar, clear of the unfolded fan.
    const double optionY = toolbarTop - kOptionMargin - kOptionSize / 2;
    if (mirrorButton_) {
        mirrorButton_->setCenter(QPointF(kOptionMargin + kOptionSize / 2, optionY));
    }
    for (Button* option : {filledButton_.data(), replaceButton_.data()}) {
        if (option) {
            option->setCenter(QPointF(viewWidth - kOptionMargin - kOptionSize / 2, optionY));
        }
    }
}

void EditorToolbar::showDrawingColor(const Color& color) {
    if (colorPickerButton_) {
        colorPickerButton_->setBackgroundColor(color);
    }
}
