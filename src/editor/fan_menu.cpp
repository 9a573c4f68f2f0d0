#include "editor/fan_menu.h"

#include "platform/animation.h"
#include "imaging/image_asset.h"

namespace {
constexpr double kFanSpread = 50;  // half the distance between neighbouring tools
constexpr double kFanRise = 70;
constexpr double kFanSeconds = 0.3;
constexpr double kToolButtonSize = 50;
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
    button->setToolTip(tool.toolTip);
    button->setImageEdgeInsets(QMarginsF(13, 13, 13, 13));
    button->setBackgroundColor(Color::white());
    button->setImage(ImageAsset::icon(tool.icon));
    button->setCornerRadius(kToolButtonSize / 2);
    button->setShadow(Color::black(), 5, 0.5, QPointF(0, 5));
    button->setFrame(QRectF(0, 0, kToolButtonSize, kToolButtonSize));
    if (menuButton_) {
        // Start folded, so that nothing flies in from a corner while the editor opens.
        button->setCenter(menuButton_->center());
    }
    QObject::connect(button, &Button::clicked, button, [this, make = tool.make] {
        if (onToolChosen) {
            onToolChosen(make());
        }
    });
    button->show();
    button->raise();
    button->setUserInteractionEnabled(false);
    entries_.push_back({std::move(tool), button});
    return button;
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
        for (const Entry& entry : entries_) {
            if (entry.button) {
                entry.button->setCenter(center);
            }
        }
    }
}

void FanMenu::unfold() {
    if (!menuButton_) {
        return;
    }
    const QPointF c = menuButton_->center();
    const double middle = (static_cast<double>(entries_.size()) - 1) / 2;
    for (size_t i = 0; i < entries_.size(); ++i) {
        Button* button = entries_[i].button;
        if (!button) {
            continue;
        }
        button->setUserInteractionEnabled(true);
        Animation::animate(button, "alpha", 1.0, kFanSeconds);
        const double dx = (static_cast<double>(i) - middle) * 2 * kFanSpread;
        Animation::animate(button, "center", QPointF(c.x() + dx, c.y() - kFanRise), kFanSeconds);
    }
}

void FanMenu::fold(std::type_index activeTool) {
    if (!menuButton_) {
        return;
    }
    const QPointF c = menuButton_->center();
    for (const Entry& entry : entries_) {
        if (!entry.button) {
            continue;
        }
        entry.button->setUserInteractionEnabled(false);
        if (entry.tool.type != activeTool) {
            Animation::animate(entry.button, "alpha", 0.0, kFanSeconds);
        }
        Animation::animate(entry.button, "center", c, kFanSeconds);
    }
}
