// The operations of the component: argument checks, tracing, and the call to
// the receiver's backend. Events and the driver table live in their own files.
#include "component/core/CorvaneComponent.h"

#include "component/json/JsonText.h"
#include "receiver/Int16.h"
#include "receiver/RuntimeError.h"
#include "receiver/Saturate.h"

#include <type_traits>

// Resources of a static library must be registered by hand, and the macro
// only works outside any namespace.
static void registerProfileResources() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::component {

using receiver::RuntimeError;

namespace {

template <typename T> QString resultText(const T& value) {
    if constexpr (std::is_same_v<T, QString>) {
        return quoted(value);
    } else {
        return QString::number(value);
    }
}

const char* plural(Setting setting) {
    switch (setting) {
    case Setting::Mode:
        return "modes";
    case Setting::Agc:
        return "AGC settings";
    case Setting::NBl:
        return "noise-blanker settings";
    case Setting::Att:
    default:
        return "attenuator settings";
    }
}

std::optional<QString> traceTarget(const std::optional<QString>& option) {
    if (option) {
        return option;
    }
    return qEnvironmentVariable("CORVANE_TRACE");
}

} // namespace

CorvaneComponent::CorvaneComponent(Options options, QObject* parent)
    : receiver::Component(parent),
      m_clock(options.clock ? std::move(options.clock) : std::make_shared<RealClock>()),
      m_configHome(std::move(options.configHome)), m_runDialog(std::move(options.runDialog)),
      m_registry(options.registry ? std::move(*options.registry) : BackendRegistry::withBuiltins()),
      m_trace(*traceTarget(options.tracePath)) {
    registerProfileResources();
}

CorvaneComponent::~CorvaneComponent() {
    // Backends cancel their timers on the clock; they go before it.
    m_slots.clear();
}

template <typename Result, typename Body>
Result CorvaneComponent::traced(const char* op, std::initializer_list<TraceArg> args, Body&& body) {
    if (!m_trace.on()) {
        return body();
    }
    try {
        Result result = body();
        m_trace.call(op, args, QStringLiteral(" -> ") + resultText(result));
        return result;
    } catch (const RuntimeError& e) {
        m_trace.call(op, args, QStringLiteral(" !! ") + e.description());
        throw;
    } catch (const std::exception& e) {
        // Not one of ours (out of memory...), but it ends the caller all the
        // same: the trace says so too.
        m_trace.call(op, args, QStringLiteral(" !! ") + QString::fromLocal8Bit(e.what()));
        throw;
    }
}

template <typename Body>
void CorvaneComponent::tracedSet(const char* op, std::initializer_list<TraceArg> args,
                                 int32_t value, Body&& body) {
    if (!m_trace.on()) {
        body();
        return;
    }
    const QString set = QStringLiteral(" <- %1").arg(value);
    try {
        body();
        m_trace.call(op, args, set);
    } catch (const RuntimeError& e) {
        m_trace.call(op, args, set + QStringLiteral(" !! ") + e.description());
        throw;
    }
}

ReceiverBackend& CorvaneComponent::backendAt(int16_t index, const char* operation) const {
    if (index < 0 || static_cast<size_t>(index) >= m_slots.size()) {
        throw RuntimeError::componentFailure(
            QStringLiteral("receiver %1 does not exist (%2 in the table)")
                .arg(index)
                .arg(m_slots.size()));
    }
    ReceiverBackend& rx = *m_slots[static_cast<size_t>(index)].backend;
    if (const std::optional<QString> why = rx.refusal(operation)) {
        throw RuntimeError::componentFailure(QStringLiteral("receiver %1 %2").arg(index).arg(*why));
    }
    return rx;
}

ReceiverBackend* CorvaneComponent::backend(int16_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_slots.size()) {
        return nullptr;
    }
    return m_slots[static_cast<size_t>(index)].backend.get();
}

// --- driver table ---

int32_t CorvaneComponent::DrvSetup(const QString& application, int16_t dialog) {
    return traced<int32_t>("DrvSetup", {application, dialog},
                           [&] { return setup(application, dialog); });
}

int16_t CorvaneComponent::DrvCount() {
    return traced<int16_t>("DrvCount", {},
                           [&] { return receiver::toInt16(static_cast<int32_t>(m_slots.size())); });
}

