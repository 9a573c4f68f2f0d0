#include "store/drawing.h"

#include <utility>

#include "platform/console.h"
#include "store/managed_object_context.h"
#include "store/persistent_container_provider.h"
#include "store/thumbnail.h"

Drawing* Drawing::create(std::vector<Color> colorArray, int64_t width, int64_t height) {
    ManagedObjectContext* context = PersistentContainerProvider::applicationViewContext();
    if (context == nullptr) {
        return nullptr;
    }
    auto* drawing = static_cast<Drawing*>(context->insertNewObject(Entity::drawing));
    drawing->setHeight(height);
    drawing->setWidth(width);
    drawing->setColorArray(std::move(colorArray));
    return drawing;  // the context gave it a fresh random id
}

Drawing::~Drawing() = default;

void Drawing::setWidth(int64_t width) {
    if (width != width_) {
        willChange();
        width_ = width;
        markChanged(widthBit);
    }
}

void Drawing::setHeight(int64_t height) {
    if (height != height_) {
        willChange();
        height_ = height;
        markChanged(heightBit);
    }
}

void Drawing::setColorArray(std::vector<Color> colorArray) {
    if (colorArray != colorArray_) {
        willChange();
        colorArray_ = std::move(colorArray);
        markChanged(colorArrayBit);
    }
}

Thumbnail* Drawing::linkedThumbnail() const {
    return static_cast<Thumbnail*>(thumbnail_.get());
}

void Drawing::setLinkedThumbnail(Thumbnail* thumbnail) const {
    thumbnail_ = thumbnail;
    thumbnailKey_ = 0;
}

Thumbnail* Drawing::thumbnail() const {
    if (thumbnailKey_ != 0) {
        if (ManagedObjectContext* context = managedObjectContext()) {
            context->resolveThumbnail(this);
        }
    }
    return linkedThumbnail();
}

void Drawing::setThumbnail(Thumbnail* thumbnail) {
    if (thumbnail != nullptr && !canLinkTo(thumbnail)) {
        printLine(QStringLiteral("A drawing cannot be linked to a thumbnail of another store."));
        return;
    }
    Thumbnail* previous = this->thumbnail();
    if (previous == thumbnail) {
        return;
    }
    Drawing* former = thumbnail != nullptr ? thumbnail->drawing() : nullptr;
    // Every record whose link changes keeps its stored state first, so that a rollback can
    // put the links back as the store has them.
    willChange();
    if (previous != nullptr) {
        previous->willChange();
    }
    if (thumbnail != nullptr) {
        thumbnail->willChange();
    }
    if (former != nullptr) {
        former->willChange();
    }
    if (previous != nullptr) {
        previous->setLinkedDrawing(nullptr);
    }
    if (thumbnail != nullptr) {
        if (former != nullptr) {
            former->setLinkedThumbnail(nullptr);
            former->markChanged(thumbnailBit);
        }
        thumbnail->setLinkedDrawing(this);
    }
    setLinkedThumbnail(thumbnail);
    markChanged(thumbnailBit);
}

void Drawing::keepSavedState() {
    saved_ =
        std::make_unique<State>(State{width_, height_, colorArray_, thumbnail_, thumbnailKey_});
}

void Drawing::restoreSavedState() {
    if (!saved_) {
        return;
    }
    width_ = saved_->width;
    height_ = saved_->height;
    colorArray_ = std::move(saved_->colorArray);
    thumbnail_ = std::move(saved_->thumbnail);
    thumbnailKey_ = saved_->thumbnailKey;
    saved_.reset();
}

void Drawing::dropSavedState() {
    saved_.reset();
}

void Drawing::dropLinks() {
    thumbnail_ = nullptr;
    thumbnailKey_ = 0;
}

QVariant Drawing::value(const QString& key) const {
    if (key == u"width") {
        return QVariant::fromValue<qint64>(width_);
    }
    if (key == u"height") {
        return QVariant::fromValue<qint64>(height_);
    }
    if (key == u"colorArray") {
        return QVariant::fromValue(colorArray_);
    }
    if (key == u"thumbnail") {
        return QVariant::fromValue(static_cast<ManagedObject*>(thumbnail()));
    }
    if (key == u"id") {
        return QVariant::fromValue(id_);
    }
    return {};
}

bool Drawing::setValue(const QString& key, const QVariant& value) {
    if (key == u"width" || key == u"height") {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok) {
            return false;
        }
        key == u"width" ? setWidth(number) : setHeight(number);
        return true;
    }
    if (key == u"colorArray") {
        if (value.metaType() != QMetaType::fromType<std::vector<Color>>()) {
            return false;
        }
        setColorArray(value.value<std::vector<Color>>());
        return true;
    }
    if (key == u"thumbnail") {
        if (!value.isValid() || value.isNull()) {
            setThumbnail(nullptr);
            return true;
        }
        if (value.metaType() != QMetaType::fromType<ManagedObject*>()) {
            return false;
        }
        auto* object = value.value<ManagedObject*>();
        if (object != nullptr && object->entity() != Entity::thumbnail) {
            return false;
        }
        setThumbnail(static_cast<Thumbnail*>(object));
        return true;
    }
    return false;
}
