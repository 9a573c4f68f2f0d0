#pragma once

#include <QMetaObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/fetch_request.h"
#include "store/managed_object.h"
#include "store/store_error.h"

class Drawing;
class SqliteStore;
class QSqlQuery;
class Thumbnail;

// The one main-thread context of a store. It hands out one object per stored row, so a
// record fetched twice is the same object with its unsaved changes, and keeps new records,
// changed attributes and deletions until save(). Records that nothing refers to any more are
// released whenever the thread's event loop waits for events (see ManagedObject). Without an
// open store it still holds records in memory, and every fetch, batch delete and save that
// needs the file reports that the store is not open.
class ManagedObjectContext {
public:
    // The store is not owned and must outlive the context.
    explicit ManagedObjectContext(SqliteStore* store);
    // Records still referred to outlive it, readable, without a context.
    ~ManagedObjectContext();
    ManagedObjectContext(const ManagedObjectContext&) = delete;
    ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

    // A new, empty record of "Drawing", "Thumbnail" or "ColorHistory"; nothing for any
    // other name. Drawings and thumbnails get a fresh random id.
    ManagedObject* insertNewObject(const QString& entityName);
    ManagedObject* insertNewObject(Entity entity);

    // The stored records in insertion order, then those inserted since the last save; records
    // whose deletion waits for the next save are left out.
    FetchResult fetch(const FetchRequest& request);

    // Deletes the matching rows straight in the file, in one transaction, without telling the
    // context: objects the caller holds stay readable, with their relations. Deleting a
    // thumbnail deletes the drawing it shows, and deleting a drawing its thumbnail, so that
    // no row is left that nothing reaches.
    std::optional<StoreError> executeBatchDelete(const FetchRequest& request);

    // Deletes the record with the next save, with the same rule for linked rows as batch
    // deletes; a record inserted since the last save is simply thrown away.
    void deleteObject(ManagedObject* object);

    // Writes every pending insertion, change and deletion in one transaction. On failure
    // nothing is written and everything stays pending for the next save. A thumbnail that a
    // drawing let go of in this save is deleted with it unless another drawing took it.
    // alsoWithin runs inside the same transaction (even when nothing else is pending), so
    // that its writes commit or fail with the save.
    using WithinSave = std::function<std::optional<StoreError>()>;
    std::optional<StoreError> save(const WithinSave& alsoWithin = {});
    // The same for the colour history alone: pending drawings and thumbnails stay as they are,
    // so that choosing a colour never writes what an open editor has not saved.
    std::optional<StoreError> saveColorHistory();

    // Throws away every pending insertion, change and deletion: changed records read again as
    // the store holds them, links included, and inserted ones leave the context (a caller's
    // pointer stays readable until the record is released).
    void rollback();

    bool hasChanges() const { return !inserted_.empty() || !updated_.empty() || !deleted_.empty(); }

    // How many records are in memory.
    size_t registeredObjectCount() const { return live_.size(); }
    // Releases the records that nothing refers to. Runs by itself whenever the event loop of
    // the context's thread waits for events.
    void releaseUnreferencedObjects();

private:
    friend class ManagedObject;
    friend class Drawing;
    friend class Thumbnail;

    struct Match {
        QString column;
        QVariant value;
    };

    void objectWillChange(ManagedObject* object);
    void objectDidChange(ManagedObject* object);
    void listForRelease(ManagedObject* object);
    void resolveThumbnail(const Drawing* drawing);
    void resolveDrawing(const Thumbnail* thumbnail);

    std::optional<Match> matchFor(Entity entity, const QString& key, const QVariant& value,
                                  QString& problem) const;
    ManagedObject* registered(Entity entity, int64_t key) const;
    ManagedObject* objectWithKey(Entity entity, int64_t key);
    ManagedObject* materialize(Entity entity, const QSqlQuery& row);
    ManagedObject* adopt(std::unique_ptr<ManagedObject> object);

    // Which pending work a save takes: all of it, or the colour history's alone.
    std::optional<StoreError> saveWhere(bool colorHistoryOnly, const WithinSave& alsoWithin);
    // Runs the statements that delete the matching rows, inside the caller's transaction.
    std::optional<StoreError> deleteRows(Entity entity, const Match& match,
                                         const QString& operation);
    std::optional<StoreError> insertRow(ManagedObject* object, int64_t& key);
    // Adds to released the thumbnail a drawing lets go of.
    std::optional<StoreError> updateRow(ManagedObject* object, QStringList& released);

    SqliteStore* store_;
    // Every record in memory; the context owns those that nothing else refers to.
    std::unordered_set<ManagedObject*> live_;
    std::array<std::unordered_map<int64_t, ManagedObject*>, 3> registry_;
    std::vector<RecordRef<ManagedObject>> inserted_;
    std::vector<RecordRef<ManagedObject>> updated_;
    std::vector<RecordRef<ManagedObject>> deleted_;
    // Stored records that keep their stored state for a rollback.
    std::vector<RecordRef<ManagedObject>> touched_;
    std::vector<ManagedObject*> releaseList_;
    QMetaObject::Connection releaseConnection_;
    bool tearingDown_ = false;
};
