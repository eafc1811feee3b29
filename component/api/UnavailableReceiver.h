#pragma once

#include "component/api/ReceiverBackend.h"

#include <QTextStream>

namespace corvane::component {

// Stands in for a driver entry that could not be turned into a receiver:
// every operation is refused with the reason, and what is asked anyway gets
// the interface's defaults.
class UnavailableReceiver final : public ReceiverBackend {
public:
    UnavailableReceiver(BackendSink& sink, QString reason)
        : ReceiverBackend(sink), m_reason(std::move(reason)) {}

    void setReason(QString reason) { m_reason = std::move(reason); }

    std::optional<QString> refusal(std::string_view) const override {
        return QStringLiteral("is not available: %1").arg(m_reason);
    }

private:
    QString m_reason;
};

// Says on stderr, once per receiver, why a driver entry gives no receiver: the
// operator sees it even without calling. Component's thread.
inline void reportUnavailable(const QString& name, const QString& reason) {
    // Reasons found in the entry itself name the driver already.
    const QString driver = QStringLiteral("driver \"%1\": ").arg(name);
    QTextStream(stderr) << "corvane: " << (reason.startsWith(driver) ? QString() : driver) << reason
                        << Qt::endl;
}

} // namespace corvane::component
