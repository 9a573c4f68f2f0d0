#include "store/managed_object_context.h"

#include <QAbstractEventDispatcher>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <algorithm>

#include "platform/console.h"
#include "store/color_archive.h"
#include "store/color_history_record.h"
#include "store/drawing.h"
#include "store/sqlite_store.h"
#include "store/thumbnail.h"

namespace {
size_t slot(Entity entity) {
    return static_cast<size_t>(entity);
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces);
}

// Reading a row goes through these, with the linked row's seq last (NULL when unlinked).
QString selectFor(Entity entity) {
    switch (entity) {
        case Entity::drawing:
            return QStringLiteral(
                "SELECT r.seq, r.id, r.width, r.height, r.colorArray, t.seq FROM Drawing r"
                " LEFT JOIN Thumbnail t ON t.id = r.thumbnail");
        case Entity::thumbnail:
            return QStringLiteral(
                "SELECT r.seq, r.id, r.date, r.fileName, r.imageData, d.seq FROM Thumbnail r"
                " LEFT JOIN Drawing d ON d.thumbnail = r.id");
        case Entity::colorHistory:
            return QStringLiteral("SELECT r.seq, r.color FROM ColorHistory r");
    }
    return {};
}

bool holdsEveryCell(const Drawing& drawing) {
    const int64_t width = drawing.width();
    const int64_t height = drawing.height();
    if (width < 0 || height < 0 || (width > 0 && height > INT64_MAX / width)) {
        return false;
    }
    return static_cast<uint64_t>(width * height) == drawing.colorArray().size();
}

QUuid readUuid(const QVariant& text, Entity entity, int64_t key) {
    const QUuid id = QUuid::fromString(text.toString());
    if (id.isNull()) {
        printLine(QStringLiteral("Stored %1 %2 has an unreadable id.")
                      .arg(ManagedObject::nameOf(entity))
                      .arg(key));
    }
    return id;
}
}  // namespace

ManagedObjectContext::ManagedObjectContext(SqliteStore* store) : store_(store) {}

ManagedObjectContext::~ManagedObjectContext() {
    QObject::disconnect(releaseConnection_);
    tearingDown_ = true;
    inserted_.clear();
    updated_.clear();
    deleted_.clear();
    for (ManagedObject* object : live_) {
        object->dropSavedState();
    }
    touched_.clear();
    // Cut every link first, so that what is left refers only to what callers hold.
    for (ManagedObject* object : live_) {
        object->dropLinks();
    }
    for (ManagedObject* object : live_) {
        if (object->refs_ == 0) {
            delete object;
        } else {
            object->context_ = nullptr;  // goes when its last reference does
        }
    }
}

ManagedObject* ManagedObjectContext::insertNewObject(const QString& entityName) {
    const std::optional<Entity> entity = ManagedObject::entityNamed(entityName);
    return entity ? insertNewObject(*entity) : nullptr;
}

ManagedObject* ManagedObjectContext::insertNewObject(Entity entity) {
    ManagedObject* object = nullptr;
    switch (entity) {
        case Entity::drawing: {
            auto drawing = std::unique_ptr<Drawing>(new Drawing(this));
            drawing->id_ = QUuid::createUuid();
            object = adopt(std::move(drawing));
            break;
        }
        case Entity::thumbnail: {
            auto thumbnail = std::unique_ptr<Thumbnail>(new Thumbnail(this));
            thumbnail->id_ = QUuid::createUuid();
            object = adopt(std::move(thumbnail));
            break;
        }
        case Entity::colorHistory:
            object = adopt(std::unique_ptr<ColorHistoryRecord>(new ColorHistoryRecord(this)));
            break;
    }
    inserted_.emplace_back(object);
    return object;
}

ManagedObject* ManagedObjectContext::adopt(std::unique_ptr<ManagedObject> object) {
    ManagedObject* adopted = object.release();
    live_.insert(adopted);
    // Nothing refers to it yet: it stays until the event loop next waits, then goes unless
    // something took it.
    listForRelease(adopted);
    return adopted;
}

