#pragma once

#include "hamlibplugin/LinkSettings.h"
#include "hamlibplugin/ModelDialect.h"
#include "hamlibplugin/Note.h"
#include "hamlibplugin/Write.h"

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

class QEventLoop;
class QTimer;

namespace corvane::hamlibplugin {

// Owns one Hamlib rig on its own thread (one per receiver, running an event
// loop for it): opens it, polls it, writes to it,
// closes it, and reconnects after a lost link.
//
// Everything that crosses between the threads goes through one mutex, in
// both directions: requests and writes in, notes out. Qt only wakes the other
// side, with calls that carry nothing (serve() here, notify() there), so the
// hand-over stays visible to ThreadSanitizer even with an uninstrumented Qt.
//
// Thread rules: the public functions may be called from any thread; serve()
// and the timers run on the worker's thread.
class HamlibWorker final : public QObject {
    Q_OBJECT

public:
    // `loop` is the event loop of the thread the worker is made on; the
    // worker ends it on shutdown().
    HamlibWorker(LinkSettings settings, QEventLoop& loop);
    ~HamlibWorker() override;

    void open(quint64 session) { request(Request::Open, session); }
    void close() { request(Request::Close, 0); }
    // Closes the rig and ends the worker's event loop.
    void shutdown() { request(Request::Shutdown, 0); }
    void post(WriteKind kind, Write write);
    void dropWrites();
    void setWritable(bool on) { m_writable.store(on); }
    // No further Hamlib call is started once this is set.
    void requestStop() { m_stopping.store(true); }
    // What the worker has said since the last call, oldest first.
    std::vector<Note> takeNotes();
    // Orders everything the worker did under its lock (notes, posted
    // notifications) before what the caller does next.
    void settle() { std::lock_guard lock(m_mutex); }

signals:
    // Notes are waiting; emitted when the first one arrives.
    void notify();

private slots:
    void serve();

private:
    enum class Request { Open, Close, Shutdown };

    void request(Request what, quint64 session);
    void wake(); // with m_mutex held
    void say(Note note);
    void tryOpen();
    void releaseRig();
    void linkLost(int err);
    void scheduleRetry();
    void pollTick();
    void drainWrites(const std::map<WriteKind, Write>& writes);
    bool apply(WriteKind kind, const Write& write);
    // Hamlib's frequency set without its read of the frequency first; false
    // when the link broke.
    bool setFrequency(int32_t hz);
    // Reads what `kind` touches (all of it for Mode); false when the link broke.
    bool readBack(WriteKind kind);
    bool readFrequency();
    // The first read of an open, which must come back through Hamlib for the
    // open to count; false (the rig let go, tried again later) when not.
    bool heardAtOpen();
    bool readRit();
    bool readMode(); // with its passband and, in CW, the pitch as BFO
    bool readAgc();
    bool readNb();
    bool readAtt();
    bool readStrength();
    // `got` tells whether the rig gave the value; `into` is left alone when not.
    bool readLevel(setting_t level, int32_t& into, bool* got = nullptr);
    bool gettable(setting_t level) const;
    // Accounts for a Hamlib result; false when it ended the link. A result
    // that is not RIG_OK gives no value, whatever the call left in its output.
    bool check(int result, setting_t feature = 0, bool isFunc = false);
    // The rig gave a valid answer: the first one on a link makes it connected.
    void answered();
    // Nothing valid came back from a call; ends the link (false) when nothing
    // valid has come back for the link timeout.
    bool unanswered(int err);
    // The same for a write, which the rig may also refuse (then reported).
    bool finishWrite(int result);
    // Whether the rig, read back after a write, holds what was written (true
    // when the setting cannot be read).
    bool holds(WriteKind kind, const Write& write) const;
    bool refreshVfo();
    void publish(Origin origin);
    // The model's own commands read or write `kind` (see ModelDialect).
    bool dialectCovers(WriteKind kind) const;
    // A dialect read, as a Hamlib result; new tables it learnt are handed
    // on before the state that uses them.
    int dialectRead(WriteKind kind);

    LinkSettings m_settings;
    QEventLoop& m_loop;
    RIG* m_rig = nullptr;
    std::unique_ptr<ModelDialect> m_dialect;
    RigTablesPtr m_tables;
    RigState m_state;
    RigState m_published;
    bool m_hasPublished = false;
    quint64 m_session = 0;
    bool m_wanted = false;
    // Whether the rig has given one valid answer since the link was opened
    // (the backend is told Opened only then), and when it last did.
    bool m_answered = false;
    QElapsedTimer m_sinceAnswer;
    // Hamlib errors of refused reads already reported in this session.
    std::set<int> m_refusalsSaid;
    int m_timeouts = 0;
    int m_attempt = 0;
    int m_tick = 0;
    // Features that turned out missing, not polled again on this link.
    setting_t m_deadLevels = 0;
    setting_t m_deadFuncs = 0;
    bool m_ritDead = false;
    bool m_wrote = false; // the last apply() sent something
    int m_writeError = 0; // and what Hamlib said to it
    // What the radio holds after the write is known without reading it back
    // (the radio acknowledged it, or Hamlib read it already).
    bool m_acknowledged = false;

    QTimer* m_poll;
    QTimer* m_retry;

    std::mutex m_mutex;
    // Guarded by m_mutex:
    std::vector<std::pair<Request, quint64>> m_requests;
    std::map<WriteKind, Write> m_pending;
    bool m_servePosted = false;
    std::vector<Note> m_notes;

    std::atomic<bool> m_writable{false};
    std::atomic<bool> m_stopping{false};
};

} // namespace corvane::hamlibplugin