QString CorvaneComponent::DrvName(int16_t i) {
    return traced<QString>("DrvName", {i}, [&] {
        if (i < 0 || i >= m_table.drivers.size()) {
            throw RuntimeError::componentFailure(
                QStringLiteral("there is no driver %1 (%2 in the table)")
                    .arg(i)
                    .arg(m_table.drivers.size()));
        }
        return m_table.name(i);
    });
}

// --- commands ---

int32_t CorvaneComponent::RxConfigure(int16_t index) {
    return traced<int32_t>("RxConfigure", {index}, [&] { return configure(index); });
}

int32_t CorvaneComponent::RxConnect(int16_t index, int16_t state) {
    return traced<int32_t>("RxConnect", {index, state},
                           [&] { return backendAt(index, "RxConnect").connect(state != 0); });
}

int32_t CorvaneComponent::RxRemote(int16_t index, int16_t state) {
    return traced<int32_t>("RxRemote", {index, state},
                           [&] { return backendAt(index, "RxRemote").setRemote(state != 0); });
}

int32_t CorvaneComponent::RxKeyPress(int16_t index, int16_t keyAscii) {
    return traced<int32_t>("RxKeyPress", {index, keyAscii},
                           [&] { return backendAt(index, "RxKeyPress").keyPress(keyAscii); });
}

// --- state ---

int32_t CorvaneComponent::RxConnected(int16_t index) {
    return traced<int32_t>("RxConnected", {index}, [&] {
        return backendAt(index, "RxConnected").connected() ? receiver::comTrue : 0;
    });
}

int32_t CorvaneComponent::RxIsRemote(int16_t index) {
    return traced<int32_t>("RxIsRemote", {index}, [&] {
        return backendAt(index, "RxIsRemote").remote() ? receiver::comTrue : 0;
    });
}

QString CorvaneComponent::RxRomId(int16_t index) {
    return traced<QString>("RxRomId", {index}, [&] { return backendAt(index, "RxRomId").romId(); });
}

int32_t CorvaneComponent::RxFrqMax(int16_t index) {
    return traced<int32_t>("RxFrqMax", {index},
                           [&] { return backendAt(index, "RxFrqMax").frqMax(); });
}

int32_t CorvaneComponent::RxFrqMin(int16_t index) {
    return traced<int32_t>("RxFrqMin", {index},
                           [&] { return backendAt(index, "RxFrqMin").frqMin(); });
}

int32_t CorvaneComponent::RxBfo(int16_t index) {
    return traced<int32_t>("RxBfo", {index}, [&] { return backendAt(index, "RxBfo").bfo(); });
}

namespace {
void checkVfo(int16_t index, int16_t vfo) {
    if (vfo != 0) {
        throw RuntimeError::componentFailure(
            QStringLiteral("receiver %1 has no VFO %2 (only VFO 0)").arg(index).arg(vfo));
    }
}
} // namespace

int32_t CorvaneComponent::RxFrq(int16_t index, int16_t vfo) {
    return traced<int32_t>("RxFrq", {index, vfo}, [&] {
        ReceiverBackend& rx = backendAt(index, "RxFrq");
        checkVfo(index, vfo);
        return rx.frequency();
    });
}

namespace {
ReceiverEvent frequencyHeld(const ReceiverBackend& rx) {
    return ReceiverEvent::frequency(
        rx.frequency(), receiver::saturate<int32_t>(int64_t{rx.frequency()} + rx.deltaF()),
        Origin::Program);
}
} // namespace

void CorvaneComponent::setRxFrq(int16_t index, int16_t vfo, int32_t frequency) {
    tracedSet("RxFrq", {index, vfo}, frequency, [&] {
        ReceiverBackend& rx = backendAt(index, "RxFrq");
        checkVfo(index, vfo);
        refuseUnlessRemote(index, rx, frequency != rx.frequency(), frequencyHeld(rx));
        rx.setFrequency(frequency, Origin::Program);
    });
}

void CorvaneComponent::setRxDeltaF(int16_t index, int32_t deltaF) {
    tracedSet("RxDeltaF", {index}, deltaF, [&] {
        ReceiverBackend& rx = backendAt(index, "RxDeltaF");
        refuseUnlessRemote(index, rx, deltaF != rx.deltaF(), frequencyHeld(rx));
        rx.setDeltaF(deltaF, Origin::Program);
    });
}

