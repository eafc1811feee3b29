// Receiver profiles from arbitrary bytes: either a profile or one component
// failure that names the source; nothing else may come out.
#include "component/sim/Profile.h"
#include "fuzz/Check.h"
#include "receiver/RuntimeError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using corvane::receiver::RuntimeError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QString source = QStringLiteral("fuzz.json");
    try {
        const corvane::component::Profile p = corvane::component::parseProfile(bytes, source);
        // Accepted means taken whole: no entry of a table is dropped on the way.
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        const auto count = [&](const char* key) {
            return static_cast<size_t>(root.value(QLatin1String(key)).toArray().size());
        };
        if (p.modes.size() != count("modes") || p.agc.size() != count("agc") ||
            p.nb.size() != count("nb") || p.att.size() != count("att")) {
            corvane::fuzz::fail(QStringLiteral("entries lost: ") + QString::fromUtf8(bytes));
        }
    } catch (const RuntimeError& e) {
        if (e.number() != RuntimeError::ComponentFailure) {
            corvane::fuzz::fail(
                QStringLiteral("error %1: %2").arg(e.number()).arg(e.description()));
        }
        if (!e.description().startsWith(QStringLiteral("profile fuzz.json: "))) {
            corvane::fuzz::fail(QStringLiteral("message without the source: ") + e.description());
        }
    }
    return 0;
}
