#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <map>
#include <memory>
#include <optional>

#include "store/store_error.h"

// The store file: one SQLite connection through Qt Sql with its schema and prepared
// statements. Commits are durable: write-ahead log with synchronous=FULL, so a commit that
// returned survives a crash of the process or the machine, and a transaction cut short by
// either leaves the last committed state.
class SqliteStore {
public:
    static constexpr int schemaVersion = 1;

    SqliteStore();
    ~SqliteStore();
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    // Opens the file, creating the tables in a new or empty one (no tables at all) and adding
    // the draft tables to a store made before them. Any other
    // file that is not a store this version can use (another app's database, a store from a
    // newer version, bytes that are no database) is refused and left byte for byte as it
    // was: nothing is written before it has been read and recognised. A store is opened
    // once; later calls give the first outcome.
    std::optional<StoreError> open(const QString& path);
    bool isOpen() const { return open_; }
    const QString& path() const { return path_; }
    // The connection, for diagnostics and tests; empty until open() has been called.
    QSqlDatabase database() const { return database_; }

    // A statement prepared once and kept for reuse; nothing, with error set, when the
    // statement cannot be prepared.
    QSqlQuery* prepared(const QString& sql, const QString& operation,
                        std::optional<StoreError>& error);
    // Runs a prepared statement with its bound values.
    std::optional<StoreError> run(QSqlQuery& query, const QString& operation);
    // Runs a statement that takes no values.
    std::optional<StoreError> run(const QString& sql, const QString& operation);

    std::optional<StoreError> begin();
    std::optional<StoreError> commit();
    void rollback();

    // The failure of every operation on a store that could not be opened.
    StoreError unavailable(const QString& operation) const;
    StoreError errorFrom(const QSqlError& error, const QString& operation) const;
    StoreError error(const QString& description, const QString& operation,
                     QVariantMap details = {}) const;

private:
    std::optional<StoreError> openFile();
    // Reads a file that is there through a connection that cannot write.
    std::optional<StoreError> inspectFile();
    // Nothing when the database holds a store of this version or no tables at all (empty);
    // otherwise why it cannot be used.
    std::optional<StoreError> recognise(const QSqlDatabase& database, bool& empty);
    std::optional<StoreError> createTables();
    void addDraftTables();

    QString path_;
    QString connectionName_;
    QSqlDatabase database_;
    bool open_ = false;
    bool attempted_ = false;
    bool missingDraftTables_ = false;  // as the last recognise() found
    std::optional<StoreError> openError_;
    std::map<QString, std::unique_ptr<QSqlQuery>> statements_;
};
