#include "editor/editor_toolbar.h"

#include <QKeySequence>
#include <QPalette>
#include <QShortcut>
#include <QWidget>

#include "imaging/image_asset.h"

namespace {
constexpr double kButtonSize = 40;
constexpr double kIconInset = 10;

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
}

void EditorToolbar::showDrawingColor(const Color& color) {
    if (colorPickerButton_) {
        colorPickerButton_->setBackgroundColor(color);
    }
}