// Every window's selection writes back the value in force, so only a set that
// would change something is refused. Refused for every kind of receiver here,
// before its backend sees it: the window, which enables a list whenever it
// reloads it, shows the pick until it hears what the receiver still holds.
// Straight into the queue: what a receiver already holds is no change to
// forward.
void CorvaneComponent::refuseUnlessRemote(int16_t index, const ReceiverBackend& rx, bool changes,
                                          const ReceiverEvent& holds) {
    if (!changes || rx.remote()) {
        return;
    }
    const uint64_t slot = m_slots[static_cast<size_t>(index)].id;
    enqueue({slot, ReceiverEvent::dataError(notUnderRemoteControl, Origin::Program)});
    enqueue({slot, holds});
    throw RuntimeError::componentFailure(
        QStringLiteral("receiver %1 is not under remote control").arg(index));
}

// --- the four enumerated settings share one implementation ---

int16_t CorvaneComponent::tableCount(int16_t index, Setting setting, const char* op) {
    return traced<int16_t>(op, {index},
                           [&] { return receiver::toInt16(backendAt(index, op).count(setting)); });
}

namespace {
void checkEntry(const ReceiverBackend& rx, int16_t index, Setting setting, int32_t i) {
    const int32_t n = rx.count(setting);
    if (i < 0 || i >= n) {
        throw RuntimeError::componentFailure(QStringLiteral("receiver %1 has no entry %2 (%3 %4)")
                                                 .arg(index)
                                                 .arg(i)
                                                 .arg(n)
                                                 .arg(QLatin1String(plural(setting))));
    }
}
} // namespace

int32_t CorvaneComponent::tableAvail(int16_t index, Setting setting, int32_t i, const char* op) {
    return traced<int32_t>(op, {index, i}, [&] {
        const ReceiverBackend& rx = backendAt(index, op);
        checkEntry(rx, index, setting, i);
        return rx.available(setting, i) ? receiver::comTrue : 0;
    });
}

QString CorvaneComponent::tableName(int16_t index, Setting setting, int32_t i, const char* op) {
    return traced<QString>(op, {index, i}, [&] {
        const ReceiverBackend& rx = backendAt(index, op);
        checkEntry(rx, index, setting, i);
        return rx.name(setting, i);
    });
}

int32_t CorvaneComponent::tableCode(int16_t index, Setting setting, const QString& name,
                                    const char* op) {
    return traced<int32_t>(op, {index, name},
                           [&] { return backendAt(index, op).code(setting, name); });
}

int32_t CorvaneComponent::tableCurrent(int16_t index, Setting setting, const char* op) {
    return traced<int32_t>(op, {index}, [&] { return backendAt(index, op).current(setting); });
}

void CorvaneComponent::tableSet(int16_t index, Setting setting, int32_t code, const char* op) {
    tracedSet(op, {index}, code, [&] {
        ReceiverBackend& rx = backendAt(index, op);
        const int32_t held = rx.current(setting);
        refuseUnlessRemote(index, rx, code != held,
                           setting == Setting::Mode
                               ? ReceiverEvent::mode(held, rx.bfo(), Origin::Program)
                               : ReceiverEvent::choice(setting, held,
                                                       rx.capabilities()->indexOf(setting, held),
                                                       Origin::Program));
        rx.set(setting, code, Origin::Program);
    });
}

// clang-format off
int16_t CorvaneComponent::RxModCount(int16_t index) { return tableCount(index, Setting::Mode, "RxModCount"); }
int32_t CorvaneComponent::RxModAvail(int16_t index, int32_t i) { return tableAvail(index, Setting::Mode, i, "RxModAvail"); }
QString CorvaneComponent::RxModName(int16_t index, int32_t i) { return tableName(index, Setting::Mode, i, "RxModName"); }
int32_t CorvaneComponent::RxModCode(int16_t index, const QString& name) { return tableCode(index, Setting::Mode, name, "RxModCode"); }
int32_t CorvaneComponent::RxMod(int16_t index) { return tableCurrent(index, Setting::Mode, "RxMod"); }
void CorvaneComponent::setRxMod(int16_t index, int32_t code) { tableSet(index, Setting::Mode, code, "RxMod"); }

