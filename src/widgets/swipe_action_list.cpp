#include "widgets/swipe_action_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "platform/animation.h"
#include "platform/console.h"
#include "widgets/swipe_action_row.h"

namespace {
// How far a press must move before it counts as a swipe or a scroll rather than a tap.
constexpr int kDragThreshold = 10;
}  // namespace

SwipeActionList::SwipeActionList(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setAccessibleName(tr("List"));
}

SwipeActionList::~SwipeActionList() = default;

void SwipeActionList::setDataSource(SwipeActionListDataSource* dataSource) {
    dataSource_ = dataSource;
    needsReload_ = true;
    if (isVisible()) {
        reloadData();
    }
}

void SwipeActionList::setDelegate(SwipeActionListDelegate* delegate) {
    delegate_ = delegate;
}

void SwipeActionList::setRowHeight(int height) {
    rowHeight_ = std::max(1, height);
    updateScrollRange();
    layoutRows();
}

void SwipeActionList::registerRow(const QString& identifier, RowFactory factory) {
    factories_[identifier] = std::move(factory);
}

SwipeActionRow* SwipeActionList::dequeueReusableRow(const QString& identifier, int /*row*/) {
    auto& pool = reusePool_[identifier];
    if (!pool.empty()) {
        SwipeActionRow* reused = pool.back();
        pool.pop_back();
        return reused;
    }
    const auto factory = factories_.find(identifier);
    if (factory == factories_.end() || !factory->second) {
        printLine(QStringLiteral("List: no row registered under \"%1\".").arg(identifier));
        return nullptr;
    }
    SwipeActionRow* created = factory->second();
    if (created) {
        created->setParent(viewport());
    }
    return created;
}

int SwipeActionList::numberOfRows() {
    ensureLoaded();
    return rowCount_;
}

void SwipeActionList::ensureLoaded() {
    if (needsReload_) {
        reloadData();
    }
}

void SwipeActionList::reloadData() {
    needsReload_ = false;
    dragState_ = DragState::none;
    while (!visible_.empty()) {
        recycle(visible_.begin()->first);
    }
    swipedRow_ = -1;
    swipedActions_ = {};
    rowCount_ = dataSource_ ? std::max(0, dataSource_->numberOfRows(this)) : 0;
    if (selectedRow_ >= rowCount_) {
        selectedRow_ = -1;
    }
    if (currentRow_ >= rowCount_) {
        currentRow_ = rowCount_ - 1;
    }
    updateScrollRange();
    layoutRows();
}

void SwipeActionList::updateScrollRange() {
    const int content = rowCount_ * rowHeight_;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, content - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(std::max(1, rowHeight_ / 3));
}

QRect SwipeActionList::rectForRow(int row) const {
    return {0, row * rowHeight_ - verticalScrollBar()->value(), viewport()->width(), rowHeight_};
}

int SwipeActionList::rowAtPoint(const QPoint& viewportPoint) const {
    if (viewportPoint.y() < 0 || viewportPoint.y() >= viewport()->height()) {
        return -1;
    }
    const int row = (viewportPoint.y() + verticalScrollBar()->value()) / rowHeight_;
    return row >= 0 && row < rowCount_ ? row : -1;
}

SwipeActionRow* SwipeActionList::visibleRow(int row) const {
    const auto found = visible_.find(row);
    return found == visible_.end() ? nullptr : found->second;
}

std::vector<int> SwipeActionList::visibleRowIndexes() const {
    std::vector<int> rows;
    for (const auto& [row, widget] : visible_) {
        rows.push_back(row);
    }
    return rows;
}

void SwipeActionList::recycle(int row) {
    const auto found = visible_.find(row);
    if (found == visible_.end()) {
        return;
    }
    SwipeActionRow* widget = found->second;
    visible_.erase(found);
    if (row == swipedRow_) {
        swipedRow_ = -1;
    }
    widget->hide();
    widget->prepareForReuse();
    reusePool_[widget->reuseIdentifier()].push_back(widget);
}

void SwipeActionList::layoutRows() {
    // A data source that reloads from inside rowAt would otherwise re-enter here.
    if (layingOut_) {
        return;
    }
    layingOut_ = true;
    const int top = verticalScrollBar()->value();
    const int first = rowCount_ > 0 ? top / rowHeight_ : 0;
    const int last =
        std::min(rowCount_ - 1, (top + std::max(1, viewport()->height()) - 1) / rowHeight_);
    std::vector<int> gone;
    for (const auto& [row, widget] : visible_) {
        if (row < first || row > last) {
            gone.push_back(row);
        }
    }
    for (int row : gone) {
        recycle(row);
    }
    for (int row = first; row <= last && dataSource_; ++row) {
        if (visible_.count(row)) {
            continue;
        }
        SwipeActionRow* widget = dataSource_->rowAt(this, row);
        if (!widget) {
            continue;
        }
        widget->setParent(viewport());
        widget->setSelected(row == selectedRow_);
        widget->setCurrent(row == currentRow_ && showsCurrentRow());
        visible_[row] = widget;
    }
    for (const auto& [row, widget] : visible_) {
        widget->setGeometry(rectForRow(row));
        widget->show();
    }
    layingOut_ = false;
}

