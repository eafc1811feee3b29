// The driver table from arbitrary file contents: loading never changes the
// file, a refused file names itself and gives the default receivers, and an
// accepted one comes back the same after a save.
#include "component/store/DriverStore.h"
#include "fuzz/Check.h"

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
