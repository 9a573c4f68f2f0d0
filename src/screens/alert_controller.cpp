#include "screens/alert_controller.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "screens/screen_stack.h"
#include "widgets/card_widget.h"
#include "widgets/sheet_style.h"

namespace {
constexpr int kSheetGap = 8;

QLabel* makeLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}
}  // namespace

AlertController::AlertController(const QString& title, const QString& message,
                                 AlertControllerStyle preferredStyle, QWidget* parent)
    : OverlayScreen(parent),
      title_(title),
      message_(message),
      preferredStyle_(preferredStyle),
      card_(new CardWidget(this)),
      cancelCard_(new CardWidget(this)),
      titleLabel_(makeLabel(card_)),
      messageLabel_(makeLabel(card_)),
      fieldsLayout_(new QVBoxLayout) {
    const bool sheet = preferredStyle_ == AlertControllerStyle::actionSheet;
    auto* cardLayout = new QVBoxLayout(card_);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    cardLayout->setSpacing(0);

    auto* header = new QWidget(card_);
    header->setObjectName(QStringLiteral("alertHeader"));
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(20, sheet ? 14 : 20, 20, sheet ? 14 : 18);
    headerLayout->setSpacing(6);
    titleLabel_->setParent(header);
    messageLabel_->setParent(header);
    titleLabel_->setFont(SheetStyle::font(sheet ? 14 : 17, QFont::DemiBold));
    messageLabel_->setFont(SheetStyle::font(sheet ? 13 : 14));
    setTextColor(titleLabel_, sheet ? SheetStyle::secondaryText() : SheetStyle::text());
    setTextColor(messageLabel_, sheet ? SheetStyle::secondaryText() : SheetStyle::text());
    headerLayout->addWidget(titleLabel_);
    headerLayout->addWidget(messageLabel_);
    fieldsLayout_->setContentsMargins(0, 8, 0, 0);
    fieldsLayout_->setSpacing(8);
    headerLayout->addLayout(fieldsLayout_);
    cardLayout->addWidget(header);

    auto* cancelLayout = new QVBoxLayout(cancelCard_);
    cancelLayout->setContentsMargins(0, 0, 0, 0);
    cancelCard_->setColor(QColor(Qt::white));
    card_->setAccessibleName(title_);
    setAccessibleName(title_.isEmpty() ? QStringLiteral("Alert") : title_);
    setAccessibleDescription(message_);
    updateLabels();
    rebuildActions();
}

AlertController::~AlertController() = default;

QWidget* AlertController::card() const {
    return card_;
}

void AlertController::setTitle(const QString& title) {
    title_ = title;
    setAccessibleName(title_.isEmpty() ? QStringLiteral("Alert") : title_);
    updateLabels();
}

void AlertController::setMessage(const QString& message) {
    message_ = message;
    setAccessibleDescription(message_);
    updateLabels();
}

void AlertController::updateLabels() {
    titleLabel_->setText(title_);
    titleLabel_->setVisible(!title_.isEmpty());
    messageLabel_->setText(message_);
    messageLabel_->setVisible(!message_.isEmpty());
    if (QWidget* header = card_->findChild<QWidget*>(QStringLiteral("alertHeader"))) {
        header->setVisible(!title_.isEmpty() || !message_.isEmpty() || !textFields_.isEmpty());
    }
    if (isViewLoaded()) {
        layoutCards();
    }
}

void AlertController::addAction(AlertAction action) {
    actions_.push_back(std::move(action));
    rebuildActions();
}

void AlertController::setPreferredAction(const QString& title) {
    preferredAction_ = title;
    rebuildActions();
}

void AlertController::addTextField(const std::function<void(QLineEdit*)>& configure) {
    if (preferredStyle_ != AlertControllerStyle::alert) {
        return;  // action sheets take no input
    }
    auto* field = new QLineEdit(card_);
    field->setFont(SheetStyle::font(16));
    field->setMinimumHeight(44);
    field->setClearButtonEnabled(true);
    field->setStyleSheet(
        QStringLiteral("QLineEdit { background: white; color: #1C1C1E; border: 1px solid #C7C7CC;"
                       " border-radius: 8px; padding: 0 10px; }"
                       "QLineEdit:focus { border: 2px solid #006EE6; padding: 0 9px; }"));
    if (configure) {
        configure(field);
    }
    if (field->accessibleName().isEmpty()) {
        field->setAccessibleName(field->placeholderText().isEmpty()
                                     ? QStringLiteral("Text field %1").arg(textFields_.size() + 1)
                                     : field->placeholderText());
    }
    fieldsLayout_->addWidget(field);
    if (textFields_.isEmpty()) {
        // Typing can start at once: focus given to the alert goes to its first field.
        setFocusProxy(field);
    }
    textFields_.append(field);
    updateLabels();
}

