#pragma once

#include <QString>

// Where the app keeps its data and settings: TILEBLOOM_DATA_DIR when set (tests use it to
// stay isolated), otherwise the usual per-user locations.
class AppPaths {
public:
    AppPaths() = delete;

    static QString dataDirectory();
    static QString settingsFile();
};
