#pragma once

#include <QWidget>

class QToolButton;

// A +/- control for a small whole-step value. valueChanged is sent only when the user changes
// the value (a button, a key, assistive technology), never by setValue, so screens can show a
// stored value without writing it back. The button at an end of the range is disabled.
//
// Assistive technology sees a spin box with a value, its range and step, and increase and
// decrease actions; a screen whose value reads as something other than the number (a size)
// says so in the accessible description.
class Stepper : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double value READ value WRITE setValue)
    Q_PROPERTY(double minimumValue READ minimumValue WRITE setMinimumValue)
    Q_PROPERTY(double maximumValue READ maximumValue WRITE setMaximumValue)
    Q_PROPERTY(double stepValue READ stepValue WRITE setStepValue)
public:
    explicit Stepper(QWidget* parent = nullptr);

    double value() const { return value_; }
    // Clamped to the range.
    void setValue(double value);

    double minimumValue() const { return minimumValue_; }
    double maximumValue() const { return maximumValue_; }
    double stepValue() const { return stepValue_; }
    // A minimum above the maximum moves the maximum along (and the other way round).
    void setMinimumValue(double minimum);
    void setMaximumValue(double maximum);
    // Steps must be positive; anything else is ignored.
    void setStepValue(double step);

    QToolButton* decrementButton() const { return decrement_; }
    QToolButton* incrementButton() const { return increment_; }

    QSize sizeHint() const override;

signals:
    void valueChanged(double value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class StepperAccessible;

    void stepBy(double steps);
    void announceValue();
    void updateButtons();

    double value_ = 0;
    double minimumValue_ = 0;
    double maximumValue_ = 100;
    double stepValue_ = 1;
    QToolButton* decrement_;
    QToolButton* increment_;
};
