#include "component/store/DriverStore.h"

#include "component/json/JsonText.h"
#include "receiver/RuntimeError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

namespace corvane::component {

using receiver::RuntimeError;

namespace {

QJsonObject simEntry(const char* name, const char* profile) {
    return QJsonObject{{QStringLiteral("name"), QString::fromLatin1(name)},
                       {QStringLiteral("kind"), QStringLiteral("sim")},
                       {QStringLiteral("profile"), QString::fromLatin1(profile)}};
}

// Checks what every kind relies on; returns "drivers[2].kind: expected a text"
// or an empty text.
QString structureProblem(const QJsonDocument& doc) {
    if (!doc.isObject()) {
        return QStringLiteral("the top level is not an object");
    }
    const QJsonValue drivers = doc.object().value(QLatin1String("drivers"));
    if (drivers.isUndefined()) {
        return QStringLiteral("\"drivers\" is missing");
    }
    if (!drivers.isArray()) {
        return QStringLiteral("\"drivers\" is not an array");
    }
    const QJsonArray list = drivers.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString at = QStringLiteral("drivers[%1]").arg(i);
        if (!list.at(i).isObject()) {
            return at + QStringLiteral(": expected an object");
        }
        const QJsonObject e = list.at(i).toObject();
        for (const char* key : {"name", "kind"}) {
            if (!e.value(QLatin1String(key)).isString()) {
                return QStringLiteral("%1.%2: expected a text").arg(at, QLatin1String(key));
            }
        }
        const QJsonValue profile = e.value(QLatin1String("profile"));
        if (!profile.isUndefined() && !profile.isString()) {
            return at + QStringLiteral(".profile: expected a text");
        }
    }
    return {};
}

} // namespace

QString DriverTable::name(qsizetype i) const {
    return drivers.at(i).value(QLatin1String("name")).toString();
}

QString DriverStore::pathFor(const QString& configHome, const QString& application) {
    QString base = configHome;
    if (base.isEmpty()) {
        base = qEnvironmentVariable("XDG_CONFIG_HOME");
    }
    if (base.isEmpty()) {
        base = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(base).filePath(QStringLiteral("corvane/%1.json").arg(application));
}

DriverTable DriverStore::defaults() {
    DriverTable t;
    // Hamlib's dummy rig (model 1) lets a new user see the real back end at
    // work without a radio.
    t.drivers = {simEntry("HF", "builtin:hf"), simEntry("VHF", "builtin:vhf"),
                 simEntry("BC", "builtin:bc"),
                 QJsonObject{{QStringLiteral("name"), QStringLiteral("Dummy")},
                             {QStringLiteral("kind"), QStringLiteral("hamlib")},
                             {QStringLiteral("model"), 1}}};
    return t;
}

DriverStore::Loaded DriverStore::load() {
    m_broken = false;
    // No file, or a link to a file not made yet (a save makes it): the
    // defaults. A link that loops is read, and so reported, below.
    if (!QFileInfo(m_path).isSymLink() && !QFileInfo::exists(m_path)) {
        return {defaults(), {}};
    }
    if (const QString target = saveTarget(m_path);
        !target.isEmpty() && !QFileInfo(target).isSymLink() && !QFileInfo::exists(target)) {
        return {defaults(), {}};
    }
    QString problem;
    QJsonDocument doc;
    try {
        const QByteArray bytes = readCapped(m_path, QStringLiteral("driver table"));
        if (bytes.trimmed().isEmpty()) {
            problem = QStringLiteral("the file is empty");
        } else {
            QJsonParseError error{};
            doc = QJsonDocument::fromJson(bytes, &error);
            problem = error.error != QJsonParseError::NoError ? describeParseError(bytes, error)
                                                              : structureProblem(doc);
        }
    } catch (const RuntimeError& e) {
        // readCapped() names the file itself; keep only what is wrong.
        problem = e.description().section(QStringLiteral(": "), 1);
    }
    if (!problem.isEmpty()) {
        m_broken = true;
        const QString message =
            QStringLiteral("%1: %2. Using the default receivers; the file is left as it is "
                           "and kept aside when the drivers are next saved.")
                .arg(m_path, problem);
        QTextStream(stderr) << "corvane: " << message << Qt::endl;
        return {defaults(), message};
    }
    DriverTable t;
    t.top = doc.object();
    for (const QJsonValue v : t.top.value(QLatin1String("drivers")).toArray()) {
        t.drivers.append(v.toObject());
    }
    if (t.drivers.isEmpty()) {
        // Not a fault of the file, but a program without receivers ends at
        // once; one line says why, and where to look.
        QTextStream(stderr) << "corvane: " << m_path
                            << " lists no drivers, so there is no receiver to use; remove the "
                               "file to get the default receivers back"
                            << Qt::endl;
    }
    return {t, {}};
}

QString DriverStore::saveTarget(const QString& path) {
    QString at = path;
    // As many links as the kernel follows before it calls it a loop.
    for (int depth = 0; depth <= 40; ++depth) {
        const QFileInfo info(at);
        if (!info.isSymLink()) {
            return at;
        }
        at = info.symLinkTarget();
    }
    return {};
}

void DriverStore::save(const DriverTable& table) {
    // A table that is a symbolic link stays one: its target is written (and
    // made, for a link to a file not there yet). Links that loop lead
    // nowhere; they are kept aside like a broken file.
    const QString target = saveTarget(m_path);
    const bool loops = target.isEmpty();
    const QString file = loops ? m_path : target;
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath())) {
        throw RuntimeError::componentFailure(
            QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
    }
    m_keptBrokenAs.clear();
    if (m_broken && (loops || info.exists())) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString kept = QStringLiteral("%1.broken-%2").arg(m_path, stamp);
        for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n) {
            kept = QStringLiteral("%1.broken-%2-%3").arg(m_path, stamp).arg(n);
        }
        // A file is copied; what cannot be copied without blocking or
        // following a loop (links that loop, a FIFO, a device) is moved aside.
        const bool move = loops || (!info.isFile() && !info.isDir());
        const bool keptIt = move ? QFile::rename(file, kept) : QFile::copy(file, kept);
        if (!keptIt) {
            throw RuntimeError::componentFailure(
                QStringLiteral("cannot keep the unusable %1 as %2; nothing saved")
                    .arg(m_path, kept));
        }
        m_keptBrokenAs = kept;
    }

    QJsonObject top = table.top;
    QJsonArray drivers;
    for (const QJsonObject& d : table.drivers) {
        drivers.append(d);
    }
    top.insert(QStringLiteral("drivers"), drivers);

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        throw RuntimeError::componentFailure(
            QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
    }
    out.write(QJsonDocument(top).toJson(QJsonDocument::Indented));
    if (!out.commit()) {
        throw RuntimeError::componentFailure(
            QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
    }
    m_broken = false;
}

} // namespace corvane::component
