#pragma once

#include <QUuid>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/color.h"
#include "store/managed_object.h"

class Thumbnail;

// One saved picture: its grid size and cell colours in column-major order (the cell in
// column x and row y at x * height + y), linked one-to-one with its current thumbnail.
class Drawing : public ManagedObject {
public:
    // Attribute bits for change tracking.
    enum Attribute : unsigned { widthBit = 1, heightBit = 2, colorArrayBit = 4, thumbnailBit = 8 };

    // A new drawing in the application's main context with a fresh random id and no
    // thumbnail; nothing when the application provides no store container.
    // The colours are taken, not copied, when the caller gives them away: a large grid's
    // list is megabytes.
    static Drawing* create(std::vector<Color> colorArray, int64_t width, int64_t height);

    int64_t width() const { return width_; }
    void setWidth(int64_t width);
    int64_t height() const { return height_; }
    void setHeight(int64_t height);
    const std::vector<Color>& colorArray() const { return colorArray_; }
    void setColorArray(std::vector<Color> colorArray);

    // Setting either side of the link also sets the other and unlinks former partners.
    Thumbnail* thumbnail() const;
    void setThumbnail(Thumbnail* thumbnail);

    const QUuid& id() const { return id_; }

    // Keys: "width", "height" (qint64), "colorArray" (std::vector<Color>),
    // "thumbnail" (ManagedObject*), "id" (QUuid, read only).
    QVariant value(const QString& key) const override;
    bool setValue(const QString& key, const QVariant& value) override;

    ~Drawing() override;

protected:
    void keepSavedState() override;
    void restoreSavedState() override;
    void dropSavedState() override;
    void dropLinks() override;
    ManagedObject* heldPartner() const override { return thumbnail_.get(); }

private:
    friend class ManagedObjectContext;
    friend class Thumbnail;
    explicit Drawing(ManagedObjectContext* context) : ManagedObject(context, Entity::drawing) {}

    Thumbnail* linkedThumbnail() const;
    void setLinkedThumbnail(Thumbnail* thumbnail) const;

    struct State {
        int64_t width;
        int64_t height;
        std::vector<Color> colorArray;
        RecordRef<ManagedObject> thumbnail;
        int64_t thumbnailKey;
    };

    int64_t width_ = 0;
    int64_t height_ = 0;
    std::vector<Color> colorArray_;
    QUuid id_;
    // The link, loaded on first use: thumbnailKey_ names the stored row until then. The
    // linked thumbnail is held in memory while the link is.
    mutable RecordRef<ManagedObject> thumbnail_;
    mutable int64_t thumbnailKey_ = 0;
    std::unique_ptr<State> saved_;
};
