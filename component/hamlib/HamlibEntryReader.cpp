#include "component/hamlib/HamlibEntryReader.h"
#include "component/api/HamlibEntry.h"
#include "component/api/JsonNumber.h"

#include "receiver/RuntimeError.h"

#include <QJsonValue>

#include <optional>

namespace corvane::component {

using receiver::RuntimeError;

namespace {

[[noreturn]] void badEntry(const QString& name, const QString& what) {
    throw RuntimeError::componentFailure(QStringLiteral("driver \"%1\": %2").arg(name, what));
}

// A whole number from a JSON number or a text of digits; nothing for one
// beyond 32 bits, which no model, port or speed comes near.
std::optional<int> wholeNumber(const QJsonValue& v) {
    if (v.isDouble()) {
        return wholeInt32(v);
    }
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

} // namespace

HamlibEntry readHamlibEntry(const QJsonObject& entry) {
    HamlibEntry e;
    e.name = entry.value(QLatin1String("name")).toString();
    e.daemon = entry.value(QLatin1String("kind")).toString() == QLatin1String("rigctld");
    const QJsonValue port = entry.value(QLatin1String("port"));
    if (e.daemon) {
        e.model = netRigctlModel;
        QString host = entry.value(QLatin1String("host")).toString().trimmed();
        if (host.isEmpty()) {
            host = QStringLiteral("127.0.0.1");
        }
        const std::optional<int> number = port.isUndefined() ? 4532 : wholeNumber(port);
        if (!number || *number <= 0 || *number > 65535) {
            badEntry(e.name, QStringLiteral("\"port\" must be a TCP port number"));
        }
        e.pathname = QStringLiteral("%1:%2").arg(host).arg(*number);
        // Hamlib's default waits 10 s per call on a daemon that hangs.
        e.conf = {{QStringLiteral("timeout"), QStringLiteral("1000")},
                  {QStringLiteral("retry"), QStringLiteral("0")}};
    } else {
        const std::optional<int> model = wholeNumber(entry.value(QLatin1String("model")));
        if (!model || *model <= 0) {
            badEntry(e.name, QStringLiteral("\"model\" must be a Hamlib model number"));
        }
        e.model = *model;
        if (!port.isUndefined() && !port.isString()) {
            badEntry(e.name, QStringLiteral("\"port\" must be a device path"));
        }
        e.pathname = port.toString().trimmed();
        // Left out, Hamlib takes the model's default; given empty, Hamlib
        // would take the same default without a word and time out on it.
        if (port.isString() && e.pathname.isEmpty()) {
            badEntry(e.name, QStringLiteral("\"port\" is empty: name the radio's device, or "
                                            "leave \"port\" out for Hamlib's default"));
        }
        const QJsonValue speed = entry.value(QLatin1String("speed"));
        if (!speed.isUndefined()) {
            const std::optional<int> baud = wholeNumber(speed);
            if (!baud || *baud < 0) {
                badEntry(e.name, QStringLiteral("\"speed\" must be a number of baud"));
            }
            e.speed = *baud;
        }
    }
    const QJsonValue extra = entry.value(QLatin1String("conf"));
    if (!extra.isUndefined() && !extra.isObject()) {
        badEntry(e.name, QStringLiteral("\"conf\" must be an object of Hamlib settings"));
    }
    const QJsonObject confObject = extra.toObject();
    for (auto it = confObject.begin(); it != confObject.end(); ++it) {
        const QJsonValue v = it.value();
        if (!v.isDouble() && !v.isString() && !v.isBool()) {
            badEntry(e.name,
                     QStringLiteral("conf \"%1\" must be a text or a number").arg(it.key()));
        }
        const QString text = v.isBool()     ? QString::number(v.toBool() ? 1 : 0)
                             : v.isDouble() ? QString::number(v.toDouble())
                                            : v.toString();
        e.conf.emplace_back(it.key(), text);
    }
    return e;
}

} // namespace corvane::component
