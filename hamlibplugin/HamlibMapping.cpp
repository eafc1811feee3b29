#include "hamlibplugin/HamlibMapping.h"

#include "receiver/Saturate.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane::hamlibplugin {

namespace {

constexpr rmode_t cwModes = RIG_MODE_CW | RIG_MODE_CWR | RIG_MODE_CWN;
// The window converts a bandwidth to 16 bits to ask for its name; wider
// filters (FM broadcast, for one) could never be named, so they are not offered.
constexpr pbwidth_t widestFilter = std::numeric_limits<int16_t>::max();

QString trimmed(const char* text) {
    return text == nullptr ? QString() : QString::fromUtf8(text).trimmed();
}

template <typename Range> rmode_t modesOf(const Range& ranges) {
    rmode_t modes = RIG_MODE_NONE;
    for (const freq_range_t& r : ranges) {
        if (RIG_IS_FRNG_END(r)) {
            break;
        }
        modes |= r.modes;
    }
    return modes;
}

} // namespace

int32_t RigTables::modeCode(rmode_t bits) const {
    for (size_t i = 0; i < rigModes.size(); ++i) {
        if (rigModes[i].bits == bits) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

const Capabilities::Mode* RigTables::mode(int32_t code) const {
    if (code < 0 || static_cast<size_t>(code) >= caps.modes.size()) {
        return nullptr;
    }
    return &caps.modes[static_cast<size_t>(code)];
}

const RigMode* RigTables::rigMode(int32_t code) const {
    if (code < 0 || static_cast<size_t>(code) >= rigModes.size()) {
        return nullptr;
    }
    return &rigModes[static_cast<size_t>(code)];
}

bool RigTables::tunable(int32_t hz) const {
    const double f = hz;
    return std::any_of(ranges.begin(), ranges.end(),
                       [f](const auto& r) { return f >= r.first && f <= r.second; });
}

int32_t RigTables::indexOf(const std::vector<Choice>& list, int32_t code) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].code == code) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

std::vector<Filter> filtersFor(const filter_list* list, size_t size, rmode_t mode, pbwidth_t narrow,
                               pbwidth_t normal, pbwidth_t wide) {
    std::vector<pbwidth_t> widths;
    for (size_t i = 0; i < size && !RIG_IS_FLT_END(list[i]); ++i) {
        const pbwidth_t w = list[i].width;
        if ((list[i].modes & mode) == 0 || w == RIG_FLT_ANY || w <= 0 || w > widestFilter) {
            continue;
        }
        if (std::find(widths.begin(), widths.end(), w) == widths.end()) {
            widths.push_back(w);
        }
    }
    std::sort(widths.begin(), widths.end());
    std::vector<Filter> out;
    out.reserve(widths.size());
    for (const pbwidth_t w : widths) {
        QString name;
        if (w == normal) {
            name = QStringLiteral("Normal");
        } else if (w == narrow) {
            name = QStringLiteral("Narrow");
        } else if (w == wide) {
            name = QStringLiteral("Wide");
        } else {
            name = QStringLiteral("%1 Hz").arg(w);
        }
        out.push_back({static_cast<int32_t>(w), name});
    }
    return out;
}

std::vector<Choice> agcChoices(const agc_level_e* levels, int count) {
    static constexpr agc_level_e common[] = {RIG_AGC_OFF, RIG_AGC_FAST, RIG_AGC_MEDIUM,
                                             RIG_AGC_SLOW};
    const agc_level_e* from = levels;
    int n = std::clamp(count, 0, HAMLIB_MAX_AGC_LEVELS);
    if (n == 0) {
        from = common;
        n = static_cast<int>(std::size(common));
    }
    std::vector<Choice> out;
    for (int i = 0; i < n; ++i) {
        const auto code = static_cast<int32_t>(from[i]);
        if (from[i] == RIG_AGC_NONE || RigTables::indexOf(out, code) >= 0) {
            continue;
        }
        out.push_back({QString::fromLatin1(rig_stragclevel(from[i])), code});
    }
    return out;
}

std::vector<Choice> attenuatorChoices(const int* steps, size_t size) {
    std::vector<Choice> out{{QStringLiteral("0 dB"), 0}};
    for (size_t i = 0; i < size && steps[i] != 0; ++i) {
        if (steps[i] > 0 && RigTables::indexOf(out, steps[i]) < 0) {
            out.push_back({QStringLiteral("%1 dB").arg(steps[i]), steps[i]});
        }
    }
    return out;
}

int32_t clampHz(double hz) {
    return receiver::saturate<int32_t>(hz);
}

QString errorText(int code) {
    return trimmed(rigerror2(code));
}

bool linkError(int code) {
    const int e = std::abs(code);
    return e == RIG_EIO || e == RIG_EPROTO || e == RIG_BUSERROR || e == RIG_ETIMEOUT;
}

