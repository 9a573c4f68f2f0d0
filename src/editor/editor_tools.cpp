#include "editor/editor_tools.h"

#include "editing/bucket.h"
#include "editing/paintbrush.h"
#include "editing/shape_tool.h"
#include "editor/drawing_view_controller.h"
#include "editor/mirror_axis_node.h"

namespace {
template <class T>
std::unique_ptr<Tool> make() {
    return std::make_unique<T>();
}
}  // namespace

void EditorTools::install() {
    EditorToolbar* toolbar = editor_.toolbar_;
    FanMenu& menu = toolbar->fanMenu();
    // Left to right on the fan: brush and bucket in the middle, where they have always been.
    menu.addTool({QStringLiteral("lineButton"), QStringLiteral("ic_line"), QStringLiteral("Line"),
                  QStringLiteral("Draw a straight line"), typeid(LineTool), make<LineTool>,
                  QStringLiteral("L")});
    menu.addTool({QStringLiteral("eraserButton"), QStringLiteral("ic_eraser"),
                  QStringLiteral("Eraser"), QStringLiteral("Erase cells to white"), typeid(Eraser),
                  make<Eraser>, QStringLiteral("E")});
    editor_.paintBrushButton =
        menu.addTool({QStringLiteral("paintBrushButton"), QStringLiteral("ic_brush"),
                      QStringLiteral("Paintbrush"), QStringLiteral("Paint cells"),
                      typeid(Paintbrush), make<Paintbrush>, QStringLiteral("B")});
    editor_.fillButton =
        menu.addTool({QStringLiteral("fillButton"), QStringLiteral("ic_paint_bucket"),
                      QStringLiteral("Paint bucket"), QStringLiteral("Fill an area"),
                      typeid(Bucket), make<Bucket>, QStringLiteral("G")});
    menu.addTool({QStringLiteral("rectangleButton"), QStringLiteral("ic_rectangle"),
                  QStringLiteral("Rectangle"), QStringLiteral("Draw a rectangle"),
                  typeid(RectangleTool), make<RectangleTool>, QStringLiteral("U")});
    menu.addTool({QStringLiteral("ellipseButton"), QStringLiteral("ic_ellipse"),
                  QStringLiteral("Ellipse"), QStringLiteral("Draw an ellipse"), typeid(EllipseTool),
                  make<EllipseTool>, QStringLiteral("O")});
    menu.keysAllowed = [this] { return acceptsToolKeys(); };
    toolbar->keysAllowed = [this] { return acceptsToolKeys(); };
    QObject::connect(toolbar, &EditorToolbar::mirrorPressed, &editor_, [this] { cycleMirror(); });
    QObject::connect(toolbar, &EditorToolbar::filledPressed, &editor_,
                     [this] { toggleFilledShapes(); });
    QObject::connect(toolbar, &EditorToolbar::replacePressed, &editor_,
                     [this] { toggleReplaceColor(); });
}

bool EditorTools::acceptsToolKeys() const {
    return editor_.presentedViewController() == nullptr;
}

void EditorTools::showToolOptions() {
    if (editor_.toolbar_) {
        editor_.toolbar_->showToolOptions(editor_.toolOptions, editor_.currentTool
                                                                   ? editor_.currentTool->option()
                                                                   : Tool::Option::none);
    }
    if (MirrorAxisNode* axis = editor_.mirrorAxisNode()) {
        axis->setAxes(editor_.toolOptions.mirror);
    }
}

void EditorTools::cycleMirror() {
    editor_.toolOptions.mirror = mirror::next(editor_.toolOptions.mirror);
    showToolOptions();
}

void EditorTools::toggleFilledShapes() {
    editor_.toolOptions.filledShapes = !editor_.toolOptions.filledShapes;
    showToolOptions();
}

void EditorTools::toggleReplaceColor() {
    editor_.toolOptions.replaceColor = !editor_.toolOptions.replaceColor;
    showToolOptions();
}
