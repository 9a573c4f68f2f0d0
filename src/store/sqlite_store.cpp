#include "store/sqlite_store.h"

#include <QFileInfo>
#include <QSqlError>
#include <QStringList>
#include <QUrl>
#include <atomic>

#include "platform/private_files.h"

namespace {
// Each store gets its own connection, so that several can be opened one after the other.
QString uniqueConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tilebloom-store-%1").arg(++counter);
}

// Insertion order is the order of seq, which AUTOINCREMENT never reuses, even after the
// newest row was deleted. A drawing's thumbnail link is kept on the drawing's side only
// (Thumbnail.drawing is its inverse), so the two directions can never disagree in the file.
const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS Drawing ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " id TEXT NOT NULL UNIQUE,"
    " width INTEGER NOT NULL,"
    " height INTEGER NOT NULL,"
    " colorArray BLOB NOT NULL,"
    " thumbnail TEXT UNIQUE"
    ") STRICT",
    "CREATE TABLE IF NOT EXISTS Thumbnail ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " id TEXT NOT NULL UNIQUE,"
    " date TEXT NOT NULL,"
    " fileName TEXT NOT NULL,"
    " imageData BLOB NOT NULL"
    ") STRICT",
    "CREATE TABLE IF NOT EXISTS ColorHistory ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " color BLOB NOT NULL"
    ") STRICT",
    "CREATE INDEX IF NOT EXISTS ColorHistoryByColor ON ColorHistory (color)",
};

// An open editor's draft (see DraftStore): added to stores made before drafts existed when
// they are opened, so that a store is the app's with or without these tables. A row stays
// until Save or Exit deletes it, or is marked kept aside when it cannot be read.
const char* const draftSchema[] = {
    "CREATE TABLE IF NOT EXISTS Draft ("
    " id TEXT PRIMARY KEY,"
    " owner TEXT NOT NULL,"
    " updated INTEGER NOT NULL,"
    " drawing TEXT,"
    " width INTEGER NOT NULL,"
    " height INTEGER NOT NULL,"
    " cells BLOB NOT NULL,"
    " color BLOB NOT NULL,"
    " tool TEXT NOT NULL,"
    " applied INTEGER NOT NULL,"
    " keptAside TEXT"
    ") STRICT",
    "CREATE TABLE IF NOT EXISTS DraftStep ("
    " draft TEXT NOT NULL,"
    " position INTEGER NOT NULL,"
    " change BLOB NOT NULL,"
    " PRIMARY KEY (draft, position)"
    ") STRICT",
};

// The tables of a store and their columns, in order.
const struct {
    const char* table;
    QStringList columns;
} expectedTables[] = {
    {"Drawing", {"seq", "id", "width", "height", "colorArray", "thumbnail"}},
    {"Thumbnail", {"seq", "id", "date", "fileName", "imageData"}},
    {"ColorHistory", {"seq", "color"}},
};

// Tables a store may lack (made before they existed); when there, they have these columns.
const struct {
    const char* table;
    QStringList columns;
} optionalTables[] = {
    {"Draft",
     {"id", "owner", "updated", "drawing", "width", "height", "cells", "color", "tool", "applied",
      "keptAside"}},
    {"DraftStep", {"draft", "position", "change"}},
};

bool isOwnName(const QString& name) {
    // Names starting "sqlite_" are SQLite's own (sequences, automatic indexes); nobody else
    // can create them.
    if (name.startsWith(QLatin1String("sqlite_")) || name == u"ColorHistoryByColor") {
        return true;
    }
    for (const auto& expected : expectedTables) {
        if (name == QLatin1String(expected.table)) {
            return true;
        }
    }
    for (const auto& optional : optionalTables) {
        if (name == QLatin1String(optional.table)) {
            return true;
        }
    }
    return false;
}
}  // namespace

SqliteStore::SqliteStore() : connectionName_(uniqueConnectionName()) {}

