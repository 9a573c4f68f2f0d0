#pragma once

#include <QString>

// Names of share-sheet activities. The first four name destinations a share sheet can be
// told to leave out; of them only copyToPasteboard exists on this platform. The last three
// are this platform's own destinations.
struct ActivityType {
    ActivityType() = delete;

    static inline const QString addToReadingList = QStringLiteral("addToReadingList");
    static inline const QString assignToContact = QStringLiteral("assignToContact");
    static inline const QString openInIBooks = QStringLiteral("openInIBooks");
    static inline const QString copyToPasteboard = QStringLiteral("copyToPasteboard");

    static inline const QString saveToPictures = QStringLiteral("saveToPictures");
    static inline const QString saveAs = QStringLiteral("saveAs");
    static inline const QString openInImageViewer = QStringLiteral("openInImageViewer");
};
