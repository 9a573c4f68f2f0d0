#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class AppWindow;

// Measurement hooks for the start-up and memory figures, switched on by the environment:
// - TILEBLOOM_STARTUP_PROBE=1: at the window's first painted frame, prints how long after
//   main() began that was and the monotonic clock's reading (so that whoever started the
//   process can take the time from its own start), then exits;
// - TILEBLOOM_MEMORY_PROBE=1: after the first frame opens the editor on a blank drawing, lets
//   it rest for a second, prints the resident memory and exits.
// Without either variable it does nothing.
class StartProbe : public QObject {
public:
    // mainStarted runs from the top of main().
    StartProbe(AppWindow& window, const QElapsedTimer& mainStarted);

    static bool requested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void firstFramePainted();
    void openEditorAndMeasure();

    QPointer<AppWindow> window_;
    QElapsedTimer mainStarted_;
    bool painted_ = false;
};
