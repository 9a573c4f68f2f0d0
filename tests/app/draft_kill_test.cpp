// Kills the app at random moments while it draws, restores and saves (the draft kill child),
// and checks that every next start restores what the last one had: the canvas after its last
// finished step, or one no more than half a second older, with its colour, tool and whole undo
// history; or, for a kill during Save or Exit, either the draft or the saved drawing, never
// neither. TILEBLOOM_DRAFT_KILLS sets the number of kills; by default the build chooses.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <iostream>
#include <optional>

#include "draft_kill_state.h"
#include "store/color_archive.h"
#include "test_support.h"

// Named: the sanitizer flavours compile the app's tests as one unit.
namespace draft_kill {
constexpr int64_t kLossBoundNs = 500'000'000;

struct State {
    int64_t time = 0;
    QString hash;  // the canvas
    size_t undo = 0;
    size_t redo = 0;
    QString rest;  // the colour, the tool and the whole undo and redo history

    bool sameAs(const State& o) const {
        return hash == o.hash && undo == o.undo && redo == o.redo && rest == o.rest;
    }
    std::string text() const {
        return QStringLiteral("%1 undo %2 redo %3 %4")
            .arg(hash)
            .arg(undo)
            .arg(redo)
            .arg(rest)
            .toStdString();
    }
    static std::optional<State> parse(const QStringList& words, qsizetype from) {
        if (words.size() != from + 7) {
            return std::nullopt;  // a line cut by the kill
        }
        bool ok[3] = {};
        const State state{words[from].toLongLong(&ok[0]), words[from + 1],
                          words[from + 2].toULongLong(&ok[1]), words[from + 3].toULongLong(&ok[2]),
                          words.mid(from + 4).join(' ')};
        return ok[0] && ok[1] && ok[2] ? std::optional(state) : std::nullopt;
    }
};

// The open editor's history as the test expects it: the canvas after each step of one line,
// and how many of them are done.
struct Session {
    std::vector<QString> line;
    size_t done = 0;
};

// What a run could leave to the next from some moment on.
struct Outcome {
    enum Kind { nothing, draft, savingOrDraft, exitingOrDraft } kind = nothing;
    State state;  // the draft's state for the draft kinds
    int64_t since = 0;
    Session session;  // the history the draft holds
};

struct DraftKillTest : testing::Test {
    QTemporaryDir data;
    Session session;
    std::vector<Outcome> outcomes;  // of the run being read
    std::vector<Outcome> pending;   // of the last run that printed a state
    int64_t pendingKilledAt = 0;    // when that run was killed
    int64_t killedAt = 0;
    int drawings = 0;         // saves that committed
    int storedBeforeRun = 0;  // drawings in the store when the run being read started
    size_t restores = 0;

    QString storeFile() const { return data.path() + "/tesselet.sqlite"; }

    // One statement's first column, through a connection of its own that is gone afterwards;
    // nothing before the app made the store (a connection would make an empty file).
    QVariantList sql(const QString& statement) {
        QVariantList out;
        if (!QFile::exists(storeFile())) {
            return out;
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "kill-check");
            db.setDatabaseName(storeFile());
            EXPECT_TRUE(db.open());
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
            while (query.next()) {
                out << query.value(0);
            }
        }
        QSqlDatabase::removeDatabase("kill-check");
        return out;
    }
    bool storeHoldsDrawing(const QString& hash) {
        for (const QVariant& colours : sql("SELECT colorArray FROM Drawing")) {
            if (draft_kill::hashOf(ColorArchive::decode(colours.toByteArray()).colors) == hash) {
                return true;
            }
        }
        return false;
    }

    void record(Outcome::Kind kind, const State& state) {
        outcomes.push_back({kind, state, state.time, session});
    }
    // A state the editor reached: with a history it is in the draft, without one there is none.
    void reached(const State& state) {
        record(state.undo + state.redo > 0 ? Outcome::draft : Outcome::nothing, state);
    }

