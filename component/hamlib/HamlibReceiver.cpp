#include "component/hamlib/HamlibReceiver.h"
#include "component/hamlib/HamlibEntryReader.h"
#include "component/hamlib/HamlibPluginLoader.h"
#include "component/hamlib/HamlibPort.h"

#include "component/api/HamlibSupport.h"
#include "component/api/UnavailableReceiver.h"
#include "receiver/RuntimeError.h"

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

ReceiverBackend& HamlibReceiver::target() const {
    if (!m_tried) {
        m_tried = true;
        QString problem;
        const HamlibPlugin& plugin = hamlibPlugin();
        if (plugin.support == nullptr) {
            problem = plugin.problem;
        } else {
            HamlibSupport::Made made = plugin.support->create(m_entry, m_relay);
            m_real = std::move(made.backend);
            problem = std::move(made.problem);
        }
        if (!m_real) {
            // Said once on stderr, as for an entry refused when the table was read.
            reportUnavailable(m_entry.name, problem);
            m_none.setReason(problem);
        }
    }
    return m_real ? *m_real : static_cast<ReceiverBackend&>(m_none);
}

// Everything goes to the plugin's backend, made on first use; when it could not
// be made, the stand-in refuses with the reason.

std::optional<QString> HamlibReceiver::refusal(std::string_view operation) const {
    return target().refusal(operation);
}
CapabilitiesPtr HamlibReceiver::capabilities() const {
    return target().capabilities();
}
ReceiverState HamlibReceiver::state() const {
    return target().state();
}
void HamlibReceiver::set(Setting setting, int32_t code, Origin origin) {
    target().set(setting, code, origin);
}
void HamlibReceiver::setFilter(int32_t width, Origin origin) {
    target().setFilter(width, origin);
}
void HamlibReceiver::setFrequency(int32_t hz, Origin origin) {
    target().setFrequency(hz, origin);
}
void HamlibReceiver::setDeltaF(int32_t hz, Origin origin) {
    target().setDeltaF(hz, origin);
}

// Coupling asks every receiver these; a receiver nobody has used stays unmade.
bool HamlibReceiver::connected() const {
    return m_real != nullptr && m_real->connected();
}
bool HamlibReceiver::remote() const {
    return m_real != nullptr && m_real->remote();
}

int32_t HamlibReceiver::connect(bool on) {
    ReceiverBackend& rx = target();
    // Looked at on every connect: what lies at a path may change meanwhile.
    if (on && m_real) {
        if (std::optional<QString> why = radioPortProblem(m_entry)) {
            throw receiver::RuntimeError::componentFailure(*why);
        }
    }
    return rx.connect(on);
}
int32_t HamlibReceiver::setRemote(bool on) {
    return target().setRemote(on);
}
int32_t HamlibReceiver::keyPress(int16_t key) {
    return target().keyPress(key);
}

} // namespace corvane::component
