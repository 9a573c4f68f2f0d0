#include "store/managed_object.h"

#include <QObject>

#include "store/managed_object_context.h"

QString ManagedObject::nameOf(Entity entity) {
    switch (entity) {
        case Entity::drawing:
            return QStringLiteral("Drawing");
        case Entity::thumbnail:
            return QStringLiteral("Thumbnail");
        case Entity::colorHistory:
            return QStringLiteral("ColorHistory");
    }
    return {};
}

std::optional<Entity> ManagedObject::entityNamed(const QString& name) {
    for (Entity entity : {Entity::drawing, Entity::thumbnail, Entity::colorHistory}) {
        if (nameOf(entity) == name) {
            return entity;
        }
    }
    return std::nullopt;
}

void ManagedObject::willChange() {
    // A new record has no stored state to go back to; a thrown-away one has no store.
    if (context_ == nullptr || discarded_ || isInserted() || keepsSavedState_) {
        return;
    }
    keepSavedState();
    keepsSavedState_ = true;
    context_->objectWillChange(this);
}

void ManagedObject::markChanged(unsigned attribute) {
    if (context_ == nullptr || discarded_ || isInserted()) {
        return;  // the insert writes every attribute anyway; nothing writes the others
    }
    if (changed_ == 0) {
        context_->objectDidChange(this);
    }
    changed_ |= attribute;
}

void ManagedObject::release(ManagedObject* record) {
    --record->refs_;
    if (record->context_ == nullptr) {
        // Its context has gone: nothing else can refer to it.
        if (record->refs_ == 0) {
            delete record;
        }
        return;
    }
    // Two linked records that refer only to each other are as unreferenced as one alone.
    if (record->refs_ <= 1) {
        record->context_->listForRelease(record);
    }
}

void keepRecordFor(QObject* owner, ManagedObject* record) {
    if (owner == nullptr || record == nullptr) {
        return;
    }
    // The connection, and the reference in it, goes when the owner does.
    QObject::connect(owner, &QObject::destroyed, owner,
                     [held = RecordRef<ManagedObject>(record)] {});
}
