#include "widgets/stepper.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QToolButton>
#include <algorithm>
#include <cmath>

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

// A plain widget shows assistive technology a name and two buttons, never the value.
class StepperAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit StepperAccessible(Stepper* stepper)
        : QAccessibleWidget(stepper, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) {
            return QLocale().toString(stepper()->value());
        }
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return stepper()->value(); }
    // A change made through assistive technology is the user's, like a button press.
    void setCurrentValue(const QVariant& value) override {
        const double wanted = value.toDouble();
        if (std::isfinite(wanted) && stepper()->isEnabled()) {
            stepper()->stepBy(std::round((wanted - stepper()->value()) / stepper()->stepValue()));
        }
    }
    QVariant maximumValue() const override { return stepper()->maximumValue(); }
    QVariant minimumValue() const override { return stepper()->minimumValue(); }
    QVariant minimumStepSize() const override { return stepper()->stepValue(); }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << increaseAction() << decreaseAction();
    }
    void doAction(const QString& action) override {
        if (action == increaseAction() || action == decreaseAction()) {
            if (stepper()->isEnabled()) {
                stepper()->stepBy(action == increaseAction() ? 1 : -1);
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    Stepper* stepper() const { return static_cast<Stepper*>(widget()); }
};

namespace {
QAccessibleInterface* stepperAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("Stepper") && object && object->isWidgetType()) {
        return new StepperAccessible(static_cast<Stepper*>(object));
    }
    return nullptr;
}

// Before any stepper exists, so that none is first seen as a plain widget.
void installStepperAccessible() {
    QAccessible::installFactory(stepperAccessible);
}
Q_CONSTRUCTOR_FUNCTION(installStepperAccessible)
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
    const double previous = value_;
    value_ = std::clamp(value, minimumValue_, maximumValue_);
    updateButtons();
    if (value_ != previous) {
        announceValue();
    }
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
    announceValue();
    emit valueChanged(value_);
}

void Stepper::announceValue() {
    QAccessibleValueChangeEvent event(this, value_);
    QAccessible::updateAccessibility(&event);
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
