#include "app/start_probe.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "screens/app_window.h"
#include "screens/platform_view_controller.h"
#include "screens/screen_stack.h"
#include "screens/storyboard.h"

namespace {
bool startupProbe() {
    return qEnvironmentVariableIntValue("TILEBLOOM_STARTUP_PROBE") == 1;
}
bool memoryProbe() {
    return qEnvironmentVariableIntValue("TILEBLOOM_MEMORY_PROBE") == 1;
}

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// A line of /proc/self/status, such as "VmRSS:   81234 kB", in megabytes.
double statusMegabytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return -1;
}

// The probes end the process at once: their figures are taken, and tearing down is not
// part of what they measure.
[[noreturn]] void finish() {
    std::fflush(stdout);
    std::_Exit(0);
}
}  // namespace

bool StartProbe::requested() {
    return startupProbe() || memoryProbe();
}

StartProbe::StartProbe(AppWindow& window, const QElapsedTimer& mainStarted)
    : window_(&window), mainStarted_(mainStarted) {
    if (requested()) {
        qApp->installEventFilter(this);
    }
}

bool StartProbe::eventFilter(QObject* watched, QEvent* event) {
    if (!painted_ && event->type() == QEvent::Paint && watched->isWidgetType() && window_ &&
        static_cast<QWidget*>(watched)->window() == window_) {
        painted_ = true;
        // The frame is on screen once the paint that began it has been flushed.
        QTimer::singleShot(0, this, [this] { firstFramePainted(); });
    }
    return false;
}

void StartProbe::firstFramePainted() {
    if (startupProbe()) {
        std::printf("First frame painted %.1f ms after main() began; monotonic clock %.3f ms\n",
                    double(mainStarted_.nsecsElapsed()) / 1e6, monotonicMs());
        finish();
    }
    openEditorAndMeasure();
}

void StartProbe::openEditorAndMeasure() {
    PlatformViewController* home = window_ ? window_->screenStack()->topViewController() : nullptr;
    PlatformViewController* editor = Storyboard::main().instantiateViewController("draw");
    if (!home || !editor) {
        std::printf("Memory probe: no editor to open\n");
        finish();
    }
    editor->setModalPresentationStyle(ModalPresentationStyle::fullScreen);
    home->present(editor, false);
    QTimer::singleShot(1000, this, [] {
        std::printf("Resident memory with the editor open: %.1f MB (peak %.1f MB)\n",
                    statusMegabytes("VmRSS:"), statusMegabytes("VmHWM:"));
        finish();
    });
}