SqliteStore::~SqliteStore() {
    statements_.clear();
    if (database_.isValid()) {
        database_.close();
    }
    database_ = QSqlDatabase();
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

std::optional<StoreError> SqliteStore::open(const QString& path) {
    if (attempted_) {
        return openError_;
    }
    attempted_ = true;
    path_ = path;
    openError_ = openFile();
    open_ = !openError_.has_value();
    if (!open_) {
        statements_.clear();
        if (database_.isValid()) {
            database_.close();
        }
    }
    return openError_;
}

std::optional<StoreError> SqliteStore::openFile() {
    // Made 0600 before SQLite opens it, as its log and shared-memory files take the file's
    // mode; never created through a link, and nothing but a regular file is opened.
    if (const QString refused = PrivateFiles::makeFile(path_); !refused.isEmpty()) {
        return error(QStringLiteral("unable to open database file"), QStringLiteral("open"),
                     {{QStringLiteral("reason"), refused}});
    }
    // Opening for writing may already change a file (a log folded in, a journal rolled back),
    // so a file that is there is first read without writing.
    if (auto refusal = inspectFile()) {
        return refusal;
    }
    database_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    database_.setDatabaseName(path_);
    database_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!database_.open()) {
        return errorFrom(database_.lastError(), QStringLiteral("open"));
    }
    // Checked again on this connection, before anything is written: switching the journal
    // mode is a write too.
    bool empty = false;
    if (auto refusal = recognise(database_, empty)) {
        return refusal;
    }
    if (auto failure = run(QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("open"))) {
        return failure;
    }
    if (auto failure = run(QStringLiteral("PRAGMA synchronous = FULL"), QStringLiteral("open"))) {
        return failure;
    }
    if (empty) {
        if (auto failure = createTables()) {
            return failure;
        }
        if (auto failure = recognise(database_, empty)) {
            return failure;
        }
    } else if (missingDraftTables_) {
        // A store from before drafts: it gains their tables. One that cannot be written still
        // opens for reading; its editors then say that they cannot keep a draft.
        addDraftTables();
    }
    return std::nullopt;
}

void SqliteStore::addDraftTables() {
    if (begin()) {
        return;
    }
    for (const char* sql : draftSchema) {
        if (run(QString::fromLatin1(sql), QStringLiteral("add draft tables"))) {
            rollback();
            return;
        }
    }
    commit();
}

std::optional<StoreError> SqliteStore::inspectFile() {
    const QFileInfo file(path_);
    if (!file.isFile() || file.size() == 0) {
        return std::nullopt;  // made here, or refused by the open itself
    }
    const QString name = connectionName_ + QStringLiteral("-inspect");
    std::optional<StoreError> refusal;
    {
        QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QUrl uri = QUrl::fromLocalFile(file.absoluteFilePath());
        // Immutable: no locks and no log files, so even a database in another app's use is
        // read without a trace. A log that is there may hold what the file does not show yet;
        // then the file is read as any reader would.
        const bool pendingLog = QFileInfo(path_ + QStringLiteral("-wal")).size() > 0;
        uri.setQuery(pendingLog ? QStringLiteral("mode=ro")
                                : QStringLiteral("mode=ro&immutable=1"));
        reader.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        reader.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        if (!reader.open()) {
            refusal = errorFrom(reader.lastError(), QStringLiteral("open"));
        } else {
            bool empty = false;
            refusal = recognise(reader, empty);
        }
        reader.close();
    }
    QSqlDatabase::removeDatabase(name);
    return refusal;
}

std::optional<StoreError> SqliteStore::recognise(const QSqlDatabase& database, bool& empty) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        return errorFrom(query.lastError(), QStringLiteral("open"));
    }
    const int version = query.value(0).toInt();
    if (!query.exec(QStringLiteral("SELECT type, name FROM sqlite_master"))) {
        return errorFrom(query.lastError(), QStringLiteral("open"));
    }
    QStringList names;
    bool foreign = false;
    while (query.next()) {
        const QString type = query.value(0).toString();
        const QString name = query.value(1).toString();
        names << name;
        foreign = foreign || (type != u"table" && type != u"index") || !isOwnName(name);
    }
    if (query.lastError().isValid()) {
        return errorFrom(query.lastError(), QStringLiteral("open"));
    }
    empty = names.isEmpty();
    if (empty) {
        return std::nullopt;
    }
    bool tablesMatch = true;
    const auto columnsOf = [&query](const char* table, QStringList& columns) {
        if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
            return false;
        }
        while (query.next()) {
            columns << query.value(1).toString();
        }
        return true;
    };
    for (const auto& expected : expectedTables) {
        QStringList columns;
        if (!columnsOf(expected.table, columns)) {
            return errorFrom(query.lastError(), QStringLiteral("open"));
        }
        tablesMatch = tablesMatch && columns == expected.columns;
    }
    missingDraftTables_ = false;
    for (const auto& optional : optionalTables) {
        QStringList columns;
        if (!columnsOf(optional.table, columns)) {
            return errorFrom(query.lastError(), QStringLiteral("open"));
        }
        missingDraftTables_ = missingDraftTables_ || columns.isEmpty();
        tablesMatch = tablesMatch && (columns.isEmpty() || columns == optional.columns);
    }
    const QVariantMap details{{QStringLiteral("storeVersion"), version},
                              {QStringLiteral("contents"), names.join(QStringLiteral(", "))}};
    if (version > schemaVersion && !foreign) {
        return error(QStringLiteral("The store was written by a newer version of the app."),
                     QStringLiteral("open"), details);
    }
    if (version != schemaVersion || foreign || !tablesMatch) {
        return error(QStringLiteral("The file is a database that is not a store of this app; it "
                                    "is left as it is."),
                     QStringLiteral("open"), details);
    }
    return std::nullopt;
}

