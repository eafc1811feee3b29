// CI-V frames: FE FE <radio> <controller E0> <command> [data] FD; the radio
// answers to E0 with the command and its data, FB (OK) or FA (NG). On a bus
// (and on a USB port with its echo on) the controller first hears its own
// frame back.
#include "hamlibplugin/IcomDialect.h"

#include <algorithm>
#include <cstdlib>

namespace corvane::hamlibplugin {

namespace {

constexpr uint8_t controller = 0xE0;
constexpr uint8_t ok = 0xFB;
constexpr uint8_t ng = 0xFA;
constexpr uint8_t endOfMessage = 0xFD;
// Frames that may come before the answer: the echo, a stray one.
constexpr int framesBeforeAnswer = 3;

using CivMode = IcomDialect::CivMode;
using Widths = IcomDialect::Widths;

const std::pair<rmode_t, CivMode> civModes[] = {
    {RIG_MODE_LSB, {0x00, 0}},    {RIG_MODE_USB, {0x01, 0}},    {RIG_MODE_AM, {0x02, 0}},
    {RIG_MODE_CW, {0x03, 0}},     {RIG_MODE_RTTY, {0x04, 0}},   {RIG_MODE_FM, {0x05, 0}},
    {RIG_MODE_CWR, {0x07, 0}},    {RIG_MODE_RTTYR, {0x08, 0}},  {RIG_MODE_AMS, {0x11, 0}},
    {RIG_MODE_PKTLSB, {0x00, 1}}, {RIG_MODE_PKTUSB, {0x01, 1}}, {RIG_MODE_PKTAM, {0x02, 1}},
    {RIG_MODE_PKTFM, {0x05, 1}}};

// The IC-R75's filters: wide, normal, narrow by number, fixed widths (its
// standard filters, no options fitted); FM has no wide one.
Widths r75Widths(uint8_t code) {
    switch (code) {
    case 0x02: // AM
    case 0x11: // S-AM
        return {15000, 6000, 2400};
    case 0x05: // FM
        return {0, 15000, 6000};
    default: // SSB, CW, RTTY
        return {6000, 2400, 1900};
    }
}

// The IC-7300's factory widths of FIL1, FIL2, FIL3.
Widths ic7300Widths(CivMode m) {
    switch (m.code) {
    case 0x00: // LSB, USB; with data on, its data filters
    case 0x01:
        return m.data != 0 ? Widths{1200, 500, 250} : Widths{3000, 2400, 1800};
    case 0x02: // AM
        return {9000, 6000, 3000};
    case 0x03: // CW, CW-R
    case 0x07:
        return {1200, 500, 250};
    case 0x04: // RTTY, RTTY-R
    case 0x08:
        return {2400, 500, 250};
    default: // FM
        return {15000, 10000, 7000};
    }
}

// 1A 03: the index of a width, 00..40 in SSB, CW and RTTY (50..500 Hz in
// steps of 50, then 600..3600 in steps of 100), 00..49 in AM (200 Hz steps).
int32_t widthOfIndex(uint8_t code, int index) {
    if (code == 0x02) {
        return (index + 1) * 200;
    }
    return index <= 9 ? (index + 1) * 50 : (index - 4) * 100;
}

std::optional<int> fromBcd(uint8_t b) {
    if ((b >> 4) > 9 || (b & 0x0F) > 9) {
        return std::nullopt;
    }
    return (b >> 4) * 10 + (b & 0x0F);
}

QByteArray bytes(std::initializer_list<uint8_t> list) {
    QByteArray out;
    for (const uint8_t b : list) {
        out.append(static_cast<char>(b));
    }
    return out;
}

uint8_t at(const QByteArray& b, qsizetype i) {
    return static_cast<uint8_t>(b[i]);
}

} // namespace

IcomDialect::IcomDialect(rig_model_t model) : m_model(model), m_ic7300(model == RIG_MODEL_IC7300) {}

bool IcomDialect::covers(WriteKind kind) const {
    return kind == WriteKind::Mode || kind == WriteKind::Filter || kind == WriteKind::Freq;
}

const CivMode* IcomDialect::civModeOf(int32_t code) const {
    if (code < 0 || static_cast<size_t>(code) >= m_modes.size() ||
        !m_modes[static_cast<size_t>(code)]) {
        return nullptr;
    }
    return &*m_modes[static_cast<size_t>(code)];
}

void IcomDialect::correctTables(RigTables& t) {
    if (m_model == RIG_MODEL_ICR75) {
        // Hamlib 4.5 writes FAST, MEDIUM, SLOW, SUPERFAST as 00, 01, 02, 03,
        // which this receiver takes as OFF, super-fast, FAST and SLOW, and
        // reads them back the same way round: named for what the radio does.
        t.caps.agc = {{QStringLiteral("OFF"), RIG_AGC_FAST},
                      {QStringLiteral("SUPERFAST"), RIG_AGC_MEDIUM},
                      {QStringLiteral("FAST"), RIG_AGC_SLOW},
                      {QStringLiteral("SLOW"), RIG_AGC_SUPERFAST}};
    } else {
        // The caps list three levels and leave out SLOW; OFF (00) is no
        // choice of this command on the radio but a time constant stored in
        // one of the three.
        t.caps.agc = {{QStringLiteral("FAST"), RIG_AGC_FAST},
                      {QStringLiteral("MEDIUM"), RIG_AGC_MEDIUM},
                      {QStringLiteral("SLOW"), RIG_AGC_SLOW}};
    }
    m_modes.clear();
    for (RigMode& rigMode : t.rigModes) {
        std::optional<CivMode> civ;
        for (const auto& [bits, m] : civModes) {
            if (bits == rigMode.bits) {
                civ = m;
            }
        }
        m_modes.push_back(civ);
        if (civ && m_widths.count(*civ) == 0) {
            m_widths[*civ] = m_ic7300 ? ic7300Widths(*civ) : r75Widths(civ->code);
        }
        // A mode change keeps the radio's filter number.
        rigMode.normalWidth = 0;
    }
    rebuildFilters(t);
    m_tables = t;
    m_changed = false;
}

void IcomDialect::rebuildFilters(RigTables& t) const {
    static const char* const r75Names[] = {"Wide", "Normal", "Narrow"};
    for (size_t i = 0; i < t.caps.modes.size(); ++i) {
        std::vector<Filter>& out = t.caps.modes[i].filters;
        out.clear();
        const CivMode* civ = civModeOf(static_cast<int32_t>(i));
        if (civ == nullptr) {
            continue;
        }
        const Widths& w = m_widths.at(*civ);
        // Rising widths, each once: of two filters of one width the lower
        // number is the one offered.
        for (int n = 0; n < 3; ++n) {
            const bool taken = std::any_of(out.begin(), out.end(),
                                           [&](const Filter& f) { return f.width == w[n]; });
            if (w[n] > 0 && !taken) {
                out.push_back({w[n], m_ic7300 ? QStringLiteral("FIL%1").arg(n + 1)
                                              : QString::fromLatin1(r75Names[n])});
            }
        }
        std::sort(out.begin(), out.end(),
                  [](const Filter& a, const Filter& b) { return a.width < b.width; });
    }
}

std::optional<RigTables> IcomDialect::changedTables() {
    if (!m_changed) {
        return std::nullopt;
    }
    m_changed = false;
    return m_tables;
}

int IcomDialect::filterNumber(int32_t code, int32_t width) const {
    const CivMode* civ = civModeOf(code);
    if (civ == nullptr) {
        return 0;
    }
    const Widths& w = m_widths.at(*civ);
    for (int n = 0; n < 3; ++n) {
        if (w[n] == width) {
            return n + 1;
        }
    }
    return 0;
}

int IcomDialect::exchange(RIG* rig, const QByteArray& command, QByteArray* answer) {
    if (m_address < 0) {
        char value[32] = {};
        const token_t token = rig_token_lookup(rig, "civaddr");
        if (rig_get_conf2(rig, token, value, sizeof value) != RIG_OK) {
            return -RIG_EINTERNAL;
        }
        m_address = std::atoi(value);
    }
    const QByteArray frame = QByteArray("\xFE\xFE") + static_cast<char>(m_address) +
                             static_cast<char>(controller) + command +
                             static_cast<char>(endOfMessage);
    // What an earlier answer left on the line is not this one's.
    rig_flush(&rig->state.rigport);
    unsigned char reply[64];
    unsigned char term = endOfMessage;
    const auto* out = reinterpret_cast<const unsigned char*>(frame.constData());
    int n = rig_send_raw(rig, out, static_cast<int>(frame.size()), reply, sizeof reply, &term);
    for (int frames = 0; frames < framesBeforeAnswer && n > 0; ++frames) {
        const QByteArray got(reinterpret_cast<const char*>(reply), n);
        // The echo of this frame, or one for another station on the bus:
        // the answer comes next (read without writing anything).
        if (got.size() < 6 || at(got, 2) != controller) {
            n = rig_send_raw(rig, out, 0, reply, sizeof reply, &term);
            continue;
        }
        const QByteArray body = got.mid(4, got.size() - 5);
        if (body.size() == 1 && at(body, 0) == ng) {
            return -RIG_ERJCTED;
        }
        if (answer == nullptr) {
            return body.size() == 1 && at(body, 0) == ok ? RIG_OK : -RIG_EPROTO;
        }
        *answer = body;
        return body.startsWith(command) ? RIG_OK : -RIG_EPROTO;
    }
    return n < 0 ? n : -RIG_EPROTO;
}

int IcomDialect::read(RIG* rig, const RigTables&, WriteKind kind, RigState& state) {
    if (kind != WriteKind::Mode && kind != WriteKind::Filter) {
        return -RIG_ENIMPL;
    }
    QByteArray answer;
    const QByteArray command = m_ic7300 ? bytes({0x26, 0x00}) : bytes({0x04});
    if (!m_taken.isEmpty()) {
        // The radio has just said OK to this mode and filter: reading them
        // again would tell nothing more.
        answer = command + m_taken;
        m_taken.clear();
    } else if (const int r = exchange(rig, command, &answer); r != RIG_OK) {
        return r;
    }
    // 26 00 mm dd ff, or 04 mm ff
    const qsizetype from = command.size();
    if (answer.size() != from + (m_ic7300 ? 3 : 2)) {
        return -RIG_EPROTO;
    }
    const CivMode mode{at(answer, from), m_ic7300 ? at(answer, from + 1) : uint8_t{0}};
    const int filter = at(answer, answer.size() - 1);
    int32_t code = -1;
    for (size_t i = 0; i < m_modes.size(); ++i) {
        if (m_modes[i] && !(*m_modes[i] < mode) && !(mode < *m_modes[i])) {
            code = static_cast<int32_t>(i);
        }
    }
    if (code < 0 || filter < 1 || filter > 3) {
        // A mode or filter the tables have not: nothing to show for it.
        state.mode = code;
        state.width = -1;
        return RIG_OK;
    }
    Widths& widths = m_widths.at(mode);
    if (m_ic7300 && mode.code != 0x05) {
        // The width stored in the filter in use, as the radio has it now.
        if (const int r = exchange(rig, bytes({0x1A, 0x03}), &answer); r != RIG_OK) {
            return r;
        }
        const std::optional<int> index = answer.size() == 3 ? fromBcd(at(answer, 2)) : std::nullopt;
        if (!index) {
            return -RIG_EPROTO;
        }
        const int32_t width = widthOfIndex(mode.code, *index);
        if (widths[static_cast<size_t>(filter - 1)] != width) {
            widths[static_cast<size_t>(filter - 1)] = width;
            rebuildFilters(m_tables);
            m_changed = true;
        }
    }
    m_filter = filter;
    state.mode = code;
    state.width = widths[static_cast<size_t>(filter - 1)];
    return RIG_OK;
}

int IcomDialect::writeMode(RIG* rig, CivMode mode, int filter) {
    const auto f = static_cast<uint8_t>(filter);
    const QByteArray command =
        m_ic7300 ? bytes({0x26, 0x00, mode.code, mode.data, f}) : bytes({0x06, mode.code, f});
    const int r = exchange(rig, command, nullptr);
    if (r == RIG_OK) {
        m_taken = m_ic7300 ? bytes({mode.code, mode.data, f}) : bytes({mode.code, f});
    }
    return r;
}

int IcomDialect::write(RIG* rig, const RigTables&, WriteKind kind, const Write& w,
                       const RigState& state) {
    if (kind == WriteKind::Freq) {
        // 05 and five bytes of BCD, least significant first.
        QByteArray command = bytes({0x05});
        int64_t hz = w.value;
        for (int i = 0; i < 5; ++i) {
            const int lo = static_cast<int>(hz % 10);
            const int hi = static_cast<int>(hz / 10 % 10);
            hz /= 100;
            command.append(static_cast<char>((hi << 4) | lo));
        }
        return exchange(rig, command, nullptr);
    }
    if (kind == WriteKind::Mode) {
        const CivMode* mode = civModeOf(w.value);
        if (mode == nullptr) {
            return -RIG_EINVAL;
        }
        // The radio's filter number goes with the mode (FIL2 stays FIL2);
        // a mode that lacks it takes the nearest it has.
        int filter = m_filter > 0 ? m_filter : 2;
        const Widths& widths = m_widths.at(*mode);
        while (filter < 3 && widths[static_cast<size_t>(filter - 1)] == 0) {
            ++filter;
        }
        return writeMode(rig, *mode, filter);
    }
    if (kind == WriteKind::Filter) {
        const CivMode* mode = civModeOf(state.mode);
        const int filter = filterNumber(state.mode, w.value);
        if (mode == nullptr || filter == 0) {
            return -RIG_EINVAL;
        }
        return writeMode(rig, *mode, filter);
    }
    return -RIG_ENIMPL;
}

} // namespace corvane::hamlibplugin
