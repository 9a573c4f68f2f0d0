#pragma once

#include <QString>
#include <QVariantMap>

// A failed store operation: a description text and a dictionary of further details
// (SQLite's code and message, what was being done, the store file).
class StoreError {
public:
    StoreError() = default;
    StoreError(QString description, QVariantMap userInfo)
        : description_(std::move(description)), userInfo_(std::move(userInfo)) {}

    const QString& description() const { return description_; }
    const QVariantMap& userInfo() const { return userInfo_; }

    // The details on one line, keys sorted: {operation = save; sqliteCode = 8}. Texts that
    // are not a single plain word are quoted, with quotes, backslashes and line breaks escaped.
    QString userInfoText() const;

    // The console form of a failure: message (ending in a blank), the description, ", " and
    // the details.
    QString consoleLine(const QString& message) const;

private:
    QString description_;
    QVariantMap userInfo_;
};
