#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

namespace corvane::component {

// The driver table as it is kept: every key of the file survives a save, also
// the ones this version does not know (top level and per driver).
struct DriverTable {
    QJsonObject top;            // the file's object; "drivers" is rebuilt on save
    QList<QJsonObject> drivers; // one object per driver: "name", "kind", ...

    QString name(qsizetype i) const;
    bool operator==(const DriverTable& other) const { return drivers == other.drivers; }
};

// One application's driver table on disk, e.g. ~/.config/corvane/Test.json.
//
// A file that cannot be used is never changed: load() says what is wrong with
// it and gives the default table; the first save() afterwards first keeps the
// broken file beside the new one under a dated name. A table that is a
// symbolic link is read and written through it, and stays a link.
class DriverStore {
public:
    explicit DriverStore(QString path) : m_path(std::move(path)) {}

    // The file of `application` under `configHome` (XDG_CONFIG_HOME, else
    // ~/.config, when empty).
    static QString pathFor(const QString& configHome, const QString& application);

    // Three simulated receivers, one per built-in profile.
    static DriverTable defaults();

    struct Loaded {
        DriverTable table;
        QString problem; // empty unless the file exists and cannot be used
    };
    Loaded load();

    // Writes atomically (all or nothing). Throws RuntimeError when it cannot.
    void save(const DriverTable& table);

    const QString& path() const { return m_path; }
    // Where a save of `path` writes: the file its symbolic links lead to
    // (which may not exist yet), `path` itself when it is no link; empty when
    // the links loop.
    static QString saveTarget(const QString& path);
    // Where the last save() kept the broken file; empty when it kept none.
    const QString& keptBrokenAs() const { return m_keptBrokenAs; }

private:
    QString m_path;
    bool m_broken = false;
    QString m_keptBrokenAs;
};

} // namespace corvane::component
