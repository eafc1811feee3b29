#include "hamlibplugin/HamlibWorker.h"
#include "hamlibplugin/ReadOnlyOpen.h"

#include "receiver/Saturate.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace corvane::hamlibplugin {

namespace {

// Pauses between attempts to get a lost link back, in ms; the last repeats.
constexpr std::array<int, 6> retryPauses{1000, 2000, 5000, 10000, 20000, 30000};
// Timeouts in a row that count as a lost link: one may be a slow answer.
constexpr int timeoutsForLoss = 2;
} // namespace

HamlibWorker::HamlibWorker(LinkSettings settings, QEventLoop& loop)
    : m_settings(std::move(settings)), m_loop(loop), m_poll(new QTimer(this)),
      m_retry(new QTimer(this)) {
    m_poll->setSingleShot(true);
    m_retry->setSingleShot(true);
    connect(m_poll, &QTimer::timeout, this, &HamlibWorker::pollTick);
    connect(m_retry, &QTimer::timeout, this, &HamlibWorker::tryOpen);
}

HamlibWorker::~HamlibWorker() {
    releaseRig();
}

// --- hand-over between the threads ---

void HamlibWorker::request(Request what, quint64 session) {
    std::lock_guard lock(m_mutex);
    m_requests.emplace_back(what, session);
    wake();
}

void HamlibWorker::post(WriteKind kind, Write write) {
    std::lock_guard lock(m_mutex);
    m_pending[kind] = write;
    wake();
}

void HamlibWorker::dropWrites() {
    std::lock_guard lock(m_mutex);
    m_pending.clear();
}

void HamlibWorker::wake() {
    if (!m_servePosted) {
        m_servePosted = true;
        // By name and without arguments: nothing but the call crosses Qt.
        QMetaObject::invokeMethod(this, "serve", Qt::QueuedConnection);
    }
}

std::vector<Note> HamlibWorker::takeNotes() {
    std::lock_guard lock(m_mutex);
    std::vector<Note> out;
    out.swap(m_notes);
    return out;
}

void HamlibWorker::say(Note note) {
    note.session = m_session;
    std::lock_guard lock(m_mutex);
    m_notes.push_back(std::move(note));
    if (m_notes.size() == 1) {
        // Posted under the lock, like wake(): the taker's lock then orders
        // the event's making here before its deletion on the other thread.
        emit notify();
    }
}

void HamlibWorker::serve() {
    std::vector<std::pair<Request, quint64>> requests;
    std::map<WriteKind, Write> writes;
    {
        std::lock_guard lock(m_mutex);
        requests.swap(m_requests);
        writes.swap(m_pending);
        m_servePosted = false;
    }
    for (const auto& [what, session] : requests) {
        switch (what) {
        case Request::Open:
            m_session = session;
            m_wanted = true;
            m_attempt = 0;
            m_refusalsSaid.clear();
            m_retry->stop();
            tryOpen();
            break;
        case Request::Close:
        case Request::Shutdown:
            m_wanted = false;
            m_retry->stop();
            m_poll->stop();
            dropWrites();
            writes.clear();
            releaseRig();
            if (what == Request::Shutdown) {
                m_loop.quit();
                return;
            }
            break;
        }
    }
    drainWrites(writes);
}

// --- link ---

void HamlibWorker::releaseRig() {
    if (m_rig == nullptr) {
        return;
    }
    rig_close(m_rig);
    rig_cleanup(m_rig);
    m_rig = nullptr;
    m_dialect.reset();
}

