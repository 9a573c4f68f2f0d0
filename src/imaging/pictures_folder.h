#pragma once

#include <QString>

// The user's Pictures folder, where the share sheet saves and the photo picker looks.
// TILEBLOOM_PICTURES_DIR, when set, stands in for it; otherwise a run with TILEBLOOM_DATA_DIR
// set uses the "Pictures" folder inside that data folder, so that isolated runs (tests)
// never read or write the user's own pictures.
class PicturesFolder {
public:
    PicturesFolder() = delete;

    // The folder itself; it may not exist yet and is not created here.
    static QString location();
    // Where the app saves inside a Pictures folder: its "Tilebloom" subfolder.
    static QString saveFolder(const QString& picturesFolder);
    // Whether folder exists, or could be created because its nearest existing ancestor is a
    // writable folder.
    static bool isUsable(const QString& folder);
    // The path as users read it: the home folder shortened to "~".
    static QString displayPath(const QString& path);
};
