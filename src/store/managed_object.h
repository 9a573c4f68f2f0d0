#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>

class ManagedObjectContext;

// The stored entities. Their names are the tables' names.
enum class Entity { drawing, thumbnail, colorHistory };

// One record of the store, owned by the context it was inserted into or fetched by. Callers
// hold plain pointers, valid while the context lives; a context hands out one object per
// stored row. Changes stay in the object until the context saves.
class ManagedObject {
public:
    virtual ~ManagedObject() = default;
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    ManagedObjectContext* managedObjectContext() const { return context_; }
    Entity entity() const { return entity_; }
    QString entityName() const { return nameOf(entity_); }

    // Access by attribute name. Relations travel as ManagedObject*. Reading an unknown key
    // gives an invalid value; writing one, or a value of the wrong type, changes nothing and
    // returns false.
    virtual QVariant value(const QString& key) const = 0;
    virtual bool setValue(const QString& key, const QVariant& value) = 0;

    // True until the first successful save that wrote the record.
    bool isInserted() const { return rowKey_ == 0; }
    // True while the record holds changes that the store has not seen.
    bool hasChanges() const { return isInserted() || changed_ != 0; }

    static QString nameOf(Entity entity);
    static std::optional<Entity> entityNamed(const QString& name);

protected:
    ManagedObject(ManagedObjectContext* context, Entity entity)
        : context_(context), entity_(entity) {}

    // Records that the attribute with this bit changed since the last save.
    void markChanged(unsigned attribute);

private:
    friend class ManagedObjectContext;

    ManagedObjectContext* context_;
    Entity entity_;
    int64_t rowKey_ = 0;  // the row's sequence number once stored
    unsigned changed_ = 0;
};