void HamlibWorker::tryOpen() {
    if (!m_wanted || m_stopping.load()) {
        return;
    }
    releaseRig();
    m_rig = rig_init(m_settings.model);
    if (m_rig == nullptr) {
        m_wanted = false; // no such model: trying again cannot help
        say(Note::lost(-RIG_EINVAL));
        return;
    }
    if (const int r = configure(m_rig, m_settings); r != RIG_OK) {
        // A setting the rig does not take stays wrong however often we try.
        m_wanted = false;
        rig_cleanup(m_rig);
        m_rig = nullptr;
        say(Note::lost(r));
        return;
    }
    holdOpenToReads(m_rig);
    const int r = rig_open(m_rig);
    if (r != RIG_OK) {
        rig_cleanup(m_rig);
        m_rig = nullptr;
        say(Note::lost(r));
        scheduleRetry();
        return;
    }
    releaseAfterOpen(m_rig);
    m_timeouts = 0;
    m_tick = 0;
    m_deadLevels = 0;
    m_deadFuncs = 0;
    m_ritDead = false;
    m_dialect = dialectFor(m_settings.model);
    RigTables tables = readTables(m_rig);
    if (m_dialect) {
        m_dialect->correctTables(tables);
    }
    m_tables = std::make_shared<const RigTables>(std::move(tables));
    m_state = RigState{};
    m_hasPublished = false;
    // Opening proves nothing: Hamlib opens many rigs without hearing from
    // them. The link counts as up with Hamlib's first valid answer.
    m_answered = false;
    m_sinceAnswer.start();
    const bool alive = heardAtOpen() && readRit() && readMode() && readAgc() && readNb() &&
                       readAtt() && readStrength();
    if (!alive) {
        return;
    }
    publish(Origin::Receiver);
    m_poll->start(m_settings.fastPollMs);
}

void HamlibWorker::linkLost(int err) {
    m_poll->stop();
    dropWrites();
    say(Note::lost(err));
    releaseRig();
    scheduleRetry();
}

void HamlibWorker::scheduleRetry() {
    if (!m_wanted || m_stopping.load()) {
        return;
    }
    const size_t at = std::min<size_t>(static_cast<size_t>(m_attempt), retryPauses.size() - 1);
    ++m_attempt;
    m_retry->start(retryPauses[at]);
}

bool HamlibWorker::check(int result, setting_t feature, bool isFunc) {
    if (result == RIG_OK) {
        answered();
        return true;
    }
    if (missingFeature(result)) {
        (isFunc ? m_deadFuncs : m_deadLevels) |= feature;
        return unanswered(result);
    }
    if (std::abs(result) == RIG_ETIMEOUT) {
        if (++m_timeouts < timeoutsForLoss) {
            return unanswered(result);
        }
    } else if (!linkError(result)) {
        // The rig would not give this value: said once per session and
        // error, and nothing is taken from the call.
        if (m_refusalsSaid.insert(result).second) {
            say(Note::refused(result));
        }
        return unanswered(result);
    }
    linkLost(result);
    return false;
}

void HamlibWorker::answered() {
    m_timeouts = 0;
    m_sinceAnswer.start();
    if (!m_answered) {
        m_answered = true;
        m_attempt = 0;
        say(Note::opened(m_tables));
    }
}

bool HamlibWorker::unanswered(int err) {
    if (m_sinceAnswer.elapsed() < qint64{timeoutsForLoss} * m_settings.timeoutMs) {
        return true;
    }
    linkLost(err);
    return false;
}

void HamlibWorker::publish(Origin origin) {
    if (!m_answered || (m_state == m_published && m_hasPublished)) {
        return;
    }
    m_published = m_state;
    m_hasPublished = true;
    say(Note::published(m_state, origin));
}

// --- polling ---

void HamlibWorker::pollTick() {
    if (m_rig == nullptr || m_stopping.load()) {
        return;
    }
    ++m_tick;
    bool alive = refreshVfo() && readFrequency() && readStrength();
    if (alive && m_tick % std::max(1, m_settings.slowEvery) == 0) {
        alive = readMode() && readRit() && readAgc() && readNb() && readAtt();
    }
    if (!alive) {
        return;
    }
    publish(Origin::Receiver);
    m_poll->start(m_settings.fastPollMs);
}

bool HamlibWorker::refreshVfo() {
    if (!m_tables->refreshVfo) {
        return true;
    }
    vfo_t vfo = RIG_VFO_CURR;
    return check(rig_get_vfo(m_rig, &vfo));
}

