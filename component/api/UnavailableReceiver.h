#pragma once

#include "component/api/ReceiverBackend.h"

#include <QTextStream>

namespace corvane::component {

// Stands in for a driver entry that could not be turned into a receiver.
class UnavailableReceiver final : public ReceiverBackend {
public:
    UnavailableReceiver(BackendSink& sink, QString reason)
        : ReceiverBackend(sink), m_reason(std::move(reason)) {}

    std::optional<QString> refusal(std::string_view) const override {
        return QStringLiteral("is not available: %1").arg(m_reason);
    }

    QString romId() const override { return {}; }
    int32_t frqMin() const override { return 0; }
    int32_t frqMax() const override { return 0; }
    int32_t count(Setting) const override { return 0; }
    QString name(Setting, int32_t) const override { return {}; }
    int32_t codeAt(Setting, int32_t) const override { return -1; }
    bool available(Setting, int32_t) const override { return false; }
    int32_t code(Setting, const QString&) const override { return -1; }
    int32_t current(Setting) const override { return -1; }
    void set(Setting, int32_t, Origin) override {}
    int32_t bfo() const override { return 0; }
    int32_t filterCount() const override { return 0; }
    int32_t filterWidth(int32_t) const override { return 0; }
    QString filterName(int32_t) const override { return {}; }
    int32_t filter() const override { return 0; }
    void setFilter(int32_t, Origin) override {}
    int32_t frequency() const override { return 0; }
    void setFrequency(int32_t, Origin) override {}
    int32_t deltaF() const override { return 0; }
    void setDeltaF(int32_t, Origin) override {}
    bool connected() const override { return false; }
    bool remote() const override { return false; }
    int32_t connect(bool) override { return 1; }
    int32_t setRemote(bool) override { return 1; }
    int32_t keyPress(int16_t) override { return 1; }

private:
    QString m_reason;
};

// Says on stderr, once per receiver, why a driver entry gives no receiver: the
// operator sees it even without calling. Component's thread.
inline void reportUnavailable(const QString& name, const QString& reason) {
    QTextStream(stderr) << "corvane: driver \"" << name << "\": " << reason << Qt::endl;
}

} // namespace corvane::component
