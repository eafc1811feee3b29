// Kenwood CAT as the TS-2000 and TS-590SG speak it: a read is the command's
// letters, answered with the letters and the value; a set has no answer
// when taken and "?;" when refused. A set is therefore sent with the read of
// what it changes behind it, and the answers tell whether it was taken and
// what the radio holds now, in one turn of the line.
#include "hamlibplugin/KenwoodDialect.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <mutex>

// Exported by libhamlib 4.5.4 but declared only in its internal iofunc.h.
// rig_send_raw reads only one answer and reports a timeout as a protocol
// error; these are what it is made of.
extern "C" {
int write_block(hamlib_port_t* p, const unsigned char* txbuffer, size_t count);
int read_string_direct(hamlib_port_t* p, unsigned char* rxbuffer, size_t rxmax, const char* stopset,
                       int stopset_len, int flush_flag, int expected_len);
}

namespace corvane::hamlibplugin {

namespace {

struct KenwoodMode {
    const char* name;
    rmode_t bits;
    char digit; // MD
    bool width; // FW in Hz; otherwise SH positions
};

constexpr KenwoodMode kenwoodModes[] = {
    {"LSB", RIG_MODE_LSB, '1', false}, {"USB", RIG_MODE_USB, '2', false},
    {"CW", RIG_MODE_CW, '3', true},    {"FM", RIG_MODE_FM, '4', false},
    {"AM", RIG_MODE_AM, '5', false},   {"FSK", RIG_MODE_RTTY, '6', true},
    {"CW-R", RIG_MODE_CWR, '7', true}, {"FSK-R", RIG_MODE_RTTYR, '9', true}};

// The radio's tables, from its CAT reference: SH high-cut positions 00..
// in Hz, FW widths in Hz.
struct KenwoodModel {
    int gtDigits;
    std::vector<int32_t> ssbHigh; // SSB and FM
    std::vector<int32_t> amHigh;
    std::vector<int32_t> cw;
    std::vector<int32_t> fsk;
    int attDb; // the one attenuator step; 0: Hamlib reads and writes it rightly
    bool twoBlankers;
};

const KenwoodModel ts2000 = {
    3,
    {1400, 1600, 1800, 2000, 2200, 2400, 2600, 2800, 3000, 3400, 4000, 5000},
    {2500, 3000, 4000, 5000},
    {50, 80, 100, 150, 200, 300, 400, 500, 600, 1000, 2000},
    {250, 500, 1000, 1500},
    0,
    false};
const KenwoodModel ts590sg = {
    2,
    {1000, 1200, 1400, 1600, 1800, 2000, 2200, 2400, 2600, 2800, 3000, 3400, 4000, 5000},
    {2500, 3000, 4000, 5000},
    {50, 80, 100, 150, 200, 250, 300, 400, 500, 600, 1000, 1500, 2000, 2500},
    {250, 500, 1000, 1500},
    12,
    true};

constexpr int maxAgc = 20;
constexpr int32_t maxRit = 99999;
constexpr size_t longestAnswer = 64;

const std::vector<int32_t>& filtersOf(const KenwoodModel& model, const KenwoodMode& mode) {
    if (mode.width) {
        return mode.bits == RIG_MODE_RTTY || mode.bits == RIG_MODE_RTTYR ? model.fsk : model.cw;
    }
    return mode.bits == RIG_MODE_AM ? model.amHigh : model.ssbHigh;
}

// The number after a two-letter answer, exactly `digits` long; -1 if not.
int valueOf(const QByteArray& answer, const char* letters, int digits) {
    if (!answer.startsWith(letters) || answer.size() != 2 + digits) {
        return -1;
    }
    bool ok = false;
    const int v = answer.mid(2).toInt(&ok);
    return ok && v >= 0 ? v : -1;
}

QByteArray padded(int value, int digits) {
    return QByteArray::number(value).rightJustified(digits, '0');
}

class KenwoodDialect final : public ModelDialect {
public:
    explicit KenwoodDialect(const KenwoodModel& model) : m_model(model) {}