void ManagedObjectContext::objectWillChange(ManagedObject* object) {
    touched_.emplace_back(object);
}

void ManagedObjectContext::objectDidChange(ManagedObject* object) {
    updated_.emplace_back(object);
}

void ManagedObjectContext::listForRelease(ManagedObject* object) {
    if (tearingDown_ || object->listedForRelease_ || object->releasing_) {
        return;
    }
    object->listedForRelease_ = true;
    releaseList_.push_back(object);
    if (!releaseConnection_) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
            releaseConnection_ =
                QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                 [this] { releaseUnreferencedObjects(); });
        }
    }
}

void ManagedObjectContext::releaseUnreferencedObjects() {
    while (!releaseList_.empty()) {
        std::vector<ManagedObject*> listed;
        listed.swap(releaseList_);
        for (ManagedObject* object : listed) {
            object->listedForRelease_ = false;
        }
        std::vector<ManagedObject*> going;
        auto release = [&going](ManagedObject* object) {
            object->releasing_ = true;
            going.push_back(object);
        };
        for (ManagedObject* object : listed) {
            if (object->releasing_) {
                continue;
            }
            if (object->refs_ == 0) {
                release(object);
                continue;
            }
            // Two linked records that only refer to each other.
            ManagedObject* partner = object->heldPartner();
            if (object->refs_ == 1 && partner != nullptr && !partner->releasing_ &&
                partner->refs_ == 1 && partner->heldPartner() == object) {
                release(object);
                release(partner);
            }
        }
        // Letting go of links may leave other records unreferenced: they are listed again.
        for (ManagedObject* object : going) {
            object->dropLinks();
        }
        for (ManagedObject* object : going) {
            if (!object->isInserted()) {
                auto& keys = registry_[slot(object->entity())];
                const auto found = keys.find(object->rowKey_);
                if (found != keys.end() && found->second == object) {
                    keys.erase(found);
                }
            }
            live_.erase(object);
            delete object;
        }
    }
}

ManagedObject* ManagedObjectContext::registered(Entity entity, int64_t key) const {
    const auto& objects = registry_[slot(entity)];
    const auto found = objects.find(key);
    return found == objects.end() ? nullptr : found->second;
}

std::optional<ManagedObjectContext::Match> ManagedObjectContext::matchFor(Entity entity,
                                                                          const QString& key,
                                                                          const QVariant& value,
                                                                          QString& problem) const {
    auto text = [&](const QString& column) -> std::optional<Match> {
        if (value.typeId() != QMetaType::QString) {
            return std::nullopt;
        }
        return Match{column, value};
    };
    std::optional<Match> match;
    if (key == u"id" && entity != Entity::colorHistory) {
        QUuid id = value.value<QUuid>();
        if (value.typeId() == QMetaType::QString) {
            id = QUuid::fromString(value.toString());
        }
        if (value.metaType() == QMetaType::fromType<QUuid>() ||
            value.typeId() == QMetaType::QString) {
            match = Match{QStringLiteral("id"), uuidText(id)};
        }
    } else if (entity == Entity::drawing && (key == u"width" || key == u"height")) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (ok) {
            match = Match{key, number};
        }
    } else if (entity == Entity::drawing && key == u"colorArray") {
        if (value.metaType() == QMetaType::fromType<std::vector<Color>>()) {
            match = Match{key, ColorArchive::encode(value.value<std::vector<Color>>())};
        }
    } else if (entity == Entity::thumbnail && (key == u"date" || key == u"fileName")) {
        match = text(key);
    } else if (entity == Entity::thumbnail && key == u"imageData") {
        if (value.typeId() == QMetaType::QByteArray) {
            match = Match{key, value};
        }
    } else if (entity == Entity::colorHistory && key == u"color") {
        if (value.metaType() == QMetaType::fromType<Color>()) {
            match = Match{key, ColorArchive::encode(value.value<Color>())};
        }
    }
    if (!match) {
        problem = QStringLiteral("%1 records cannot be matched by %2 with a value of type %3.")
                      .arg(ManagedObject::nameOf(entity), key,
                           QString::fromLatin1(value.metaType().name()));
    }
    return match;
}

