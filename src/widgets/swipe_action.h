#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <vector>

// One action revealed by swiping a list row to the left. The handler gets a completion that it
// calls with true once the action is done (false when it was not); the list then closes the row.
struct SwipeAction {
    enum class Style { normal, destructive };
    using Completion = std::function<void(bool performed)>;
    using Handler = std::function<void(const Completion& completion)>;

    Style style = Style::normal;
    QString title;
    QColor backgroundColor;
    Handler handler;
};

// The actions of one row, listed from the trailing edge inward: actions[0] is the outermost.
struct SwipeActionsConfiguration {
    std::vector<SwipeAction> actions;
    // Dragging the row most of the way across performs actions[0].
    bool performsFirstActionWithFullSwipe = true;
};
