#include "widgets/stepper.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

namespace {
// Big enough for a fingertip.
constexpr int kButtonWidth = 47;
constexpr int kHeight = 44;

QToolButton* makeButton(const QString& glyph, const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(glyph);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setAutoRaise(true);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(500);
    button->setAutoRepeatInterval(150);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kButtonWidth, kHeight);
    QFont font = button->font();
    font.setPixelSize(24);
    button->setFont(font);
    return button;
}
}  // namespace

Stepper::Stepper(QWidget* parent)
    : QWidget(parent),
      // U+2212 is the typographic minus; it is as wide as the plus.
      decrement_(makeButton(QStringLiteral("\u2212"), tr("Decrease"), this)),
      increment_(makeButton(QStringLiteral("+"), tr("Increase"), this)) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(decrement_);
    layout->addWidget(increment_);
    connect(decrement_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    connect(increment_, &QToolButton::clicked, this, [this] { stepBy(1); });
    updateButtons();
}

QSize Stepper::sizeHint() const {
    return {2 * kButtonWidth + 1, kHeight};
}

void Stepper::setValue(double value) {
    value_ = std::clamp(value, minimumValue_, maximumValue_);
    updateButtons();
}

void Stepper::setMinimumValue(double minimum) {
    minimumValue_ = minimum;
    maximumValue_ = std::max(maximumValue_, minimum);
    setValue(value_);
}

void Stepper::setMaximumValue(double maximum) {
    maximumValue_ = maximum;
    minimumValue_ = std::min(minimumValue_, maximum);
    setValue(value_);
}

void Stepper::setStepValue(double step) {
    if (step > 0) {
        stepValue_ = step;
    }
}

void Stepper::stepBy(double steps) {
    const double next = std::clamp(value_ + steps * stepValue_, minimumValue_, maximumValue_);
    if (next == value_) {
        return;
    }
    value_ = next;
    updateButtons();
    emit valueChanged(value_);
}

void Stepper::updateButtons() {
    decrement_->setEnabled(value_ > minimumValue_);
    increment_->setEnabled(value_ < maximumValue_);
}

void Stepper::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Plus:
            stepBy(1);
            break;
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Minus:
            stepBy(-1);
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void Stepper::paintEvent(QPaintEvent*) {
    // A rounded outline split in two, so it reads as one control with two halves.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::ButtonText);
    QColor fill = palette().color(QPalette::Button);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(box, 9, 9);
    QColor divider = ink;
    divider.setAlphaF(0.25);
    painter.setPen(QPen(divider, 1));
    const double middle = decrement_->geometry().right() + 1;
    painter.drawLine(QPointF(middle, box.top() + 10), QPointF(middle, box.bottom() - 10));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(box.adjusted(1, 1, -1, -1), 8, 8);
    }
}