bool missingFeature(int code) {
    const int e = std::abs(code);
    return e == RIG_ENAVAIL || e == RIG_ENIMPL;
}

std::vector<std::pair<QString, QString>> lineDefaults(const rig_caps* caps) {
    if (caps == nullptr ||
        (caps->port_type != RIG_PORT_SERIAL && caps->port_type != RIG_PORT_USB)) {
        return {};
    }
    // Hamlib's timeout is the longest wait for the next bytes of an answer,
    // not for all of it: a radio that answers at all starts within tens of
    // ms, and a slow line (20 ms a byte) keeps them coming. Hamlib's own run
    // to 1 s with up to ten retries, and an Icom's frequency read waits twice
    // (25 00, then 03), so a dead line went unnoticed for well over a second;
    // at 200 ms one poll (300 ms) and two waits stay under one.
    const int timeoutMs = std::clamp(caps->timeout, 100, 200);
    return {{QStringLiteral("timeout"), QString::number(timeoutMs)},
            {QStringLiteral("retry"), QStringLiteral("0")}};
}

QString romIdOf(const rig_caps* caps, const QString& info) {
    const QString name =
        QStringLiteral("%1 %2").arg(trimmed(caps->mfg_name), trimmed(caps->model_name)).trimmed();
    if (caps->port_type != RIG_PORT_SERIAL && caps->port_type != RIG_PORT_USB) {
        // The dummy rig or a daemon: what it says is all there is to know.
        return info.isEmpty() ? QStringLiteral("%1 %2").arg(name, trimmed(caps->version)).trimmed()
                              : info;
    }
    // A radio: its make and model first (Kenwood's own text is only
    // "Firmware: Overseas type").
    return info.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, info);
}

RigTables readTables(RIG* rig) {
    const rig_caps* caps = rig->caps;
    const rig_state& st = rig->state;
    RigTables t;

    t.caps.romId = romIdOf(caps, trimmed(rig_get_info(rig)));

    double lo = 0;
    double hi = 0;
    for (const freq_range_t& r : st.rx_range_list) {
        if (RIG_IS_FRNG_END(r)) {
            break;
        }
        lo = t.ranges.empty() ? r.startf : std::min(lo, r.startf);
        hi = t.ranges.empty() ? r.endf : std::max(hi, r.endf);
        t.ranges.emplace_back(r.startf, r.endf);
    }
    t.caps.frqMin = clampHz(std::max(lo, 0.0));
    t.caps.frqMax = clampHz(hi);

    rmode_t modes = modesOf(st.rx_range_list);
    if (modes == RIG_MODE_NONE) {
        modes = st.mode_list;
    }
    for (int bit = 0; bit < 64; ++bit) {
        const rmode_t m = rmode_t{1} << bit;
        if ((modes & m) == 0) {
            continue;
        }
        Capabilities::Mode mode;
        mode.name = QString::fromLatin1(rig_strrmode(m));
        mode.code = static_cast<int32_t>(t.caps.modes.size());
        RigMode rigMode;
        rigMode.bits = m;
        rigMode.cw = (m & cwModes) != 0;
        const pbwidth_t normal = rig_passband_normal(rig, m);
        mode.filters = filtersFor(st.filters, HAMLIB_FLTLSTSIZ, m, rig_passband_narrow(rig, m),
                                  normal, rig_passband_wide(rig, m));
        const bool offered = std::any_of(mode.filters.begin(), mode.filters.end(),
                                         [&](const Filter& f) { return f.width == normal; });
        if (offered) {
            rigMode.normalWidth = static_cast<int32_t>(normal);
        } else if (!mode.filters.empty()) {
            rigMode.normalWidth = mode.filters.front().width;
        }
        t.caps.modes.push_back(std::move(mode));
        t.rigModes.push_back(rigMode);
    }

    t.caps.agc = agcChoices(caps->agc_levels, caps->agc_level_count);
    t.caps.nb.push_back({QStringLiteral("Off"), NbOff});
    for (const NoiseBlankerFunc& b : noiseBlankers) {
        if ((st.has_set_func & b.func) != 0) {
            t.caps.nb.push_back({QString::fromLatin1(b.name), b.code});
        }
    }
    t.caps.att = attenuatorChoices(st.attenuator, HAMLIB_MAXDBLSTSIZ);
    t.maxRit = static_cast<int32_t>(std::clamp<shortfreq_t>(st.max_rit, 0, 1'000'000));
    t.getLevels = st.has_get_level;
    t.setLevels = st.has_set_level;
    t.getFuncs = st.has_get_func;
    t.setFuncs = st.has_set_func;
    t.refreshVfo = caps->get_vfo != nullptr && trimmed(caps->mfg_name) == QLatin1String("Kenwood");
    return t;
}

} // namespace corvane::hamlibplugin
