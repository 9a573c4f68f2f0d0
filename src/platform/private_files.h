#pragma once

#include <QString>

// Folders and files the app keeps for itself: folders 0700, files 0600, whatever the umask.
// Every function returns an error sentence users can read, empty on success.
class PrivateFiles {
public:
    PrivateFiles() = delete;

    enum class Links {
        // The folder may be reached through a link (the user's own data folder may live on
        // another disk); what it leads to must still be a folder of this user's.
        follow,
        // The folder itself must not be a link (a folder in a place other users can reach).
        refuse,
    };

    // Makes folder and its missing parents (parents as the umask says) and makes sure that
    // only this user can enter it: a folder of this user's is narrowed to 0700, anything else
    // (a file, another user's folder) is refused.
    static QString makeFolder(const QString& folder, Links links = Links::follow);

    // Creates path as an empty 0600 file when nothing is there, never through a link; an
    // existing regular file of this user's is narrowed to 0600 where the file system allows;
    // anything else (a link, a FIFO, a folder, another user's file) is refused.
    static QString makeFile(const QString& path);

    // What sits at path when it is not a regular file ("a FIFO", "a symbolic link", ...),
    // looked at without following links; empty for a regular file or nothing at all.
    static QString nonRegularKind(const QString& path);
    // The same for a file mode as stat gives it.
    static QString kindOf(unsigned mode);
};
