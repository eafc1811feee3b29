#include "component/sim/Profile.h"

#include "component/json/JsonText.h"
#include "receiver/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane::component {

using receiver::RuntimeError;

namespace {

// Longest texts and lists taken: what the window can show of a receiver (its
// ROM id in one field, a name per list entry) with room to spare, and far
// more entries than any receiver has, so that what a profile costs in memory
// stays bounded by these and not by the size of its file.
constexpr qsizetype maxRomIdChars = 128;
constexpr qsizetype maxNameChars = 64;
constexpr qsizetype maxEntries = 256;   // modes, filters of a mode, agc, nb, att
constexpr qsizetype maxStations = 1024; // behaviour.stations

// Walks a profile object and reports the first type error with its path.
class Reader {
public:
    explicit Reader(QString source) : m_source(std::move(source)) {}

    [[noreturn]] void fail(const QString& path, const QString& what) const {
        throw RuntimeError::componentFailure(
            QStringLiteral("profile %1: %2: %3").arg(m_source, path, what));
    }

    QJsonValue required(const QJsonObject& o, const QString& path, const char* key) const {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            fail(join(path, key), QStringLiteral("missing"));
        }
        return v;
    }

    QString text(const QJsonValue& v, const QString& path,
                 qsizetype maxChars = maxNameChars) const {
        if (!v.isString()) {
            fail(path, QStringLiteral("expected a text"));
        }
        QString t = v.toString();
        if (t.size() > maxChars) {
            fail(path, QStringLiteral("%1 characters, more than the %2 allowed")
                           .arg(t.size())
                           .arg(maxChars));
        }
        return t;
    }

    int32_t number(const QJsonValue& v, const QString& path) const {
        const std::optional<int32_t> n = wholeInt32(v);
        if (!n) {
            fail(path, QStringLiteral("expected a whole number within 32 bits"));
        }
        return *n;
    }

    bool flag(const QJsonValue& v, const QString& path) const {
        if (!v.isBool()) {
            fail(path, QStringLiteral("expected true or false"));
        }
        return v.toBool();
    }

    QJsonArray array(const QJsonValue& v, const QString& path,
                     qsizetype maxSize = maxEntries) const {
        if (!v.isArray()) {
            fail(path, QStringLiteral("expected an array"));
        }
        QJsonArray a = v.toArray();
        if (a.size() > maxSize) {
            fail(path,
                 QStringLiteral("%1 entries, more than the %2 allowed").arg(a.size()).arg(maxSize));
        }
        return a;
    }

    QJsonObject object(const QJsonValue& v, const QString& path) const {
        if (!v.isObject()) {
            fail(path, QStringLiteral("expected an object"));
        }
        return v.toObject();
    }