QPushButton* AlertController::actionButton(const QString& title) const {
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].title() == title) {
            return buttons_[i];
        }
    }
    return nullptr;
}

bool AlertController::triggerAction(const QString& title) {
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].title() == title) {
            if (triggered_) {
                return false;
            }
            trigger(i);
            return true;
        }
    }
    return false;
}

int AlertController::returnKeyActionIndex() const {
    if (!preferredAction_.isEmpty()) {
        for (size_t i = 0; i < actions_.size(); ++i) {
            if (actions_[i].title() == preferredAction_) {
                return int(i);
            }
        }
    }
    // Without a stated preference, Return picks a default-style action only when there
    // is exactly one: it never guesses between two, and never picks a destructive one.
    int found = -1;
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].style() == AlertActionStyle::defaultStyle) {
            if (found >= 0) {
                return -1;
            }
            found = int(i);
        }
    }
    return found;
}

int AlertController::escapeKeyActionIndex() const {
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].style() == AlertActionStyle::cancel) {
            return int(i);
        }
    }
    return -1;
}

int AlertController::emphasisedActionIndex() const {
    const int preferred = returnKeyActionIndex();
    return preferred >= 0 ? preferred : escapeKeyActionIndex();
}

int AlertController::cardWidth() const {
    const int available = std::max(0, width() - 2 * SheetStyle::kMargin);
    if (preferredStyle_ == AlertControllerStyle::alert) {
        return std::min(kAlertWidth, available);
    }
    return std::min(kSheetMaxWidth, std::max(0, width() - 2 * kSheetGap));
}

bool AlertController::actionsSideBySide(int width) const {
    if (preferredStyle_ != AlertControllerStyle::alert || actions_.size() != 2) {
        return false;
    }
    const QFontMetrics metrics(SheetStyle::font(17, QFont::DemiBold));
    const int half = width / 2;
    return std::all_of(actions_.begin(), actions_.end(), [&](const AlertAction& action) {
        return metrics.horizontalAdvance(action.title()) + 32 <= half;
    });
}

void AlertController::rebuildActions() {
    delete actionsArea_;
    buttons_.assign(actions_.size(), nullptr);
    const bool sheet = preferredStyle_ == AlertControllerStyle::actionSheet;
    if (QLayout* cancelLayout = cancelCard_->layout()) {
        while (QLayoutItem* item = cancelLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    }

    actionsArea_ = new QWidget(card_);
    auto* area = new QVBoxLayout(actionsArea_);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(0);
    const int emphasised = emphasisedActionIndex();
    auto makeButton = [&](size_t index, QWidget* parent, const QString& corners) {
        const AlertAction& action = actions_[index];
        auto* button = new QPushButton(action.title(), parent);
        button->setAccessibleName(action.title());
        const QColor color = action.style() == AlertActionStyle::destructive
                                 ? SheetStyle::destructive()
                                 : SheetStyle::accent();
        SheetStyle::styleFlatButton(button, color, int(index) == emphasised, Qt::AlignCenter,
                                    corners);
        connect(button, &QPushButton::clicked, this, [this, index] { trigger(index); });
        buttons_[index] = button;
        return button;
    };

    // Cancel sits on the left of a pair and at the end of a list, as on a phone.
    std::vector<size_t> order;
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].style() != AlertActionStyle::cancel) {
            order.push_back(i);
        }
    }
    std::vector<size_t> cancels;
    for (size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i].style() == AlertActionStyle::cancel) {
            cancels.push_back(i);
        }
    }

    const bool headerShown = !title_.isEmpty() || !message_.isEmpty() || !textFields_.isEmpty();
    if (sheet) {
        for (size_t k = 0; k < order.size(); ++k) {
            if (k > 0 || headerShown) {
                area->addWidget(SheetStyle::makeSeparator(Qt::Horizontal, actionsArea_));
            }
            QString corners;
            if (k == 0 && !headerShown) {
                corners += QStringLiteral("tl tr ");
            }
            if (k + 1 == order.size()) {
                corners += QStringLiteral("bl br");
            }
            area->addWidget(makeButton(order[k], actionsArea_, corners));
        }
        for (size_t index : cancels) {
            cancelCard_->layout()->addWidget(
                makeButton(index, cancelCard_, QStringLiteral("tl tr bl br")));
        }
        cancelCard_->setVisible(!cancels.empty());
    } else {
        cancelCard_->hide();
        order.insert(order.end(), cancels.begin(), cancels.end());
        sideBySide_ = actionsSideBySide(cardWidth() > 0 ? cardWidth() : kAlertWidth);
        if (sideBySide_) {
            std::vector<size_t> pair = {0, 1};
            if (actions_[1].style() == AlertActionStyle::cancel &&
                actions_[0].style() != AlertActionStyle::cancel) {
                pair = {1, 0};
            }
            area->addWidget(SheetStyle::makeSeparator(Qt::Horizontal, actionsArea_));
            auto* row = new QHBoxLayout;
            row->setSpacing(0);
            row->addWidget(makeButton(pair[0], actionsArea_, QStringLiteral("bl")), 1);
            row->addWidget(SheetStyle::makeSeparator(Qt::Vertical, actionsArea_));
            row->addWidget(makeButton(pair[1], actionsArea_, QStringLiteral("br")), 1);
            area->addLayout(row);
        } else {
            for (size_t k = 0; k < order.size(); ++k) {
                area->addWidget(SheetStyle::makeSeparator(Qt::Horizontal, actionsArea_));
                const QString corners = k + 1 == order.size() ? QStringLiteral("bl br") : QString();
                area->addWidget(makeButton(order[k], actionsArea_, corners));
            }
        }
    }
    card_->layout()->addWidget(actionsArea_);
    actionsArea_->setVisible(!order.empty());
    card_->setVisible(headerShown || !order.empty());
    if (isViewLoaded()) {
        layoutCards();
    }
}

