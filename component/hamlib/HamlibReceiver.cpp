#include "component/hamlib/HamlibEntryReader.h"
#include "component/hamlib/HamlibPlugin.h"
#include "component/hamlib/HamlibReceiver.h"

#include "component/api/UnavailableReceiver.h"
#include "component/api/HamlibSupport.h"

namespace corvane::component {

HamlibReceiver::HamlibReceiver(HamlibEntry entry, BackendSink& sink)
    : ReceiverBackend(sink), m_entry(std::move(entry)) {}

HamlibReceiver::~HamlibReceiver() = default;

std::unique_ptr<ReceiverBackend> HamlibReceiver::create(const BackendContext& context) {
    return std::make_unique<HamlibReceiver>(readHamlibEntry(context.entry), context.sink);
}

void HamlibReceiver::Relay::report(ReceiverBackend&, ReceiverEvent event) {
    m_owner.report(std::move(event));
}

ReceiverBackend* HamlibReceiver::real() const {
    if (!m_tried) {
        m_tried = true;
        const HamlibPlugin& plugin = hamlibPlugin();
        if (plugin.support == nullptr) {
            m_problem = plugin.problem;
        } else {
            HamlibSupport::Made made = plugin.support->create(m_entry, m_relay);
            m_real = std::move(made.backend);
            m_problem = std::move(made.problem);
        }
        if (!m_real) {
            // Said once on stderr, as for an entry refused when the table was read.
            reportUnavailable(m_entry.name, m_problem);
        }
    }
    return m_real.get();
}

std::optional<QString> HamlibReceiver::refusal(std::string_view operation) const {
    if (ReceiverBackend* rx = real()) {
        return rx->refusal(operation);
    }
    return QStringLiteral("is not available: %1").arg(m_problem);
}

// The rest answers as a receiver without tables would when the backend could
// not be made; the component has refused the operation before it gets here.

QString HamlibReceiver::romId() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->romId() : QString();
}

int32_t HamlibReceiver::frqMin() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->frqMin() : 0;
}

int32_t HamlibReceiver::frqMax() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->frqMax() : 0;
}

int32_t HamlibReceiver::count(Setting setting) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->count(setting) : 0;
}

QString HamlibReceiver::name(Setting setting, int32_t i) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->name(setting, i) : QString();
}

int32_t HamlibReceiver::codeAt(Setting setting, int32_t i) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->codeAt(setting, i) : -1;
}

bool HamlibReceiver::available(Setting setting, int32_t i) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr && rx->available(setting, i);
}

int32_t HamlibReceiver::code(Setting setting, const QString& name) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->code(setting, name) : -1;
}

int32_t HamlibReceiver::current(Setting setting) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->current(setting) : -1;
}

void HamlibReceiver::set(Setting setting, int32_t code, Origin origin) {
    if (ReceiverBackend* rx = real()) {
        rx->set(setting, code, origin);
    }
}

int32_t HamlibReceiver::bfo() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->bfo() : 0;
}

int32_t HamlibReceiver::filterCount() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->filterCount() : 0;
}

int32_t HamlibReceiver::filterWidth(int32_t i) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->filterWidth(i) : 0;
}

QString HamlibReceiver::filterName(int32_t width) const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->filterName(width) : QString();
}

int32_t HamlibReceiver::filter() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->filter() : 0;
}

void HamlibReceiver::setFilter(int32_t width, Origin origin) {
    if (ReceiverBackend* rx = real()) {
        rx->setFilter(width, origin);
    }
}

int32_t HamlibReceiver::frequency() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->frequency() : 0;
}

void HamlibReceiver::setFrequency(int32_t hz, Origin origin) {
    if (ReceiverBackend* rx = real()) {
        rx->setFrequency(hz, origin);
    }
}

int32_t HamlibReceiver::deltaF() const {
    const ReceiverBackend* rx = real();
    return rx != nullptr ? rx->deltaF() : 0;
}

void HamlibReceiver::setDeltaF(int32_t hz, Origin origin) {
    if (ReceiverBackend* rx = real()) {
        rx->setDeltaF(hz, origin);
    }
}

bool HamlibReceiver::connected() const {
    // Coupling asks every receiver this; a receiver nobody has used stays unmade.
    return m_real != nullptr && m_real->connected();
}

bool HamlibReceiver::remote() const {
    return m_real != nullptr && m_real->remote();
}

int32_t HamlibReceiver::connect(bool on) {
    ReceiverBackend* rx = real();
    return rx != nullptr ? rx->connect(on) : 1;
}

int32_t HamlibReceiver::setRemote(bool on) {
    ReceiverBackend* rx = real();
    return rx != nullptr ? rx->setRemote(on) : 1;
}

int32_t HamlibReceiver::keyPress(int16_t key) {
    ReceiverBackend* rx = real();
    return rx != nullptr ? rx->keyPress(key) : 1;
}

} // namespace corvane::component