    // Optional members: absent keeps the default.
    void optNumber(const QJsonObject& o, const QString& path, const char* key, int32_t& out) const {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined()) {
            out = number(v, join(path, key));
        }
    }
    void optFlag(const QJsonObject& o, const QString& path, const char* key, bool& out) const {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined()) {
            out = flag(v, join(path, key));
        }
    }

    static QString join(const QString& path, const char* key) {
        return path.isEmpty() ? QString::fromLatin1(key) : path + u'.' + QLatin1String(key);
    }
    static QString at(const QString& path, qsizetype i) {
        return QStringLiteral("%1[%2]").arg(path).arg(i);
    }

    std::vector<Profile::Choice> choices(const QJsonObject& root, const char* key) const {
        std::vector<Profile::Choice> out;
        const QJsonValue v = root.value(QLatin1String(key));
        if (v.isUndefined()) {
            return out;
        }
        const QString path = QString::fromLatin1(key);
        const QJsonArray list = array(v, path);
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString p = at(path, i);
            const QJsonObject e = object(list.at(i), p);
            Profile::Choice c;
            c.name = text(required(e, p, "name"), join(p, "name"));
            c.code = number(required(e, p, "code"), join(p, "code"));
            optFlag(e, p, "available", c.available);
            optNumber(e, p, "dB", c.dB);
            out.push_back(std::move(c));
        }
        return out;
    }

    Profile::Mode mode(const QJsonValue& v, const QString& p) const {
        const QJsonObject e = object(v, p);
        Profile::Mode m;
        m.name = text(required(e, p, "name"), join(p, "name"));
        m.code = number(required(e, p, "code"), join(p, "code"));
        optFlag(e, p, "available", m.available);
        optNumber(e, p, "bfo", m.bfo);
        if (const QJsonValue f = e.value(QLatin1String("filters")); !f.isUndefined()) {
            const QString fp = join(p, "filters");
            const QJsonArray filters = array(f, fp);
            for (qsizetype i = 0; i < filters.size(); ++i) {
                const QString ip = at(fp, i);
                const QJsonObject fo = object(filters.at(i), ip);
                Profile::Filter filter;
                filter.width = number(required(fo, ip, "width"), join(ip, "width"));
                filter.name = text(required(fo, ip, "name"), join(ip, "name"));
                m.filters.push_back(std::move(filter));
            }
        }
        if (const QJsonValue a = e.value(QLatin1String("agc")); !a.isUndefined()) {
            const QString ap = join(p, "agc");
            const QJsonArray codes = array(a, ap);
            std::vector<int32_t> allowed;
            for (qsizetype i = 0; i < codes.size(); ++i) {
                allowed.push_back(number(codes.at(i), at(ap, i)));
            }
            m.agc = std::move(allowed);
        }
        return m;
    }

private:
    QString m_source;
};

int32_t firstCode(const std::vector<Profile::Choice>& list) {
    return list.empty() ? -1 : list.front().code;
}

} // namespace

Capabilities capabilitiesOf(const Profile& profile) {
    Capabilities c;
    c.romId = profile.romId;
    c.frqMin = profile.frqMin;
    c.frqMax = profile.frqMax;
    // The simulation's own fields stay behind; the entries keep their order,
    // so an index means the same entry in both.
    c.modes.assign(profile.modes.begin(), profile.modes.end());
    c.agc.assign(profile.agc.begin(), profile.agc.end());
    c.nb.assign(profile.nb.begin(), profile.nb.end());
    c.att.assign(profile.att.begin(), profile.att.end());
    return c;
}

QStringList builtinProfiles() {
    return {QStringLiteral("hf"), QStringLiteral("vhf"), QStringLiteral("bc")};
}

