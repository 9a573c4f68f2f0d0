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

// One tool the fan menu offers: its button's names and icon, its key, and how to make the tool.
struct FanMenuTool {
    QString objectName;
    QString icon;
    QString accessibleName;
    QString toolTip;
    std::type_index type;
    std::function<std::unique_ptr<Tool>()> make;
    // A single key that chooses the tool, shown in the button's tooltip; none when empty.
    QString key = {};
};

// The tool menu in the middle of the toolbar: an invisible menu button that unfolds the tool
// buttons on an arc above it. Folded, the tool buttons lie on the menu button with only the
// active one showing, so the menu button looks like the tool in use.
class FanMenu {
public:
    // Adds the menu button to view; tools come with addTool once it is in place.
    explicit FanMenu(QWidget* view);

    Button* menuButton() const { return menuButton_; }
    // Adds the tool's button, folded onto the menu button and not taking taps; later tools
    // lie above earlier ones. Pressing it, or its key, hands a new tool of its kind to
    // onToolChosen.
    Button* addTool(FanMenuTool tool);
    // The button of the tool of a type, if the menu offers one.
    Button* buttonFor(std::type_index type) const;

    // Moves the menu button; snapTools puts the tool buttons on it at once, open or not.
    void placeAt(QPointF center, bool snapTools);
    // Spreads the tool buttons on the arc above the menu button, left to right in the order
    // added.
    void unfold();
    // Brings them back onto the menu button, fading out all but the active tool, which the
    // menu button then names.
    void fold(std::type_index activeTool);
    bool isUnfolded() const { return unfolded_; }

    // Where the unfolded buttons sit, from the menu button's centre, for count tools. The two
    // in the middle keep the places the first two tools always had, 50 points either side
    // and 70 above; the others rise outwards on the same circle, 62 points apart.
    static std::vector<QPointF> arcOffsets(size_t count);

    std::function<void(std::unique_ptr<Tool>)> onToolChosen;
    // Asked before a tool's key acts: keys do nothing while this says no.
    std::function<bool()> keysAllowed;

private:
    struct Entry {
        FanMenuTool tool;
        QPointer<Button> button;
    };
    void choose(const std::function<std::unique_ptr<Tool>()>& make);

    QWidget* view_;
    QPointer<Button> menuButton_;
    std::vector<Entry> entries_;
    bool unfolded_ = false;
};
