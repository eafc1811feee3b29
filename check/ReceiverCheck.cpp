// The check of one receiver: link, reading, survey, putting back. The survey
// of the lists and frequencies is in Survey.cpp.
#include "check/ReceiverCheck.h"

#include "receiver/RuntimeError.h"

#include <QEventLoop>
#include <QTimer>

namespace corvane::check {

using receiver::Component;
using receiver::comTrue;
using receiver::linkChanged;
using receiver::RuntimeError;

qint64 Options::boundMs() const {
    // Connect and its event, first reading, listening, the survey, the link
    // coming back and remote control taken again, six values put back with a
    // second try each, the dead line's countdown and waits, and a second of
    // slack for the steps' own work.
    const qint64 plug =
        pullThePlug ? qint64{countdownS} * 1000 + (qint64{plugWaitMs} + stepMs) * 2 : 0;
    return qint64{connectMs} * 2 + listenMs + deadlineMs + plug + linkBackMs + qint64{stepMs} * 14 +
           1000;
}

ReceiverCheck::ReceiverCheck(Component& component, int16_t index, Options options, QObject* parent)
    : QObject(parent), m_rx(component), m_index(index), m_options(options) {
    watch();
}

void ReceiverCheck::watch() {
    Component* rx = &m_rx;
    connect(rx, &Component::RxConnState, this, [this](int16_t i, int32_t err) {
        if (i == m_index) {
            m_lost = err != linkChanged;
            // A survey the link left is cut short, even if the link is back by its end.
            m_lostInSurvey = m_lostInSurvey || (m_lost && m_phase == Phase::Survey);
        }
        seen(i, Kind::ConnState, err);
    });
    connect(rx, &Component::RxDataError, this,
            [this](int16_t i, int32_t err) { seen(i, Kind::DataError, err); });
    connect(rx, &Component::RxFrqUpdated, this,
            [this](int16_t i, int32_t f, int32_t) { seen(i, Kind::Frq, f); });
    connect(rx, &Component::RxModUpdated, this,
            [this](int16_t i, int32_t m, int32_t) { seen(i, Kind::Mod, m); });
    connect(rx, &Component::RxFltUpdated, this,
            [this](int16_t i, int32_t w) { seen(i, Kind::Flt, w); });
    connect(rx, &Component::RxAgcUpdated, this,
            [this](int16_t i, int32_t c, int16_t) { seen(i, Kind::Agc, c); });
    connect(rx, &Component::RxNBlUpdated, this,
            [this](int16_t i, int32_t c, int16_t) { seen(i, Kind::NBl, c); });
    connect(rx, &Component::RxAttUpdated, this,
            [this](int16_t i, int32_t c, int16_t) { seen(i, Kind::Att, c); });
    connect(rx, &Component::RxSMtUpdated, this,
            [this](int16_t i, int32_t, int16_t dBm, int16_t, const QString& text) {
                if (i == m_index) {
                    ++m_smeterSeen;
                    m_smeterText = QStringLiteral("%1 (%2 dBm)").arg(text).arg(dBm);
                }
            });
}

void ReceiverCheck::seen(int16_t index, Kind kind, int32_t value) {
    if (index == m_index) {
        m_seen.push_back({kind, value, m_clock.elapsed()});
    }
}

void ReceiverCheck::interrupt() {
    ++m_interrupts;
    say(m_interrupts == 1 ? QStringLiteral("interrupted: putting back what was found "
                                           "(interrupt again to leave it as it is)")
                          : QStringLiteral("interrupted again: nothing more is put back"));
}

bool ReceiverCheck::cancelled() const {
    if (m_phase == Phase::Survey) {
        return m_interrupts > 0 || m_clock.elapsed() >= m_deadlineAt;
    }
    if (m_phase == Phase::Plug) {
        return m_interrupts > 0;
    }
    return m_interrupts > 1;
}

qint64 ReceiverCheck::stepLimit() const {
    if (m_phase == Phase::PutBack) {
        return m_options.stepMs;
    }
    return std::max<qint64>(0,
                            std::min<qint64>(m_options.stepMs, m_deadlineAt - m_clock.elapsed()));
}

bool ReceiverCheck::waitUntil(const std::function<bool()>& done, qint64 ms) {
    if (done() || cancelled() || ms <= 0) {
        return done();
    }
    // A look every millisecond: the read-back is timed to that, and a
    // Ctrl-C or a deadline ends the wait at once.
    QEventLoop loop;
    QTimer look;
    look.setInterval(1);
    look.setTimerType(Qt::PreciseTimer);
    connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || cancelled()) {
            loop.quit();
        }
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

bool ReceiverCheck::linkUp() {
    bool up = false;
    attempt([&] { up = !m_lost && m_rx.RxConnected(m_index) != 0; });
    return up;
}

void ReceiverCheck::say(const QString& text) {
    if (progress) {
        const qint64 at = m_clock.isValid() ? m_clock.elapsed() : 0;
        progress(QStringLiteral("[%1.%2 s] %3: %4")
                     .arg(at / 1000, 3)
                     .arg((at % 1000) / 100)
                     .arg(m_report.driver, text));
    }
}

void ReceiverCheck::add(Row row) {
    m_report.rows.push_back(std::move(row));
    if (onRow) {
        onRow(m_report.rows.back());
    }
}

std::optional<QString> ReceiverCheck::attempt(const std::function<void()>& call) {
    try {
        call();
        return std::nullopt;
    } catch (const RuntimeError& e) {
        return e.description();
    }
}

// --- the run ---

ReceiverReport ReceiverCheck::run() {
    m_clock.start();
    m_deadlineAt = m_options.deadlineMs;
    m_phase = Phase::Survey;
    m_interrupts = 0;
    m_lost = m_lostInSurvey = m_connectedByUs = m_remoteByUs = false;
    m_seen.clear();
    m_report = {};
    m_report.index = m_index;
    m_report.remote = m_options.remote;
    m_report.outcome = QStringLiteral("complete");
    if (attempt([&] { m_report.driver = m_rx.DrvName(m_index); })) {
        m_report.driver = QStringLiteral("receiver %1").arg(m_index);
    }
    if (!connectLink()) {
        m_report.outcome =
            m_interrupts > 0 ? QStringLiteral("interrupted") : QStringLiteral("no link");
        releaseLink();
        m_report.durationMs = m_clock.elapsed();
        return m_report;
    }
    const Found found = readAll();
    listen();
    if (!m_options.remote) {
        readOnlyLists();
    } else if (takeRemote()) {
        survey();
    }
    if (m_options.pullThePlug && m_interrupts == 0 && m_clock.elapsed() < m_deadlineAt &&
        linkUp()) {
        pullThePlug();
    }
    if (m_interrupts > 0) {
        m_report.outcome = QStringLiteral("interrupted");
    } else if (m_lostInSurvey || m_lost || !linkUp()) {
        m_report.outcome = QStringLiteral("link lost");
    } else if (m_clock.elapsed() >= m_deadlineAt) {
        m_report.outcome = QStringLiteral("deadline");
    }
    m_phase = Phase::PutBack;
    if (m_options.remote) {
        putBack(found);
    }
    releaseLink();
    m_report.durationMs = m_clock.elapsed();
    return m_report;
}

bool ReceiverCheck::connectLink() {
    Row row{QStringLiteral("link"), QStringLiteral("connect"), Result::Works};
    bool up = false;
    if (const auto e = attempt([&] { up = m_rx.RxConnected(m_index) != 0; })) {
        add({row.setting, row.entry, Result::Unavailable, -1, -1, *e});
        return false;
    }
    if (up) {
        row.result = Result::Read;
        row.note = QStringLiteral("connected already");
        add(row);
        return true;
    }
    say(QStringLiteral("connecting, waiting for RxConnState (%1 ms at most)")
            .arg(m_options.connectMs));
    if (const auto e = attempt([&] { m_rx.RxConnect(m_index, comTrue); })) {
        add({row.setting, row.entry, Result::Unavailable, -1, -1, *e});
        return false;
    }
    m_connectedByUs = true;
    m_lost = false;
    const size_t mark = m_seen.size();
    const qint64 t0 = m_clock.elapsed();
    bool ok = waitUntil([&] { return linkUp(); }, m_options.connectMs);
    const qint64 upMs = m_clock.elapsed() - t0;
    // The state can be read a little before its event is delivered.
    const auto reported = [&] {
        for (size_t i = mark; i < m_seen.size(); ++i) {
            if (m_seen[i].kind == Kind::ConnState) {
                return true;
            }
        }
        return false;
    };
    ok = ok && (waitUntil(reported, m_options.stepMs) || linkUp());
    for (size_t i = mark; i < m_seen.size(); ++i) {
        if (m_seen[i].kind == Kind::ConnState) {
            row.eventMs = m_seen[i].atMs - t0;
            if (m_seen[i].value != linkChanged) {
                row.note = QStringLiteral("RxConnState %1").arg(m_seen[i].value);
            }
            break;
        }
    }
    if (!ok) {
        row.result = Result::Unavailable;
        row.note = QStringLiteral("not connected after %1 ms").arg(m_clock.elapsed() - t0) +
                   (row.note.isEmpty() ? QString() : QStringLiteral("; ") + row.note);
        add(row);
        return false;
    }
    row.readBackMs = upMs;
    add(row);
    return true;
}

ReceiverCheck::Found ReceiverCheck::readAll() {
    // A radio's first reading comes a little after its link: its mode and
    // frequency are known once the component says so.
    say(QStringLiteral("reading, waiting for the first mode and frequency (%1 ms at most)")
            .arg(m_options.connectMs));
    waitUntil(
        [&] {
            bool known = false;
            attempt([&] { known = m_rx.RxMod(m_index) >= 0 && m_rx.RxFrq(m_index, 0) > 0; });
            return known || !linkUp();
        },
        m_options.connectMs);
    Found found;
    const auto value = [&](const QString& setting, const std::function<int32_t()>& get,
                           const std::function<QString(int32_t)>& show,
                           std::optional<int32_t>* keep) {
        int32_t v = 0;
        if (const auto e = attempt([&] { v = get(); })) {
            add({setting, QString(), Result::Unavailable, -1, -1, *e});
            return;
        }
        const QString shown = show(v);
        // A code no entry of the list has: the window would select nothing.
        const bool choice = setting == QLatin1String("mode") || setting == QLatin1String("AGC") ||
                            setting == QLatin1String("NB") || setting == QLatin1String("ATT");
        const bool listed = !choice || shown != QString::number(v);
        add({setting, shown, Result::Read, -1, -1,
             listed ? QString() : QStringLiteral("no entry of the list has this code")});
        if (keep != nullptr && v >= 0) {
            *keep = v;
        }
    };
    const auto number = [](int32_t v) { return QString::number(v); };
    const auto text = [&](const QString& setting, const std::function<QString()>& get) {
        QString t;
        if (const auto e = attempt([&] { t = get(); })) {
            add({setting, QString(), Result::Unavailable, -1, -1, *e});
            return;
        }
        add({setting, t, Result::Read});
        if (setting == QLatin1String("ROM id")) {
            m_report.romId = t;
        }
    };
    text(QStringLiteral("ROM id"), [&] { return m_rx.RxRomId(m_index); });
    text(QStringLiteral("limits"), [&] {
        return QStringLiteral("%1 .. %2 Hz")
            .arg(m_rx.RxFrqMin(m_index))
            .arg(m_rx.RxFrqMax(m_index));
    });
    value(
        QStringLiteral("frequency"), [&] { return m_rx.RxFrq(m_index, 0); }, number, &found.freq);
    value(
        QStringLiteral("BFO"), [&] { return m_rx.RxBfo(m_index); }, number, nullptr);
    value(
        QStringLiteral("mode"), [&] { return m_rx.RxMod(m_index); },
        [&](int32_t c) { return choiceName(0, c); }, &found.mode);
    value(
        QStringLiteral("filter"), [&] { return m_rx.RxFlt(m_index); },
        [&](int32_t w) {
            QString name;
            attempt([&] {
                if (w >= -32768 && w <= 32767) {
                    name = m_rx.RxFltName(m_index, static_cast<int16_t>(w));
                }
            });
            return QStringLiteral("%1 %2").arg(w).arg(name).trimmed();
        },
        &found.filter);
    value(
        QStringLiteral("AGC"), [&] { return m_rx.RxAgc(m_index); },
        [&](int32_t c) { return choiceName(1, c); }, &found.agc);
    value(
        QStringLiteral("NB"), [&] { return m_rx.RxNBl(m_index); },
        [&](int32_t c) { return choiceName(2, c); }, &found.nb);
    value(
        QStringLiteral("ATT"), [&] { return m_rx.RxAtt(m_index); },
        [&](int32_t c) { return choiceName(3, c); }, &found.att);
    return found;
}

void ReceiverCheck::listen() {
    say(QStringLiteral("listening to the S-meter for %1 ms").arg(m_options.listenMs));
    const size_t from = m_smeterSeen;
    const qint64 t0 = m_clock.elapsed();
    waitUntil([&] { return !linkUp(); }, m_options.listenMs);
    const qint64 took = std::max<qint64>(1, m_clock.elapsed() - t0);
    const auto n = static_cast<double>(m_smeterSeen - from);
    m_report.smeterPerS = n * 1000.0 / static_cast<double>(took);
    add({QStringLiteral("S-meter"),
         m_smeterText.isEmpty() ? QStringLiteral("no reading") : m_smeterText,
         m_smeterText.isEmpty() ? Result::Unavailable : Result::Read, -1, -1,
         QStringLiteral("%1 events/s over %2 ms").arg(m_report.smeterPerS, 0, 'f', 1).arg(took)});
}

bool ReceiverCheck::takeRemote() {
    Row row{QStringLiteral("link"), QStringLiteral("remote control"), Result::Works};
    bool remote = false;
    attempt([&] { remote = m_rx.RxIsRemote(m_index) != 0; });
    if (remote) {
        row.result = Result::Read;
        row.note = QStringLiteral("under remote control already");
        add(row);
        return true;
    }
    say(QStringLiteral("taking remote control, waiting for RxIsRemote (%1 ms at most)")
            .arg(m_options.stepMs));
    const qint64 t0 = m_clock.elapsed();
    int32_t status = 0;
    if (const auto e = attempt([&] { status = m_rx.RxRemote(m_index, comTrue); })) {
        add({row.setting, row.entry, Result::Unavailable, -1, -1, *e});
        return false;
    }
    m_remoteByUs = true;
    const bool ok = waitUntil(
        [&] {
            bool r = false;
            attempt([&] { r = m_rx.RxIsRemote(m_index) != 0; });
            return r;
        },
        m_options.stepMs);
    row.readBackMs = ok ? m_clock.elapsed() - t0 : -1;
    if (!ok) {
        row.result = Result::Refused;
        row.note = QStringLiteral("RxRemote answered %1; not under remote control").arg(status);
    }
    add(row);
    return ok;
}

void ReceiverCheck::pullThePlug() {
    m_phase = Phase::Plug;
    say(QStringLiteral("pull the plug: switch the radio off, or pull its cable, when the count "
                       "reaches 0"));
    for (int s = m_options.countdownS; s > 0 && m_interrupts == 0; --s) {
        say(QString::number(s));
        waitUntil([] { return false; }, 1000);
    }
    // The time from the operator's move to the component's word on it: the
    // first RxConnState after it, and the getter saying so.
    const auto timed = [&](const QString& entry, bool up) {
        Row row{QStringLiteral("dead line"), entry, Result::Unavailable};
        const size_t mark = m_seen.size();
        const qint64 t0 = m_clock.elapsed();
        if (waitUntil([&] { return linkUp() == up; }, m_options.plugWaitMs)) {
            row.result = Result::Works;
            row.readBackMs = m_clock.elapsed() - t0;
        } else {
            row.note = QStringLiteral("%1 after %2 ms")
                           .arg(QLatin1String(up ? "not back" : "still connected"))
                           .arg(m_clock.elapsed() - t0);
        }
        const auto event = [&]() -> const Seen* {
            for (size_t i = mark; i < m_seen.size(); ++i) {
                if (m_seen[i].kind == Kind::ConnState && (m_seen[i].value == linkChanged) == up) {
                    return &m_seen[i];
                }
            }
            return nullptr;
        };
        // The getter may say so a little before the event is delivered.
        waitUntil([&] { return event() != nullptr; },
                  row.result == Result::Works ? m_options.stepMs : 0);
        if (const Seen* e = event()) {
            row.eventMs = e->atMs - t0;
            if (!up) {
                row.note = QStringLiteral("RxConnState %1").arg(e->value);
            }
        }
        add(row);
    };
    if (m_interrupts > 0) {
        return;
    }
    say(QStringLiteral("now: waiting for the lost link to be reported (%1 ms at most)")
            .arg(m_options.plugWaitMs));
    timed(QStringLiteral("switched off"), false);
    if (m_interrupts > 0) {
        return;
    }
    say(QStringLiteral("switch the radio on again (or plug its cable back): waiting for the "
                       "link (%1 ms at most)")
            .arg(m_options.plugWaitMs));
    timed(QStringLiteral("switched on again"), true);
}

void ReceiverCheck::putBack(const Found& found) {
    if (m_lost || !linkUp()) {
        say(QStringLiteral("the link is lost, waiting for it to come back (%1 ms at most)")
                .arg(m_options.linkBackMs));
        waitUntil([&] { return linkUp(); }, m_options.linkBackMs);
    }
    bool remote = false;
    attempt([&] { remote = m_rx.RxIsRemote(m_index) != 0; });
    if (linkUp() && !remote && m_interrupts < 2) {
        // A link that came back may have come back monitored only.
        attempt([&] { m_rx.RxRemote(m_index, comTrue); });
        waitUntil(
            [&] {
                attempt([&] { remote = m_rx.RxIsRemote(m_index) != 0; });
                return remote;
            },
            m_options.stepMs);
    }
    struct Item {
        const char* what;
        std::optional<int32_t> value;
        int which; // a choice list, or -1 filter, -2 frequency
    };
    // The mode first: it may bring its own filter and AGC.
    const Item items[] = {{"mode", found.mode, 0}, {"filter", found.filter, -1},
                          {"AGC", found.agc, 1},   {"NB", found.nb, 2},
                          {"ATT", found.att, 3},   {"frequency", found.freq, -2}};
    for (const Item& item : items) {
        if (!item.value) {
            add({QStringLiteral("put back"), QLatin1String(item.what), Result::NotTried, -1, -1,
                 QStringLiteral("not known when the check began")});
            continue;
        }
        const int32_t v = *item.value;
        Target t;
        if (item.which >= 0) {
            t = choiceTarget(QStringLiteral("put back"), item.which, v, QString());
            t.entry =
                QStringLiteral("%1 %2").arg(QLatin1String(item.what), choiceName(item.which, v));
        } else if (item.which == -1) {
            t = {QStringLiteral("put back"),
                 QStringLiteral("filter %1").arg(v),
                 Kind::Flt,
                 v,
                 [&] { return m_rx.RxFlt(m_index); },
                 [this, v] { m_rx.setRxFlt(m_index, v); },
                 [](int32_t w) { return QString::number(w); }};
        } else {
            t = {QStringLiteral("put back"),
                 QStringLiteral("frequency %1").arg(v),
                 Kind::Frq,
                 v,
                 [&] { return m_rx.RxFrq(m_index, 0); },
                 [this, v] { m_rx.setRxFrq(m_index, 0, v); },
                 [](int32_t f) { return QString::number(f); }};
        }
        Row row;
        if (m_interrupts > 1) {
            row = {t.setting, t.entry, Result::NotTried,
                   -1,        -1,      QStringLiteral("interrupted twice")};
            add(row);
        } else if (!remote || !linkUp()) {
            row = {t.setting,
                   t.entry,
                   Result::Unavailable,
                   -1,
                   -1,
                   linkUp() ? QStringLiteral("not under remote control")
                            : QStringLiteral("no link")};
            add(row);
        } else {
            row = probe(t);
            if (row.result != Result::Works && row.result != Result::NotTried && linkUp()) {
                // Once more: a backend that refused may take it after it has
                // re-read what the radio holds.
                t.entry += QStringLiteral(", again");
                row = probe(t);
            }
        }
        if (row.result != Result::Works) {
            m_report.notPutBack << QStringLiteral("%1 (%2%3)")
                                       .arg(t.entry, resultText(row.result),
                                            row.note.isEmpty() ? QString()
                                                               : QStringLiteral(": ") + row.note);
        }
    }
}

void ReceiverCheck::releaseLink() {
    // The link is left as it was found: remote control and the connection
    // are let go only when the check took them.
    if (m_remoteByUs) {
        attempt([&] { m_rx.RxRemote(m_index, 0); });
    }
    if (m_connectedByUs) {
        attempt([&] { m_rx.RxConnect(m_index, 0); });
    }
}

} // namespace corvane::check
