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

Thumbnail::~Thumbnail() = default;

void Thumbnail::setDate(const QString& date) {
    if (date != date_) {
        willChange();
        date_ = date.isNull() ? QStringLiteral("") : date;
        markChanged(dateBit);
    }
}

void Thumbnail::setFileName(const QString& fileName) {
    if (fileName != fileName_) {
        willChange();
        fileName_ = fileName.isNull() ? QStringLiteral("") : fileName;
        markChanged(fileNameBit);
    }
}

void Thumbnail::setImageData(const QByteArray& imageData) {
    if (imageData != imageData_) {
        willChange();
        imageData_ = imageData;
        markChanged(imageDataBit);
    }
}

Drawing* Thumbnail::linkedDrawing() const {
    return static_cast<Drawing*>(drawing_.get());
}

void Thumbnail::setLinkedDrawing(Drawing* drawing) const {
    drawing_ = drawing;
    drawingKey_ = 0;
}

Drawing* Thumbnail::drawing() const {
    if (drawingKey_ != 0) {
        if (ManagedObjectContext* context = managedObjectContext()) {
            context->resolveDrawing(this);
        }
    }
    return linkedDrawing();
}

void Thumbnail::setDrawing(Drawing* drawing) {
    // The link is kept on the drawing's side; setting it there updates both directions.
    if (drawing != nullptr) {
        drawing->setThumbnail(this);
    } else if (Drawing* current = this->drawing()) {
        current->setThumbnail(nullptr);
    }
}

void Thumbnail::keepSavedState() {
    saved_ = std::make_unique<State>(State{date_, fileName_, imageData_, drawing_, drawingKey_});
}

void Thumbnail::restoreSavedState() {
    if (!saved_) {
        return;
    }
    date_ = std::move(saved_->date);
    fileName_ = std::move(saved_->fileName);
    imageData_ = std::move(saved_->imageData);
    drawing_ = std::move(saved_->drawing);
    drawingKey_ = saved_->drawingKey;
    saved_.reset();
}

void Thumbnail::dropSavedState() {
    saved_.reset();
}

void Thumbnail::dropLinks() {
    drawing_ = nullptr;
    drawingKey_ = 0;
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
