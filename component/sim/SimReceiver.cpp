#include "component/sim/SimReceiver.h"

#include "component/sim/ProfileCache.h"
#include "receiver/RuntimeError.h"

#include <algorithm>
#include <limits>

namespace corvane::component {

namespace {

// What the meter shows with no station in the passband.
constexpr int32_t noiseFloorDbm = -121;
// Spread of the meter's noise, in dB either way.
constexpr int noiseSpreadDb = 2;

// Same start of the noise for the same receiver model on every run.
uint32_t seedOf(const QString& text) {
    uint32_t hash = 2166136261u;
    for (const QChar c : text) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    return hash;
}

} // namespace

SimReceiver::SimReceiver(std::shared_ptr<const Profile> profile, Clock& clock, BackendSink& sink)
    : SimReceiver(
          SharedProfile{profile, std::make_shared<const Capabilities>(capabilitiesOf(*profile))},
          clock, sink) {}

SimReceiver::SimReceiver(SharedProfile profile, Clock& clock, BackendSink& sink)
    : ReceiverBackend(sink), m_shared(std::move(profile.profile)), m_profile(*m_shared),
      m_caps(std::move(profile.caps)), m_clock(clock), m_freq(m_profile.initial.freq),
      m_mode(m_profile.initial.mode), m_filter(m_profile.initial.filter),
      m_agc(m_profile.initial.agc), m_nb(m_profile.initial.nb), m_att(m_profile.initial.att),
      m_deltaF(m_profile.initial.deltaF), m_connected(false), m_remote(false),
      m_noise(seedOf(m_profile.romId)) {
    if (m_profile.initial.connected) {
        // Already up when the component starts: nothing to report, the
        // program reads the state.
        m_connected = true;
        m_remote = m_profile.initial.remote;
        becomeConnected();
    }
}

SimReceiver::~SimReceiver() {
    // The clock outlives receivers; no callback may reach a dead one.
    m_clock.cancel(m_connectTimer);
    stopTimers();
}

std::unique_ptr<ReceiverBackend> SimReceiver::create(const BackendContext& context) {
    const QJsonValue profile = context.entry.value(QLatin1String("profile"));
    if (!profile.isString()) {
        throw receiver::RuntimeError::componentFailure(
            QStringLiteral("driver \"%1\": \"profile\" must be a text")
                .arg(context.entry.value(QLatin1String("name")).toString()));
    }
    return std::make_unique<SimReceiver>(sharedProfile(profile.toString(), context.baseDir),
                                         context.clock, context.sink);
}

std::optional<QString> SimReceiver::refusal(std::string_view operation) const {
    for (const QString& op : m_profile.faults.failOps) {
        if (op == QLatin1String(operation.data(), static_cast<qsizetype>(operation.size()))) {
            return QStringLiteral("does not answer");
        }
    }
    return std::nullopt;
}

// --- state ---

ReceiverState SimReceiver::state() const {
    const Profile::Mode* mode = currentMode();
    return {.frequency = m_freq,
            .deltaF = m_deltaF,
            .mode = m_mode,
            .bfo = mode == nullptr ? 0 : mode->bfo,
            .filter = m_filter,
            .agc = m_agc,
            .nb = m_nb,
            .att = m_att};
}

const Profile::Mode* SimReceiver::currentMode() const {
    // The capabilities keep the profile's order.
    const int32_t at = m_caps->indexOf(Setting::Mode, m_mode);
    return at < 0 ? nullptr : &m_profile.modes[static_cast<size_t>(at)];
}

void SimReceiver::reportChoice(Setting setting, Origin origin) {
    const int32_t code = current(setting);
    report(setting == Setting::Mode
               ? ReceiverEvent::mode(code, bfo(), origin)
               : ReceiverEvent::choice(setting, code, level(setting, code), origin));
}

void SimReceiver::set(Setting setting, int32_t code, Origin origin) {
    if (!obeys() || code == current(setting)) {
        return;
    }
    // Only an entry the receiver offers right now can be chosen.
    const int32_t n = count(setting);
    bool offered = false;
    for (int32_t i = 0; i < n && !offered; ++i) {
        offered = codeAt(setting, i) == code && available(setting, i);
    }
    if (!offered) {
        return;
    }
    switch (setting) {
    case Setting::Agc:
        m_agc = code;
        break;
    case Setting::NBl:
        m_nb = code;
        break;
    case Setting::Att:
        m_att = code;
        break;
    case Setting::Mode: {
        m_mode = code;
        reportChoice(Setting::Mode, origin);
        // A filter or AGC that the new mode lacks gives way to the mode's first.
        const auto& filters = m_caps->filters(m_mode);
        const bool keepFilter = std::any_of(filters.begin(), filters.end(),
                                            [&](const auto& f) { return f.width == m_filter; });
        if (!keepFilter && !filters.empty()) {
            m_filter = filters.front().width;
            report(ReceiverEvent::filter(m_filter, origin));
        }
        const int32_t agcIndex = level(Setting::Agc, m_agc);
        if (agcIndex < 0 || !available(Setting::Agc, agcIndex)) {
            for (int32_t i = 0; i < count(Setting::Agc); ++i) {
                if (available(Setting::Agc, i)) {
                    m_agc = codeAt(Setting::Agc, i);
                    reportChoice(Setting::Agc, origin);
                    break;
                }
            }
        }
        return;
    }
    }
    reportChoice(setting, origin);
}

// --- mode-dependent values ---

void SimReceiver::setFilter(int32_t width, Origin origin) {
    if (!obeys() || width == m_filter || filterName(width).isNull()) {
        // filterName() is null only when no filter has that width; a filter
        // with a blank name gives an empty, non-null text.
        return;
    }
    m_filter = width;
    report(ReceiverEvent::filter(m_filter, origin));
}

// --- tuning ---

void SimReceiver::reportFrequency(Origin origin) {
    const int64_t carrier = static_cast<int64_t>(m_freq) + m_deltaF;
    const auto carr = static_cast<int32_t>(std::clamp<int64_t>(
        carrier, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    report(ReceiverEvent::frequency(m_freq, carr, origin));
}

void SimReceiver::setFrequency(int32_t hz, Origin origin) {
    if (!obeys() || hz == m_freq || hz < m_profile.frqMin || hz > m_profile.frqMax) {
        return;
    }
    m_freq = hz;
    reportFrequency(origin);
}

void SimReceiver::setDeltaF(int32_t hz, Origin origin) {
    if (!obeys() || hz == m_deltaF) {
        return;
    }
    m_deltaF = hz;
    reportFrequency(origin);
}

// --- link ---

int32_t SimReceiver::connect(bool on) {
    if (on) {
        if (!m_connected && m_connectTimer == 0) {
            m_connectTimer = m_clock.start(m_profile.behaviour.connectDelayMs, [this] {
                m_connectTimer = 0;
                m_connected = true;
                becomeConnected();
                report(ReceiverEvent::connState(receiver::linkChanged));
            });
        }
        return 0;
    }
    m_clock.cancel(m_connectTimer);
    m_connectTimer = 0;
    if (m_connected) {
        becomeDisconnected(receiver::linkChanged);
    }
    return 0;
}

int32_t SimReceiver::setRemote(bool on) {
    if (on && !m_connected) {
        return 1; // refused: nothing to control
    }
    if (on != m_remote) {
        m_remote = on;
        report(ReceiverEvent::connState(receiver::linkChanged));
    }
    return 0;
}

int32_t SimReceiver::keyPress(int16_t key) {
    // The simulation has no keypad: characters are only kept for inspection.
    m_typed.append(QChar(static_cast<char16_t>(static_cast<uint16_t>(key))));
    if (m_typed.size() > 256) {
        m_typed.remove(0, m_typed.size() - 256);
    }
    return 0;
}

void SimReceiver::becomeConnected() {
    scheduleSMeter();
    scheduleDataError();
    if (m_profile.faults.dropAfterMs > 0) {
        m_dropTimer = m_clock.start(m_profile.faults.dropAfterMs, [this] {
            m_dropTimer = 0;
            becomeDisconnected(m_profile.faults.dropErr);
        });
    }
}

void SimReceiver::becomeDisconnected(int32_t err) {
    m_connected = false;
    m_remote = false;
    stopTimers();
    report(ReceiverEvent::connState(err));
}

void SimReceiver::stopTimers() {
    for (Clock::TimerId* id : {&m_smeterTimer, &m_dropTimer, &m_dataErrorTimer}) {
        m_clock.cancel(*id);
        *id = 0;
    }
}

void SimReceiver::scheduleSMeter() {
    if (m_profile.behaviour.smeterIntervalMs <= 0) {
        return;
    }
    m_smeterTimer = m_clock.start(m_profile.behaviour.smeterIntervalMs, [this] {
        const smeter::Reading r = smeter::fromDbm(signalDbm());
        report(ReceiverEvent::sMeter(m_freq, r.dBm, r.overS9, r.text));
        scheduleSMeter();
    });
}

void SimReceiver::scheduleDataError() {
    if (m_profile.faults.dataErrorEveryMs <= 0) {
        return;
    }
    m_dataErrorTimer = m_clock.start(m_profile.faults.dataErrorEveryMs, [this] {
        report(ReceiverEvent::dataError(m_profile.faults.dataErr));
        scheduleDataError();
    });
}

int32_t SimReceiver::signalDbm() {
    // The strongest station whose signal overlaps the passband, else the noise.
    int64_t best = noiseFloorDbm;
    for (const auto& st : m_profile.behaviour.stations) {
        const int64_t distance = std::abs(static_cast<int64_t>(st.freq) - m_freq);
        const int64_t reach = (static_cast<int64_t>(std::abs(st.width)) + std::abs(m_filter)) / 2;
        if (distance <= reach) {
            best = std::max<int64_t>(best, st.level);
        }
    }
    const int32_t attIndex = level(Setting::Att, m_att);
    if (attIndex >= 0) {
        best -= m_profile.att[static_cast<size_t>(attIndex)].dB;
    }
    std::uniform_int_distribution<int> noise(-noiseSpreadDb, noiseSpreadDb);
    best += noise(m_noise);
    return static_cast<int32_t>(std::clamp<int64_t>(best, -200, 100));
}

} // namespace corvane::component
