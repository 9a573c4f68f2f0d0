#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <memory>

#include "store/managed_object.h"

class Drawing;

// What the gallery lists for one drawing: the title typed when saving, the saving moment as
// display text and the PNG bytes of the picture.
class Thumbnail : public ManagedObject {
public:
    enum Attribute : unsigned { dateBit = 1, fileNameBit = 2, imageDataBit = 4 };

    // A new thumbnail in the application's main context with a fresh random id and no
    // drawing; nothing when the application provides no store container.
    static Thumbnail* create(const QString& fileName, const QString& date,
                             const QByteArray& imageData);

    const QString& date() const { return date_; }
    void setDate(const QString& date);
    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& fileName);
    const QByteArray& imageData() const { return imageData_; }
    void setImageData(const QByteArray& imageData);

    // The drawing side of Drawing::thumbnail; the drawing is loaded on first use.
    Drawing* drawing() const;
    void setDrawing(Drawing* drawing);

    const QUuid& id() const { return id_; }

    // Keys: "date", "fileName" (QString), "imageData" (QByteArray), "drawing"
    // (ManagedObject*), "id" (QUuid, read only).
    QVariant value(const QString& key) const override;
    bool setValue(const QString& key, const QVariant& value) override;

    ~Thumbnail() override;

protected:
    void keepSavedState() override;
    void restoreSavedState() override;
    void dropSavedState() override;
    void dropLinks() override;
    ManagedObject* heldPartner() const override { return drawing_.get(); }

private:
    friend class ManagedObjectContext;
    friend class Drawing;
    explicit Thumbnail(ManagedObjectContext* context) : ManagedObject(context, Entity::thumbnail) {}

    Drawing* linkedDrawing() const;
    void setLinkedDrawing(Drawing* drawing) const;

    struct State {
        QString date;
        QString fileName;
        QByteArray imageData;
        RecordRef<ManagedObject> drawing;
        int64_t drawingKey;
    };

    // Never null: a null string would be stored as SQL NULL, not as empty text.
    QString date_ = QStringLiteral("");
    QString fileName_ = QStringLiteral("");
    QByteArray imageData_;
    QUuid id_;
    mutable RecordRef<ManagedObject> drawing_;
    mutable int64_t drawingKey_ = 0;
    std::unique_ptr<State> saved_;
};
