#include "store/core_data_manager.h"

#include "platform/application.h"
#include "platform/console.h"
#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"

namespace {
ManagedObjectContext* context() {
    return PersistentContainerProvider::applicationViewContext();
}

void report(const QString& message, const StoreError& error) {
    printLine(error.consoleLine(message));
}
}  // namespace

std::optional<std::vector<Thumbnail*>> CoreDataManager::loadThumbnails() {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr) {
        return std::nullopt;
    }
    FetchResult result = viewContext->fetch({QStringLiteral("Thumbnail"), {}, {}});
    if (result.error) {
        report(QStringLiteral("Could not load any thumbnails. "), *result.error);
        return std::nullopt;
    }
    std::vector<Thumbnail*> thumbnails;
    thumbnails.reserve(result.objects.size());
    for (ManagedObject* object : result.objects) {
        thumbnails.push_back(static_cast<Thumbnail*>(object));
    }
    return thumbnails;
}

bool CoreDataManager::updateDrawing(Drawing* drawing,
                                    const ManagedObjectContext::WithinSave& alsoWithin) {
    if (drawing == nullptr || drawing->managedObjectContext() == nullptr) {
        return false;
    }
    ManagedObjectContext* viewContext = drawing->managedObjectContext();
    FetchResult result = viewContext->fetch(
        {QStringLiteral("Drawing"), QStringLiteral("id"), QVariant::fromValue(drawing->id())});
    if (result.error) {
        report(QStringLiteral("Could not update any drawings. "), *result.error);
        return false;
    }
    if (result.objects.empty()) {
        return false;
    }
    for (ManagedObject* record : result.objects) {
        if (record == drawing) {
            // The drawing itself: its values are already its own, and copying a large grid's
            // colours out and back in costs more than the save.
            continue;
        }
        record->setValue(QStringLiteral("colorArray"),
                         drawing->value(QStringLiteral("colorArray")));
        record->setValue(QStringLiteral("thumbnail"), drawing->value(QStringLiteral("thumbnail")));
    }
    if (auto error = viewContext->save(alsoWithin)) {
        report(QStringLiteral("Could not update any drawings. "), *error);
        return false;
    }
    return true;
}

void CoreDataManager::saveDrawing(Drawing* drawing, Thumbnail* previousThumbnail,
                                  const ManagedObjectContext::WithinSave& alsoWithin) {
    if (updateDrawing(drawing, alsoWithin)) {
        // The drawing's current thumbnail is never the one to throw away, even when a caller
        // passes it as the previous one: deleting it would take the drawing with it.
        if (previousThumbnail != nullptr && previousThumbnail != drawing->thumbnail()) {
            deleteThumbnail(previousThumbnail, QStringLiteral("Could not delete thumbnail. "));
        }
        return;
    }
    if (drawing == nullptr || drawing->managedObjectContext() == nullptr) {
        return;
    }
    if (auto error = drawing->managedObjectContext()->save(alsoWithin)) {
        report(QStringLiteral("Could not save. "), *error);
    }
}

Drawing* CoreDataManager::loadDrawing(const QUuid& id) {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr || id.isNull()) {
        return nullptr;
    }
    FetchResult result = viewContext->fetch(
        {QStringLiteral("Drawing"), QStringLiteral("id"), QVariant::fromValue(id)});
    if (result.error) {
        report(QStringLiteral("Could not load the drawing. "), *result.error);
        return nullptr;
    }
    return result.objects.empty() ? nullptr : static_cast<Drawing*>(result.objects.front());
}

void CoreDataManager::saveDuplicate(Drawing* drawing) {
    if (drawing == nullptr || drawing->managedObjectContext() == nullptr) {
        return;
    }
    if (auto error = drawing->managedObjectContext()->save()) {
        report(QStringLiteral("Could not duplicate drawing. "), *error);
    }
}

void CoreDataManager::deleteThumbnail(Thumbnail* thumbnail, const QString& message) {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr || thumbnail == nullptr) {
        return;
    }
    auto error = viewContext->executeBatchDelete(
        {QStringLiteral("Thumbnail"), QStringLiteral("id"), QVariant::fromValue(thumbnail->id())});
    if (!error) {
        error = viewContext->save();
    }
    if (error) {
        report(message, *error);
    }
}

std::optional<std::vector<Color>> CoreDataManager::loadColorHistory() {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr) {
        return std::nullopt;
    }
    FetchResult result = viewContext->fetch({QStringLiteral("ColorHistory"), {}, {}});
    if (result.error) {
        report(QStringLiteral("Could not load any color history. "), *result.error);
        return std::nullopt;
    }
    // Oldest first in the store, newest first in the list.
    std::vector<Color> colors;
    colors.reserve(result.objects.size());
    for (auto it = result.objects.rbegin(); it != result.objects.rend(); ++it) {
        const QVariant color = (*it)->value(QStringLiteral("color"));
        if (color.metaType() == QMetaType::fromType<Color>()) {
            colors.push_back(color.value<Color>());  // unreadable entries were reported on load
        }
    }
    return colors;
}

void CoreDataManager::saveColor(const Color& color) {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr) {
        return;
    }
    ManagedObject* record = viewContext->insertNewObject(QStringLiteral("ColorHistory"));
    record->setValue(QStringLiteral("color"), QVariant::fromValue(color));
    // The history alone: what an open editor has not saved stays unsaved.
    if (auto error = viewContext->saveColorHistory()) {
        report(QStringLiteral("Could not save. "), *error);
    }
}

void CoreDataManager::deleteColor(const Color& color) {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr) {
        return;
    }
    auto error = viewContext->executeBatchDelete(
        {QStringLiteral("ColorHistory"), QStringLiteral("color"), QVariant::fromValue(color)});
    if (!error) {
        error = viewContext->saveColorHistory();
    }
    if (error) {
        report(QStringLiteral("Could not delete. "), *error);
    }
}

bool CoreDataManager::showSameColor(const Color& a, const Color& b) {
    const auto first = a.getRGBA();
    const auto second = b.getRGBA();
    return first && second ? *first == *second : a == b;
}

void CoreDataManager::recordColor(const Color& color) {
    ManagedObjectContext* viewContext = context();
    if (viewContext == nullptr) {
        return;
    }
    FetchResult stored = viewContext->fetch({QStringLiteral("ColorHistory"), {}, {}});
    if (stored.error) {
        report(QStringLiteral("Could not save. "), *stored.error);
        return;
    }
    for (ManagedObject* record : stored.objects) {
        const QVariant value = record->value(QStringLiteral("color"));
        if (value.metaType() == QMetaType::fromType<Color>() &&
            showSameColor(value.value<Color>(), color)) {
            viewContext->deleteObject(record);
        }
    }
    ManagedObject* record = viewContext->insertNewObject(QStringLiteral("ColorHistory"));
    record->setValue(QStringLiteral("color"), QVariant::fromValue(color));
    // One transaction: the colour is never missing from the stored history, even for a moment.
    if (auto error = viewContext->saveColorHistory()) {
        report(QStringLiteral("Could not save. "), *error);
    }
}

bool CoreDataManager::storeIsOpen() {
    auto* provider = dynamic_cast<PersistentContainerProvider*>(Application::shared().delegate());
    PersistentContainer* container =
        provider != nullptr ? provider->persistentContainer() : nullptr;
    return container != nullptr && container->isStoreLoaded();
}