int16_t CorvaneComponent::RxAgcCount(int16_t index) { return tableCount(index, Setting::Agc, "RxAgcCount"); }
int32_t CorvaneComponent::RxAgcAvail(int16_t index, int32_t i) { return tableAvail(index, Setting::Agc, i, "RxAgcAvail"); }
QString CorvaneComponent::RxAgcName(int16_t index, int32_t i) { return tableName(index, Setting::Agc, i, "RxAgcName"); }
int32_t CorvaneComponent::RxAgcCode(int16_t index, const QString& name) { return tableCode(index, Setting::Agc, name, "RxAgcCode"); }
int32_t CorvaneComponent::RxAgc(int16_t index) { return tableCurrent(index, Setting::Agc, "RxAgc"); }
void CorvaneComponent::setRxAgc(int16_t index, int32_t code) { tableSet(index, Setting::Agc, code, "RxAgc"); }

int16_t CorvaneComponent::RxNBlCount(int16_t index) { return tableCount(index, Setting::NBl, "RxNBlCount"); }
int32_t CorvaneComponent::RxNBlAvail(int16_t index, int32_t i) { return tableAvail(index, Setting::NBl, i, "RxNBlAvail"); }
QString CorvaneComponent::RxNBlName(int16_t index, int32_t i) { return tableName(index, Setting::NBl, i, "RxNBlName"); }
int32_t CorvaneComponent::RxNBlCode(int16_t index, const QString& name) { return tableCode(index, Setting::NBl, name, "RxNBlCode"); }
int32_t CorvaneComponent::RxNBl(int16_t index) { return tableCurrent(index, Setting::NBl, "RxNBl"); }
void CorvaneComponent::setRxNBl(int16_t index, int32_t code) { tableSet(index, Setting::NBl, code, "RxNBl"); }

int16_t CorvaneComponent::RxAttCount(int16_t index) { return tableCount(index, Setting::Att, "RxAttCount"); }
int32_t CorvaneComponent::RxAttAvail(int16_t index, int32_t i) { return tableAvail(index, Setting::Att, i, "RxAttAvail"); }
QString CorvaneComponent::RxAttName(int16_t index, int32_t i) { return tableName(index, Setting::Att, i, "RxAttName"); }
int32_t CorvaneComponent::RxAttCode(int16_t index, const QString& name) { return tableCode(index, Setting::Att, name, "RxAttCode"); }
int32_t CorvaneComponent::RxAtt(int16_t index) { return tableCurrent(index, Setting::Att, "RxAtt"); }
void CorvaneComponent::setRxAtt(int16_t index, int32_t code) { tableSet(index, Setting::Att, code, "RxAtt"); }
// clang-format on

// --- filters of the current mode ---

int16_t CorvaneComponent::RxFltCount(int16_t index) {
    return traced<int16_t>("RxFltCount", {index}, [&] {
        return receiver::toInt16(backendAt(index, "RxFltCount").filterCount());
    });
}

int32_t CorvaneComponent::RxFltWidth(int16_t index, int16_t i) {
    return traced<int32_t>("RxFltWidth", {index, i}, [&] {
        const ReceiverBackend& rx = backendAt(index, "RxFltWidth");
        const int32_t n = rx.filterCount();
        if (i < 0 || i >= n) {
            throw RuntimeError::componentFailure(
                QStringLiteral("receiver %1 has no filter %2 (%3 in this mode)")
                    .arg(index)
                    .arg(i)
                    .arg(n));
        }
        return rx.filterWidth(i);
    });
}

QString CorvaneComponent::RxFltName(int16_t index, int16_t bandwidth) {
    return traced<QString>("RxFltName", {index, bandwidth}, [&] {
        const QString name = backendAt(index, "RxFltName").filterName(bandwidth);
        // Inside, a null text marks a width no filter of the mode has (the
        // backends' filter sets refuse by it); the program is answered the
        // empty text for that, as for a filter with a blank name.
        return name.isNull() ? QString(QLatin1String("")) : name;
    });
}

int32_t CorvaneComponent::RxFlt(int16_t index) {
    return traced<int32_t>("RxFlt", {index}, [&] { return backendAt(index, "RxFlt").filter(); });
}

void CorvaneComponent::setRxFlt(int16_t index, int32_t bandwidth) {
    tracedSet("RxFlt", {index}, bandwidth, [&] {
        ReceiverBackend& rx = backendAt(index, "RxFlt");
        refuseUnlessRemote(index, rx, bandwidth != rx.filter(),
                           ReceiverEvent::filter(rx.filter(), Origin::Program));
        rx.setFilter(bandwidth, Origin::Program);
    });
}

// --- forwarding switch ---

void CorvaneComponent::setDrvForward(qint16 value) {
    m_forward = value;
    if (m_trace.on()) {
        m_trace.property("DrvForward", value);
    }
}

} // namespace corvane::component
