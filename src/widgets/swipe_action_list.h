#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "widgets/swipe_action.h"

class SwipeActionList;
class SwipeActionRow;

// What the list shows. Held weakly; whoever installs it removes it before it goes away.
class SwipeActionListDataSource {
public:
    virtual ~SwipeActionListDataSource() = default;
    virtual int numberOfRows(SwipeActionList* list) = 0;
    // A row for index row, usually from list->dequeueReusableRow(...).
    virtual SwipeActionRow* rowAt(SwipeActionList* list, int row) = 0;
};

// What the list does with the user's choices. Held weakly, as the data source.
class SwipeActionListDelegate {
public:
    virtual ~SwipeActionListDelegate() = default;
    virtual void didSelectRow(SwipeActionList* /*list*/, int /*row*/) {}
    virtual SwipeActionsConfiguration trailingSwipeActions(SwipeActionList* /*list*/, int /*row*/) {
        return {};
    }
};

// A vertical list of equally tall rows with trailing swipe actions. A finger (or the mouse,
// dragging with the left button) swipes a row to the left to uncover its actions; a full
// swipe performs the first one; a tap selects the row; a vertical drag or the wheel scrolls.
// A right-click or the menu key also uncovers the actions. Only the rows in sight exist as
// widgets: the list asks the data source for them as they scroll in and reuses the ones that
// scroll out, so a long list costs no more than a short one.
class SwipeActionList : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight)
public:
    using RowFactory = std::function<SwipeActionRow*()>;

    explicit SwipeActionList(QWidget* parent = nullptr);
    ~SwipeActionList() override;

    void setDataSource(SwipeActionListDataSource* dataSource);
    void setDelegate(SwipeActionListDelegate* delegate);
    SwipeActionListDataSource* dataSource() const { return dataSource_; }
    SwipeActionListDelegate* delegate() const { return delegate_; }

    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);

    void registerRow(const QString& identifier, RowFactory factory);
    // A row kept for reuse, or a new one from the registered factory; nullptr (with a console
    // line) for an identifier nobody registered.
    SwipeActionRow* dequeueReusableRow(const QString& identifier, int row);

    // Asks the data source again for the number of rows and every row in sight.
    void reloadData();
    int numberOfRows();

    // The row's widget while it is in sight, else nullptr.
    SwipeActionRow* visibleRow(int row) const;
    std::vector<int> visibleRowIndexes() const;
    // Where the row lies in viewport coordinates (it may be out of sight).
    QRect rectForRow(int row) const;
    int rowAtPoint(const QPoint& viewportPoint) const;
    void scrollToRow(int row);

    int selectedRow() const { return selectedRow_; }
    void selectRow(int row);
    void deselectRow(int row, bool animated);

    // The row whose actions show, or -1.
    int swipedRow() const { return swipedRow_; }
    void openSwipeActions(int row);
    void closeSwipeActions(bool animated);
    // Runs action index of row as if its button had been pressed.
    void performSwipeAction(int row, int index);

    static constexpr double kAnimationSeconds = 0.25;

protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class DragState { none, pending, swiping, scrolling };

    void ensureLoaded();
    void updateScrollRange();
    void layoutRows();
    void recycle(int row);
    void attachActions(int row, SwipeActionRow* widget);
    void finishSwipe();
    void setCurrentRow(int row);
    bool showsCurrentRow() const;

    SwipeActionListDataSource* dataSource_ = nullptr;
    SwipeActionListDelegate* delegate_ = nullptr;
    int rowHeight_ = 60;
    int rowCount_ = 0;
    bool needsReload_ = true;
    bool layingOut_ = false;
    std::map<QString, RowFactory> factories_;
    std::map<QString, std::vector<SwipeActionRow*>> reusePool_;
    std::map<int, SwipeActionRow*> visible_;
    int selectedRow_ = -1;
    int currentRow_ = -1;
    bool keyboardInUse_ = false;
    int swipedRow_ = -1;
    SwipeActionsConfiguration swipedActions_;

    DragState dragState_ = DragState::none;
    int pressRow_ = -1;
    QPoint pressPoint_;
    double pressOffset_ = 0;
    int pressScroll_ = 0;
};