bool HamlibWorker::dialectCovers(WriteKind kind) const {
    if (!m_dialect) {
        return false;
    }
    return m_dialect->covers(kind == WriteKind::Filter ? WriteKind::Mode : kind);
}

int HamlibWorker::dialectRead(WriteKind kind) {
    const int r = m_dialect->read(m_rig, *m_tables, kind, m_state);
    if (std::optional<RigTables> changed = m_dialect->changedTables()) {
        m_tables = std::make_shared<const RigTables>(std::move(*changed));
        say(Note::changedTables(m_tables));
    }
    return r;
}

bool HamlibWorker::readFrequency() {
    freq_t f = 0;
    const int r = rig_get_freq(m_rig, RIG_VFO_CURR, &f);
    if (r == RIG_OK) {
        m_state.freq = clampHz(f);
    }
    return check(r);
}

bool HamlibWorker::heardAtOpen() {
    // Hamlib's Icom open goes on when the radio does not answer its echo
    // probe, as if the line had no echo: when the radio talks again each of
    // Hamlib's exchanges takes its echo for the answer, while the dialect,
    // reading past the echo itself, still gets answers. Only a read through
    // Hamlib shows the open heard the radio; failing, the rig is opened anew.
    if (!refreshVfo()) {
        return false;
    }
    freq_t f = 0;
    const int r = rig_get_freq(m_rig, RIG_VFO_CURR, &f);
    if (r != RIG_OK) {
        // Told as any read's failure is, then undone unless that did it.
        if (check(r)) {
            linkLost(r);
        }
        return false;
    }
    m_state.freq = clampHz(f);
    answered();
    return true;
}

bool HamlibWorker::readRit() {
    if (m_tables->maxRit <= 0 || m_ritDead) {
        return true;
    }
    shortfreq_t rit = 0;
    const int r = rig_get_rit(m_rig, RIG_VFO_CURR, &rit);
    if (r == RIG_OK) {
        m_state.rit = receiver::saturate<int32_t>(rit);
    } else if (missingFeature(r)) {
        m_ritDead = true;
    }
    return check(r);
}

bool HamlibWorker::gettable(setting_t level) const {
    return (m_tables->getLevels & level) != 0 && (m_deadLevels & level) == 0;
}

bool HamlibWorker::readMode() {
    if (dialectCovers(WriteKind::Mode)) {
        const int r = dialectRead(WriteKind::Mode);
        if (r != RIG_OK) {
            return check(r);
        }
    } else {
        rmode_t mode = RIG_MODE_NONE;
        pbwidth_t width = 0;
        const int r = rig_get_mode(m_rig, RIG_VFO_CURR, &mode, &width);
        if (r != RIG_OK) {
            return check(r);
        }
        m_state.mode = m_tables->modeCode(mode);
        m_state.width = receiver::saturate<int32_t>(width);
    }
    answered();
    const RigMode* m = m_tables->rigMode(m_state.mode);
    if (m == nullptr || !m->cw || !gettable(RIG_LEVEL_CWPITCH)) {
        m_state.bfo = 0;
        return true;
    }
    value_t pitch{};
    const int p = rig_get_level(m_rig, RIG_VFO_CURR, RIG_LEVEL_CWPITCH, &pitch);
    if (p == RIG_OK) {
        m_state.bfo = pitch.i;
    }
    return check(p, RIG_LEVEL_CWPITCH);
}

bool HamlibWorker::readLevel(setting_t level, int32_t& into, bool* got) {
    if (!gettable(level)) {
        return true;
    }
    value_t v{};
    const int r = rig_get_level(m_rig, RIG_VFO_CURR, level, &v);
    if (r == RIG_OK) {
        into = v.i;
    }
    if (got != nullptr) {
        *got = r == RIG_OK;
    }
    return check(r, level);
}

