#include "test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

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
