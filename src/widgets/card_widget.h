#pragma once

#include <QColor>
#include <QWidget>

// A rounded card, the surface of an alert or a sheet.
class CardWidget : public QWidget {
    Q_OBJECT
public:
    explicit CardWidget(QWidget* parent = nullptr);

    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Taps on the card's own surface stay on the card rather than counting as the backdrop.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor color_;
};
