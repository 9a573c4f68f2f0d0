#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "store/draft.h"
#include "store/store_error.h"

class SqliteStore;

// A history step as the journal's thread reads it. The editor hands over what its step is
// made of rather than a copy, so that even a fill of a large grid costs it nothing; what a
// source reads must not change once it is handed over.
using DraftStepSource = std::function<DraftStep()>;

// One draft write as the editor hands it over: the whole picture and state, and the history
// steps from `keepSteps` on (earlier ones are stored already). The journal's thread reads the
// steps and encodes it all.
struct DraftWrite {
    QString id;
    QUuid drawing;
    int64_t width = 0;
    int64_t height = 0;
    std::vector<Color> cells;
    Color color;
    QString tool;
    int64_t applied = 0;
    int64_t keepSteps = 0;
    std::map<int64_t, DraftStepSource> steps;  // by position in the history

    // This write followed by next, as one: next's state, and the history steps both leave.
    void mergeWith(DraftWrite next);
};

// Writes one editor's draft on a thread of its own with its own connection, so that the
// editor never waits for the disk. Writes handed over while one is under way are merged and
// go in the next transaction; a write that fails stays queued, merged with later ones, and is
// tried again with the next hand-over or flush (its failure printed once).
class DraftJournal {
public:
    ~DraftJournal();  // writes what is queued first
    DraftJournal(const DraftJournal&) = delete;
    DraftJournal& operator=(const DraftJournal&) = delete;

    // Queues the write and returns at once.
    void submit(DraftWrite write);
    // Waits until everything handed over is written; false when the last try failed.
    bool flush();
    // Drops what is queued, waits for a write under way and writes nothing more: the draft
    // is about to be deleted (Save, Exit).
    void close();

    // Transactions committed so far, for tests and measurements.
    int64_t committedWrites() const;

private:
    friend class DraftStore;
    DraftJournal(QString storePath, QString owner);
    void run();
    std::optional<StoreError> write(const DraftWrite& write);

    const QString storePath_;
    const QString owner_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<DraftWrite> queued_;
    bool writing_ = false;
    bool retry_ = false;  // a queued write to try (again)
    bool lastFailed_ = false;
    bool reportedFailure_ = false;
    bool stopping_ = false;
    bool closed_ = false;
    int64_t committed_ = 0;
    QString connectionName_;
    std::thread thread_;  // started with the first write
};

// The drafts in a store: which ones a run of the app left behind, reading, keeping aside and
// deleting them. Each editor writes its own draft (its id), owned by the DraftStore that made
// it; a draft is offered again only when its owner is gone. An owner lives as long as its lock
// on a private file, <store folder>/draft-owners/<owner>.lock, which the system lets go of
// when the process ends however it ends; a second run of the app, or another window, never
// takes a draft that is still being written.
class DraftStore {
public:
    // The store must outlive it.
    explicit DraftStore(SqliteStore* store);
    ~DraftStore();  // lets go of the owner lock
    DraftStore(const DraftStore&) = delete;
    DraftStore& operator=(const DraftStore&) = delete;

    // The application's draft store, when its store opened; nothing otherwise. Opens the
    // store on first use.
    static DraftStore* application();
    // Whether the application's store file holds a draft that is not kept aside, read
    // without opening the store, so that a start without drafts leaves the store to its first
    // use. False, silently, for a file that is missing or no store: its first use says why.
    static bool applicationStoreHasDrafts();

    // This store's owner id; takes the owner lock on first use.
    QString owner();

    // A draft's id and owner as stored (either may be damaged).
    struct Found {
        QString id;
        QString owner;
    };
    // Drafts whose owner is gone and that are not kept aside, newest first.
    std::vector<Found> abandonedDrafts();
    // Makes this store the owner of an abandoned draft, unless someone else did first.
    bool claim(const Found& draft);

    // The whole draft; nothing, with problem set, when it cannot be read.
    std::optional<Draft> read(const QString& id, QString& problem);
    // Marks the draft as kept aside: it stays in the store with its steps, but is never
    // offered or written again.
    std::optional<StoreError> keepAside(const QString& id, const QString& reason);
    // Deletes the draft and its steps in one transaction.
    std::optional<StoreError> discard(const QString& id);
    // The statements that delete the draft, for a caller's open transaction.
    std::optional<StoreError> discardWithinTransaction(const QString& id);

    // A writer for the draft with this id.
    std::unique_ptr<DraftJournal> journal();

private:
    bool ownerIsAlive(const QString& owner) const;
    QString ownersFolder() const;

    SqliteStore* store_;
    QString owner_;
    int lockFile_ = -1;
    QString lockPath_;
};
