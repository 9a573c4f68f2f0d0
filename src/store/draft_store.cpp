#include "store/draft_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>

#include "platform/app_paths.h"
#include "platform/application.h"
#include "platform/console.h"
#include "platform/private_files.h"
#include "store/color_archive.h"
#include "store/persistent_container.h"
#include "store/persistent_container_provider.h"
#include "store/sqlite_store.h"

// Named: the sanitizer flavours compile the store's files as one unit.
namespace draft_rows {
QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces);
}

QVariant textOrNull(const QUuid& id) {
    return id.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(uuidText(id));
}

QString describe(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

// Runs a statement with its values on a connection; the error's text on failure.
QString exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) {
        return describe(query.lastError());
    }
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    if (!query.exec()) {
        const QString text = describe(query.lastError());
        query.finish();
        return text;
    }
    return {};
}
}  // namespace draft_rows

void DraftWrite::mergeWith(DraftWrite next) {
    // Steps this write added that next keeps stay; next's own come on top.
    std::map<int64_t, DraftStepSource> merged;
    for (auto& [position, step] : steps) {
        if (position < next.keepSteps) {
            merged.emplace(position, std::move(step));
        }
    }
    for (auto& [position, step] : next.steps) {
        merged.insert_or_assign(position, std::move(step));
    }
    const int64_t keep = std::min(keepSteps, next.keepSteps);
    *this = std::move(next);
    keepSteps = keep;
    steps = std::move(merged);
}

// Journal.

DraftJournal::DraftJournal(QString storePath, QString owner)
    : storePath_(std::move(storePath)), owner_(owner) {
    static std::atomic<int> counter{0};
    connectionName_ = QStringLiteral("tilebloom-draft-%1").arg(++counter);
}

DraftJournal::~DraftJournal() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        retry_ = true;  // one last try for what is queued
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DraftJournal::submit(DraftWrite write) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        if (queued_) {
            queued_->mergeWith(std::move(write));
        } else {
            queued_ = std::move(write);
        }
        retry_ = true;
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { run(); });
        }
    }
    wake_.notify_all();
}

bool DraftJournal::flush() {
    std::unique_lock lock(mutex_);
    if (queued_ && !closed_) {
        retry_ = true;
        wake_.notify_all();
    }
    idle_.wait(lock, [this] { return !writing_ && (!queued_ || !retry_ || closed_); });
    return !queued_ || closed_;
}

void DraftJournal::close() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    queued_.reset();
    idle_.wait(lock, [this] { return !writing_; });
}

int64_t DraftJournal::committedWrites() const {
    std::lock_guard lock(mutex_);
    return committed_;
}

