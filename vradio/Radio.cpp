#include "vradio/Radio.h"

#include <algorithm>

namespace corvane::vradio {

using component::Origin;
using component::Setting;

namespace {

QString key(const QString& name) {
    return name.toUpper().remove(QLatin1Char('-')).remove(QLatin1Char(' '));
}

constexpr int maxRit = 9999;

} // namespace

std::optional<Mode> modeNamed(const QString& name) {
    static const std::pair<const char*, Mode> names[] = {
        {"LSB", Mode::Lsb},   {"USB", Mode::Usb},     {"AM", Mode::Am},
        {"CW", Mode::Cw},     {"CWR", Mode::CwR},     {"RTTY", Mode::Rtty},
        {"FSK", Mode::Rtty},  {"RTTYR", Mode::RttyR}, {"FSKR", Mode::RttyR},
        {"FM", Mode::Fm},     {"WFM", Mode::Wfm},     {"SAM", Mode::Sam},
        {"AMS", Mode::Sam},   {"LSBD", Mode::LsbD},   {"PKTLSB", Mode::LsbD},
        {"USBD", Mode::UsbD}, {"PKTUSB", Mode::UsbD}, {"AMD", Mode::AmD},
        {"PKTAM", Mode::AmD}, {"FMD", Mode::FmD},     {"PKTFM", Mode::FmD}};
    const QString k = key(name);
    for (const auto& [text, mode] : names) {
        if (k == QLatin1String(text)) {
            return mode;
        }
    }
    return std::nullopt;
}

std::optional<Agc> agcNamed(const QString& name) {
    static const std::pair<const char*, Agc> names[] = {
        {"OFF", Agc::Off},   {"SFAST", Agc::SuperFast}, {"SUPERFAST", Agc::SuperFast},
        {"FAST", Agc::Fast}, {"MEDIUM", Agc::Medium},   {"MID", Agc::Medium},
        {"SLOW", Agc::Slow}};
    const QString k = key(name);
    for (const auto& [text, agc] : names) {
        if (k == QLatin1String(text)) {
            return agc;
        }
    }
    return std::nullopt;
}

QString nameOf(Mode mode) {
    static const char* const names[] = {"LSB", "USB", "AM",   "CW",    "CW-R",  "RTTY", "RTTY-R",
                                        "FM",  "WFM", "S-AM", "LSB-D", "USB-D", "AM-D", "FM-D"};
    return QString::fromLatin1(names[static_cast<int>(mode)]);
}

QString nameOf(Agc agc) {
    static const char* const names[] = {"Off", "SFast", "Fast", "Medium", "Slow"};
    return QString::fromLatin1(names[static_cast<int>(agc)]);
}

Radio::Radio(component::Profile profile, component::Clock& clock) : m_profile(std::move(profile)) {
    // The radio is always on and obeys its front panel and its port.
    component::Profile sim = m_profile;
    sim.initial.connected = true;
    sim.initial.remote = true;
    sim.faults = {};
    m_otherFreq = sim.initial.freq;
    m_sim = std::make_unique<component::SimReceiver>(
        std::make_shared<const component::Profile>(std::move(sim)), clock, *this);
}

Radio::~Radio() = default;

void Radio::report(component::ReceiverBackend&, component::ReceiverEvent event) {
    if (event.kind == component::ReceiverEvent::Kind::SMt) {
        m_smeterDbm = event.dBm();
    }
}

bool Radio::changed(bool ok) {
    if (ok && m_onChange) {
        m_onChange();
    }
    return ok;
}

bool Radio::setFreqOf(int vfo, int64_t hz) {
    if (vfo < 0 || vfo > 1 || hz < m_profile.frqMin || hz > m_profile.frqMax) {
        return false;
    }
    if (vfo == m_vfo) {
        m_sim->setFrequency(static_cast<int32_t>(hz), Origin::Program);
    } else {
        m_otherFreq = hz;
    }
    return changed(true);
}

bool Radio::setVfo(int vfo) {
    if (vfo < 0 || vfo > 1) {
        return false;
    }
    if (vfo != m_vfo) {
        const int64_t other = m_otherFreq;
        m_otherFreq = freq();
        m_vfo = vfo;
        m_sim->setFrequency(static_cast<int32_t>(other), Origin::Program);
    }
    return changed(true);
}

std::optional<Mode> Radio::mode() const {
    const int32_t code = m_sim->current(Setting::Mode);
    for (const auto& m : m_profile.modes) {
        if (m.code == code) {
            return modeNamed(m.name);
        }
    }
    return std::nullopt;
}

bool Radio::setMode(Mode mode) {
    for (int32_t i = 0; i < m_sim->count(Setting::Mode); ++i) {
        if (modeNamed(m_sim->name(Setting::Mode, i)) == mode &&
            m_sim->available(Setting::Mode, i)) {
            m_sim->set(Setting::Mode, m_sim->codeAt(Setting::Mode, i), Origin::Program);
            return changed(true);
        }
    }
    return false;
}

std::vector<int32_t> Radio::profileWidths() const {
    std::vector<int32_t> widths;
    for (int32_t i = 0; i < m_sim->filterCount(); ++i) {
        widths.push_back(m_sim->filterWidth(i));
    }
    std::sort(widths.begin(), widths.end(), std::greater<>());
    return widths;
}

std::vector<int32_t> Radio::filters() const {
    std::vector<int32_t> widths = profileWidths();
    const int32_t mode = m_sim->current(Setting::Mode);
    for (size_t i = 0; i < widths.size(); ++i) {
        const auto stored = m_stored.find({mode, static_cast<int>(i)});
        if (stored != m_stored.end()) {
            widths[i] = stored->second;
        }
    }
    return widths;
}

// The simulation keeps the profile's widths: the filter in use is found
// among those, whatever width it has been given since.
int Radio::filterIndex() const {
    const std::vector<int32_t> widths = profileWidths();
    const auto at = std::find(widths.begin(), widths.end(), m_sim->filter());
    return at == widths.end() ? 0 : static_cast<int>(at - widths.begin());
}

bool Radio::setFilterIndex(int index) {
    const std::vector<int32_t> widths = profileWidths();
    if (index < 0 || index >= static_cast<int>(widths.size())) {
        return false;
    }
    m_sim->setFilter(widths[static_cast<size_t>(index)], Origin::Program);
    return changed(true);
}

bool Radio::setFilterWidth(int32_t hz) {
    if (hz <= 0 || m_sim->filterCount() == 0) {
        return false;
    }
    m_stored[{m_sim->current(Setting::Mode), filterIndex()}] = hz;
    return changed(true);
}

std::optional<Agc> Radio::agc() const {
    const int32_t code = m_sim->current(Setting::Agc);
    for (const auto& a : m_profile.agc) {
        if (a.code == code) {
            return agcNamed(a.name);
        }
    }
    return std::nullopt;
}

bool Radio::setAgc(Agc agc) {
    for (int32_t i = 0; i < m_sim->count(Setting::Agc); ++i) {
        if (agcNamed(m_sim->name(Setting::Agc, i)) == agc && m_sim->available(Setting::Agc, i)) {
            m_sim->set(Setting::Agc, m_sim->codeAt(Setting::Agc, i), Origin::Program);
            return changed(true);
        }
    }
    return false;
}

int32_t Radio::agcCode() const {
    return m_sim->current(Setting::Agc);
}

bool Radio::setAgcCode(int32_t code) {
    for (int32_t i = 0; i < m_sim->count(Setting::Agc); ++i) {
        if (m_sim->codeAt(Setting::Agc, i) == code && m_sim->available(Setting::Agc, i)) {
            m_sim->set(Setting::Agc, code, Origin::Program);
            return changed(true);
        }
    }
    return false;
}

int Radio::nb() const {
    const int32_t code = m_sim->current(Setting::NBl);
    for (size_t i = 0; i < m_profile.nb.size(); ++i) {
        if (m_profile.nb[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

bool Radio::setNb(int index) {
    if (index < 0 || index >= m_sim->count(Setting::NBl) ||
        !m_sim->available(Setting::NBl, index)) {
        return false;
    }
    m_sim->set(Setting::NBl, m_sim->codeAt(Setting::NBl, index), Origin::Program);
    return changed(true);
}

int Radio::attDb() const {
    const int32_t code = m_sim->current(Setting::Att);
    for (const auto& a : m_profile.att) {
        if (a.code == code) {
            return a.dB;
        }
    }
    return 0;
}

bool Radio::setAttDb(int dB) {
    for (size_t i = 0; i < m_profile.att.size(); ++i) {
        const auto& a = m_profile.att[i];
        if (a.dB == dB && a.available) {
            m_sim->set(Setting::Att, a.code, Origin::Program);
            return changed(true);
        }
    }
    return false;
}

void Radio::applyRit() {
    m_sim->setDeltaF(m_ritOn ? m_rit : 0, Origin::Program);
}

bool Radio::setRit(int hz) {
    if (hz < -maxRit || hz > maxRit) {
        return false;
    }
    m_rit = hz;
    applyRit();
    return changed(true);
}

void Radio::setRitOn(bool on) {
    m_ritOn = on;
    applyRit();
    changed(true);
}

} // namespace corvane::vradio
