#include "store/persistent_container.h"

#include "platform/app_paths.h"
#include "store/draft_store.h"
#include "store/managed_object_context.h"
#include "store/sqlite_store.h"

PersistentContainer::PersistentContainer(QString name)
    : name_(std::move(name)),
      // Until the store is loaded, operations that need the file report it is not open.
      store_(std::make_unique<SqliteStore>()),
      viewContext_(std::make_unique<ManagedObjectContext>(store_.get())) {}

PersistentContainer::~PersistentContainer() {
    // Records first: they belong to the context, which uses the store.
    drafts_.reset();
    viewContext_.reset();
    store_.reset();
}

std::optional<StoreError> PersistentContainer::loadPersistentStores() {
    auto failure = store_->open(AppPaths::dataDirectory() + QLatin1Char('/') + name_ +
                                QStringLiteral(".sqlite"));
    if (!failure && !drafts_) {
        drafts_ = std::make_unique<DraftStore>(store_.get());
    }
    return failure;
}

bool PersistentContainer::isStoreLoaded() const {
    return store_->isOpen();
}

QString PersistentContainer::storeFilePath() const {
    return store_->path();
}

QSqlDatabase PersistentContainer::database() const {
    return store_->database();
}
