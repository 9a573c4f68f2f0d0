#include "store/managed_object.h"

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

void ManagedObject::markChanged(unsigned attribute) {
    if (isInserted()) {
        return;  // the insert writes every attribute anyway
    }
    if (changed_ == 0) {
        context_->objectDidChange(this);
    }
    changed_ |= attribute;
}
