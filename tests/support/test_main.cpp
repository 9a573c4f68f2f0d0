#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/animation.h"
#include "platform/screen_metrics.h"

// The sanitizers read their options before main, from these hooks unless the environment
// says otherwise; a test property cannot carry several variables through test discovery.
extern "C" {
const char* __asan_default_options() {
    return "detect_leaks=1:abort_on_error=1";
}
const char* __lsan_default_options() {
    return "suppressions=" TILEBLOOM_LSAN_SUPPRESSIONS;
}
const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:"
           "suppressions=" TILEBLOOM_TSAN_SUPPRESSIONS;
}
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Nothing a test writes may land in the user's own data.
    QTemporaryDir dataDir;
    qputenv("TILEBLOOM_DATA_DIR", dataDir.path().toUtf8());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tilebloom"));
    QApplication::setOrganizationName(QStringLiteral("Tilebloom"));
    Animation::setEnabled(false);
    ScreenMetrics::configure(ScreenMetrics::phone());

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
