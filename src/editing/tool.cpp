#include "editing/tool.h"

std::vector<Pixel*> Tool::cellsUnderTouch(const Gesture& gesture, EditorFields& editor) {
    if (!editor.canvasView) {
        return {};
    }
    const QPointF scenePoint = editor.canvasView->convertPointToScene(gesture.locationInView());
    return editor.canvasView->pixelsAtScenePoint(scenePoint);
}