void DraftJournal::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || (retry_ && queued_ && !closed_); });
        if (!queued_ || closed_ || !retry_) {
            break;  // stopping with nothing to write
        }
        DraftWrite batch = std::move(*queued_);
        queued_.reset();
        retry_ = false;
        writing_ = true;
        lock.unlock();
        const std::optional<StoreError> failure = write(batch);
        lock.lock();
        writing_ = false;
        if (failure) {
            if (!reportedFailure_) {
                reportedFailure_ = true;
                printLine(
                    failure->consoleLine(QStringLiteral("Could not keep the unsaved drawing. ")));
            }
            if (queued_) {
                batch.mergeWith(std::move(*queued_));  // retry_ is set: tried again at once
            }
            queued_ = std::move(batch);
            if (stopping_) {
                retry_ = false;
            }
        } else {
            ++committed_;
            reportedFailure_ = false;
        }
        idle_.notify_all();
        if (stopping_ && !retry_) {
            break;
        }
    }
    idle_.notify_all();
    lock.unlock();
    if (QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase::database(connectionName_, false).close();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

std::optional<StoreError> DraftJournal::write(const DraftWrite& write) {
    const auto failed = [this](const QString& text) {
        return StoreError(text.isEmpty() ? QStringLiteral("Unknown store error.") : text,
                          {{QStringLiteral("operation"), QStringLiteral("write draft")},
                           {QStringLiteral("storeFile"), storePath_}});
    };
    // The connection is this thread's alone, opened on the first write. The store made the
    // file and its tables; this connection only writes the draft's rows.
    if (!QSqlDatabase::contains(connectionName_)) {
        QSqlDatabase database =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
        database.setDatabaseName(storePath_);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!database.open()) {
            const QString text = draft_rows::describe(database.lastError());
            QSqlDatabase::removeDatabase(connectionName_);
            return failed(text);
        }
        QSqlQuery setup(database);
        // The sync level is the connection's own; the log mode is the file's, set by the store.
        if (!setup.exec(QStringLiteral("PRAGMA synchronous = FULL"))) {
            return failed(draft_rows::describe(setup.lastError()));
        }
    }
    QSqlDatabase database = QSqlDatabase::database(connectionName_, false);
    QSqlQuery query(database);
    query.setForwardOnly(true);
    QString problem = draft_rows::exec(query, QStringLiteral("BEGIN IMMEDIATE"), {});
    if (!problem.isEmpty()) {
        return failed(problem);
    }
    const QString& id = write.id;
    problem = draft_rows::exec(
        query,
        QStringLiteral(
            "INSERT INTO Draft (id, owner, updated, drawing, width, height, cells, color, tool, "
            "applied) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO UPDATE SET "
            "owner = excluded.owner, updated = excluded.updated, drawing = excluded.drawing, "
            "width = excluded.width, height = excluded.height, cells = excluded.cells, "
            "color = excluded.color, tool = excluded.tool, applied = excluded.applied"),
        {id, owner_, QVariant::fromValue<qint64>(QDateTime::currentMSecsSinceEpoch()),
         draft_rows::textOrNull(write.drawing), QVariant::fromValue<qint64>(write.width),
         QVariant::fromValue<qint64>(write.height), DraftCodec::encodeCells(write.cells),
         ColorArchive::encode(write.color), write.tool,
         QVariant::fromValue<qint64>(write.applied)});
    if (problem.isEmpty()) {
        problem = draft_rows::exec(
            query, QStringLiteral("DELETE FROM DraftStep WHERE draft = ? AND position >= ?"),
            {id, QVariant::fromValue<qint64>(write.keepSteps)});
    }
    for (auto it = write.steps.begin(); problem.isEmpty() && it != write.steps.end(); ++it) {
        problem = draft_rows::exec(
            query,
            QStringLiteral("INSERT INTO DraftStep (draft, position, change) VALUES (?, ?, ?)"),
            {id, QVariant::fromValue<qint64>(it->first),
             DraftCodec::encodeStep(it->second ? it->second() : DraftStep{})});
    }
    if (problem.isEmpty()) {
        problem = draft_rows::exec(query, QStringLiteral("COMMIT"), {});
    }
    if (!problem.isEmpty()) {
        QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
        return failed(problem);
    }
    return std::nullopt;
}

// Store.

DraftStore::DraftStore(SqliteStore* store) : store_(store) {}

DraftStore::~DraftStore() {
    if (lockFile_ >= 0) {
        // Unlinked while still locked, so that nobody takes a lock on a name about to go.
        ::unlink(QFile::encodeName(lockPath_).constData());
        ::close(lockFile_);
    }
}

DraftStore* DraftStore::application() {
    auto* provider = dynamic_cast<PersistentContainerProvider*>(Application::shared().delegate());
    PersistentContainer* container = provider ? provider->persistentContainer() : nullptr;
    return container ? container->drafts() : nullptr;
}

bool DraftStore::applicationStoreHasDrafts() {
    const QFileInfo file(AppPaths::dataDirectory() + QLatin1Char('/') +
                         PersistentContainerProvider::storeName() + QStringLiteral(".sqlite"));
    // Only a regular file of some size is read: nothing to do for a first start, and nothing
    // else is opened at all.
    if (PrivateFiles::nonRegularKind(file.absoluteFilePath()) != QString() || !file.isFile() ||
        file.size() == 0) {
        return false;
    }
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("tilebloom-draft-peek-%1").arg(++counter);
    bool found = false;
    {
        QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // Read-only, through the log when there is one: a draft written just before a crash
        // may be in the log alone.
        QUrl uri = QUrl::fromLocalFile(file.absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=ro"));
        reader.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        reader.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=2000"));
        if (reader.open()) {
            QSqlQuery query(reader);
            found =
                query.exec(QStringLiteral("SELECT 1 FROM Draft WHERE keptAside IS NULL LIMIT 1")) &&
                query.next();
        }
        reader.close();
    }
    QSqlDatabase::removeDatabase(name);
    return found;
}

QString DraftStore::ownersFolder() const {
    return QFileInfo(store_->path()).absolutePath() + QStringLiteral("/draft-owners");
}

QString DraftStore::owner() {
    if (!owner_.isEmpty()) {
        return owner_;
    }
    owner_ = draft_rows::uuidText(QUuid::createUuid());
    // Without the lock the drafts are still written; another run may then offer them while
    // this one is alive, which duplicates a drawing but loses nothing.
    const QString folder = ownersFolder();
    QString refused = PrivateFiles::makeFolder(folder, PrivateFiles::Links::refuse);
    const QString path = folder + QLatin1Char('/') + owner_ + QStringLiteral(".lock");
    if (refused.isEmpty()) {
        refused = PrivateFiles::makeFile(path);
    }
    if (refused.isEmpty()) {
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lockFile_ = fd;
            lockPath_ = path;
        } else {
            if (fd >= 0) {
                ::close(fd);
            }
            refused = QStringLiteral("it could not be locked");
        }
    }
    if (!refused.isEmpty()) {
        printLine(QStringLiteral("Drafts: the owner lock %1 could not be made (%2); another run "
                                 "of the app may offer this run's unsaved drawings.")
                      .arg(path, refused));
    }
    return owner_;
}

