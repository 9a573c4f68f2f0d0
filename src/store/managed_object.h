#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <utility>

class ManagedObjectContext;
class QObject;

// The stored entities. Their names are the tables' names.
enum class Entity { drawing, thumbnail, colorHistory };

// One record of the store, in the memory of the context it was inserted into or fetched by.
// Callers get plain pointers. A record stays in memory while something refers to it: a
// RecordRef, a pending change of its context, or a linked record that is itself in memory.
// One that nothing refers to any more is released the next time the event loop waits for
// events (or when its context goes), so a pointer handed out stays valid at least until then;
// a caller that keeps a record longer holds a RecordRef. A context hands out one object per
// stored row. Changes stay in the object until the context saves.
class ManagedObject {
public:
    virtual ~ManagedObject() = default;
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    // Nothing once the record has been thrown away (a rollback of its insertion, a save of its
    // deletion) or its context has gone.
    ManagedObjectContext* managedObjectContext() const { return discarded_ ? nullptr : context_; }
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
    bool hasChanges() const { return !discarded_ && (isInserted() || changed_ != 0 || deleting_); }

    static QString nameOf(Entity entity);
    static std::optional<Entity> entityNamed(const QString& name);

protected:
    ManagedObject(ManagedObjectContext* context, Entity entity)
        : context_(context), entity_(entity) {}

    // Call before the record's attributes or links change: the context keeps the state that
    // the store holds, so that a rollback can put it back.
    void willChange();
    // Records that the attribute with this bit changed since the last save.
    void markChanged(unsigned attribute);
    // Only a context's records of the same memory can be linked.
    bool canLinkTo(const ManagedObject* other) const {
        return context_ != nullptr && other->context_ == context_;
    }

    // The state as the store holds it, kept by willChange() until the next save or rollback.
    virtual void keepSavedState() = 0;
    virtual void restoreSavedState() = 0;
    virtual void dropSavedState() = 0;
    // Lets go of the linked record.
    virtual void dropLinks() = 0;
    // The linked record this one holds in memory, if any.
    virtual ManagedObject* heldPartner() const = 0;

private:
    friend class ManagedObjectContext;
    template <class>
    friend class RecordRef;

    static void retain(ManagedObject* record) { ++record->refs_; }
    static void release(ManagedObject* record);

    ManagedObjectContext* context_;  // the memory it lives in; nothing once that is gone
    Entity entity_;
    int64_t rowKey_ = 0;  // the row's sequence number once stored
    unsigned changed_ = 0;
    int refs_ = 0;
    bool listedForRelease_ = false;
    bool discarded_ = false;
    bool keepsSavedState_ = false;
    bool deleting_ = false;  // its deletion waits for the next save
    bool releasing_ = false;
};

// Keeps a record in memory while it lives. Converts to the plain pointer.
template <class T>
class RecordRef {
public:
    RecordRef() = default;
    RecordRef(T* record) : record_(record) {  // NOLINT: implicit, like the pointer it holds
        if (record_ != nullptr) {
            ManagedObject::retain(record_);
        }
    }
    RecordRef(const RecordRef& other) : RecordRef(other.record_) {}
    RecordRef(RecordRef&& other) noexcept : record_(std::exchange(other.record_, nullptr)) {}
    RecordRef& operator=(RecordRef other) noexcept {
        std::swap(record_, other.record_);
        return *this;
    }
    ~RecordRef() {
        if (record_ != nullptr) {
            ManagedObject::release(record_);
        }
    }

    T* get() const { return record_; }
    operator T*() const { return record_; }  // NOLINT: used where the pointer was
    T* operator->() const { return record_; }
    T& operator*() const { return *record_; }

private:
    T* record_ = nullptr;
};

// Keeps the record in memory until the owner is destroyed.
void keepRecordFor(QObject* owner, ManagedObject* record);