    void expectSession(const State& state, const std::string& after) {
        ASSERT_LT(session.done, session.line.size()) << after;
        EXPECT_EQ(state.hash, session.line[session.done]) << after << ": " << state.text();
        EXPECT_EQ(state.undo, session.done) << after;
        EXPECT_EQ(state.redo, session.line.size() - 1 - session.done) << after;
    }

    void step(const QString& kind, const State& state) {
        if (kind == u"draw" && state.undo == session.done + 1) {
            session.line.resize(session.done + 1);
            session.line.push_back(state.hash);
            ++session.done;
        } else if (kind == u"undo" && session.done > 0) {
            --session.done;
        } else if (kind == u"redo" && session.done + 1 < session.line.size()) {
            ++session.done;
        }
        expectSession(state, "after " + kind.toStdString());
        reached(state);
    }

    // The first state a run printed: what it found of the last run that printed one.
    void observe(const QString& kind, const State& state) {
        ASSERT_FALSE(pending.empty());
        // Anything the last run reached in its last half second, or the one it was in then.
        size_t from = 0;
        for (size_t i = 0; i < pending.size(); ++i) {
            if (pending[i].since <= pendingKilledAt - kLossBoundNs) {
                from = i;
            }
        }
        std::optional<size_t> match;
        for (size_t i = pending.size(); i-- > from;) {
            const Outcome& o = pending[i];
            const bool restored = kind == u"restored";
            const bool fits = restored ? (o.kind != Outcome::nothing && o.state.sameAs(state))
                                       : (o.kind != Outcome::draft);
            if (fits) {
                match = i;
                break;
            }
        }
        std::string seen;
        for (size_t i = from; i < pending.size(); ++i) {
            seen += "\n  " + std::to_string(pending[i].kind) + " " + pending[i].state.text() +
                    " at -" + std::to_string((pendingKilledAt - pending[i].since) / 1000000) +
                    " ms";
        }
        ASSERT_TRUE(match) << kind.toStdString() << " " << state.text()
                           << " is none of what the killed run left in its last 0.5 s:" << seen;
        const Outcome& found = pending[*match];
        if (kind == u"restored") {
            ++restores;
            session = found.session;
            expectSession(state, "restoring");
        } else if (found.kind == Outcome::savingOrDraft) {
            // No draft: with something to lose, the save went through, in the same
            // transaction; a drawing with no history never had a draft, saved or not.
            const int stored = storedBeforeRun;
            if (found.state.undo + found.state.redo > 0) {
                EXPECT_EQ(stored, drawings + 1) << "neither the draft nor the drawing";
                EXPECT_TRUE(storeHoldsDrawing(found.state.hash));
            }
            drawings += stored == drawings + 1 ? 1 : 0;
        }
    }

    // Reads one run's lines in order.
    void read(const QByteArray& output) {
        outcomes.clear();
        bool first = true;
        for (const QByteArray& raw : output.split('\n')) {
            const QStringList words = QString::fromUtf8(raw).split(' ');
            const QString& head = words.front();
            if ((head == u"saved" || head == u"exited") && words.size() == 2) {
                drawings += head == u"saved" ? 1 : 0;
                outcomes.push_back({Outcome::nothing, {}, words[1].toLongLong(), {}});
                continue;
            }
            const qsizetype from = head == u"step" ? 2 : 1;
            const std::optional<State> state = State::parse(words, from);
            if (!state) {
                continue;
            }
            if (first && (head == u"restored" || head == u"fresh")) {
                first = false;
                if (!pending.empty()) {
                    observe(head, *state);
                }
                if (HasFatalFailure()) {
                    return;
                }
            }
            if (head == u"fresh") {
                session = {{state->hash}, 0};
                expectSession(*state, "a new drawing");
                reached(*state);
            } else if (head == u"restored") {
                reached(*state);
            } else if (head == u"step") {
                step(words[1], *state);
            } else if (head == u"saving" || head == u"exiting") {
                expectSession(*state, head.toStdString());
                record(head == u"saving" ? Outcome::savingOrDraft : Outcome::exitingOrDraft,
                       *state);
            }
            if (HasFatalFailure()) {
                return;
            }
        }
        if (!outcomes.empty()) {
            pending = outcomes;
            pendingKilledAt = killedAt;
        }
        // Every save that finished is there once; one cut short by the kill may be too, and
        // the next start tells which.
        const int stored = sql("SELECT count(*) FROM Drawing").value(0).toInt();
        const bool undecided = !pending.empty() && pending.back().kind == Outcome::savingOrDraft;
        EXPECT_TRUE(stored == drawings || (undecided && stored == drawings + 1))
            << stored << " drawings stored, " << drawings << " saves finished";
    }

