#pragma once

#include <QSqlDatabase>
#include <QString>
#include <memory>
#include <optional>

#include "store/store_error.h"

class DraftStore;
class ManagedObjectContext;
class SqliteStore;

// A named store: the file <name>.sqlite in AppPaths::dataDirectory() and its one main
// context. The context exists from construction; the file is opened by
// loadPersistentStores().
class PersistentContainer {
public:
    explicit PersistentContainer(QString name);
    ~PersistentContainer();
    PersistentContainer(const PersistentContainer&) = delete;
    PersistentContainer& operator=(const PersistentContainer&) = delete;

    const QString& name() const { return name_; }

    // Opens the store file, or returns why it could not. Without a store the context keeps
    // working in memory and every operation that needs the file reports its own failure.
    // The file is never deleted or replaced, whatever state it is in.
    std::optional<StoreError> loadPersistentStores();

    ManagedObjectContext* viewContext() const { return viewContext_.get(); }
    // The open editors' drafts; nothing unless the store file is open.
    DraftStore* drafts() const { return drafts_.get(); }
    // True once the store file has been opened.
    bool isStoreLoaded() const;

    // Empty until loadPersistentStores() has run.
    QString storeFilePath() const;
    // The store's connection, for diagnostics and tests (an invalid one before loading).
    QSqlDatabase database() const;

private:
    QString name_;
    std::unique_ptr<SqliteStore> store_;
    std::unique_ptr<ManagedObjectContext> viewContext_;
    std::unique_ptr<DraftStore> drafts_;
};
