#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointF>
#include <QTimer>
#include <charconv>
#include <ostream>

#include "platform/color.h"
#include "platform/user_defaults.h"

ScopedDataDir::ScopedDataDir() : previous_(qgetenv("TILEBLOOM_DATA_DIR")) {
    qputenv("TILEBLOOM_DATA_DIR", dir_.path().toUtf8());
    UserDefaults::standard().reload();
}

ScopedDataDir::~ScopedDataDir() {
    qputenv("TILEBLOOM_DATA_DIR", previous_);
    UserDefaults::standard().reload();
}

std::string captureStdout(const std::function<void()>& call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

void processEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void waitForEvents() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

int positiveFromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

namespace {
// The shortest text that reads back as the same number.
std::string number(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}
}  // namespace

void PrintTo(const Color& color, std::ostream* out) {
    const auto& c = color.components();
    switch (color.space()) {
        case ColorSpace::rgb:
            *out << "rgb(" << number(c[0]) << ", " << number(c[1]) << ", " << number(c[2]) << ", "
                 << number(c[3]) << ")";
            return;
        case ColorSpace::gray:
            *out << "grey(" << number(c[0]) << ", " << number(c[1]) << ")";
            return;
        case ColorSpace::pattern:
            break;
    }
    *out << "pattern";
}

void PrintTo(const QPointF& point, std::ostream* out) {
    *out << "(" << number(point.x()) << ", " << number(point.y()) << ")";
}
