// The driver table from arbitrary file contents: loading never changes the
// file, a refused file names itself and gives the default receivers, and an
// accepted one comes back the same after a save. Its Hamlib entries are read
// as the receivers read them, where numbers of any size meet the reader.
#include "component/hamlib/HamlibEntryReader.h"
#include "component/store/DriverStore.h"
#include "fuzz/Check.h"
#include "receiver/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using corvane::component::DriverStore;
using corvane::fuzz::fail;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read back ") + path);
    }
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        fail(QStringLiteral("cannot write ") + path);
    }
}

// Every "hamlib" and "rigctld" entry is read or refused with a message that
// names its driver; nothing else may come of it.
void readHamlibEntries(const corvane::component::DriverTable& table) {
    for (const QJsonObject& entry : table.drivers) {
        const QString kind = entry.value(QLatin1String("kind")).toString();
        if (kind != QLatin1String("hamlib") && kind != QLatin1String("rigctld")) {
            continue;
        }
        try {
            const corvane::component::HamlibEntry read = corvane::component::readHamlibEntry(entry);
            if (read.model <= 0 || read.speed < 0) {
                fail(QStringLiteral("an entry was read with model or speed out of range"));
            }
        } catch (const corvane::receiver::RuntimeError& e) {
            if (!e.description().startsWith(QStringLiteral("driver \""))) {
                fail(QStringLiteral("a refused entry is not named: ") + e.description());
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("Test.json"));
    static const QString again = dir.filePath(QStringLiteral("Again.json"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    writeAll(path, bytes);

    DriverStore store(path);
    const DriverStore::Loaded loaded = store.load();
    if (readAll(path) != bytes) {
        fail(QStringLiteral("loading changed the file"));
    }
    if (!loaded.problem.isEmpty()) {
        if (!loaded.problem.contains(path)) {
            fail(QStringLiteral("the message does not name the file: ") + loaded.problem);
        }
        if (!(loaded.table == DriverStore::defaults())) {
            fail(QStringLiteral("a refused file did not give the default receivers"));
        }
        return 0;
    }
    readHamlibEntries(loaded.table);

    // Accepted: what a save writes reads back as the same table, unknown keys included.
    QFile::remove(again);
    DriverStore(again).save(loaded.table);
    const DriverStore::Loaded reread = DriverStore(again).load();
    if (!reread.problem.isEmpty()) {
        fail(QStringLiteral("a saved table is refused: ") + reread.problem);
    }
    QJsonObject top = loaded.table.top;
    QJsonObject rereadTop = reread.table.top;
    top.remove(QStringLiteral("drivers"));
    rereadTop.remove(QStringLiteral("drivers"));
    if (!(reread.table == loaded.table) || top != rereadTop) {
        fail(QStringLiteral("the table changed over a save: ") + QString::fromUtf8(bytes));
    }
    return 0;
}