    void correctTables(RigTables& t) override {
        t.caps.modes.clear();
        t.rigModes.clear();
        for (const KenwoodMode& m : kenwoodModes) {
            Capabilities::Mode mode;
            mode.name = QString::fromLatin1(m.name);
            mode.code = static_cast<int32_t>(t.caps.modes.size());
            for (const int32_t hz : filtersOf(m_model, m)) {
                mode.filters.push_back(
                    {hz,
                     (m.width ? QStringLiteral("%1 Hz") : QStringLiteral("Hi-cut %1 Hz")).arg(hz)});
            }
            t.caps.modes.push_back(std::move(mode));
            // A mode change keeps the radio's filter for that mode.
            t.rigModes.push_back({m.bits, 0, m.bits == RIG_MODE_CW || m.bits == RIG_MODE_CWR});
        }
        // Hamlib 4.5.4 reads the TS-2000's CW pitch from a menu answer and
        // the TS-590SG's from PT in steps that could not be checked against
        // the radios (nor does the virtual radio answer either): the carrier
        // offset in CW is not claimed.
        t.getLevels &= ~RIG_LEVEL_CWPITCH;
        t.caps.agc = {{QStringLiteral("OFF"), 0}};
        for (int32_t c = 1; c <= maxAgc; ++c) {
            t.caps.agc.push_back({QString::number(c), c});
        }
        if (m_model.attDb > 0) {
            t.caps.att = {{QStringLiteral("0 dB"), 0},
                          {QStringLiteral("%1 dB").arg(m_model.attDb), m_model.attDb}};
        }
        if (m_model.twoBlankers) {
            t.caps.nb = {{QStringLiteral("Off"), NbOff},
                         {QStringLiteral("NB1"), NbOne},
                         {QStringLiteral("NB2"), NbTwo}};
        }
    }

    bool covers(WriteKind kind) const override {
        switch (kind) {
        case WriteKind::Mode:
        case WriteKind::Filter:
        case WriteKind::Agc:
            return true;
        case WriteKind::Att:
            return m_model.attDb > 0;
        case WriteKind::NBl:
            return m_model.twoBlankers;
        case WriteKind::Freq:
            // Written only: Hamlib reads FA before writing it and checks
            // with ID after; the worker's read of FA is all the check needed.
        case WriteKind::Rit:
            // Written only: Hamlib reads it rightly from IF, but sets it only
            // with what its own open learns (which this handle leaves out).
            return true;
        default:
            return false;
        }
    }

    int read(RIG* rig, const RigTables& tables, WriteKind kind, RigState& state) override {
        // What the write just before read back, in the same exchange.
        if (const auto fresh = m_fresh.find(kind); fresh != m_fresh.end()) {
            const RigState from = fresh->second;
            m_fresh.clear();
            take(kind, from, state);
            return RIG_OK;
        }
        std::vector<QByteArray> answers;
        const int r = exchange(rig, readOf(kind), answers);
        return r != RIG_OK ? r : parse(tables, kind, answers, 0, state);
    }

