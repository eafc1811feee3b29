// The survey: every entry of every list the window would offer, set, awaited
// and read back; the filters and AGC mode by mode; the frequency at its
// limits, past them and between.
#include "check/ReceiverCheck.h"

#include <array>
#include <limits>

namespace corvane::check {

using receiver::Component;

namespace {

// After a refusal, or an event with another value, the component is given
// this long to show what the receiver holds before the step ends.
constexpr qint64 settleMs = 500;
// A set of the value in force is refused, if at all, by the component itself:
// its event comes with the next turn of the event loop.
constexpr qint64 inForceMs = 50;

// One of the four lists of the window, by the component's operations.
struct Choices {
    const char* setting;
    const char* event;
    ReceiverCheck::Kind kind;
    int16_t (Component::*count)(int16_t);
    int32_t (Component::*avail)(int16_t, int32_t);
    QString (Component::*name)(int16_t, int32_t);
    int32_t (Component::*code)(int16_t, const QString&);
    int32_t (Component::*current)(int16_t);
    void (Component::*set)(int16_t, int32_t);
};

using K = ReceiverCheck::Kind;
const std::array<Choices, 4> lists{{
    {"mode", "RxModUpdated", K::Mod, &Component::RxModCount, &Component::RxModAvail,
     &Component::RxModName, &Component::RxModCode, &Component::RxMod, &Component::setRxMod},
    {"AGC", "RxAgcUpdated", K::Agc, &Component::RxAgcCount, &Component::RxAgcAvail,
     &Component::RxAgcName, &Component::RxAgcCode, &Component::RxAgc, &Component::setRxAgc},
    {"NB", "RxNBlUpdated", K::NBl, &Component::RxNBlCount, &Component::RxNBlAvail,
     &Component::RxNBlName, &Component::RxNBlCode, &Component::RxNBl, &Component::setRxNBl},
    {"ATT", "RxAttUpdated", K::Att, &Component::RxAttCount, &Component::RxAttAvail,
     &Component::RxAttName, &Component::RxAttCode, &Component::RxAtt, &Component::setRxAtt},
}};

const char* eventOf(ReceiverCheck::Kind kind) {
    switch (kind) {
    case K::Frq:
        return "RxFrqUpdated";
    case K::Flt:
        return "RxFltUpdated";
    default:
        for (const Choices& c : lists) {
            if (c.kind == kind) {
                return c.event;
            }
        }
        return "an event";
    }
}

} // namespace

// The name the receiver gives a code of list `which` (0 mode, 1 AGC, 2 NB,
// 3 ATT): the first entry with that code, or the code itself.
QString ReceiverCheck::choiceName(int which, int32_t code) {
    const Choices& c = lists[static_cast<size_t>(which)];
    QString name = QString::number(code);
    // The component converts names to codes only: its entries are walked
    // and converted to find the first with this code.
    attempt([&] {
        const int16_t n = (m_rx.*c.count)(m_index);
        for (int32_t i = 0; i < n; ++i) {
            const QString e = (m_rx.*c.name)(m_index, i);
            if ((m_rx.*c.code)(m_index, e) == code) {
                name = e.trimmed();
                return;
            }
        }
    });
    return name;
}

ReceiverCheck::Target ReceiverCheck::choiceTarget(const QString& setting, int which, int32_t code,
                                                  const QString& entry) {
    const Choices& c = lists[static_cast<size_t>(which)];
    return {setting,
            entry,
            c.kind,
            code,
            [this, &c] { return (m_rx.*c.current)(m_index); },
            [this, &c, code] { (m_rx.*c.set)(m_index, code); },
            [this, which](int32_t v) { return choiceName(which, v); }};
}

void ReceiverCheck::readOnlyLists() {
    for (const Choices& c : lists) {
        QStringList offered;
        attempt([&] {
            const int16_t n = (m_rx.*c.count)(m_index);
            for (int32_t i = 0; i < n; ++i) {
                if ((m_rx.*c.avail)(m_index, i) != 0) {
                    offered << (m_rx.*c.name)(m_index, i).trimmed();
                }
            }
        });
        add({QLatin1String(c.setting), offered.join(QStringLiteral(", ")), Result::NotTried, -1, -1,
             QStringLiteral("setting needs --remote")});
    }
    QStringList filters;
    attempt([&] {
        const int16_t n = m_rx.RxFltCount(m_index);
        for (int16_t i = 0; i < n; ++i) {
            filters << QString::number(m_rx.RxFltWidth(m_index, i));
        }
    });
    add({QStringLiteral("filter"), filters.join(QStringLiteral(", ")), Result::NotTried, -1, -1,
         QStringLiteral("setting needs --remote")});
    add({QStringLiteral("frequency"), QStringLiteral("limits and past them"), Result::NotTried, -1,
         -1, QStringLiteral("setting needs --remote")});
    say(QStringLiteral("read only: setting would need --remote (this receiver is only monitored)"));
}

void ReceiverCheck::survey() {
    const Choices& modes = lists[0];
    int16_t n = 0;
    if (const auto e = attempt([&] { n = (m_rx.*modes.count)(m_index); })) {
        add({QStringLiteral("mode"), QString(), Result::Unavailable, -1, -1, *e});
    }
    for (int32_t i = 0; i < n && !cancelled() && linkUp(); ++i) {
        QString name;
        int32_t avail = 0;
        int32_t code = -1;
        if (const auto e = attempt([&] {
                name = (m_rx.*modes.name)(m_index, i);
                avail = (m_rx.*modes.avail)(m_index, i);
                code = m_rx.RxModCode(m_index, name);
            })) {
            add({QStringLiteral("mode"), name, Result::Unavailable, -1, -1, *e});
            continue;
        }
        if (avail == 0) {
            add({QStringLiteral("mode"), name, Result::NotOffered, -1, -1,
                 QStringLiteral("listed as not available")});
            continue;
        }
        const Row row = probe(choiceTarget(QStringLiteral("mode"), 0, code, name));
        if (row.result != Result::Works) {
            add({QStringLiteral("filter, AGC in %1").arg(name), QString(), Result::NotTried, -1, -1,
                 QStringLiteral("the mode is not in force")});
            continue;
        }
        surveyFilters(name);
        surveyChoices(QStringLiteral("AGC in %1").arg(name), 1);
    }
    surveyChoices(QStringLiteral("NB"), 2);
    surveyChoices(QStringLiteral("ATT"), 3);
    surveyFrequencies();
}

void ReceiverCheck::surveyChoices(const QString& setting, int which) {
    const Choices& c = lists[static_cast<size_t>(which)];
    int16_t n = 0;
    if (const auto e = attempt([&] { n = (m_rx.*c.count)(m_index); })) {
        add({setting, QString(), Result::Unavailable, -1, -1, *e});
        return;
    }
    if (n <= 0) {
        add({setting, QStringLiteral("none"), Result::Read, -1, -1,
             QStringLiteral("the receiver lists no entries")});
    }
    for (int32_t i = 0; i < n && !cancelled() && linkUp(); ++i) {
        QString name;
        int32_t avail = 0;
        int32_t code = -1;
        if (const auto e = attempt([&] {
                // The window lists AGC names without their surrounding blanks.
                name = (m_rx.*c.name)(m_index, i);
                name = which == 1 ? name.trimmed() : name;
                avail = (m_rx.*c.avail)(m_index, i);
                code = (m_rx.*c.code)(m_index, name);
            })) {
            add({setting, name, Result::Unavailable, -1, -1, *e});
            continue;
        }
        if (avail == 0) {
            add({setting, name, Result::NotOffered, -1, -1,
                 QStringLiteral("not available%1").arg(which == 1 ? " in this mode" : "")});
            continue;
        }
        probe(choiceTarget(setting, which, code, name));
    }
}

void ReceiverCheck::surveyFilters(const QString& mode) {
    const QString setting = QStringLiteral("filter in %1").arg(mode);
    // The list of the mode in force, as the window shows it: width and name.
    struct Filter {
        int32_t width;
        QString name;
    };
    std::vector<Filter> filters;
    if (const auto e = attempt([&] {
            const int16_t n = m_rx.RxFltCount(m_index);
            for (int16_t i = 0; i < n; ++i) {
                const int32_t w = m_rx.RxFltWidth(m_index, i);
                const bool fits = w >= std::numeric_limits<int16_t>::min() &&
                                  w <= std::numeric_limits<int16_t>::max();
                filters.push_back(
                    {w, fits ? m_rx.RxFltName(m_index, static_cast<int16_t>(w)) : QString()});
            }
        })) {
        add({setting, QString(), Result::Unavailable, -1, -1, *e});
    }
    if (filters.empty()) {
        add({setting, QStringLiteral("none"), Result::Read});
    }
    for (const Filter& f : filters) {
        if (cancelled() || !linkUp()) {
            return;
        }
        const int32_t w = f.width;
        probe({setting, QStringLiteral("%1 %2").arg(w).arg(f.name).trimmed(), Kind::Flt, w,
               [this] { return m_rx.RxFlt(m_index); }, [this, w] { m_rx.setRxFlt(m_index, w); },
               [](int32_t v) { return QString::number(v); }});
    }
}

void ReceiverCheck::surveyFrequencies() {
    int32_t lo = 0;
    int32_t hi = 0;
    if (const auto e = attempt([&] {
            lo = m_rx.RxFrqMin(m_index);
            hi = m_rx.RxFrqMax(m_index);
        })) {
        add({QStringLiteral("frequency"), QString(), Result::Unavailable, -1, -1, *e});
        return;
    }
    std::vector<std::pair<int32_t, QString>> targets{{lo, QStringLiteral("min")},
                                                     {hi, QStringLiteral("max")}};
    // A few between, on whole kilohertz as a person would type them.
    for (const int quarter : {1, 2, 3}) {
        const int64_t f = int64_t{lo} + (int64_t{hi} - lo) * quarter / 4;
        const auto khz = static_cast<int32_t>(f / 1000 * 1000);
        if (khz > lo && khz < hi) {
            targets.emplace_back(khz, QString());
        }
    }
    if (lo > std::numeric_limits<int32_t>::min()) {
        targets.emplace_back(lo - 1, QStringLiteral("min - 1"));
    }
    if (hi < std::numeric_limits<int32_t>::max()) {
        targets.emplace_back(hi + 1, QStringLiteral("max + 1"));
    }
    for (const auto& [f, what] : targets) {
        if (cancelled() || !linkUp()) {
            return;
        }
        const int32_t hz = f;
        probe({QStringLiteral("frequency"),
               what.isEmpty() ? QString::number(hz) : QStringLiteral("%1 (%2)").arg(hz).arg(what),
               Kind::Frq, hz, [this] { return m_rx.RxFrq(m_index, 0); },
               [this, hz] { m_rx.setRxFrq(m_index, 0, hz); },
               [](int32_t v) { return QString::number(v); }});
    }
}

Row ReceiverCheck::probe(const Target& t) {
    Row row{t.setting, t.entry, Result::Unavailable};
    const auto finish = [&]() -> Row {
        add(row);
        return row;
    };
    int32_t before = 0;
    if (!linkUp()) {
        row.note = QStringLiteral("no link");
        return finish();
    }
    if (const auto e = attempt([&] { before = t.read(); })) {
        row.note = *e;
        return finish();
    }
    const qint64 limit = stepLimit();
    say(QStringLiteral("%1 %2: set, waiting for %3 and the read-back (%4 ms at most)")
            .arg(t.setting, t.entry, QLatin1String(eventOf(t.kind)))
            .arg(limit));
    const size_t mark = m_seen.size();
    const qint64 t0 = m_clock.elapsed();
    if (const auto e = attempt(t.set)) {
        row.result = Result::Refused;
        row.note = QStringLiteral("the component refused: %1").arg(*e);
        return finish();
    }
    if (before == t.want) {
        // Nothing changes, so no change is reported; a refusal of the value
        // (one the receiver does not offer) still comes, and comes at once.
        row.result = Result::Works;
        row.note = QStringLiteral("in force already");
        const auto refusal = [&] {
            for (size_t i = mark; i < m_seen.size(); ++i) {
                if (m_seen[i].kind == Kind::DataError) {
                    return std::optional(m_seen[i].value);
                }
            }
            return std::optional<int32_t>();
        };
        waitUntil([&] { return refusal().has_value(); }, std::min<qint64>(limit, inForceMs));
        if (const auto err = refusal()) {
            row.note += QStringLiteral(", yet RxDataError %1").arg(*err);
        }
        return finish();
    }
    qint64 eventAt = -1;
    qint64 readAt = -1;
    qint64 refusedAt = -1;
    qint64 otherAt = -1;
    int32_t err = 0;
    size_t next = mark;
    waitUntil(
        [&] {
            int32_t now = 0;
            if (readAt < 0 && !attempt([&] { now = t.read(); }) && now == t.want) {
                readAt = m_clock.elapsed() - t0;
            }
            for (; next < m_seen.size(); ++next) {
                const Seen& s = m_seen[next];
                if (s.kind == t.kind && s.value == t.want && eventAt < 0) {
                    eventAt = s.atMs - t0;
                } else if (s.kind == t.kind && s.value != t.want && otherAt < 0) {
                    otherAt = s.atMs - t0;
                } else if (s.kind == Kind::DataError && refusedAt < 0) {
                    refusedAt = s.atMs - t0;
                    err = s.value;
                }
            }
            const qint64 since = m_clock.elapsed() - t0;
            const qint64 answered = refusedAt >= 0 ? refusedAt : otherAt;
            // A refusal followed by what the receiver holds is the whole answer.
            const bool refusedAndHeld = refusedAt >= 0 && otherAt >= 0 && eventAt < 0;
            return !linkUp() || (eventAt >= 0 && readAt >= 0) || refusedAndHeld ||
                   (answered >= 0 && eventAt < 0 && since - answered >= settleMs);
        },
        limit);
    row.eventMs = eventAt;
    row.readBackMs = readAt;
    int32_t after = 0;
    const auto readError = attempt([&] { after = t.read(); });
    if (!linkUp()) {
        row.note = QStringLiteral("the link was lost");
    } else if (readError) {
        row.note = *readError;
    } else if (after == t.want) {
        row.result = Result::Works;
        if (eventAt < 0) {
            row.note =
                QStringLiteral("no %1 in %2 ms").arg(QLatin1String(eventOf(t.kind))).arg(limit);
        }
        if (refusedAt >= 0) {
            row.note = QStringLiteral("RxDataError %1, yet it holds it").arg(err);
        }
    } else if (refusedAt >= 0) {
        row.result = Result::Refused;
        row.note = QStringLiteral("RxDataError %1; holds %2").arg(err).arg(t.show(after));
    } else if (after == before && otherAt < 0) {
        if (cancelled()) {
            row.result = Result::NotTried;
            row.note =
                m_interrupts > 0 ? QStringLiteral("interrupted") : QStringLiteral("deadline");
        } else {
            row.result = Result::Refused;
            row.note = QStringLiteral("nothing changed in %1 ms; holds %2")
                           .arg(m_clock.elapsed() - t0)
                           .arg(t.show(after));
        }
    } else {
        row.result = Result::HoldsOther;
        row.note = QStringLiteral("holds %1").arg(t.show(after));
    }
    return finish();
}

} // namespace corvane::check