void AlertController::layoutCards() {
    const int w = cardWidth();
    if (w <= 0) {
        return;
    }
    card_->layout()->activate();
    const int wanted =
        card_->hasHeightForWidth() ? card_->heightForWidth(w) : card_->sizeHint().height();
    const int maxHeight = std::max(0, height() - 2 * SheetStyle::kMargin);
    const int h = std::min(wanted, maxHeight);
    const int x = (width() - w) / 2;
    if (preferredStyle_ == AlertControllerStyle::alert) {
        // With a text field the card sits higher, clear of an on-screen keyboard.
        const int centre = textFields_.isEmpty() ? height() / 2 : int(height() * 0.38);
        const int y = std::clamp(centre - h / 2, SheetStyle::kMargin,
                                 std::max(SheetStyle::kMargin, height() - h - SheetStyle::kMargin));
        card_->setGeometry(x, y, w, h);
        return;
    }
    int bottom = height() - kSheetGap;
    if (cancelCard_->isVisibleTo(this)) {
        const int ch = SheetStyle::kButtonHeight + 6;
        cancelCard_->setGeometry(x, bottom - ch, w, ch);
        bottom -= ch + kSheetGap;
    }
    card_->setGeometry(x, std::max(kSheetGap, bottom - h), w, std::min(h, bottom - kSheetGap));
}

void AlertController::viewDidLayoutSubviews() {
    // Whether a pair fits side by side depends on the width.
    if (preferredStyle_ == AlertControllerStyle::alert &&
        actionsSideBySide(cardWidth() > 0 ? cardWidth() : kAlertWidth) != sideBySide_) {
        rebuildActions();
    } else {
        layoutCards();
    }
}

void AlertController::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const int index = returnKeyActionIndex();
            if (index >= 0) {
                trigger(size_t(index));
            }
            event->accept();
            return;
        }
        case Qt::Key_Escape: {
            const int index = escapeKeyActionIndex();
            if (index >= 0) {
                trigger(size_t(index));
            }
            event->accept();
            return;
        }
        default:
            OverlayScreen::keyPressEvent(event);
    }
}

void AlertController::backdropTapped() {
    if (preferredStyle_ == AlertControllerStyle::actionSheet) {
        const int index = escapeKeyActionIndex();
        if (index >= 0) {
            trigger(size_t(index));
        }
    }
}

void AlertController::trigger(size_t index) {
    if (triggered_ || index >= actions_.size()) {
        return;
    }
    triggered_ = true;
    const AlertAction::Handler handler = actions_[index].handler();
    ScreenStack* stack = screenStack();
    if (stack && stack->presentingViewController(this)) {
        // The stack hides the alert at once and deletes it from the event loop; the
        // handler runs after it is off the stack.
        stack->dismiss(this, true, handler);
        return;
    }
    hide();
    if (handler) {
        handler();
    }
}