    int write(RIG* rig, const RigTables& tables, WriteKind kind, const Write& w,
              const RigState& state) override {
        m_fresh.clear();
        if (kind == WriteKind::Rit) {
            return writeRit(rig, w.value);
        }
        if (kind == WriteKind::Freq) {
            // To the VFO in use, as Hamlib last read it from IF. A refusal
            // ("?;") comes before the answer to the worker's read of the
            // frequency, which Hamlib then reads (after a pause) as what the
            // radio still holds.
            if (w.value < 0) {
                return -RIG_EINVAL;
            }
            const char* vfo = rig->state.current_vfo == RIG_VFO_B ? "FB" : "FA";
            return writeOnly(rig, vfo + padded(w.value, 11) + ';');
        }
        QByteArray set;
        switch (kind) {
        case WriteKind::Mode: {
            const size_t at = static_cast<size_t>(w.value);
            if (w.value < 0 || at >= std::size(kenwoodModes)) {
                return -RIG_EINVAL;
            }
            set = QByteArray("MD") + kenwoodModes[at].digit + ';';
            break;
        }
        case WriteKind::Filter: {
            const KenwoodMode* mode = modeAt(state.mode);
            if (mode == nullptr) {
                return -RIG_EINVAL;
            }
            const auto& list = filtersOf(m_model, *mode);
            const auto it = std::find(list.begin(), list.end(), w.value);
            if (it == list.end()) {
                return -RIG_EINVAL;
            }
            set = mode->width ? "FW" + padded(w.value, 4) + ';'
                              : "SH" + padded(static_cast<int>(it - list.begin()), 2) + ';';
            break;
        }
        case WriteKind::Agc:
            if (w.value < 0 || w.value > maxAgc) {
                return -RIG_EINVAL;
            }
            set = "GT" + padded(w.value, m_model.gtDigits) + ';';
            break;
        case WriteKind::Att:
            if (w.value != 0 && w.value != m_model.attDb) {
                return -RIG_EINVAL;
            }
            set = w.value == 0 ? "RA00;" : "RA01;";
            break;
        case WriteKind::NBl:
            if (w.value < NbOff || w.value > NbTwo) {
                return -RIG_EINVAL;
            }
            set = "NB" + QByteArray::number(w.value) + ';';
            break;
        default:
            return -RIG_EINVAL;
        }
        // Read back what the set changed: for a mode, the mode and its
        // filter (which of FW and SH counts depends on the mode); for a
        // filter, the mode and that filter's own command.
        const bool filter = kind == WriteKind::Filter;
        const bool byWidth = filter && modeAt(state.mode)->width;
        const QByteArray read = filter ? (byWidth ? "MD;FW;" : "MD;SH;") : readOf(kind);
        std::vector<QByteArray> answers;
        const int r = exchange(rig, set + read, answers);
        if (r != RIG_OK) {
            return r;
        }
        const bool refused = answers.front() == "?";
        if (filter) {
            // As the three answers of a mode read: MD, FW, SH.
            const QByteArray md = answers.size() > 1 ? answers[answers.size() - 2] : QByteArray();
            const QByteArray f = answers.back();
            answers = {md, byWidth ? f : QByteArray(), byWidth ? QByteArray() : f};
        }
        const WriteKind readKind = filter ? WriteKind::Mode : kind;
        RigState now = state;
        // A mode changed at the radio meanwhile fails here; the worker's own
        // read-back then asks again.
        if (parse(tables, readKind, answers, refused && !filter ? 1 : 0, now) == RIG_OK) {
            m_fresh[readKind] = now;
        }
        return refused ? -RIG_ERJCTED : RIG_OK;
    }

private:
    // RIT on with the offset, or off at 0 (cleared first: RC needs RIT on).
    // Three sets and no read, so no answer tells which of them a "?;" was
    // for: the worker's read-back decides.
    static int writeRit(RIG* rig, int32_t hz) {
        if (hz < -maxRit || hz > maxRit) {
            return -RIG_EINVAL;
        }
        QByteArray commands = "RT1;RC;";
        if (hz == 0) {
            commands += "RT0;";
        } else {
            commands += (hz > 0 ? "RU" : "RD") + padded(std::abs(hz), 5) + ';';
        }
        return writeOnly(rig, commands);
    }

    static int writeOnly(RIG* rig, const QByteArray& commands) {
        hamlib_port_t* port = &rig->state.rigport;
        rig_flush(port);
        return write_block(port, reinterpret_cast<const unsigned char*>(commands.constData()),
                           static_cast<size_t>(commands.size()));
    }

    // The reads that tell what `kind` holds; each is answered once.
    QByteArray readOf(WriteKind kind) const {
        switch (kind) {
        case WriteKind::Mode:
        case WriteKind::Filter:
            // Both filter reads: which one counts depends on the mode.
            return "MD;FW;SH;";
        case WriteKind::Agc:
            return "GT;";
        case WriteKind::Att:
            return "RA;";
        case WriteKind::NBl:
            return "NB;";
        default:
            return {};
        }
    }

    const KenwoodMode* modeAt(int32_t code) const {
        return code >= 0 && static_cast<size_t>(code) < std::size(kenwoodModes)
                   ? &kenwoodModes[code]
                   : nullptr;
    }

    static void take(WriteKind kind, const RigState& from, RigState& into) {
        switch (kind) {
        case WriteKind::Mode:
        case WriteKind::Filter:
            into.mode = from.mode;
            into.width = from.width;
            break;
        case WriteKind::Agc:
            into.agc = from.agc;
            break;
        case WriteKind::Att:
            into.att = from.att;
            break;
        case WriteKind::NBl:
            into.nb = from.nb;
            break;
        default:
            break;
        }
    }

