#include "store/thumbnail.h"

#include "store/drawing.h"
#include "store/managed_object_context.h"
#include "store/persistent_container_provider.h"

Thumbnail* Thumbnail::create(const QString& fileName, const QString& date,
                             const QByteArray& imageData) {
    ManagedObjectContext* context = PersistentContainerProvider::applicationViewContext();
    if (context == nullptr) {
        return nullptr;
    }
    auto* thumbnail = static_cast<Thumbnail*>(context->insertNewObject(Entity::thumbnail));
    thumbnail->setFileName(fileName);
    thumbnail->setDate(date);
    thumbnail->setImageData(imageData);
    return thumbnail;
}

void Thumbnail::setDate(const QString& date) {
    if (date != date_) {
        date_ = date.isNull() ? QStringLiteral("") : date;
        markChanged(dateBit);
    }
}

void Thumbnail::setFileName(const QString& fileName) {
    if (fileName != fileName_) {
        fileName_ = fileName.isNull() ? QStringLiteral("") : fileName;
        markChanged(fileNameBit);
    }
}

void Thumbnail::setImageData(const QByteArray& imageData) {
    if (imageData != imageData_) {
        imageData_ = imageData;
        markChanged(imageDataBit);
    }
}

Drawing* Thumbnail::drawing() const {
    if (drawingKey_ != 0) {
        managedObjectContext()->resolveDrawing(this);
    }
    return drawing_;
}

void Thumbnail::setDrawing(Drawing* drawing) {
    // The link is kept on the drawing's side; setting it there updates both directions.
    if (drawing != nullptr) {
        drawing->setThumbnail(this);
    } else if (Drawing* current = this->drawing()) {
        current->setThumbnail(nullptr);
    }
}

QVariant Thumbnail::value(const QString& key) const {
    if (key == u"date") {
        return date_;
    }
    if (key == u"fileName") {
        return fileName_;
    }
    if (key == u"imageData") {
        return imageData_;
    }
    if (key == u"drawing") {
        return QVariant::fromValue(static_cast<ManagedObject*>(drawing()));
    }
    if (key == u"id") {
        return QVariant::fromValue(id_);
    }
    return {};
}

bool Thumbnail::setValue(const QString& key, const QVariant& value) {
    if (key == u"date" || key == u"fileName") {
        if (value.typeId() != QMetaType::QString) {
            return false;
        }
        key == u"date" ? setDate(value.toString()) : setFileName(value.toString());
        return true;
    }
    if (key == u"imageData") {
        if (value.typeId() != QMetaType::QByteArray) {
            return false;
        }
        setImageData(value.toByteArray());
        return true;
    }
    if (key == u"drawing") {
        if (!value.isValid() || value.isNull()) {
            setDrawing(nullptr);
            return true;
        }
        if (value.metaType() != QMetaType::fromType<ManagedObject*>()) {
            return false;
        }
        auto* object = value.value<ManagedObject*>();
        if (object != nullptr && object->entity() != Entity::drawing) {
            return false;
        }
        setDrawing(static_cast<Drawing*>(object));
        return true;
    }
    return false;
}
