#include "hamlibplugin/HamlibBackend.h"

#include "component/api/SMeter.h"
#include "hamlibplugin/InitHamlib.h"
#include "hamlibplugin/WorkerThreads.h"
#include "receiver/RuntimeError.h"
#include "receiver/Saturate.h"

#include <QEventLoop>

#include <algorithm>
#include <future>
#include <limits>

namespace corvane::hamlibplugin {

using receiver::RuntimeError;
using receiver::saturate;

namespace {

// Said in RxDataError when a value is not in the receiver's tables.
constexpr int32_t notOffered = -RIG_EINVAL;

const RigTablesPtr& emptyTables() {
    static const RigTablesPtr none = std::make_shared<const RigTables>();
    return none;
}

} // namespace

// --- driver entries ---

LinkSettings HamlibBackend::settingsOf(const component::HamlibEntry& entry) {
    initHamlib();
    static_assert(component::netRigctlModel == RIG_MODEL_NETRIGCTL);
    const rig_caps* caps = rig_get_caps(static_cast<rig_model_t>(entry.model));
    if (caps == nullptr) {
        throw RuntimeError::componentFailure(
            QStringLiteral("driver \"%1\": Hamlib knows no model %2")
                .arg(entry.name)
                .arg(entry.model));
    }
    LinkSettings s;
    s.model = caps->rig_model;
    s.pathname = entry.pathname;
    s.speed = entry.speed;
    // A short timeout and no retries first; the entry's own settings win.
    s.conf = lineDefaults(caps);
    s.conf.insert(s.conf.end(), entry.conf.begin(), entry.conf.end());
    s.timeoutMs = caps->timeout > 0 ? caps->timeout : 1000;
    for (const auto& [key, value] : s.conf) {
        if (key == QLatin1String("timeout") && value.toInt() > 0) {
            s.timeoutMs = value.toInt();
        }
    }
    return s;
}

// --- life ---

HamlibBackend::HamlibBackend(LinkSettings settings, BackendSink& sink)
    : ReceiverBackend(sink), m_settings(std::move(settings)), m_tables(emptyTables()) {
    initHamlib();
}

HamlibBackend::~HamlibBackend() {
    if (m_worker == nullptr) {
        return;
    }
    // Never waits for the worker: it may be inside a call to a radio that
    // does not answer. It is told to stop, starts no further Hamlib call, and
    // its thread ends by itself (deleting the worker) once that call returns.
    m_worker->requestStop();
    m_worker->setWritable(false);
    QObject::disconnect(m_worker, nullptr, this, nullptr);
    m_worker->settle(); // notifications already posted go with this object
    m_worker->shutdown();
}

void HamlibBackend::startWorker() {
    if (m_worker != nullptr) {
        return;
    }
    std::promise<HamlibWorker*> made;
    std::future<HamlibWorker*> worker = made.get_future();
    // The worker is made on its thread, so it belongs to that thread's event
    // loop from the start; waiting for it here takes no longer than that.
    WorkerThreads::start([settings = m_settings, &made] {
        QEventLoop loop;
        auto* w = new HamlibWorker(settings, loop);
        made.set_value(w);
        loop.exec();
        delete w;
    });
    m_worker = worker.get();
    QObject::connect(m_worker, SIGNAL(notify()), this, SLOT(collect()), Qt::QueuedConnection);
}

// --- link ---

int32_t HamlibBackend::connect(bool on) {
    if (on) {
        if (!m_wanted) {
            m_wanted = true;
            m_lastErr = 0;
            startWorker();
            m_worker->open(++m_session);
        }
        return 0;
    }
    if (!m_wanted) {
        return 0;
    }
    m_wanted = false;
    m_wantRemote = false;
    ++m_session; // whatever the worker still says about the old link is stale
    m_worker->setWritable(false);
    m_worker->dropWrites();
    m_worker->close();
    m_connected = false;
    report(ReceiverEvent::connState(receiver::linkChanged));
    return 0;
}

int32_t HamlibBackend::setRemote(bool on) {
    if (on && !m_connected) {
        return 1; // nothing to control
    }
    if (on == m_wantRemote) {
        return 0;
    }
    m_wantRemote = on;
    m_worker->setWritable(on);
    if (!on) {
        m_worker->dropWrites();
    }
    report(ReceiverEvent::connState(receiver::linkChanged));
    return 0;
}

int32_t HamlibBackend::keyPress(int16_t) {
    return 0; // Hamlib offers no keypad; the characters are accepted and dropped
}

void HamlibBackend::collect() {
    for (const Note& note : m_worker->takeNotes()) {
        if (note.session != m_session) {
            continue; // about a link the operator has closed since
        }
        switch (note.kind) {
        case Note::Kind::Opened:
            onOpened(note.tables);
            break;
        case Note::Kind::Tables:
            // Before the state that needs them; the window learns of them
            // with the event of the value that changed.
            m_tables = note.tables;
            break;
        case Note::Kind::Published:
            onPublished(note.state, note.origin);
            break;
        case Note::Kind::Lost:
            onLost(note.err);
            break;
        case Note::Kind::Refused:
            onRefused(note);
            break;
        }
    }
}

void HamlibBackend::onOpened(const RigTablesPtr& tables) {
    m_tables = tables;
    m_connected = true;
    m_lastErr = 0;
    // Remote control outlives a lost link: it is the operator's, not the rig's.
    m_worker->setWritable(m_wantRemote);
    report(ReceiverEvent::connState(receiver::linkChanged));
}

void HamlibBackend::onLost(int err) {
    const bool was = m_connected;
    m_connected = false;
    m_worker->setWritable(false);
    // Each failed attempt to reconnect says the same again; once is enough.
    if (was || err != m_lastErr) {
        m_lastErr = err;
        report(ReceiverEvent::connState(err));
    }
}

void HamlibBackend::onRefused(const Note& note) {
    report(ReceiverEvent::dataError(note.err));
    if (!note.reread || !m_connected) {
        return;
    }
    // What the rig holds now, even where that is what it held before, so the
    // window drops the value it showed as chosen.
    const RigState& s = m_state;
    switch (note.what) {
    case WriteKind::Freq:
    case WriteKind::Rit:
        report(ReceiverEvent::frequency(
            frequency(), saturate<int32_t>(int64_t{frequency()} + s.rit), note.origin));
        break;
    case WriteKind::Mode:
        report(ReceiverEvent::mode(s.mode, s.bfo, note.origin));
        report(ReceiverEvent::filter(s.width, note.origin));
        break;
    case WriteKind::Filter:
        report(ReceiverEvent::filter(s.width, note.origin));
        break;
    case WriteKind::Agc:
    case WriteKind::NBl:
    case WriteKind::Att: {
        const Setting setting = *settingOf(note.what);
        reportChoice(setting, state().current(setting), note.origin);
        break;
    }
    }
}

void HamlibBackend::reportChoice(Setting setting, int32_t code, Origin origin) {
    report(ReceiverEvent::choice(setting, code, m_tables->caps.indexOf(setting, code), origin));
}

void HamlibBackend::onPublished(const RigState& s, Origin from) {
    if (!m_connected) {
        return;
    }
    const RigState old = m_state;
    m_state = s;
    // A value the rig has not given on this link (-1) is not reported.
    if (s.freq >= 0 && (s.freq != old.freq || s.rit != old.rit)) {
        report(ReceiverEvent::frequency(frequency(),
                                        saturate<int32_t>(int64_t{frequency()} + s.rit), from));
    }
    if (s.mode >= 0 && (s.mode != old.mode || s.bfo != old.bfo)) {
        report(ReceiverEvent::mode(s.mode, s.bfo, from));
    }
    if (s.width >= 0 && s.width != old.width) {
        report(ReceiverEvent::filter(s.width, from));
    }
    const Setting settings[] = {Setting::Agc, Setting::NBl, Setting::Att};
    const int32_t before[] = {old.agc, old.nb, old.att};
    for (size_t i = 0; i < std::size(settings); ++i) {
        const Setting setting = settings[i];
        const int32_t now = current(setting);
        if (now >= 0 && now != before[i]) {
            reportChoice(setting, now, from);
        }
    }
    if (s.hasStrength && (!old.hasStrength || s.strength != old.strength || s.freq != old.freq)) {
        // Hamlib's strength is dB relative to S9: the common meter scale.
        const component::smeter::Reading r = component::smeter::fromOverS9(s.strength);
        report(ReceiverEvent::sMeter(frequency(), r.dBm, r.overS9, r.text));
    }
}

// --- state ---

component::ReceiverState HamlibBackend::state() const {
    const RigState& s = m_state;
    return {.frequency = s.freq < 0 ? 0 : s.freq,
            .deltaF = s.rit,
            .mode = s.mode,
            .bfo = s.bfo,
            .filter = s.width,
            .agc = s.agc,
            .nb = s.nb,
            .att = s.att};
}

// --- sets: checked here against the tables, since Hamlib checks nothing ---

void HamlibBackend::refuse(Origin origin) {
    report(ReceiverEvent::dataError(notOffered, origin));
}

void HamlibBackend::write(WriteKind kind, Write w) {
    m_worker->post(kind, w);
}

void HamlibBackend::set(Setting setting, int32_t code, Origin origin) {
    if (!remote()) {
        return; // a monitored radio is never written
    }
    if (setting == Setting::Mode) {
        const Capabilities::Mode* m = m_tables->mode(code);
        if (m == nullptr) {
            refuse(origin);
            return;
        }
        // Always an explicit passband: the filter in use if the new mode has
        // it, else the mode's normal one.
        const bool keep = !m_tables->caps.filterName(code, m_state.width).isNull();
        write(WriteKind::Mode,
              {code, keep ? m_state.width : m_tables->rigMode(code)->normalWidth, origin});
        return;
    }
    const int32_t at = m_tables->caps.indexOf(setting, code);
    if (at < 0 || !available(setting, at)) {
        refuse(origin);
        return;
    }
    write(writeKindOf(setting), {code, 0, origin});
}

void HamlibBackend::setFilter(int32_t width, Origin origin) {
    if (!remote()) {
        return;
    }
    if (filterName(width).isNull()) {
        refuse(origin);
        return;
    }
    write(WriteKind::Filter, {width, 0, origin});
}

void HamlibBackend::setFrequency(int32_t hz, Origin origin) {
    if (!remote()) {
        return;
    }
    if (!m_tables->tunable(hz)) {
        refuse(origin);
        return;
    }
    write(WriteKind::Freq, {hz, 0, origin});
}

void HamlibBackend::setDeltaF(int32_t hz, Origin origin) {
    if (!remote()) {
        return;
    }
    if (m_tables->maxRit <= 0 || hz < -m_tables->maxRit || hz > m_tables->maxRit) {
        refuse(origin);
        return;
    }
    write(WriteKind::Rit, {hz, 0, origin});
}

} // namespace corvane::hamlibplugin
