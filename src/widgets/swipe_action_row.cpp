#include "widgets/swipe_action_row.h"

#include <QPainter>
#include <QPropertyAnimation>
#include <algorithm>
#include <numeric>

namespace {
constexpr double kMinimumActionWidth = 76;
constexpr double kActionPadding = 16;
// How far across the row a release performs the first action.
constexpr double kFullSwipeFraction = 0.6;
}  // namespace

SwipeActionRow::SwipeActionRow(const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent), reuseIdentifier_(reuseIdentifier), contentView_(new QWidget(this)) {
    setAttribute(Qt::WA_NoSystemBackground);
    contentView_->setObjectName(QStringLiteral("contentView"));
}

void SwipeActionRow::setSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        update();
    }
}

void SwipeActionRow::setCurrent(bool current) {
    if (current_ != current) {
        current_ = current;
        update();
    }
}

void SwipeActionRow::setSwipeOffset(double offset) {
    swipeOffset_ = std::clamp(offset, -static_cast<double>(width()), 0.0);
    layoutContent();
}

double SwipeActionRow::revealWidth() const {
    return std::accumulate(naturalWidths_.begin(), naturalWidths_.end(), 0.0);
}

bool SwipeActionRow::isPastFullSwipe() const {
    if (!fullSwipeAllowed_ || buttons_.empty()) {
        return false;
    }
    const double limit = std::max(revealWidth() + 40, kFullSwipeFraction * width());
    return -swipeOffset_ >= limit;
}

void SwipeActionRow::setActions(const SwipeActionsConfiguration& configuration) {
    clearActions();
    fullSwipeAllowed_ = configuration.performsFirstActionWithFullSwipe;
    for (const SwipeAction& action : configuration.actions) {
        auto* button = new QPushButton(action.title, this);
        button->setAccessibleName(action.title);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFlat(true);
        QColor background = action.backgroundColor;
        if (!background.isValid()) {
            background = action.style == SwipeAction::Style::destructive ? QColor(Qt::red)
                                                                         : QColor(Qt::darkGray);
        }
        button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: "
                                             "none; font-weight: 600; font-size: 15px; }"
                                             "QPushButton:pressed { background: %2; }")
                                  .arg(background.name(), background.darker(125).name()));
        const double natural =
            std::max(kMinimumActionWidth,
                     button->fontMetrics().horizontalAdvance(action.title) + 2 * kActionPadding);
        buttons_.push_back(button);
        naturalWidths_.push_back(natural);
        button->show();
    }
    layoutContent();
}

void SwipeActionRow::clearActions() {
    for (const QPointer<QPushButton>& button : buttons_) {
        if (button) {
            button->hide();
            button->deleteLater();
        }
    }
    buttons_.clear();
    naturalWidths_.clear();
}

void SwipeActionRow::stopSliding() {
    for (auto* animation : findChildren<QPropertyAnimation*>(Qt::FindDirectChildrenOnly)) {
        animation->stop();
    }
}

void SwipeActionRow::prepareForReuse() {
    stopSliding();
    clearActions();
    selected_ = false;
    current_ = false;
    swipeOffset_ = 0;
    layoutContent();
}

void SwipeActionRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutContent();
}

void SwipeActionRow::layoutContent() {
    const int offset = static_cast<int>(std::lround(swipeOffset_));
    contentView_->setGeometry(offset, 0, width(), height());
    if (buttons_.empty()) {
        return;
    }
    // The uncovered strip, split among the buttons in proportion to their natural widths;
    // past the full-swipe point the first action takes all of it.
    const double strip = -swipeOffset_;
    const double natural = revealWidth();
    const bool full = isPastFullSwipe();
    double right = width();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (!buttons_[i]) {
            continue;
        }
        double share = 0;
        if (full) {
            share = i == 0 ? strip : 0;
        } else if (strip <= natural) {
            share = strip * naturalWidths_[i] / natural;
        } else {
            share = naturalWidths_[i] + (i == 0 ? strip - natural : 0);
        }
        const int left = static_cast<int>(std::lround(right - share));
        buttons_[i]->setGeometry(left, 0, static_cast<int>(std::lround(right)) - left, height());
        buttons_[i]->setVisible(share >= 1);
        right -= share;
    }
}

void SwipeActionRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect content = contentView_->geometry();
    if (selected_) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlphaF(0.35);
        painter.fillRect(content, highlight);
    }
    if (current_) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(content).adjusted(1, 1, -1, -1));
    }
}
