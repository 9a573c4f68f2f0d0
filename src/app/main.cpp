#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include "app/app_delegate.h"
#include "app/picture_import.h"
#include "app/scene_delegate.h"
#include "app/start_probe.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/screen_metrics.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"

int main(int argc, char** argv) {
    QElapsedTimer mainStarted;
    mainStarted.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tilebloom"));
    QApplication::setOrganizationName(QStringLiteral("Tilebloom"));
    QApplication::setApplicationVersion(QStringLiteral(TILEBLOOM_VERSION));
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tilebloom"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Paint small square pixel pictures."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write what the window shows to <file> "
                                                       "as PNG and exit."),
                                        QStringLiteral("file"));
    const QCommandLineOption tablet(QStringLiteral("tablet"),
                                    QStringLiteral("Open a tablet-sized window."));
    parser.addOption(screenshot);
    parser.addOption(tablet);
    parser.addPositionalArgument(QStringLiteral("picture"),
                                 QStringLiteral("A picture to open as a new drawing."),
                                 QStringLiteral("[picture]"));
    parser.process(app);

    ScreenMetrics metrics = parser.isSet(tablet) ? ScreenMetrics::tablet() : ScreenMetrics::phone();
    if (QScreen* screen = app.primaryScreen()) {
        metrics.scale = screen->devicePixelRatio();
    }
    ScreenMetrics::configure(metrics);

    // The delegate owns the store, so it outlives every screen.
    AppDelegate appDelegate;
    Application::shared().setDelegate(&appDelegate);
    appDelegate.applicationDidFinishLaunching(Application::shared());
    AppDelegate::registerScreens(Storyboard::main());

    int result = 0;
    {
        SceneDelegate scene;
        scene.willConnect(metrics);
        AppWindow& window = *scene.window;
        const StartProbe probe(window, mainStarted);
        window.show();

        const QStringList pictures = parser.positionalArguments();
        if (!pictures.isEmpty()) {
            // Opened over the home screen once it is up, as if it had been chosen there.
            const QString path = pictures.first();
            QTimer::singleShot(0, &window, [&window, path] {
                PictureImport::openFile(window.screenStack()->topViewController(), path);
            });
        }

        if (parser.isSet(screenshot)) {
            const QString path = parser.value(screenshot);
            // Let the first frames lay out and paint before taking the picture.
            QTimer::singleShot(300, &app, [&window, &app, path] {
                const bool saved = window.snapshot().save(path, "PNG");
                if (!saved) {
                    printLine(QStringLiteral("Could not write the screenshot to %1.").arg(path));
                }
                app.exit(saved ? 0 : 1);
            });
        }
        result = app.exec();
    }
    Application::shared().setDelegate(nullptr);
    return result;
}
