#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

#include "store/store_error.h"

class ManagedObject;

// Which records of an entity to fetch or delete: all of them, or those whose one attribute
// equals a value (compared as stored: colours and colour lists by their archive bytes).
struct FetchRequest {
    QString entityName;
    QString key;  // empty: every record
    QVariant value;
};

// The records in insertion order (oldest first), or the error.
struct FetchResult {
    std::vector<ManagedObject*> objects;
    std::optional<StoreError> error;
};
