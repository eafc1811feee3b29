// Kenwood CAT: text commands of two letters and parameters, each ended by
// ";". A read (the letters alone, or with a selector) is answered with the
// same letters and the value; a set is not answered at all; what the radio
// does not understand or refuses is answered "?;".
#include "vradio/KenwoodEngine.h"

#include <algorithm>

namespace corvane::vradio {

namespace {

constexpr int longestCommand = 64;

const std::pair<char, Mode> kenwoodModes[] = {
    {'1', Mode::Lsb}, {'2', Mode::Usb},  {'3', Mode::Cw},  {'4', Mode::Fm},
    {'5', Mode::Am},  {'6', Mode::Rtty}, {'7', Mode::CwR}, {'9', Mode::RttyR}};

// AGC time constants 0..20 for a profile that names its AGC: 0 is off, then
// fast to slow.
const std::pair<int, Agc> timeConstants[] = {
    {0, Agc::Off}, {5, Agc::Fast}, {10, Agc::Medium}, {20, Agc::Slow}};

// The modes whose passband is a width (FW, in Hz); the others have a high
// and a low cut (SH, SL: positions in the radio's table).
bool widthMode(std::optional<Mode> mode) {
    return mode == Mode::Cw || mode == Mode::CwR || mode == Mode::Rtty || mode == Mode::RttyR;
}

// Low-cut positions: 0..11 (0 to 1000 Hz), on AM 0..3.
int lowCuts(std::optional<Mode> mode) {
    return mode == Mode::Am ? 4 : 12;
}

std::optional<int64_t> number(const QByteArray& digits, int length) {
    if (digits.size() != length || length == 0 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return digits.toLongLong();
}

QByteArray padded(int64_t value, int width) {
    return QByteArray::number(static_cast<qlonglong>(value)).rightJustified(width, '0');
}

} // namespace

Output KenwoodEngine::feed(const QByteArray& bytes) {
    Output out;
    m_in.append(bytes);
    for (qsizetype end; (end = m_in.indexOf(';')) >= 0;) {
        const QByteArray command = m_in.left(end).trimmed();
        m_in.remove(0, end + 1);
        out.reply.append(handle(command));
    }
    if (m_in.size() > longestCommand) {
        m_in.clear();
        out.reply.append("?;");
    }
    return out;
}

QByteArray KenwoodEngine::handle(const QByteArray& command) {
    Answer a = answer(command.left(2), command.mid(2));
    const QByteArray reply = a.text.isNull() ? QByteArray() : a.text + ';';
    hear(command, a.write, reply == "?;");
    return reply;
}

KenwoodEngine::Answer KenwoodEngine::set(bool accepted) {
    return {accepted ? QByteArray() : QByteArray("?"), true};
}

QByteArray KenwoodEngine::modeDigit() const {
    const std::optional<Mode> mode = m_radio.mode();
    for (const auto& [digit, m] : kenwoodModes) {
        if (mode == m) {
            return QByteArray(1, digit);
        }
    }
    return "0";
}

QByteArray KenwoodEngine::information() const {
    const int rit = m_radio.rit();
    QByteArray out = "IF";
    out += padded(m_radio.freq(), 11);
    out += "0000";                                           // tuning step
    out += (rit < 0 ? '-' : '+') + padded(std::abs(rit), 5); // RIT/XIT offset
    out += m_radio.ritOn() ? '1' : '0';
    out += "0";   // XIT
    out += "000"; // memory channel
    out += "0";   // receiving
    out += modeDigit();
    out += QByteArray::number(m_radio.vfo());
    out += "0";  // not scanning
    out += "0";  // simplex
    out += "0";  // no tone
    out += "00"; // tone number
    out += "0";  // no shift
    return out;
}

QByteArray KenwoodEngine::announce() {
    return m_autoInformation ? information() + ';' : QByteArray();
}

bool KenwoodEngine::numberedAgc() const {
    const auto& agc = m_radio.profile().agc;
    return !agc.empty() && std::all_of(agc.begin(), agc.end(), [](const auto& a) {
        return a.code >= 0 && a.code <= 20 &&
               (a.name == QString::number(a.code) || (a.code == 0 && agcNamed(a.name) == Agc::Off));
    });
}

KenwoodEngine::Answer KenwoodEngine::agc(const QByteArray& p) {
    const int width = m_model.gtDigits;
    const auto value = number(p, width);
    if (numberedAgc()) {
        // The radio's own table: each time constant is an entry, by its code.
        if (p.isEmpty()) {
            return {"GT" + padded(m_radio.agcCode(), width)};
        }
        return set(value.has_value() && *value <= 20 &&
                   m_radio.setAgcCode(static_cast<int32_t>(*value)));
    }
    // A profile that names its AGC: each name stands for a time constant.
    if (p.isEmpty()) {
        const std::optional<Agc> now = m_radio.agc();
        for (const auto& [constant, agc] : timeConstants) {
            if (now == agc) {
                return {"GT" + padded(constant, width)};
            }
        }
        return {"?"};
    }
    if (!value || *value > 20) {
        return set(false);
    }
    // The nearest of the constants this receiver has a name for.
    const Agc agc = *value == 0    ? Agc::Off
                    : *value <= 7  ? Agc::Fast
                    : *value <= 14 ? Agc::Medium
                                   : Agc::Slow;
    return set(m_radio.setAgc(agc));
}

KenwoodEngine::Answer KenwoodEngine::filter(const QByteArray& cmd, const QByteArray& p) {
    const std::optional<Mode> mode = m_radio.mode();
    std::vector<int32_t> widths = m_radio.filters();
    std::reverse(widths.begin(), widths.end()); // the radio's positions, narrowest first
    const int32_t now =
        widths.empty() ? 0 : widths[widths.size() - 1 - size_t(m_radio.filterIndex())];
    if (cmd == "FW") {
        if (!widthMode(mode)) {
            // High and low cut in force: the width reads as 0000, and is no setting.
            return p.isEmpty() ? Answer{"FW0000"} : set(false);
        }
        if (p.isEmpty()) {
            return {"FW" + padded(now, 4)};
        }
        const auto hz = number(p, 4);
        const auto at = hz ? std::find(widths.begin(), widths.end(), *hz) : widths.end();
        return set(at != widths.end() && setWidth(*at));
    }
    if (widthMode(mode) || !mode) {
        return p.isEmpty() ? Answer{"?"} : set(false);
    }
    if (cmd == "SH") {
        if (p.isEmpty()) {
            const auto at = std::find(widths.begin(), widths.end(), now);
            return {"SH" + padded(at - widths.begin(), 2)};
        }
        const auto position = number(p, 2);
        return set(position.has_value() && *position < int64_t(widths.size()) &&
                   setWidth(widths[size_t(*position)]));
    }
    // SL: the low cut, kept per mode; the simulated passband is the high cut's.
    int& low = m_lowCut[static_cast<int>(*mode)];
    if (p.isEmpty()) {
        return {"SL" + padded(low, 2)};
    }
    const auto position = number(p, 2);
    if (!position || *position >= lowCuts(mode)) {
        return set(false);
    }
    low = static_cast<int>(*position);
    return set(true);
}

bool KenwoodEngine::setWidth(int32_t width) {
    const auto widths = m_radio.filters();
    const auto at = std::find(widths.begin(), widths.end(), width);
    return at != widths.end() && m_radio.setFilterIndex(static_cast<int>(at - widths.begin()));
}

KenwoodEngine::Answer KenwoodEngine::rit(const QByteArray& cmd, const QByteArray& p) {
    if (cmd == "RT") {
        if (p.isEmpty()) {
            return {"RT" + QByteArray(m_radio.ritOn() ? "1" : "0")};
        }
        if (p != "0" && p != "1") {
            return set(false);
        }
        m_radio.setRitOn(p == "1");
        return set(true);
    }
    if (cmd == "RC") {
        return set(p.isEmpty() && m_radio.setRit(0));
    }
    // RU / RD: up or down by the given Hz, or by one 10 Hz step.
    const auto step = p.isEmpty() ? std::optional<int64_t>(10) : number(p, 5);
    if (!step) {
        return set(false);
    }
    const int delta = static_cast<int>(cmd == "RU" ? *step : -*step);
    return set(m_radio.setRit(m_radio.rit() + delta));
}

KenwoodEngine::Answer KenwoodEngine::answer(const QByteArray& cmd, const QByteArray& p) {
    if (cmd == "FA" || cmd == "FB") {
        const int vfo = cmd == "FA" ? 0 : 1;
        if (p.isEmpty()) {
            return {cmd + padded(m_radio.freqOf(vfo), 11)};
        }
        const auto hz = number(p, 11);
        return set(hz.has_value() && m_radio.setFreqOf(vfo, *hz));
    }
    if (cmd == "FR" || cmd == "FT") {
        if (p.isEmpty()) {
            return {cmd + QByteArray::number(m_radio.vfo())};
        }
        if (p != "0" && p != "1") {
            return set(false);
        }
        // No split: the transmit VFO is the receive VFO; FT to the other is refused.
        return set(cmd == "FR" ? m_radio.setVfo(p.toInt()) : p.toInt() == m_radio.vfo());
    }
    if (cmd == "MD") {
        if (p.isEmpty()) {
            return {"MD" + modeDigit()};
        }
        const auto mode =
            std::find_if(std::begin(kenwoodModes), std::end(kenwoodModes),
                         [&](const auto& m) { return p.size() == 1 && m.first == p[0]; });
        return set(mode != std::end(kenwoodModes) && m_radio.setMode(mode->second));
    }
    if (cmd == "GT") {
        return agc(p);
    }
    if (cmd == "NB") {
        if (p.isEmpty()) {
            return {"NB" + QByteArray::number(m_radio.nb())};
        }
        const auto level = number(p, 1);
        return set(level.has_value() && m_radio.setNb(static_cast<int>(*level)));
    }
    if (cmd == "RA") {
        if (p.isEmpty()) {
            return {"RA" + QByteArray(m_radio.attDb() > 0 ? "01" : "00") + "00"};
        }
        const auto on = number(p, 2);
        if (!on || *on > 1) {
            return set(false);
        }
        int dB = 0;
        for (const auto& a : m_radio.profile().att) {
            if (*on == 1 && a.dB > 0) {
                dB = a.dB;
                break;
            }
        }
        return set((*on == 0 || dB > 0) && m_radio.setAttDb(dB));
    }
    if (cmd == "SM") {
        if (!p.isEmpty() && p != "0") {
            return {"?"};
        }
        const int raw = smeterLevel(m_radio.smeterDbm() + 73);
        return {"SM0" + padded(raw, 4)};
    }
    if (cmd == "FW" || cmd == "SH" || cmd == "SL") {
        return filter(cmd, p);
    }
    if (cmd == "RT" || cmd == "RC" || cmd == "RU" || cmd == "RD") {
        return rit(cmd, p);
    }
    if (cmd == "XT") {
        return p.isEmpty() ? Answer{"XT0"} : set(p == "0");
    }
    if (cmd == "ID" && p.isEmpty()) {
        return {"ID" + m_model.id};
    }
    if (cmd == "IF" && p.isEmpty()) {
        return {information()};
    }
    if (cmd == "AI") {
        if (p.isEmpty()) {
            return {"AI" + QByteArray(m_autoInformation ? "1" : "0")};
        }
        const auto on = number(p, 1);
        if (on) {
            m_autoInformation = *on != 0;
        }
        return set(on.has_value() && *on <= 2);
    }
    if (cmd == "PS") {
        return p.isEmpty() ? Answer{"PS1"} : set(p == "1");
    }
    if (cmd == "TY" && p.isEmpty()) {
        return {"TY" + m_model.type}; // market K (Americas), no options
    }
    if (cmd == "DA" && m_model.dataMode) {
        return p.isEmpty() ? Answer{"DA0"} : set(p == "0");
    }
    return {"?", !p.isEmpty()};
}

int KenwoodEngine::smeterLevel(int overS9) const {
    return smeterRaw(m_model.smeterCal, overS9);
}

} // namespace corvane::vradio
