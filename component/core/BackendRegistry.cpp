#include "component/core/BackendRegistry.h"

#include "component/api/UnavailableReceiver.h"
#include "component/hamlib/HamlibReceiver.h"
#include "component/sim/SimReceiver.h"
#include "receiver/RuntimeError.h"

namespace corvane::component {

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

} // namespace corvane::component
