#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <functional>
#include <string>

// Points TILEBLOOM_DATA_DIR at a fresh folder for one test and puts the old value back after.
class ScopedDataDir {
public:
    ScopedDataDir();
    ~ScopedDataDir();
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// What the call printed on standard output.
std::string captureStdout(const std::function<void()>& call);

// Runs queued calls, timers that are due and deferred deletions.
void processEvents();

// One turn of a real event loop, which waits for events as the app's loop does between them
// (records that nothing holds are released then).
void waitForEvents();

// A positive number from the environment (longer runs ask for more), else the fallback.
int positiveFromEnvironment(const char* name, int fallback);
