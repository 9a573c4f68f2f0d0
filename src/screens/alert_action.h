#pragma once

#include <QString>
#include <functional>

enum class AlertActionStyle : int {
    defaultStyle = 0,
    cancel = 1,
    destructive = 2,
};

// One button of an alert. The handler runs after the alert has been dismissed; it may
// present another screen or dismiss the screen below. A handler that needs the alert (to
// read its text fields) holds it weakly, as a QPointer.
class AlertAction {
public:
    using Handler = std::function<void()>;

    AlertAction(QString title, AlertActionStyle style, Handler handler = {})
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

    const QString& title() const { return title_; }
    AlertActionStyle style() const { return style_; }
    const Handler& handler() const { return handler_; }

private:
    QString title_;
    AlertActionStyle style_;
    Handler handler_;
};
