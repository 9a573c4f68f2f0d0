#pragma once

#include <QVariant>
#include <functional>

class QObject;

// Timed property changes. Tests switch animations off so that every change lands at once.
class Animation {
public:
    Animation() = delete;

    static bool enabled();
    static void setEnabled(bool enabled);

    // Moves target's property to endValue over seconds (ease in-out), then runs finished.
    // With animations off or a duration of 0 the value is set and finished runs at once.
    static void animate(QObject* target, const char* property, const QVariant& endValue,
                        double seconds, std::function<void()> finished = {});
};