std::optional<StoreError> SqliteStore::createTables() {
    if (auto failure = begin()) {
        return failure;
    }
    QStringList statements;
    for (const char* sql : schema) {
        statements << QString::fromLatin1(sql);
    }
    for (const char* sql : draftSchema) {
        statements << QString::fromLatin1(sql);
    }
    statements << QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion);
    for (const QString& sql : statements) {
        if (auto failure = run(sql, QStringLiteral("create tables"))) {
            rollback();
            return failure;
        }
    }
    return commit();
}

QSqlQuery* SqliteStore::prepared(const QString& sql, const QString& operation,
                                 std::optional<StoreError>& error) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        return found->second.get();
    }
    auto query = std::make_unique<QSqlQuery>(database_);
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        error = errorFrom(query->lastError(), operation);
        return nullptr;
    }
    return statements_.emplace(sql, std::move(query)).first->second.get();
}

std::optional<StoreError> SqliteStore::run(QSqlQuery& query, const QString& operation) {
    if (!query.exec()) {
        StoreError failure = errorFrom(query.lastError(), operation);
        query.finish();
        return failure;
    }
    return std::nullopt;
}

std::optional<StoreError> SqliteStore::run(const QString& sql, const QString& operation) {
    std::optional<StoreError> failure;
    QSqlQuery* query = prepared(sql, operation, failure);
    if (query == nullptr) {
        return failure;
    }
    failure = run(*query, operation);
    query->finish();
    return failure;
}

StoreError SqliteStore::unavailable(const QString& operation) const {
    return error(QStringLiteral("The store is not open."), operation,
                 {{QStringLiteral("reason"),
                   openError_ ? openError_->description() : QStringLiteral("not loaded")}});
}

std::optional<StoreError> SqliteStore::begin() {
    // IMMEDIATE takes the write lock at once, so a busy file fails before any work is done.
    return run(QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("begin"));
}

std::optional<StoreError> SqliteStore::commit() {
    if (auto failure = run(QStringLiteral("COMMIT"), QStringLiteral("commit"))) {
        rollback();
        return failure;
    }
    return std::nullopt;
}

void SqliteStore::rollback() {
    QSqlQuery query(database_);
    // Fails harmlessly when SQLite already rolled the transaction back itself.
    query.exec(QStringLiteral("ROLLBACK"));
}

StoreError SqliteStore::errorFrom(const QSqlError& failure, const QString& operation) const {
    const QString message =
        failure.databaseText().isEmpty() ? failure.driverText() : failure.databaseText();
    QVariantMap details{{QStringLiteral("driverMessage"), failure.driverText()}};
    if (!failure.nativeErrorCode().isEmpty()) {
        details.insert(QStringLiteral("sqliteCode"), failure.nativeErrorCode().toInt());
    }
    if (!failure.databaseText().isEmpty()) {
        details.insert(QStringLiteral("sqliteMessage"), failure.databaseText());
    }
    return error(message.isEmpty() ? QStringLiteral("Unknown store error.") : message, operation,
                 details);
}

StoreError SqliteStore::error(const QString& description, const QString& operation,
                              QVariantMap details) const {
    details.insert(QStringLiteral("operation"), operation);
    details.insert(QStringLiteral("storeFile"), path_);
    return StoreError(description, details);
}
