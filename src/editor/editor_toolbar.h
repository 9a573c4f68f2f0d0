#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <functional>
#include <optional>

#include "editing/editor_fields.h"
#include "editing/tool.h"
#include "editor/fan_menu.h"
#include "widgets/button.h"

class QWidget;

// The white bar along the bottom of the editor: undo and redo on the left (also on the
// keyboard), the colour button and share on the right, the fan menu of tools in the middle.
// Just above the bar, at the thumbs' reach, the tool options: the mirror switch on the left
// (also on M), and on the right the active tool's own option (filled shapes, or the bucket's
// replace mode) when it has one. Builds its controls in the editor's main view and lays them
// out for the screen; the editor connects what they do.
class EditorToolbar : public QObject {
    Q_OBJECT
public:
    // screen is the size read once at set-up, which the bar spans.
    EditorToolbar(QWidget* view, QSizeF screen, QObject* parent);

    QWidget* bar() const { return bar_; }
    Button* colorPickerButton() const { return colorPickerButton_; }
    Button* mirrorButton() const { return mirrorButton_; }
    Button* filledButton() const { return filledButton_; }
    Button* replaceButton() const { return replaceButton_; }
    FanMenu& fanMenu() { return fanMenu_; }

    // Places the bar and its buttons; the menu button is centred on viewWidth, and its tool
    // buttons jump onto it when snapTools is set.
    void layout(double viewWidth, bool snapTools);
    // The window was resized; the next layout spans the new size.
    void setScreen(QSizeF screen) { screen_ = screen; }
    // The colour the tools paint with, on the colour button.
    void showDrawingColor(const Color& color);
    // The options as they are, and which of the tool's own options the active tool has.
    void showToolOptions(const ToolOptions& options, Tool::Option activeToolOption);

    // Asked before the mirror key acts: it does nothing while this says no.
    std::function<bool()> keysAllowed;

signals:
    void undoPressed();
    void redoPressed();
    void sharePressed();
    void colorPickerPressed();
    // The mirror switch or M: the next mirror setting.
    void mirrorPressed();
    void filledPressed();
    void replacePressed();

private:
    void addUndoAndRedoKeys();
    Button* makeOptionButton(const char* objectName, const QString& accessibleName,
                             void (EditorToolbar::*signal)());
    Button* makeIconButton(const char* objectName, const QString& imageName,
                           void (EditorToolbar::*signal)());

    QWidget* view_;
    QSizeF screen_;
    QPointer<QWidget> bar_;
    QPointer<Button> shareButton_;
    QPointer<Button> colorPickerButton_;
    QPointer<Button> undoButton_;
    QPointer<Button> redoButton_;
    QPointer<Button> mirrorButton_;
    QPointer<Button> filledButton_;
    QPointer<Button> replaceButton_;
    // Made after the bar's buttons, so that it lies above them.
    FanMenu fanMenu_;
};