FetchResult ManagedObjectContext::fetch(const FetchRequest& request) {
    FetchResult result;
    const std::optional<Entity> entity = ManagedObject::entityNamed(request.entityName);
    if (!entity) {
        result.error = store_->error(
            QStringLiteral("There is no entity named \"%1\".").arg(request.entityName),
            QStringLiteral("fetch"));
        return result;
    }
    const QString operation = QStringLiteral("fetch ") + request.entityName;
    std::optional<Match> match;
    if (!request.key.isEmpty()) {
        QString problem;
        match = matchFor(*entity, request.key, request.value, problem);
        if (!match) {
            result.error = store_->error(problem, operation);
            return result;
        }
    }
    if (!store_->isOpen()) {
        result.error = store_->unavailable(operation);
        return result;
    }
    QString sql = selectFor(*entity);
    if (match) {
        sql += QStringLiteral(" WHERE r.") + match->column + QStringLiteral(" = ?");
    }
    sql += QStringLiteral(" ORDER BY r.seq");
    QSqlQuery* query = store_->prepared(sql, operation, result.error);
    if (query == nullptr) {
        return result;
    }
    if (match) {
        query->bindValue(0, match->value);
    }
    if ((result.error = store_->run(*query, operation))) {
        return result;
    }
    while (query->next()) {
        ManagedObject* object = materialize(*entity, *query);
        if (!object->deleting_) {
            result.objects.push_back(object);
        }
    }
    if (query->lastError().isValid()) {
        result.error = store_->errorFrom(query->lastError(), operation);
        result.objects.clear();
    }
    query->finish();
    if (result.error) {
        return result;
    }
    for (ManagedObject* object : inserted_) {
        if (object->entity() != *entity) {
            continue;
        }
        QString ignored;
        if (!match) {
            result.objects.push_back(object);
            continue;
        }
        const auto own = matchFor(*entity, request.key, object->value(request.key), ignored);
        if (own && own->value == match->value) {
            result.objects.push_back(object);
        }
    }
    return result;
}

ManagedObject* ManagedObjectContext::materialize(Entity entity, const QSqlQuery& row) {
    const int64_t key = row.value(0).toLongLong();
    if (ManagedObject* known = registered(entity, key)) {
        return known;  // the context's object wins over the row: it may hold unsaved changes
    }
    std::unique_ptr<ManagedObject> object;
    switch (entity) {
        case Entity::drawing: {
            auto drawing = std::unique_ptr<Drawing>(new Drawing(this));
            drawing->id_ = readUuid(row.value(1), entity, key);
            drawing->width_ = row.value(2).toLongLong();
            drawing->height_ = row.value(3).toLongLong();
            ColorArchive::Decoded colors = ColorArchive::decode(row.value(4).toByteArray());
            if (!colors.problem.isEmpty()) {
                printLine(QStringLiteral("Malformed color archive in Drawing %1: %2.")
                              .arg(uuidText(drawing->id_), colors.problem));
            }
            drawing->colorArray_ = std::move(colors.colors);
            if (!holdsEveryCell(*drawing)) {
                printLine(QStringLiteral("Drawing %1 is %2 x %3 but holds %4 colors.")
                              .arg(uuidText(drawing->id_))
                              .arg(drawing->width_)
                              .arg(drawing->height_)
                              .arg(drawing->colorArray_.size()));
            }
            drawing->thumbnailKey_ = row.value(5).toLongLong();
            object = std::move(drawing);
            break;
        }
        case Entity::thumbnail: {
            auto thumbnail = std::unique_ptr<Thumbnail>(new Thumbnail(this));
            thumbnail->id_ = readUuid(row.value(1), entity, key);
            thumbnail->date_ = row.value(2).toString();
            thumbnail->fileName_ = row.value(3).toString();
            thumbnail->imageData_ = row.value(4).toByteArray();
            thumbnail->drawingKey_ = row.value(5).toLongLong();
            object = std::move(thumbnail);
            break;
        }
        case Entity::colorHistory: {
            auto record = std::unique_ptr<ColorHistoryRecord>(new ColorHistoryRecord(this));
            const ColorArchive::Decoded colors = ColorArchive::decode(row.value(1).toByteArray());
            QString problem = colors.problem;
            if (problem.isEmpty() && colors.colors.size() != 1) {
                problem = QStringLiteral("holds %1 colors instead of 1").arg(colors.colors.size());
            }
            if (problem.isEmpty()) {
                record->color_ = colors.colors.front();
            } else {
                printLine(QStringLiteral("Malformed color archive in ColorHistory entry %1: %2; "
                                         "the entry is left out.")
                              .arg(key)
                              .arg(problem));
            }
            object = std::move(record);
            break;
        }
    }
    object->rowKey_ = key;
    ManagedObject* adopted = adopt(std::move(object));
    registry_[slot(entity)].emplace(key, adopted);
    return adopted;
}

