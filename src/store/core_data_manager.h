#pragma once

#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

#include "platform/color.h"
#include "store/managed_object_context.h"

class Drawing;
class Thumbnail;

// Every read, save and delete of stored drawings, thumbnails and the colour history. All
// operations run on the main thread against the application's main context, and report a
// failure only as one console line: the message, the error's description, ", " and its
// details. Without an application container they do nothing and return the empty result.
class CoreDataManager {
public:
    CoreDataManager() = delete;

    // Every thumbnail, oldest saved first; nothing when the fetch failed.
    static std::optional<std::vector<Thumbnail*>> loadThumbnails();
    // Gives the stored record with the drawing's id the drawing's colours and thumbnail, and
    // saves. True when the store was saved; false, silently, for an id that is not stored.
    static bool updateDrawing(Drawing* drawing,
                              const ManagedObjectContext::WithinSave& alsoWithin = {});
    // Saves a new or reopened drawing; a reopened one loses its previous thumbnail. alsoWithin
    // runs inside the transaction that writes the drawing.
    static void saveDrawing(Drawing* drawing, Thumbnail* previousThumbnail,
                            const ManagedObjectContext::WithinSave& alsoWithin = {});
    // The stored drawing with this id; nothing when there is none or it cannot be fetched.
    static Drawing* loadDrawing(const QUuid& id);
    static void saveDuplicate(Drawing* drawing);
    // Deletes the thumbnail's stored record, and with it the drawing it shows.
    static void deleteThumbnail(Thumbnail* thumbnail,
                                const QString& message = QStringLiteral("Could not delete. "));
    // The history colours, newest first; nothing when the fetch failed.
    static std::optional<std::vector<Color>> loadColorHistory();
    // The colour history operations write the history alone: drawings and thumbnails that
    // wait to be saved (an open editor's) stay unsaved.
    static void saveColor(const Color& color);
    // Deletes every history entry equal to the colour (same space, same components).
    static void deleteColor(const Color& color);
    // Makes the colour the newest history entry, in place of every entry that shows the same
    // (showSameColor), in one transaction: on failure the history stays as it was.
    static void recordColor(const Color& color);
    // Colours that show the same: equal red, green, blue and alpha, whatever space they are
    // kept in (a grey white and an RGB white); colours without RGB form only when equal.
    static bool showSameColor(const Color& a, const Color& b);

    // False when the store file could not be opened (unreadable, foreign, from a newer
    // version): the drawings are there but cannot be shown, and nothing can be saved.
    static bool storeIsOpen();
};