bool HamlibWorker::readAgc() {
    if (dialectCovers(WriteKind::Agc)) {
        return check(dialectRead(WriteKind::Agc));
    }
    return readLevel(RIG_LEVEL_AGC, m_state.agc);
}

bool HamlibWorker::readAtt() {
    if (dialectCovers(WriteKind::Att)) {
        return check(dialectRead(WriteKind::Att));
    }
    return readLevel(RIG_LEVEL_ATT, m_state.att);
}

bool HamlibWorker::readNb() {
    if (dialectCovers(WriteKind::NBl)) {
        return check(dialectRead(WriteKind::NBl));
    }
    int32_t code = NbOff;
    bool known = true;
    for (const NoiseBlankerFunc& b : noiseBlankers) {
        if ((m_tables->getFuncs & b.func) == 0 || (m_deadFuncs & b.func) != 0) {
            continue;
        }
        int on = 0;
        const int r = rig_get_func(m_rig, RIG_VFO_CURR, b.func, &on);
        if (!check(r, b.func, true)) {
            return false;
        }
        if (r != RIG_OK) {
            known = missingFeature(r) && known;
        } else if (on != 0 && code == NbOff) {
            code = b.code;
        }
    }
    if (known) {
        m_state.nb = code;
    }
    return true;
}

bool HamlibWorker::readStrength() {
    bool got = false;
    if (!readLevel(RIG_LEVEL_STRENGTH, m_state.strength, &got)) {
        return false;
    }
    // A failed read is no reading: the meter keeps what it last showed, and
    // goes only when the rig turns out to have none.
    if (got) {
        m_state.hasStrength = true;
    } else if (!gettable(RIG_LEVEL_STRENGTH)) {
        m_state.hasStrength = false;
    }
    return true;
}

// --- writes, on the worker ---

void HamlibWorker::drainWrites(const std::map<WriteKind, Write>& writes) {
    // The map's order is the order of WriteKind: the mode goes before the
    // filter, so a filter is checked against the mode it will be used in.
    for (const auto& [kind, write] : writes) {
        if (m_rig == nullptr || !m_writable.load() || m_stopping.load()) {
            return;
        }
        m_wrote = false;
        m_writeError = 0;
        m_acknowledged = false;
        // The VFO written to is the one the poll last found: no look at it
        // first, which Hamlib's Kenwood backends would mostly answer from an
        // IF of up to 0.5 s ago anyway.
        if (!apply(kind, write) || (!m_acknowledged && !readBack(kind))) {
            return;
        }
        publish(write.origin);
        // Many rigs refuse a value without Hamlib noticing (a Kenwood's "?;"),
        // and some take another than the one asked for: what was read back
        // decides, and the window is told what the rig holds.
        if (m_writeError != 0 || (m_wrote && !holds(kind, write))) {
            say(Note::refusedWrite(kind, m_writeError != 0 ? m_writeError : -RIG_ERJCTED, m_state,
                                   write.origin));
        }
    }
}

bool HamlibWorker::finishWrite(int result) {
    m_wrote = true;
    if (result == RIG_OK) {
        answered();
        return true;
    }
    m_writeError = result;
    if (linkError(result)) {
        say(Note::refused(result));
        return check(result);
    }
    return true;
}

bool HamlibWorker::holds(WriteKind kind, const Write& w) const {
    switch (kind) {
    case WriteKind::Freq:
        return m_state.freq == w.value;
    case WriteKind::Mode:
        return m_state.mode == w.value;
    case WriteKind::Filter:
        return m_state.width == w.value;
    case WriteKind::Agc:
        return (!dialectCovers(kind) && !gettable(RIG_LEVEL_AGC)) || m_state.agc == w.value;
    case WriteKind::Att:
        return (!dialectCovers(kind) && !gettable(RIG_LEVEL_ATT)) || m_state.att == w.value;
    case WriteKind::NBl:
        return std::none_of(
                   std::begin(noiseBlankers), std::end(noiseBlankers),
                   [&](const NoiseBlankerFunc& b) { return (m_tables->getFuncs & b.func) != 0; }) ||
               m_state.nb == w.value;
    case WriteKind::Rit:
        return m_ritDead || m_state.rit == w.value;
    }
    return true;
}