    // Starts the app, lets it run for a while and kills it; what it printed.
    QByteArray runAndKill(int64_t runMs, int savesPercent) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TILEBLOOM_DATA_DIR", data.path());
        environment.insert("TILEBLOOM_DRAFT_KILL_SAVES", QString::number(savesPercent));
        child.setProcessEnvironment(environment);
        child.start(DRAFT_KILL_CHILD, {});
        EXPECT_TRUE(child.waitForStarted(10000));
        QByteArray output;
        const int64_t until = nowNs() + runMs * 1000000;
        while (nowNs() < until && child.state() == QProcess::Running) {
            child.waitForReadyRead(int(std::max<int64_t>(1, (until - nowNs()) / 1000000)));
            output += child.readAllStandardOutput();
        }
        killedAt = nowNs();
        child.kill();  // SIGKILL
        EXPECT_TRUE(child.waitForFinished(10000));
        output += child.readAllStandardOutput();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit)
            << "the app ended by itself: " << output.right(2000).toStdString()
            << child.readAllStandardError().right(2000).toStdString();
        return output;
    }
};
}  // namespace draft_kill

using draft_kill::DraftKillTest;

TEST_F(DraftKillTest, EveryKillLeavesTheLastStepsForTheNextStart) {
    const int kills =
        positiveFromEnvironment("TILEBLOOM_DRAFT_KILLS", TILEBLOOM_DRAFT_DEFAULT_KILLS);
    QRandomGenerator random(17);
    bool reported = false;
    for (int kill = 0; kill <= kills && !HasFatalFailure(); ++kill) {
        SCOPED_TRACE(kill);
        // Some kills land while the app starts and restores, most while it draws; the last
        // run only shows what the last kill left.
        // Every fourth run saves and exits often, so that kills land in the middle of those.
        const bool early = kill % 6 == 0;
        const int saves = kill % 4 == 1 ? 40 : 2;
        const int64_t runMs = kill == kills ? 0
                              : early       ? random.bounded(250)
                                            : 250 + random.bounded(450);
        storedBeforeRun = sql("SELECT count(*) FROM Drawing").value(0).toInt();
        QByteArray output = runAndKill(runMs, saves);
        if (kill == kills) {
            // Wait for the restored state this time.
            for (int tries = 0; tries < 20 && !output.contains('\n'); ++tries) {
                output = runAndKill(300 + 100 * tries, saves);
            }
        }
        read(output);
        if (HasFailure() && !reported) {
            reported = true;
            std::cout << "the run that failed printed:\n" << output.right(3000).toStdString();
        }
        if (QFile::exists(storeFile())) {
            EXPECT_EQ(sql("PRAGMA integrity_check"), QVariantList{"ok"});
            EXPECT_EQ(sql("PRAGMA journal_mode"), QVariantList{"wal"});
        }
    }
    EXPECT_GT(restores, size_t(kills / 3)) << "too few kills left a draft behind";
    std::cout << kills << " kills; " << restores << " restores checked\n";
}
