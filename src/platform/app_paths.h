#pragma once

#include <QString>

// Where the app keeps its data and settings: TILEBLOOM_DATA_DIR when set (tests use it to
// stay isolated), otherwise the usual per-user locations. The folders are made on first use,
// private to the user (0700).
class AppPaths {
public:
    AppPaths() = delete;

    static QString dataDirectory();
    static QString settingsFile();
    // Where copies for the image viewer go: a folder of the user's runtime folder, else of
    // their cache, else of the data folder when TILEBLOOM_DATA_DIR is set. Not made here: the
    // share sheet makes it and reports what goes wrong.
    static QString viewerDirectory();
};
