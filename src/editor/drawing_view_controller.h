#pragma once

#include <QPointer>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "color/color_picker_view_controller.h"
#include "editing/editor_fields.h"
#include "editing/tool.h"
#include "editor/canvas_limits.h"
#include "editor/canvas_navigator.h"
#include "editor/editor_toolbar.h"
#include "editor/pipette.h"
#include "editor/stroke_router.h"
#include "gestures/gesture_recognizer.h"
#include "gestures/long_press_gesture_recognizer.h"
#include "gestures/pan_gesture_recognizer.h"
#include "gestures/pinch_gesture_recognizer.h"
#include "gestures/tap_gesture_recognizer.h"
#include "platform/device_orientation_center.h"
#include "screens/activity_view_controller.h"
#include "screens/platform_view_controller.h"
#include "screens/presentation_controller.h"
#include "store/draft.h"
#include "widgets/button.h"

class Command;
class DraftKeeper;
class Drawing;
class DrawingSaver;
class EditorDraft;
class EditorTools;
class MirrorAxisNode;
class PictureExporter;
class Pixel;

namespace Ui {
class DrawingViewController;
}

// The drawing editor: shows one canvas, turns one-finger taps and drags into tool use,
// two-finger drags and pinches into canvas moves, a long press into the colour pipette, and
// hosts the toolbar, the tool fan menu and the colour picker. Saves, leaves and shares.
class DrawingViewController : public PlatformViewController,
                              public EditorFields,
                              public TransitioningDelegate,
                              public ColorChoiceDelegate,
                              public GestureRecognizerDelegate {
    Q_OBJECT
public:
    explicit DrawingViewController(QWidget* parent = nullptr);
    ~DrawingViewController() override;

    // Fields the screen layout connects or the editor builds. The tools' fields
    // (canvasView, currentDrawingColor, commandManager, groupDrawCommand) come from EditorFields.
    QPointer<QWidget> mainView;
    std::optional<DeviceOrientationCenter::ObserverToken> observer;
    std::unique_ptr<Tool> currentTool;
    // The stored drawing being edited; owned by the store's context.
    Drawing* previousDrawing = nullptr;
    QPointer<TapGestureRecognizer> tapGestureRecognizer;
    // Touch screens only: two fingers tapping undo, three redo.
    QPointer<TapGestureRecognizer> twoFingerTapGestureRecognizer;
    QPointer<TapGestureRecognizer> threeFingerTapGestureRecognizer;
    QPointer<LongPressGestureRecognizer> longPressGestureRecognizer;
    QPointer<QWidget> lowerToolbar;
    QPointer<QWidget> pipetteCircle;
    QPointer<Button> colorPickerButton;
    QPointer<Button> fanMenuButton;
    QPointer<Button> paintBrushButton;
    QPointer<Button> fillButton;
    bool canDraw = true;
    std::unique_ptr<PictureExporter> pictureExporter;
    Drawing* drawing = nullptr;
    // Cells a new, unsaved drawing starts with instead of a blank grid (an opened picture):
    // colours in the canvas's order and the grid's size. Read when the editor is set up.
    struct StartingCells {
        std::vector<Color> colors;
        int64_t width = 0;
        int64_t height = 0;
    };
    std::optional<StartingCells> startingCells;

    // Gestures.
    void handleTapFrom(TapGestureRecognizer& recognizer);
    void handleTwoFingerTapFrom(TapGestureRecognizer& recognizer);
    void handleThreeFingerTapFrom(TapGestureRecognizer& recognizer);
    void handleDrawFrom(PanGestureRecognizer& recognizer);
    void handlePanFrom(PanGestureRecognizer& recognizer);
    void handlePinchFrom(PinchGestureRecognizer& recognizer);
    void handleLongPressNew(LongPressGestureRecognizer& recognizer);
    bool gestureRecognizerShouldRecognizeSimultaneouslyWith(GestureRecognizer& recognizer,
                                                            GestureRecognizer& other) override;

    void panCanvas(PanGestureRecognizer& recognizer);
    AllowedMove allowedCanvasMove(double dx, double dy) const;
    void zoomCanvas(PinchGestureRecognizer& recognizer);
    void pickColorWithPipette(LongPressGestureRecognizer& recognizer);
    // The first node at a scene point, when it is a cell.
    Pixel* pixelAtScenePoint(QPointF scenePoint) const;
    void rotateCanvasForOrientation();

    // Toolbar, fan menu and colour picker.
    void showFanMenu();
    void hideFanMenu();
    void selectTool(std::unique_ptr<Tool> tool);
    MirrorAxisNode* mirrorAxisNode() const { return mirrorAxis_; }
    void presentColorPicker();
    void colorChosen(const Color& color) override;
    std::unique_ptr<PresentationController> presentationControllerForPresentedViewController(
        PlatformViewController* presented, PlatformViewController* presenting,
        PlatformViewController* source) override;

    // Opens, once presented, as the draft left it: picture, colour, tool and history. Call
    // before presenting; the drawing it came from is reopened when it is still stored.
    void restoreDraft(Draft draft);
    // Keeps this editor's draft; nothing before the view has loaded.
    DraftKeeper* draftKeeper() const;

    // Save, leave and share.
    void showSaveAlert();
    void saveCurrentDrawing(const QString& title);
    void refreshPictureExporter();
    bool storeDrawingWithThumbnail(const QByteArray& pngData, const QString& title);
    void showExitAlert();
    void shareDrawing();

public slots:
    void backPressed();
    void savePressed();
    void undoButtonPressedWithSender();
    void redoButtonPressedWithSender();
    void exportButtonPressedWithSender();
    // Puts the 1000-point picture of the canvas on the clipboard.
    void copyPictureToClipboard();
    void colorPickerButtonPressedWithSender();
    void paintBrushButtonPressedWithSender();
    void fillButtonPressedWithSender();

    InterfaceOrientationMask supportedInterfaceOrientations() const override;

protected:
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    friend class EditorDraft;
    friend class EditorTools;

    void setupCanvasView();
    void setupGestureRecognizers();
    void setupToolbar();
    void showDrawingColor(const Color& color);
    void noteDraftChange();

    std::unique_ptr<Ui::DrawingViewController> ui_;
    // Sizes read once at set-up.
    double screenWidth_ = 0;
    double screenHeight_ = 0;
    // The parts the screen wires together; the toolbar's widgets live in mainView.
    StrokeRouter strokes_;
    QPointer<EditorToolbar> toolbar_;
    std::unique_ptr<CanvasNavigator> navigator_;
    std::unique_ptr<Pipette> pipette_;
    // Owned by the canvas.
    MirrorAxisNode* mirrorAxis_ = nullptr;
    std::unique_ptr<DrawingSaver> saver_;
    std::unique_ptr<EditorTools> tools_;
    // Built with the editor: a draft to reopen comes before the view loads.
    std::unique_ptr<EditorDraft> draft_;
};
