#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <optional>

#include "editor/fan_menu.h"
#include "widgets/button.h"

class QWidget;

// The white bar along the bottom of the editor: undo and redo on the left (also on the
// keyboard), the colour button and share on the right, the fan menu of tools in the middle.
// Builds its controls in the editor's main view and lays them out for the screen; the editor
// connects what they do.
class EditorToolbar : public QObject {
    Q_OBJECT
public:
    // screen is the size read once at set-up, which the bar spans.
    EditorToolbar(QWidget* view, QSizeF screen, QObject* parent);

    QWidget* bar() const { return bar_; }
    Button* colorPickerButton() const { return colorPickerButton_; }
    FanMenu& fanMenu() { return fanMenu_; }

    // Places the bar and its buttons; the menu button is centred on viewWidth, and its tool
    // buttons jump onto it when snapTools is set.
    void layout(double viewWidth, bool snapTools);
    // The window was resized; the next layout spans the new size.
    void setScreen(QSizeF screen) { screen_ = screen; }
    // The colour the tools paint with, on the colour button.
    void showDrawingColor(const Color& color);

signals:
    void undoPressed();
    void redoPressed();
    void sharePressed();
    void colorPickerPressed();

private:
    void addUndoAndRedoKeys();
    Button* makeIconButton(const char* objectName, const QString& imageName,
                           void (EditorToolbar::*signal)());

    QWidget* view_;
    QSizeF screen_;
    QPointer<QWidget> bar_;
    QPointer<Button> shareButton_;
    QPointer<Button> colorPickerButton_;
    QPointer<Button> undoButton_;
    QPointer<Button> redoButton_;
    // Made after the bar's buttons, so that it lies above them.
    FanMenu fanMenu_;
};