bool DraftStore::ownerIsAlive(const QString& owner) const {
    if (owner == owner_ && !owner.isEmpty()) {
        return true;
    }
    // The name comes from the file: only an id in its plain form makes a path.
    const QUuid id = QUuid::fromString(owner);
    if (id.isNull() || draft_rows::uuidText(id) != owner) {
        return false;
    }
    const QString path = ownersFolder() + QLatin1Char('/') + owner + QStringLiteral(".lock");
    const QByteArray local = QFile::encodeName(path);
    // Never blocks: a FIFO or a link there is no owner's lock.
    const int fd =
        ::open(local.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool alive = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(local.constData());  // its owner is gone: the lock file goes too
        } else {
            alive = errno == EWOULDBLOCK;
        }
    }
    ::close(fd);
    return alive;
}

std::vector<DraftStore::Found> DraftStore::abandonedDrafts() {
    std::vector<Found> found;
    QSqlQuery query(store_->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, owner FROM Draft WHERE keptAside IS NULL "
                                   "ORDER BY updated DESC, rowid DESC"))) {
        printLine(store_->errorFrom(query.lastError(), QStringLiteral("find drafts"))
                      .consoleLine(QStringLiteral("Could not look for unsaved drawings. ")));
        return found;
    }
    while (query.next()) {
        // Kept as read: a damaged id is still a row to keep aside.
        found.push_back({query.value(0).toString(), query.value(1).toString()});
    }
    query.finish();
    owner();  // this run's lock is taken before others' are looked at
    std::erase_if(found, [this](const Found& draft) { return ownerIsAlive(draft.owner); });
    return found;
}

bool DraftStore::claim(const Found& draft) {
    std::optional<StoreError> failure;
    QSqlQuery* query = store_->prepared(
        QStringLiteral(
            "UPDATE Draft SET owner = ? WHERE id = ? AND owner IS ? AND keptAside IS NULL"),
        QStringLiteral("claim draft"), failure);
    if (query == nullptr) {
        printLine(failure->consoleLine(QStringLiteral("Could not open the unsaved drawing. ")));
        return false;
    }
    query->bindValue(0, owner());
    query->bindValue(1, draft.id);
    query->bindValue(2, draft.owner);
    failure = store_->run(*query, QStringLiteral("claim draft"));
    const bool claimed = !failure && query->numRowsAffected() == 1;
    query->finish();
    if (failure) {
        printLine(failure->consoleLine(QStringLiteral("Could not open the unsaved drawing. ")));
    }
    return claimed;
}