Profile parseProfile(const QByteArray& json, const QString& source) {
    const Reader r(source);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        throw RuntimeError::componentFailure(
            QStringLiteral("profile %1: %2").arg(source, describeParseError(json, error)));
    }
    if (!doc.isObject()) {
        r.fail(QStringLiteral("(top level)"), QStringLiteral("expected an object"));
    }
    const QJsonObject root = doc.object();

    Profile p;
    p.romId = r.text(r.required(root, {}, "romId"), QStringLiteral("romId"), maxRomIdChars);
    p.frqMin = r.number(r.required(root, {}, "frqMin"), QStringLiteral("frqMin"));
    p.frqMax = r.number(r.required(root, {}, "frqMax"), QStringLiteral("frqMax"));
    const QJsonArray modes = r.array(r.required(root, {}, "modes"), QStringLiteral("modes"));
    for (qsizetype i = 0; i < modes.size(); ++i) {
        p.modes.push_back(r.mode(modes.at(i), Reader::at(QStringLiteral("modes"), i)));
    }
    p.agc = r.choices(root, "agc");
    p.nb = r.choices(root, "nb");
    p.att = r.choices(root, "att");

    // Defaults for the start state: the first entry of each table, the lowest
    // frequency, and the first filter of the starting mode.
    auto& in = p.initial;
    in.freq = p.frqMin;
    in.mode = p.modes.empty() ? -1 : p.modes.front().code;
    in.agc = firstCode(p.agc);
    in.nb = firstCode(p.nb);
    in.att = firstCode(p.att);
    if (const QJsonValue v = root.value(QLatin1String("initial")); !v.isUndefined()) {
        const QString ip = QStringLiteral("initial");
        const QJsonObject o = r.object(v, ip);
        r.optNumber(o, ip, "freq", in.freq);
        r.optNumber(o, ip, "mode", in.mode);
        r.optNumber(o, ip, "agc", in.agc);
        r.optNumber(o, ip, "nb", in.nb);
        r.optNumber(o, ip, "att", in.att);
        r.optNumber(o, ip, "deltaF", in.deltaF);
        r.optFlag(o, ip, "connected", in.connected);
        r.optFlag(o, ip, "remote", in.remote);
        in.filter = 0;
        for (const auto& m : p.modes) {
            if (m.code == in.mode) {
                in.filter = m.filters.empty() ? 0 : m.filters.front().width;
                break;
            }
        }
        r.optNumber(o, ip, "filter", in.filter);
    } else {
        in.filter = (!p.modes.empty() && !p.modes.front().filters.empty())
                        ? p.modes.front().filters.front().width
                        : 0;
    }

    if (const QJsonValue v = root.value(QLatin1String("behaviour")); !v.isUndefined()) {
        const QString bp = QStringLiteral("behaviour");
        const QJsonObject o = r.object(v, bp);
        r.optNumber(o, bp, "connectDelayMs", p.behaviour.connectDelayMs);
        r.optNumber(o, bp, "smeterIntervalMs", p.behaviour.smeterIntervalMs);
        if (const QJsonValue s = o.value(QLatin1String("stations")); !s.isUndefined()) {
            const QString sp = Reader::join(bp, "stations");
            const QJsonArray stations = r.array(s, sp, maxStations);
            for (qsizetype i = 0; i < stations.size(); ++i) {
                const QString ep = Reader::at(sp, i);
                const QJsonObject so = r.object(stations.at(i), ep);
                Profile::Station st;
                st.freq = r.number(r.required(so, ep, "freq"), Reader::join(ep, "freq"));
                st.width = r.number(r.required(so, ep, "width"), Reader::join(ep, "width"));
                st.level = r.number(r.required(so, ep, "level"), Reader::join(ep, "level"));
                p.behaviour.stations.push_back(st);
            }
        }
    }

    if (const QJsonValue v = root.value(QLatin1String("faults")); !v.isUndefined()) {
        const QString fp = QStringLiteral("faults");
        const QJsonObject o = r.object(v, fp);
        r.optNumber(o, fp, "dropAfterMs", p.faults.dropAfterMs);
        r.optNumber(o, fp, "dropErr", p.faults.dropErr);
        r.optNumber(o, fp, "dataErrorEveryMs", p.faults.dataErrorEveryMs);
        r.optNumber(o, fp, "dataErr", p.faults.dataErr);
        if (const QJsonValue f = o.value(QLatin1String("failOps")); !f.isUndefined()) {
            const QString op = Reader::join(fp, "failOps");
            const QJsonArray ops = r.array(f, op);
            for (qsizetype i = 0; i < ops.size(); ++i) {
                p.faults.failOps.append(r.text(ops.at(i), Reader::at(op, i)));
            }
        }
    }
    return p;
}

QString profilePath(const QString& reference, const QString& baseDir) {
    static const QString builtin = QStringLiteral("builtin:");
    if (reference.startsWith(builtin)) {
        const QString name = reference.mid(builtin.size());
        if (!builtinProfiles().contains(name)) {
            throw RuntimeError::componentFailure(
                QStringLiteral("profile %1: no such built-in profile (there are %2)")
                    .arg(reference, builtinProfiles().join(QStringLiteral(", "))));
        }
        return QStringLiteral(":/corvane/profiles/%1.json").arg(name);
    }
    if (reference.isEmpty()) {
        throw RuntimeError::componentFailure(QStringLiteral("profile: no profile given"));
    }
    return QDir(baseDir).absoluteFilePath(reference);
}

Profile loadProfile(const QString& reference, const QString& baseDir) {
    const QString path = profilePath(reference, baseDir);
    const QByteArray bytes = readCapped(path, QStringLiteral("profile"));
    return parseProfile(bytes, path.startsWith(u':') ? reference : path);
}

} // namespace corvane::component