ManagedObject* ManagedObjectContext::objectWithKey(Entity entity, int64_t key) {
    if (ManagedObject* known = registered(entity, key)) {
        return known;
    }
    if (!store_->isOpen()) {
        return nullptr;
    }
    const QString operation = QStringLiteral("load ") + ManagedObject::nameOf(entity);
    std::optional<StoreError> failure;
    QSqlQuery* query = store_->prepared(selectFor(entity) + QStringLiteral(" WHERE r.seq = ?"),
                                        operation, failure);
    ManagedObject* object = nullptr;
    if (query != nullptr) {
        query->bindValue(0, QVariant::fromValue<qint64>(key));
        failure = store_->run(*query, operation);
        if (!failure && query->next()) {
            object = materialize(entity, *query);
        } else if (!failure && query->lastError().isValid()) {
            failure = store_->errorFrom(query->lastError(), operation);
        }
        query->finish();
    }
    if (failure) {
        printLine(failure->consoleLine(QStringLiteral("Could not load a linked record. ")));
    }
    return object;  // nothing when the row is gone
}

void ManagedObjectContext::resolveThumbnail(const Drawing* drawing) {
    const int64_t key = drawing->thumbnailKey_;
    drawing->thumbnailKey_ = 0;
    auto* thumbnail = static_cast<Thumbnail*>(objectWithKey(Entity::thumbnail, key));
    if (thumbnail == nullptr) {
        return;
    }
    // The link holds only when the other side, as this context knows it, agrees.
    auto* self = const_cast<Drawing*>(drawing);
    const bool agrees = thumbnail->drawingKey_ != 0 ? thumbnail->drawingKey_ == drawing->rowKey_
                                                    : thumbnail->drawing_ == self;
    if (agrees) {
        thumbnail->drawingKey_ = 0;
        thumbnail->drawing_ = self;
        drawing->thumbnail_ = thumbnail;
    }
}

void ManagedObjectContext::resolveDrawing(const Thumbnail* thumbnail) {
    const int64_t key = thumbnail->drawingKey_;
    thumbnail->drawingKey_ = 0;
    auto* drawing = static_cast<Drawing*>(objectWithKey(Entity::drawing, key));
    if (drawing == nullptr) {
        return;
    }
    auto* self = const_cast<Thumbnail*>(thumbnail);
    const bool agrees = drawing->thumbnailKey_ != 0 ? drawing->thumbnailKey_ == thumbnail->rowKey_
                                                    : drawing->thumbnail_ == self;
    if (agrees) {
        drawing->thumbnailKey_ = 0;
        drawing->thumbnail_ = self;
        thumbnail->drawing_ = drawing;
    }
}

