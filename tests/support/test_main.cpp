#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/animation.h"
#include "platform/screen_metrics.h"

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