    // Reads the answers from `first` on into `state`; -RIG_EPROTO for one
    // that is not what the radio sends, -RIG_ERJCTED for a refused read.
    int parse(const RigTables&, WriteKind kind, const std::vector<QByteArray>& answers,
              size_t first, RigState& state) const {
        const auto at = [&](size_t i) {
            return first + i < answers.size() ? answers[first + i] : QByteArray();
        };
        RigState now = state;
        switch (kind) {
        case WriteKind::Mode:
        case WriteKind::Filter: {
            const QByteArray md = at(0);
            const KenwoodMode* mode = nullptr;
            for (const KenwoodMode& m : kenwoodModes) {
                if (md.size() == 3 && md.startsWith("MD") && md[2] == m.digit) {
                    mode = &m;
                }
            }
            if (mode == nullptr) {
                return md == "?" ? -RIG_ERJCTED : -RIG_EPROTO;
            }
            now.mode = static_cast<int32_t>(mode - kenwoodModes);
            const auto& list = filtersOf(m_model, *mode);
            if (mode->width) {
                now.width = valueOf(at(1), "FW", 4);
            } else {
                const int position = valueOf(at(2), "SH", 2);
                now.width = position >= 0 && static_cast<size_t>(position) < list.size()
                                ? list[static_cast<size_t>(position)]
                                : -1;
            }
            if (now.width < 0) {
                return -RIG_EPROTO;
            }
            break;
        }
        case WriteKind::Agc: {
            const int v = valueOf(at(0), "GT", m_model.gtDigits);
            if (v < 0 || v > maxAgc) {
                return at(0) == "?" ? -RIG_ERJCTED : -RIG_EPROTO;
            }
            now.agc = v;
            break;
        }
        case WriteKind::Att: {
            // RA P1P1 P2P2: the attenuator off (00) or on (01), then 00.
            const int v = valueOf(at(0), "RA", 4);
            if (v != 0 && v != 100) {
                return at(0) == "?" ? -RIG_ERJCTED : -RIG_EPROTO;
            }
            now.att = v == 0 ? 0 : m_model.attDb;
            break;
        }
        case WriteKind::NBl: {
            const int v = valueOf(at(0), "NB", 1);
            if (v < NbOff || v > NbTwo) {
                return at(0) == "?" ? -RIG_ERJCTED : -RIG_EPROTO;
            }
            now.nb = v;
            break;
        }
        default:
            return -RIG_EINVAL;
        }
        state = now;
        return RIG_OK;
    }

    // Writes `commands` and reads one answer per read in them, plus the
    // "?" of a refused set: a set is answered only when refused, so the
    // count is known once the first answer is in.
    static int exchange(RIG* rig, const QByteArray& commands, std::vector<QByteArray>& answers) {
        hamlib_port_t* port = &rig->state.rigport;
        rig_flush(port);
        const QList<QByteArray> parts = commands.split(';');
        const bool startsWithSet = parts.front().size() > 2;
        int reads = 0;
        for (const QByteArray& c : parts) {
            reads += c.size() == 2 ? 1 : 0;
        }
        const int w =
            write_block(port, reinterpret_cast<const unsigned char*>(commands.constData()),
                        static_cast<size_t>(commands.size()));
        if (w != RIG_OK) {
            return w;
        }
        for (int i = 0; i < reads; ++i) {
            std::array<unsigned char, longestAnswer> buffer{};
            const int n = read_string_direct(port, buffer.data(), buffer.size(), ";", 1, 0, 1);
            if (n < 0) {
                return n;
            }
            if (n == 0 || buffer[static_cast<size_t>(n - 1)] != ';') {
                return -RIG_ETIMEOUT;
            }
            answers.emplace_back(reinterpret_cast<const char*>(buffer.data()), n - 1);
            if (i == 0 && startsWithSet && answers.front() == "?") {
                ++reads; // the set's refusal, then every read still to come
            }
        }
        return RIG_OK;
    }

    const KenwoodModel& m_model;
    std::map<WriteKind, RigState> m_fresh;
};

} // namespace

std::unique_ptr<ModelDialect> kenwoodDialect(rig_model_t model) {
    switch (model) {
    case RIG_MODEL_TS2000:
        return std::make_unique<KenwoodDialect>(ts2000);
    case RIG_MODEL_TS590SG:
        return std::make_unique<KenwoodDialect>(ts590sg);
    default:
        return nullptr;
    }
}

void skipKenwoodOpen(RIG* rig) {
    if (rig->caps->rig_model != RIG_MODEL_TS2000 && rig->caps->rig_model != RIG_MODEL_TS590SG) {
        return;
    }
    // One copy per model for the life of the process: caps are never
    // changed once made, and every handle of the model shares them.
    static std::mutex guard;
    static std::map<rig_model_t, rig_caps> copies;
    const std::lock_guard lock(guard);
    auto [it, made] = copies.try_emplace(rig->caps->rig_model, *rig->caps);
    if (made) {
        it->second.rig_open = nullptr;
    }
    rig->caps = &it->second;
}

} // namespace corvane::hamlibplugin