std::optional<StoreError> ManagedObjectContext::executeBatchDelete(const FetchRequest& request) {
    const std::optional<Entity> entity = ManagedObject::entityNamed(request.entityName);
    const QString operation = QStringLiteral("batch delete ") + request.entityName;
    if (!entity) {
        return store_->error(
            QStringLiteral("There is no entity named \"%1\".").arg(request.entityName), operation);
    }
    QString problem;
    const std::optional<Match> match = matchFor(*entity, request.key, request.value, problem);
    if (!match) {
        return store_->error(problem, operation);
    }
    if (!store_->isOpen()) {
        return store_->unavailable(operation);
    }
    if (auto failure = store_->begin()) {
        return failure;
    }
    if (auto failure = deleteRows(*entity, *match, operation)) {
        store_->rollback();
        return failure;
    }
    return store_->commit();
}

std::optional<StoreError> ManagedObjectContext::deleteRows(Entity entity, const Match& match,
                                                           const QString& operation) {
    const QString table = ManagedObject::nameOf(entity);
    const QString where = QStringLiteral(" WHERE ") + match.column + QStringLiteral(" = ?");
    // The context is not told, but what the caller holds must stay whole: load the partners
    // of the stored objects about to go before their rows disappear.
    std::vector<ManagedObject*> held;
    {
        std::optional<StoreError> failure;
        QSqlQuery* query = store_->prepared(QStringLiteral("SELECT seq FROM ") + table + where,
                                            operation, failure);
        if (query == nullptr) {
            return failure;
        }
        query->bindValue(0, match.value);
        if ((failure = store_->run(*query, operation))) {
            return failure;
        }
        while (query->next()) {
            if (ManagedObject* object = registered(entity, query->value(0).toLongLong())) {
                held.push_back(object);
            }
        }
        query->finish();
    }
    for (ManagedObject* object : held) {
        if (object->entity() == Entity::thumbnail) {
            static_cast<Thumbnail*>(object)->drawing();
        } else if (object->entity() == Entity::drawing) {
            static_cast<Drawing*>(object)->thumbnail();
        }
    }

    QStringList statements;
    switch (entity) {
        case Entity::thumbnail:
            statements << QStringLiteral(
                              "DELETE FROM Drawing WHERE thumbnail IN (SELECT id FROM Thumbnail") +
                              where + QLatin1Char(')')
                       << QStringLiteral("DELETE FROM Thumbnail") + where;
            break;
        case Entity::drawing:
            statements << QStringLiteral(
                              "DELETE FROM Thumbnail WHERE id IN (SELECT thumbnail FROM Drawing") +
                              where + QLatin1Char(')')
                       << QStringLiteral("DELETE FROM Drawing") + where;
            break;
        case Entity::colorHistory:
            statements << QStringLiteral("DELETE FROM ColorHistory") + where;
            break;
    }
    for (const QString& sql : statements) {
        std::optional<StoreError> failure;
        QSqlQuery* query = store_->prepared(sql, operation, failure);
        if (query != nullptr) {
            query->bindValue(0, match.value);
            failure = store_->run(*query, operation);
            query->finish();
        }
        if (failure) {
            return failure;
        }
    }
    return std::nullopt;
}

void ManagedObjectContext::deleteObject(ManagedObject* object) {
    if (object == nullptr || object->managedObjectContext() != this || object->deleting_) {
        return;
    }
    if (object->isInserted()) {
        // Never stored: it only leaves the context, its links cut.
        RecordRef<ManagedObject> keep(object);
        std::erase_if(inserted_, [object](const auto& held) { return held.get() == object; });
        object->discarded_ = true;
        object->dropLinks();
        return;
    }
    object->deleting_ = true;
    deleted_.emplace_back(object);
}