void SwipeActionList::scrollToRow(int row) {
    if (row < 0 || row >= rowCount_) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int top = row * rowHeight_;
    if (top < bar->value()) {
        bar->setValue(top);
    } else if (top + rowHeight_ > bar->value() + viewport()->height()) {
        bar->setValue(top + rowHeight_ - viewport()->height());
    }
}

void SwipeActionList::selectRow(int row) {
    if (selectedRow_ >= 0) {
        if (SwipeActionRow* previous = visibleRow(selectedRow_)) {
            previous->setSelected(false);
        }
    }
    selectedRow_ = row >= 0 && row < rowCount_ ? row : -1;
    if (SwipeActionRow* widget = visibleRow(selectedRow_)) {
        widget->setSelected(true);
    }
}

void SwipeActionList::deselectRow(int row, bool /*animated*/) {
    if (row != selectedRow_) {
        return;
    }
    if (SwipeActionRow* widget = visibleRow(row)) {
        widget->setSelected(false);
    }
    selectedRow_ = -1;
}

void SwipeActionList::attachActions(int row, SwipeActionRow* widget) {
    swipedActions_ =
        delegate_ ? delegate_->trailingSwipeActions(this, row) : SwipeActionsConfiguration{};
    widget->setActions(swipedActions_);
    for (size_t i = 0; i < widget->actionButtons().size(); ++i) {
        connect(widget->actionButtons()[i], &QPushButton::clicked, this,
                [this, widget, index = static_cast<int>(i)] {
                    for (const auto& [visibleIndex, visibleWidget] : visible_) {
                        if (visibleWidget == widget) {
                            performSwipeAction(visibleIndex, index);
                            return;
                        }
                    }
                });
    }
}

void SwipeActionList::openSwipeActions(int row) {
    ensureLoaded();
    if (row < 0 || row >= rowCount_) {
        return;
    }
    if (swipedRow_ != row) {
        closeSwipeActions(true);
    }
    scrollToRow(row);
    SwipeActionRow* widget = visibleRow(row);
    if (!widget) {
        return;
    }
    if (swipedRow_ != row) {
        attachActions(row, widget);
    }
    if (widget->actionButtons().empty()) {
        widget->prepareForReuse();
        widget->setSelected(row == selectedRow_);
        return;
    }
    swipedRow_ = row;
    Animation::animate(widget, "swipeOffset", -widget->revealWidth(), kAnimationSeconds);
}

void SwipeActionList::closeSwipeActions(bool animated) {
    if (swipedRow_ < 0) {
        return;
    }
    SwipeActionRow* widget = visibleRow(swipedRow_);
    swipedRow_ = -1;
    swipedActions_ = {};
    if (!widget) {
        return;
    }
    QPointer<SwipeActionRow> row = widget;
    Animation::animate(widget, "swipeOffset", 0.0, animated ? kAnimationSeconds : 0, [row] {
        // Closed for good unless it was swiped open again meanwhile.
        if (row && row->swipeOffset() == 0) {
            row->clearActions();
        }
    });
}

void SwipeActionList::performSwipeAction(int row, int index) {
    ensureLoaded();
    if (row != swipedRow_) {
        openSwipeActions(row);
    }
    if (row != swipedRow_ || index < 0 ||
        index >= static_cast<int>(swipedActions_.actions.size())) {
        return;
    }
    const SwipeAction action = swipedActions_.actions[static_cast<size_t>(index)];
    if (!action.handler) {
        closeSwipeActions(true);
        return;
    }
    QPointer<SwipeActionList> self = this;
    action.handler([self](bool /*performed*/) {
        // Whether or not it was performed, the row closes; a reload may already have done it.
        if (self) {
            self->closeSwipeActions(true);
        }
    });
}

void SwipeActionList::finishSwipe() {
    SwipeActionRow* widget = visibleRow(pressRow_);
    if (!widget) {
        return;
    }
    if (widget->isPastFullSwipe()) {
        swipedRow_ = pressRow_;
        // Slide the content off while the first action runs.
        Animation::animate(widget, "swipeOffset", -static_cast<double>(widget->width()),
                           kAnimationSeconds);
        performSwipeAction(pressRow_, 0);
        return;
    }
    if (-widget->swipeOffset() > widget->revealWidth() / 2) {
        swipedRow_ = pressRow_;
        Animation::animate(widget, "swipeOffset", -widget->revealWidth(), kAnimationSeconds);
    } else {
        swipedRow_ = pressRow_;
        closeSwipeActions(true);
    }
}

bool SwipeActionList::viewportEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::ContextMenu:
            // The right button opened the actions already on press.
            event->accept();
            return true;
        default:
            return QAbstractScrollArea::viewportEvent(event);
    }
}

