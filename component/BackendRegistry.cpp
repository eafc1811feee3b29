#include "component/BackendRegistry.h"

#include "component/HamlibReceiver.h"
#include "component/SimReceiver.h"
#include "receiver/RuntimeError.h"

#include <QTextStream>

namespace corvane::component {

namespace {

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

} // namespace

BackendRegistry BackendRegistry::withBuiltins() {
    BackendRegistry registry;
    registry.add(QStringLiteral("sim"), &SimReceiver::create);
    registry.add(QStringLiteral("hamlib"), &HamlibReceiver::create);
    registry.add(QStringLiteral("rigctld"), &HamlibReceiver::create);
    return registry;
}

void BackendRegistry::add(const QString& kind, BackendFactory factory) {
    m_factories[kind] = std::move(factory);
}

QStringList BackendRegistry::kinds() const {
    QStringList out;
    for (const auto& [kind, factory] : m_factories) {
        out.append(kind);
    }
    return out;
}

std::unique_ptr<ReceiverBackend> BackendRegistry::create(const BackendContext& context) const {
    const QString kind = context.entry.value(QLatin1String("kind")).toString();
    const QString name = context.entry.value(QLatin1String("name")).toString();
    QString reason;
    const auto it = m_factories.find(kind);
    if (it == m_factories.end()) {
        reason = QStringLiteral("unknown driver kind \"%1\"").arg(kind);
    } else {
        try {
            return it->second(context);
        } catch (const receiver::RuntimeError& e) {
            reason = e.description();
        }
    }
    reportUnavailable(name, reason);
    return std::make_unique<UnavailableReceiver>(context.sink, reason);
}

void reportUnavailable(const QString& name, const QString& reason) {
    // Reasons found in the entry itself name the driver already.
    const QString driver = QStringLiteral("driver \"%1\": ").arg(name);
    QTextStream(stderr) << "corvane: " << (reason.startsWith(driver) ? QString() : driver) << reason
                        << Qt::endl;
}

} // namespace corvane::component