void ManagedObjectContext::rollback() {
    // Stored records first: they take back their stored links before the inserted records
    // that took their place let go of theirs.
    for (ManagedObject* object : touched_) {
        object->restoreSavedState();
        object->keepsSavedState_ = false;
        object->changed_ = 0;
    }
    for (ManagedObject* object : updated_) {
        object->changed_ = 0;
    }
    for (ManagedObject* object : deleted_) {
        object->deleting_ = false;
    }
    for (ManagedObject* object : inserted_) {
        object->discarded_ = true;
        object->dropLinks();
    }
    touched_.clear();
    updated_.clear();
    deleted_.clear();
    inserted_.clear();
}

std::optional<StoreError> ManagedObjectContext::save(const WithinSave& alsoWithin) {
    return saveWhere(false, alsoWithin);
}

std::optional<StoreError> ManagedObjectContext::saveColorHistory() {
    return saveWhere(true, {});
}

std::optional<StoreError> ManagedObjectContext::saveWhere(bool colorHistoryOnly,
                                                          const WithinSave& alsoWithin) {
    const auto taken = [colorHistoryOnly](const ManagedObject* object) {
        return !colorHistoryOnly || object->entity() == Entity::colorHistory;
    };
    const auto anyTaken = [&taken](const std::vector<RecordRef<ManagedObject>>& objects) {
        return std::any_of(objects.begin(), objects.end(),
                           [&taken](const auto& object) { return taken(object.get()); });
    };
    if (!alsoWithin && !anyTaken(inserted_) && !anyTaken(updated_) && !anyTaken(deleted_)) {
        // Nothing to write; stored state kept for links that changed back is no longer needed.
        if (!hasChanges()) {
            for (ManagedObject* object : touched_) {
                object->dropSavedState();
                object->keepsSavedState_ = false;
            }
            touched_.clear();
        }
        return std::nullopt;
    }
    if (!store_->isOpen()) {
        return store_->unavailable(QStringLiteral("save"));
    }
    if (auto failure = store_->begin()) {
        return failure;
    }
    auto fail = [this](StoreError failure) {
        store_->rollback();
        return std::optional<StoreError>(std::move(failure));
    };
    for (ManagedObject* object : deleted_) {
        if (!taken(object)) {
            continue;
        }
        const QVariant seq = QVariant::fromValue<qint64>(object->rowKey_);
        if (auto failure = deleteRows(object->entity(), {QStringLiteral("seq"), seq},
                                      QStringLiteral("save"))) {
            return fail(*failure);
        }
    }
    // Keys are handed out only once the commit went through; a failed save leaves every
    // record as it was, still pending.
    std::vector<std::pair<ManagedObject*, int64_t>> keys;
    keys.reserve(inserted_.size());
    QStringList released;
    // Thumbnails first, so that a new drawing's link finds its new thumbnail's row.
    for (Entity entity : {Entity::thumbnail, Entity::colorHistory, Entity::drawing}) {
        for (ManagedObject* object : inserted_) {
            if (object->entity() != entity || !taken(object)) {
                continue;
            }
            int64_t key = 0;
            if (auto failure = insertRow(object, key)) {
                return fail(*failure);
            }
            keys.emplace_back(object, key);
        }
    }
    for (ManagedObject* object : updated_) {
        if (!taken(object)) {
            continue;
        }
        if (auto failure = updateRow(object, released)) {
            return fail(*failure);
        }
    }
    for (const QString& id : released) {
        std::optional<StoreError> failure;
        QSqlQuery* query =
            store_->prepared(QStringLiteral("DELETE FROM Thumbnail WHERE id = ? AND NOT EXISTS "
                                            "(SELECT 1 FROM Drawing WHERE thumbnail = ?)"),
                             QStringLiteral("save"), failure);
        if (query != nullptr) {
            query->bindValue(0, id);
            query->bindValue(1, id);
            failure = store_->run(*query, QStringLiteral("save"));
            query->finish();
        }
        if (failure) {
            return fail(*failure);
        }
    }
    if (alsoWithin) {
        if (auto failure = alsoWithin()) {
            return fail(*failure);
        }
    }
    if (auto failure = store_->commit()) {
        return failure;
    }
    for (const auto& [object, key] : keys) {
        object->rowKey_ = key;
        registry_[slot(object->entity())].emplace(key, object);
    }
    for (ManagedObject* object : updated_) {
        if (taken(object)) {
            object->changed_ = 0;
        }
    }
    for (ManagedObject* object : deleted_) {
        if (!taken(object)) {
            continue;
        }
        object->deleting_ = false;
        object->discarded_ = true;
        registry_[slot(object->entity())].erase(object->rowKey_);
    }
    for (ManagedObject* object : touched_) {
        if (taken(object)) {
            object->dropSavedState();
            object->keepsSavedState_ = false;
        }
    }
    // Linked records were written together or not at all: a whole save leaves no stored
    // state behind, and a colour history save touches no links.
    const auto written = [&taken](const RecordRef<ManagedObject>& object) {
        return taken(object.get());
    };
    std::erase_if(inserted_, written);
    std::erase_if(updated_, written);
    std::erase_if(deleted_, written);
    std::erase_if(touched_, written);
    return std::nullopt;
}

