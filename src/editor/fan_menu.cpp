#include "editor/fan_menu.h"

#include <QKeySequence>
#include <QRegion>
#include <QShortcut>
#include <cmath>

#include "imaging/image_asset.h"
#include "platform/animation.h"

namespace {
constexpr double kFanSeconds = 0.3;
constexpr double kToolButtonSize = 50;
// The arc: a circle above the menu button through the first two tools' places.
constexpr double kMiddleHalfSpread = 50;
constexpr double kMiddleRise = 70;
constexpr double kArcRadius = 180;
// Between the centres of neighbouring outer buttons: their touch areas (the button and its
// shadow) must not reach into each other's buttons.
constexpr double kNeighbourDistance = 62;
constexpr double kShadowReach = 8;
// The active tool's ring, when the menu is open.
const Color kActiveRing = Color::withRGB(50 / 255.0, 173 / 255.0, 230 / 255.0, 1);
}  // namespace

FanMenu::FanMenu(QWidget* view) : view_(view) {
    // No image, title or background: invisible, but it takes the taps that open the menu.
    auto* button = new Button(view);
    button->setObjectName(QStringLiteral("fanMenuButton"));
    button->setAccessibleName(QStringLiteral("Tools"));
    button->setToolTip(QStringLiteral("Choose a tool"));
    button->setFrame(QRectF(0, 0, kToolButtonSize, kToolButtonSize));
    QObject::connect(button, &Button::clicked, button, [this] { unfold(); });
    button->show();
    menuButton_ = button;
}

Button* FanMenu::addTool(FanMenuTool tool) {
    auto* button = new Button(view_);
    button->setObjectName(tool.objectName);
    button->setAccessibleName(tool.accessibleName);
    button->setToolTip(tool.key.isEmpty() ? tool.toolTip
                                          : QStringLiteral("%1 (%2)").arg(tool.toolTip, tool.key));
    button->setImageEdgeInsets(QMarginsF(13, 13, 13, 13));
    button->setBackgroundColor(Color::white());
    button->setImage(ImageAsset::icon(tool.icon));
    button->setCornerRadius(kToolButtonSize / 2);
    button->setShadow(Color::black(), 5, 0.5, QPointF(0, 5));
    button->setFrame(QRectF(0, 0, kToolButtonSize, kToolButtonSize));
    // Only the round button and its shadow take touches: the widget's square corners would
    // cover the edges of its neighbours on the arc.
    const QPointF centre = button->frame().center() - button->geometry().topLeft();
    const int reach = int(kToolButtonSize / 2 + kShadowReach);
    button->setMask(QRegion(QRect(QPoint(int(centre.x()) - reach, int(centre.y()) - reach + 3),
                                  QSize(2 * reach, 2 * reach)),
                            QRegion::Ellipse));
    if (menuButton_) {
        // Start folded, so that nothing flies in from a corner while the editor opens.
        button->setCenter(menuButton_->center());
    }
    QObject::connect(button, &Button::clicked, button, [this, make = tool.make] { choose(make); });
    if (!tool.key.isEmpty()) {
        // On the view, which shows as long as the editor does.
        auto* shortcut = new QShortcut(QKeySequence(tool.key), view_);
        QObject::connect(shortcut, &QShortcut::activated, view_, [this, make = tool.make] {
            if (!keysAllowed || keysAllowed()) {
                choose(make);
            }
        });
    }
    button->show();
    button->raise();
    button->setUserInteractionEnabled(false);
    entries_.push_back({std::move(tool), button});
    return button;
}

void FanMenu::choose(const std::function<std::unique_ptr<Tool>()>& make) {
    if (onToolChosen) {
        onToolChosen(make());
    }
}

Button* FanMenu::buttonFor(std::type_index type) const {
    for (const Entry& entry : entries_) {
        if (entry.tool.type == type) {
            return entry.button;
        }
    }
    return nullptr;
}

void FanMenu::placeAt(QPointF center, bool snapTools) {
    if (!menuButton_) {
        return;
    }
    menuButton_->setCenter(center);
    if (snapTools) {
        unfolded_ = false;
        for (const Entry& entry : entries_) {
            if (entry.button) {
                entry.button->setCenter(center);
            }
        }
    }
}

std::vector<QPointF> FanMenu::arcOffsets(size_t count) {
    // The circle's centre lies straight above the menu button, so that the middle pair sit
    // symmetrically on it; angles are measured from straight down.
    const double below = std::sqrt(kArcRadius * kArcRadius - kMiddleHalfSpread * kMiddleHalfSpread);
    const double centreY = -kMiddleRise - below;
    const double middleAngle = std::asin(kMiddleHalfSpread / kArcRadius);
    const double step = 2 * std::asin(kNeighbourDistance / 2 / kArcRadius);
    std::vector<QPointF> offsets;
    offsets.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const double slot = static_cast<double>(i) - (static_cast<double>(count) - 1) / 2;
        const double away = std::abs(slot);
        // An even count has the middle pair either side of straight up, an odd one a tool
        // straight above the menu button.
        const double angle = count % 2 == 0 ? middleAngle + (away - 0.5) * step : away * step;
        const double signedAngle = slot < 0 ? -angle : angle;
        offsets.emplace_back(kArcRadius * std::sin(signedAngle),
                             centreY + kArcRadius * std::cos(signedAngle));
    }
    // Exactly the old places for the middle pair, free of rounding.
    if (count % 2 == 0 && count >= 2) {
        offsets[count / 2 - 1] = QPointF(-kMiddleHalfSpread, -kMiddleRise);
        offsets[count / 2] = QPointF(kMiddleHalfSpread, -kMiddleRise);
    }
    return offsets;
}

void FanMenu::unfold() {
    if (!menuButton_) {
        return;
    }
    unfolded_ = true;
    const QPointF c = menuButton_->center();
    const std::vector<QPointF> offsets = arcOffsets(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) {
        Button* button = entries_[i].button;
        if (!button) {
            continue;
        }
        button->setUserInteractionEnabled(true);
        Animation::animate(button, "alpha", 1.0, kFanSeconds);
        Animation::animate(button, "center", c + offsets[i], kFanSeconds);
    }
}

void FanMenu::fold(std::type_index activeTool) {
    if (!menuButton_) {
        return;
    }
    unfolded_ = false;
    const QPointF c = menuButton_->center();
    for (const Entry& entry : entries_) {
        if (!entry.button) {
            continue;
        }
        const bool active = entry.tool.type == activeTool;
        entry.button->setUserInteractionEnabled(false);
        // Ringed, so that the open menu shows which tool is in use.
        entry.button->setBorder(active ? 3 : 0, kActiveRing);
        if (!active) {
            Animation::animate(entry.button, "alpha", 0.0, kFanSeconds);
        } else {
            menuButton_->setAccessibleDescription(
                QStringLiteral("Active tool: %1").arg(entry.tool.accessibleName));
            menuButton_->setToolTip(
                QStringLiteral("Choose a tool (now: %1)").arg(entry.tool.accessibleName));
        }
        Animation::animate(entry.button, "center", c, kFanSeconds);
    }
}
