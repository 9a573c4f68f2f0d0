#include "platform/animation.h"

#include <QPropertyAnimation>

namespace {
bool& animationsEnabled() {
    static bool enabled = true;
    return enabled;
}
}  // namespace

bool Animation::enabled() {
    return animationsEnabled();
}

void Animation::setEnabled(bool enabled) {
    animationsEnabled() = enabled;
}

void Animation::animate(QObject* target, const char* property, const QVariant& endValue,
                        double seconds, std::function<void()> finished) {
    if (!target) {
        return;
    }
    // A new change of a property replaces the animation of it that is under way.
    const QString name = QStringLiteral("animation:") + QLatin1String(property);
    if (auto* running = target->findChild<QPropertyAnimation*>(name, Qt::FindDirectChildrenOnly)) {
        running->setObjectName(QString());
        running->stop();
        running->deleteLater();
    }
    if (!enabled() || seconds <= 0) {
        target->setProperty(property, endValue);
        if (finished) {
            finished();
        }
        return;
    }
    auto* animation = new QPropertyAnimation(target, property, target);
    animation->setObjectName(name);
    animation->setDuration(static_cast<int>(seconds * 1000));
    animation->setEndValue(endValue);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    if (finished) {
        QObject::connect(animation, &QPropertyAnimation::finished, target, std::move(finished));
    }
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