namespace {
// Binds the values in order and runs the statement.
std::optional<StoreError> runWith(SqliteStore* store, const QString& sql, const QString& operation,
                                  std::initializer_list<QVariant> values,
                                  int64_t* insertedKey = nullptr) {
    std::optional<StoreError> failure;
    QSqlQuery* query = store->prepared(sql, operation, failure);
    if (query == nullptr) {
        return failure;
    }
    int index = 0;
    for (const QVariant& value : values) {
        query->bindValue(index++, value);
    }
    failure = store->run(*query, operation);
    if (!failure && insertedKey != nullptr) {
        *insertedKey = query->lastInsertId().toLongLong();
    }
    query->finish();
    return failure;
}

QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

QVariant linkOf(const Drawing* drawing) {
    const Thumbnail* thumbnail = drawing->thumbnail();
    return thumbnail != nullptr ? QVariant(uuidText(thumbnail->id())) : nullText();
}

// One thumbnail shows one drawing: whoever else holds it in the file lets go of it.
std::optional<StoreError> takeThumbnail(SqliteStore* store, const QVariant& link, int64_t seq,
                                        const QString& operation) {
    if (link.isNull()) {
        return std::nullopt;
    }
    return runWith(store,
                   QStringLiteral("UPDATE Drawing SET thumbnail = NULL "
                                  "WHERE thumbnail = ? AND seq <> ?"),
                   operation, {link, QVariant::fromValue<qint64>(seq)});
}
}  // namespace

std::optional<StoreError> ManagedObjectContext::insertRow(ManagedObject* object, int64_t& key) {
    const QString operation = QStringLiteral("insert ") + object->entityName();
    switch (object->entity()) {
        case Entity::drawing: {
            const auto* drawing = static_cast<const Drawing*>(object);
            const QVariant link = linkOf(drawing);
            if (auto failure = takeThumbnail(store_, link, 0, operation)) {
                return failure;
            }
            // A thumbnail that is not in the file (deleted meanwhile) cannot be linked to.
            return runWith(store_,
                           QStringLiteral("INSERT INTO Drawing (id, width, height, colorArray, "
                                          "thumbnail) VALUES (?, ?, ?, ?, "
                                          "(SELECT id FROM Thumbnail WHERE id = ?))"),
                           operation,
                           {uuidText(drawing->id()), QVariant::fromValue<qint64>(drawing->width()),
                            QVariant::fromValue<qint64>(drawing->height()),
                            ColorArchive::encode(drawing->colorArray()), link},
                           &key);
        }
        case Entity::thumbnail: {
            const auto* thumbnail = static_cast<const Thumbnail*>(object);
            return runWith(store_,
                           QStringLiteral("INSERT INTO Thumbnail (id, date, fileName, imageData) "
                                          "VALUES (?, ?, ?, ?)"),
                           operation,
                           {uuidText(thumbnail->id()), thumbnail->date(), thumbnail->fileName(),
                            thumbnail->imageData()},
                           &key);
        }
        case Entity::colorHistory: {
            const auto* record = static_cast<const ColorHistoryRecord*>(object);
            const QVariant color = record->color()
                                       ? QVariant(ColorArchive::encode(*record->color()))
                                       : QVariant(QMetaType::fromType<QByteArray>());
            return runWith(store_, QStringLiteral("INSERT INTO ColorHistory (color) VALUES (?)"),
                           operation, {color}, &key);
        }
    }
    return std::nullopt;
}

