#pragma once

#include <QPointF>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <typeindex>
#include <vector>

#include "editing/tool.h"
#include "widgets/button.h"

class QWidget;

// One tool the fan menu offers: its button's names and icon, and how to make the tool.
struct FanMenuTool {
    QString objectName;
    QString icon;
    QString accessibleName;
    QString toolTip;
    std::type_index type;
    std::function<std::unique_ptr<Tool>()> make;
};

// The tool menu in the middle of the toolbar: an invisible menu button that unfolds the tool
// buttons in a row above it. Folded, the tool buttons lie on the menu button with only the
// active one showing, so the menu button looks like the tool in use.
class FanMenu {
public:
    // Adds the menu button to view; tools come with addTool once it is in place.
    explicit FanMenu(QWidget* view);

    Button* menuButton() const { return menuButton_; }
    // Adds the tool's button, folded onto the menu button and not taking taps; later tools
    // lie above earlier ones. Pressing it hands a new tool of its kind to onToolChosen.
    Button* addTool(FanMenuTool tool);
    // The button of the tool of a type, if the menu offers one.
    Button* buttonFor(std::type_index type) const;

    // Moves the menu button; snapTools puts the tool buttons on it at once, open or not.
    void placeAt(QPointF center, bool snapTools);
    // Spreads the tool buttons above the menu button, left to right in the order added.
    void unfold();
    // Brings them back onto the menu button, fading out all but the active tool.
    void fold(std::type_index activeTool);

    std::function<void(std::unique_ptr<Tool>)> onToolChosen;

private:
    struct Entry {
        FanMenuTool tool;
        QPointer<Button> button;
    };
    QWidget* view_;
    QPointer<Button> menuButton_;
    std::vector<Entry> entries_;
};