bool HamlibWorker::apply(WriteKind kind, const Write& w) {
    value_t v{};
    switch (kind) {
    case WriteKind::Freq:
        if (w.value == m_state.freq) {
            return true;
        }
        return setFrequency(w.value);
    case WriteKind::Mode: {
        const RigMode* m = m_tables->rigMode(w.value);
        if (m == nullptr || w.value == m_state.mode) {
            return true;
        }
        if (dialectCovers(kind)) {
            return finishWrite(m_dialect->write(m_rig, *m_tables, kind, w, m_state));
        }
        const pbwidth_t width = w.width > 0 ? w.width : RIG_PASSBAND_NOCHANGE;
        return finishWrite(rig_set_mode(m_rig, RIG_VFO_CURR, m->bits, width));
    }
    case WriteKind::Filter: {
        // A filter chosen for the mode that was in force before a mode change
        // that has since gone out: not one this mode offers, so left alone.
        const RigMode* m = m_tables->rigMode(m_state.mode);
        const bool offered =
            m != nullptr && !m_tables->caps.filterName(m_state.mode, w.value).isNull();
        if (!offered || w.value == m_state.width) {
            return true;
        }
        if (dialectCovers(kind)) {
            return finishWrite(m_dialect->write(m_rig, *m_tables, kind, w, m_state));
        }
        return finishWrite(rig_set_mode(m_rig, RIG_VFO_CURR, m->bits, w.value));
    }
    case WriteKind::Agc:
    case WriteKind::Att: {
        int32_t& now = kind == WriteKind::Agc ? m_state.agc : m_state.att;
        if (w.value == now) {
            return true;
        }
        if (dialectCovers(kind)) {
            return finishWrite(m_dialect->write(m_rig, *m_tables, kind, w, m_state));
        }
        v.i = w.value;
        const setting_t level = kind == WriteKind::Agc ? RIG_LEVEL_AGC : RIG_LEVEL_ATT;
        return finishWrite(rig_set_level(m_rig, RIG_VFO_CURR, level, v));
    }
    case WriteKind::NBl:
        if (w.value == m_state.nb) {
            return true;
        }
        if (dialectCovers(kind)) {
            return finishWrite(m_dialect->write(m_rig, *m_tables, kind, w, m_state));
        }
        for (const NoiseBlankerFunc& b : noiseBlankers) {
            if ((m_tables->setFuncs & b.func) != 0 &&
                !finishWrite(
                    rig_set_func(m_rig, RIG_VFO_CURR, b.func, w.value == b.code ? 1 : 0))) {
                return false;
            }
        }
        return true;
    case WriteKind::Rit:
        if (w.value == m_state.rit) {
            return true;
        }
        if (dialectCovers(kind)) {
            return finishWrite(m_dialect->write(m_rig, *m_tables, kind, w, m_state));
        }
        if ((m_tables->setFuncs & RIG_FUNC_RIT) != 0 &&
            !finishWrite(rig_set_func(m_rig, RIG_VFO_CURR, RIG_FUNC_RIT, w.value != 0 ? 1 : 0))) {
            return false;
        }
        return finishWrite(rig_set_rit(m_rig, RIG_VFO_CURR, w.value));
    }
    return true;
}

bool HamlibWorker::readBack(WriteKind kind) {
    switch (kind) {
    case WriteKind::Freq:
        return readFrequency();
    case WriteKind::Mode:
    case WriteKind::Filter:
        return readMode();
    case WriteKind::Agc:
        return readAgc();
    case WriteKind::NBl:
        return readNb();
    case WriteKind::Att:
        return readAtt();
    case WriteKind::Rit:
        return readRit();
    }
    return true;
}

} // namespace corvane::hamlibplugin