void SwipeActionList::mousePressEvent(QMouseEvent* event) {
    ensureLoaded();
    const QPoint point = event->position().toPoint();
    const int row = rowAtPoint(point);
    if (event->button() == Qt::RightButton) {
        if (row >= 0) {
            openSwipeActions(row);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The keyboard's outline shows only while the keyboard is in use.
    if (keyboardInUse_) {
        keyboardInUse_ = false;
        setCurrentRow(currentRow_);
    }
    dragState_ = DragState::pending;
    pressRow_ = row;
    pressPoint_ = point;
    pressScroll_ = verticalScrollBar()->value();
    pressOffset_ = 0;
    if (SwipeActionRow* widget = visibleRow(row)) {
        // Catch a row that is still sliding where it is now.
        widget->stopSliding();
        pressOffset_ = row == swipedRow_ ? widget->swipeOffset() : 0;
    }
    event->accept();
}

void SwipeActionList::mouseMoveEvent(QMouseEvent* event) {
    if (dragState_ == DragState::none || !(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    const QPoint delta = event->position().toPoint() - pressPoint_;
    if (dragState_ == DragState::pending) {
        if (std::max(std::abs(delta.x()), std::abs(delta.y())) < kDragThreshold) {
            return;
        }
        const bool horizontal = std::abs(delta.x()) > std::abs(delta.y());
        if (horizontal && pressRow_ >= 0 && (delta.x() < 0 || pressRow_ == swipedRow_)) {
            SwipeActionRow* widget = visibleRow(pressRow_);
            if (pressRow_ != swipedRow_) {
                closeSwipeActions(true);
                if (widget) {
                    attachActions(pressRow_, widget);
                }
            }
            dragState_ =
                widget && !widget->actionButtons().empty() ? DragState::swiping : DragState::none;
        } else {
            closeSwipeActions(true);
            dragState_ = DragState::scrolling;
        }
    }
    if (dragState_ == DragState::swiping) {
        if (SwipeActionRow* widget = visibleRow(pressRow_)) {
            widget->setSwipeOffset(pressOffset_ + delta.x());
        }
    } else if (dragState_ == DragState::scrolling) {
        verticalScrollBar()->setValue(pressScroll_ - delta.y());
    }
    event->accept();
}

void SwipeActionList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton || dragState_ == DragState::none) {
        event->ignore();
        return;
    }
    const DragState state = dragState_;
    dragState_ = DragState::none;
    event->accept();
    if (state == DragState::swiping) {
        finishSwipe();
        return;
    }
    if (state != DragState::pending) {
        return;
    }
    // A tap closes open actions first; only a tap on a list at rest selects.
    if (swipedRow_ >= 0) {
        closeSwipeActions(true);
        return;
    }
    if (pressRow_ >= 0 && pressRow_ == rowAtPoint(event->position().toPoint())) {
        setCurrentRow(pressRow_);
        selectRow(pressRow_);
        if (delegate_) {
            delegate_->didSelectRow(this, pressRow_);
        }
    }
}

void SwipeActionList::setCurrentRow(int row) {
    if (SwipeActionRow* previous = visibleRow(currentRow_)) {
        previous->setCurrent(false);
    }
    currentRow_ = row;
    if (SwipeActionRow* widget = visibleRow(currentRow_)) {
        widget->setCurrent(showsCurrentRow());
    }
}

bool SwipeActionList::showsCurrentRow() const {
    return keyboardInUse_ && hasFocus();
}

void SwipeActionList::keyPressEvent(QKeyEvent* event) {
    ensureLoaded();
    keyboardInUse_ = true;
    switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up: {
            if (rowCount_ == 0) {
                break;
            }
            const int step = event->key() == Qt::Key_Down ? 1 : -1;
            const int next = currentRow_ < 0 ? 0 : std::clamp(currentRow_ + step, 0, rowCount_ - 1);
            closeSwipeActions(true);
            scrollToRow(next);
            setCurrentRow(next);
            return;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (currentRow_ >= 0 && swipedRow_ < 0) {
                selectRow(currentRow_);
                if (delegate_) {
                    delegate_->didSelectRow(this, currentRow_);
                }
            }
            return;
        case Qt::Key_Menu:
            if (currentRow_ >= 0) {
                openSwipeActions(currentRow_);
            }
            return;
        case Qt::Key_Escape:
            if (swipedRow_ >= 0) {
                closeSwipeActions(true);
                return;
            }
            break;
        default:
            break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void SwipeActionList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    layoutRows();
}

void SwipeActionList::scrollContentsBy(int /*dx*/, int /*dy*/) {
    layoutRows();
}

void SwipeActionList::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    ensureLoaded();
}

void SwipeActionList::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    setCurrentRow(currentRow_);
}

void SwipeActionList::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    if (SwipeActionRow* widget = visibleRow(currentRow_)) {
        widget->setCurrent(false);
    }
}
