#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "store/fetch_request.h"
#include "store/managed_object.h"
#include "store/store_error.h"

class Drawing;
class SqliteStore;
class QSqlQuery;
class Thumbnail;

// The one main-thread context of a store. It owns every record inserted into it or fetched
// through it, keeps new records and changed attributes until save(), and hands out one
// object per stored row, so a record fetched twice is the same object with its unsaved
// changes. Without an open store it still holds records in memory, and every fetch, batch
// delete and save that needs the file reports that the store is not open.
class ManagedObjectContext {
public:
    // The store is not owned and must outlive the context.
    explicit ManagedObjectContext(SqliteStore* store);
    ~ManagedObjectContext();
    ManagedObjectContext(const ManagedObjectContext&) = delete;
    ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

    // A new, empty record of "Drawing", "Thumbnail" or "ColorHistory"; nothing for any
    // other name. Drawings and thumbnails get a fresh random id.
    ManagedObject* insertNewObject(const QString& entityName);
    ManagedObject* insertNewObject(Entity entity);

    // The stored records in insertion order, then those inserted since the last save.
    FetchResult fetch(const FetchRequest& request);

    // Deletes the matching rows straight in the file, in one transaction, without telling the
    // context: objects the caller holds stay readable, with their relations. Deleting a
    // thumbnail deletes the drawing it shows, and deleting a drawing its thumbnail, so that
    // no row is left that nothing reaches.
    std::optional<StoreError> executeBatchDelete(const FetchRequest& request);

    // Writes every pending insertion and change in one transaction. On failure nothing is
    // written and everything stays pending for the next save. A thumbnail that a drawing
    // let go of in this save is deleted with it unless another drawing took it.
    std::optional<StoreError> save();
    bool hasChanges() const { return !inserted_.empty() || !updated_.empty(); }

private:
    friend class ManagedObject;
    friend class Drawing;
    friend class Thumbnail;

    struct Match {
        QString column;
        QVariant value;
    };

    void objectDidChange(ManagedObject* object);
    void resolveThumbnail(const Drawing* drawing);
    void resolveDrawing(const Thumbnail* thumbnail);

    std::optional<Match> matchFor(Entity entity, const QString& key, const QVariant& value,
                                  QString& problem) const;
    ManagedObject* registered(Entity entity, int64_t key) const;
    ManagedObject* objectWithKey(Entity entity, int64_t key);
    ManagedObject* materialize(Entity entity, const QSqlQuery& row);
    ManagedObject* adopt(std::unique_ptr<ManagedObject> object);

    std::optional<StoreError> insertRow(ManagedObject* object, int64_t& key);
    // Adds to released the thumbnail a drawing lets go of.
    std::optional<StoreError> updateRow(ManagedObject* object, QStringList& released);

    SqliteStore* store_;
    std::vector<std::unique_ptr<ManagedObject>> objects_;
    std::array<std::unordered_map<int64_t, ManagedObject*>, 3> registry_;
    std::vector<ManagedObject*> inserted_;
    std::vector<ManagedObject*> updated_;
};
