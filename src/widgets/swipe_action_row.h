#pragma once

#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <vector>

#include "widgets/swipe_action.h"

class SwipeActionList;

// One row of a SwipeActionList. Subclasses put their views into contentView(), which slides to
// the left as the row is swiped; the actions appear in the strip it uncovers on the right.
// The list keeps rows it scrolls out of sight and hands them out again by reuse identifier.
class SwipeActionRow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double swipeOffset READ swipeOffset WRITE setSwipeOffset)
public:
    explicit SwipeActionRow(const QString& reuseIdentifier, QWidget* parent = nullptr);

    QString reuseIdentifier() const { return reuseIdentifier_; }
    QWidget* contentView() const { return contentView_; }

    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    // 0 when closed; negative while the actions show (how far the content has moved left).
    double swipeOffset() const { return swipeOffset_; }
    void setSwipeOffset(double offset);

    // The action buttons, outermost first; empty while the row has no actions set.
    const std::vector<QPointer<QPushButton>>& actionButtons() const { return buttons_; }
    // Width of all action buttons side by side at their natural size.
    double revealWidth() const;
    // Whether releasing the row at its current offset performs the first action.
    bool isPastFullSwipe() const;

    // Called when the list takes the row back for reuse; overrides call the base.
    virtual void prepareForReuse();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class SwipeActionList;
    void setActions(const SwipeActionsConfiguration& configuration);
    void clearActions();
    void setCurrent(bool current);
    void stopSliding();
    void layoutContent();

    QString reuseIdentifier_;
    QWidget* contentView_;
    bool selected_ = false;
    bool current_ = false;
    double swipeOffset_ = 0;
    bool fullSwipeAllowed_ = false;
    std::vector<QPointer<QPushButton>> buttons_;
    std::vector<double> naturalWidths_;
};
