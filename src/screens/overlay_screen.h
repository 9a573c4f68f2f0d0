#pragma once

#include "screens/platform_view_controller.h"

// A screen shown over the one below without hiding it: it dims what is behind and holds
// its content in cards. Alerts and sheets build on it.
class OverlayScreen : public PlatformViewController {
    Q_OBJECT
    Q_PROPERTY(double dimming READ dimming WRITE setDimming)
public:
    explicit OverlayScreen(QWidget* parent = nullptr);

    // 0 shows the screen below as it is, 1 dims it fully.
    double dimming() const { return dimming_; }
    void setDimming(double dimming);

    static constexpr double kFadeSeconds = 0.2;

protected:
    // A tap or click that lands on the backdrop, outside every card.
    virtual void backdropTapped() {}

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double dimming_ = 1;
    bool pressOnBackdrop_ = false;
};