std::optional<StoreError> ManagedObjectContext::updateRow(ManagedObject* object,
                                                          QStringList& released) {
    const QString operation = QStringLiteral("update ") + object->entityName();
    const QVariant seq = QVariant::fromValue<qint64>(object->rowKey_);
    const unsigned changed = object->changed_;
    QStringList columns;
    QVariantList values;
    auto set = [&](unsigned bit, const QString& column, const QVariant& value) {
        if ((changed & bit) != 0) {
            columns << column;
            values << value;
        }
    };
    QString table = object->entityName();
    switch (object->entity()) {
        case Entity::drawing: {
            const auto* drawing = static_cast<const Drawing*>(object);
            set(Drawing::widthBit, QStringLiteral("width = ?"),
                QVariant::fromValue<qint64>(drawing->width()));
            set(Drawing::heightBit, QStringLiteral("height = ?"),
                QVariant::fromValue<qint64>(drawing->height()));
            set(Drawing::colorArrayBit, QStringLiteral("colorArray = ?"),
                ColorArchive::encode(drawing->colorArray()));
            if ((changed & Drawing::thumbnailBit) != 0) {
                std::optional<StoreError> failure;
                QSqlQuery* query =
                    store_->prepared(QStringLiteral("SELECT thumbnail FROM Drawing WHERE seq = ?"),
                                     operation, failure);
                if (query == nullptr) {
                    return failure;
                }
                query->bindValue(0, seq);
                if ((failure = store_->run(*query, operation))) {
                    return failure;
                }
                if (query->next() && !query->value(0).isNull()) {
                    released << query->value(0).toString();
                }
                query->finish();
                const QVariant link = linkOf(drawing);
                if ((failure = takeThumbnail(store_, link, object->rowKey_, operation))) {
                    return failure;
                }
                set(Drawing::thumbnailBit,
                    QStringLiteral("thumbnail = (SELECT id FROM Thumbnail WHERE id = ?)"), link);
            }
            break;
        }
        case Entity::thumbnail: {
            const auto* thumbnail = static_cast<const Thumbnail*>(object);
            set(Thumbnail::dateBit, QStringLiteral("date = ?"), thumbnail->date());
            set(Thumbnail::fileNameBit, QStringLiteral("fileName = ?"), thumbnail->fileName());
            set(Thumbnail::imageDataBit, QStringLiteral("imageData = ?"), thumbnail->imageData());
            break;
        }
        case Entity::colorHistory: {
            const auto* record = static_cast<const ColorHistoryRecord*>(object);
            if (record->color()) {
                set(ColorHistoryRecord::colorBit, QStringLiteral("color = ?"),
                    ColorArchive::encode(*record->color()));
            }
            break;
        }
    }
    if (columns.isEmpty()) {
        return std::nullopt;
    }
    std::optional<StoreError> failure;
    QSqlQuery* query =
        store_->prepared(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                             columns.join(QStringLiteral(", ")) + QStringLiteral(" WHERE seq = ?"),
                         operation, failure);
    if (query == nullptr) {
        return failure;
    }
    int index = 0;
    for (const QVariant& value : values) {
        query->bindValue(index++, value);
    }
    query->bindValue(index, seq);
    failure = store_->run(*query, operation);
    query->finish();
    return failure;
}