std::optional<Draft> DraftStore::read(const QString& id, QString& problem) {
    QSqlQuery query(store_->database());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT drawing, width, height, cells, color, tool, applied "
                       "FROM Draft WHERE id = ?"));
    query.bindValue(0, id);
    if (!query.exec() || !query.next()) {
        problem = query.lastError().isValid() ? draft_rows::describe(query.lastError())
                                              : QStringLiteral("the draft is not there");
        return std::nullopt;
    }
    Draft draft;
    draft.id = id;
    const QVariant drawing = query.value(0);
    if (!drawing.isNull()) {
        draft.drawing = QUuid::fromString(drawing.toString());
        if (draft.drawing.isNull()) {
            problem = QStringLiteral("the drawing it came from has an unreadable id");
            return std::nullopt;
        }
    }
    bool wide = false;
    bool high = false;
    draft.width = query.value(1).toLongLong(&wide);
    draft.height = query.value(2).toLongLong(&high);
    if (!wide || !high || draft.width < 1 || draft.height < 1 || draft.width > Draft::largestSide ||
        draft.height > Draft::largestSide) {
        problem = QStringLiteral("its grid of %1 x %2 is not one the editor can show")
                      .arg(query.value(1).toString(), query.value(2).toString());
        return std::nullopt;
    }
    const uint64_t cellCount = static_cast<uint64_t>(draft.width * draft.height);
    QString cellProblem;
    std::optional<std::vector<Color>> cells =
        DraftCodec::decodeCells(query.value(3).toByteArray(), cellCount, cellProblem);
    if (!cells) {
        problem = QStringLiteral("its cells cannot be read: ") + cellProblem;
        return std::nullopt;
    }
    draft.cells = std::move(*cells);
    const ColorArchive::Decoded color = ColorArchive::decode(query.value(4).toByteArray());
    if (!color.problem.isEmpty() || color.colors.size() != 1) {
        problem = QStringLiteral("its drawing colour cannot be read");
        return std::nullopt;
    }
    draft.color = color.colors.front();
    draft.tool = query.value(5).toString();
    bool appliedRead = false;
    draft.applied = query.value(6).toLongLong(&appliedRead);
    const QString appliedText = query.value(6).toString();
    query.finish();

    query.prepare(
        QStringLiteral("SELECT position, change FROM DraftStep WHERE draft = ? "
                       "ORDER BY position"));
    query.bindValue(0, id);
    if (!query.exec()) {
        problem = draft_rows::describe(query.lastError());
        return std::nullopt;
    }
    while (query.next()) {
        const int64_t position = query.value(0).toLongLong();
        if (position != static_cast<int64_t>(draft.steps.size())) {
            problem = QStringLiteral("its history misses step %1").arg(draft.steps.size());
            return std::nullopt;
        }
        QString stepProblem;
        std::optional<DraftStep> step =
            DraftCodec::decodeStep(query.value(1).toByteArray(), cellCount, stepProblem);
        if (!step) {
            problem = QStringLiteral("step %1 of its history cannot be read: %2")
                          .arg(position)
                          .arg(stepProblem);
            return std::nullopt;
        }
        draft.steps.push_back(std::move(*step));
    }
    if (!appliedRead || draft.applied < 0 ||
        draft.applied > static_cast<int64_t>(draft.steps.size())) {
        problem = QStringLiteral("it says %1 of its %2 steps are done")
                      .arg(appliedText)
                      .arg(draft.steps.size());
        return std::nullopt;
    }
    return draft;
}

std::optional<StoreError> DraftStore::keepAside(const QString& id, const QString& reason) {
    if (auto failure = store_->begin()) {
        return failure;
    }
    std::optional<StoreError> failure;
    QSqlQuery* query =
        store_->prepared(QStringLiteral("UPDATE Draft SET keptAside = ? WHERE id = ?"),
                         QStringLiteral("keep draft aside"), failure);
    if (query != nullptr) {
        query->bindValue(0, reason);
        query->bindValue(1, id);
        failure = store_->run(*query, QStringLiteral("keep draft aside"));
        query->finish();
    }
    if (failure) {
        store_->rollback();
        return failure;
    }
    return store_->commit();
}

std::optional<StoreError> DraftStore::discardWithinTransaction(const QString& id) {
    for (const QString& sql : {QStringLiteral("DELETE FROM DraftStep WHERE draft = ?"),
                               QStringLiteral("DELETE FROM Draft WHERE id = ?")}) {
        std::optional<StoreError> failure;
        QSqlQuery* query = store_->prepared(sql, QStringLiteral("delete draft"), failure);
        if (query != nullptr) {
            query->bindValue(0, id);
            failure = store_->run(*query, QStringLiteral("delete draft"));
            query->finish();
        }
        if (failure) {
            return failure;
        }
    }
    return std::nullopt;
}

std::optional<StoreError> DraftStore::discard(const QString& id) {
    if (auto failure = store_->begin()) {
        return failure;
    }
    if (auto failure = discardWithinTransaction(id)) {
        store_->rollback();
        return failure;
    }
    return store_->commit();
}

std::unique_ptr<DraftJournal> DraftStore::journal() {
    return std::unique_ptr<DraftJournal>(new DraftJournal(store_->path(), owner()));
}
