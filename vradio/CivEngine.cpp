// Icom CI-V: binary frames FE FE <to> <from> <cmd> [<sub>] [data] FD on a bus
// that gives every sender its own bytes back. Numbers are BCD, least
// significant byte first for frequencies. OK is FB, NG (refused) is FA.
#include "vradio/CivEngine.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace corvane::vradio {

namespace {

constexpr uint8_t preamble = 0xFE;
constexpr uint8_t endOfMessage = 0xFD;
constexpr uint8_t ok = 0xFB;
constexpr uint8_t ng = 0xFA;
constexpr int longestFrame = 64;

const std::pair<uint8_t, Mode> civModes[] = {
    {0x00, Mode::Lsb},   {0x01, Mode::Usb}, {0x02, Mode::Am},  {0x03, Mode::Cw},
    {0x04, Mode::Rtty},  {0x05, Mode::Fm},  {0x06, Mode::Wfm}, {0x07, Mode::CwR},
    {0x08, Mode::RttyR}, {0x11, Mode::Sam}};
// The same codes with the data byte on.
const std::pair<uint8_t, Mode> dataModes[] = {
    {0x00, Mode::LsbD}, {0x01, Mode::UsbD}, {0x02, Mode::AmD}, {0x05, Mode::FmD}};

// 1A 03 in SSB, CW and RTTY: 00..09 are 50..500 Hz, 10..40 are 600..3600 Hz.
int32_t narrowWidth(int index) {
    return index <= 9 ? (index + 1) * 50 : (index - 4) * 100;
}

QByteArray hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

} // namespace

QByteArray toBcd(int64_t value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) {
        const int lo = static_cast<int>(value % 10);
        value /= 10;
        const int hi = static_cast<int>(value % 10);
        value /= 10;
        out.append(static_cast<char>((hi << 4) | lo));
    }
    return out;
}

std::optional<int64_t> fromBcd(const QByteArray& bytes) {
    int64_t value = 0;
    for (qsizetype i = bytes.size() - 1; i >= 0; --i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if ((b >> 4) > 9 || (b & 0x0F) > 9) {
            return std::nullopt;
        }
        value = value * 100 + (b >> 4) * 10 + (b & 0x0F);
    }
    return value;
}

// Big-endian BCD as in levels: 0255 is 02 55.
QByteArray levelBcd(int value) {
    QByteArray le = toBcd(value, 2);
    std::reverse(le.begin(), le.end());
    return le;
}

CivEngine::CivEngine(Radio& radio, const RadioModel& model) : Engine(radio, model) {
    address = model.address;
}

Output CivEngine::feed(const QByteArray& bytes) {
    Output out;
    // The bus gives back every byte on it, noise and frames for others too.
    if (echo) {
        out.echo = bytes;
    }
    m_in.append(bytes);
    for (;;) {
        const qsizetype start = m_in.indexOf(QByteArray("\xFE\xFE"));
        if (start < 0) {
            // Noise between frames; a lone FE may start the next one.
            m_in = m_in.endsWith('\xFE') ? QByteArray("\xFE") : QByteArray();
            return out;
        }
        m_in.remove(0, start);
        qsizetype end = m_in.indexOf(static_cast<char>(endOfMessage));
        if (end < 0) {
            if (m_in.size() > longestFrame) {
                m_in.clear();
            }
            return out;
        }
        QByteArray frame = m_in.left(end + 1);
        m_in.remove(0, end + 1);
        // Preamble bytes may repeat; the frame starts at the last one.
        while (frame.size() > 2 && static_cast<uint8_t>(frame[2]) == preamble) {
            frame.remove(0, 1);
        }
        if (frame.size() < 6) {
            continue;
        }
        const auto to = static_cast<uint8_t>(frame[2]);
        const auto from = static_cast<uint8_t>(frame[3]);
        if (to != address && to != 0x00) {
            continue; // for another radio on the bus
        }
        const QByteArray body = frame.mid(4, frame.size() - 5);
        const QByteArray answer = handle(body);
        if (answer.isEmpty()) {
            continue;
        }
        const auto me =
            static_cast<char>(answerAddress >= 0 ? answerAddress : static_cast<int>(address));
        out.reply.append(QByteArray("\xFE\xFE") + static_cast<char>(from) + me + answer +
                         static_cast<char>(endOfMessage));
    }
}

QByteArray CivEngine::handle(const QByteArray& body) {
    const auto cmd = static_cast<uint8_t>(body[0]);
    const QByteArray data = body.mid(1);
    const auto sub = data.isEmpty() ? -1 : static_cast<uint8_t>(data[0]);
    const QByteArray subData = data.mid(1);
    Answer a = answer(cmd, sub, data, subData);
    hear(hex(body), a.write, a.bytes == QByteArray(1, static_cast<char>(ng)));
    return a.bytes;
}

CivEngine::Answer CivEngine::refuse(bool write) {
    return {QByteArray(1, static_cast<char>(ng)), write};
}

CivEngine::Answer CivEngine::done(bool accepted) {
    return {QByteArray(1, static_cast<char>(accepted ? ok : ng)), true};
}

QByteArray CivEngine::modeBytes() const {
    const std::optional<Mode> mode = m_radio.mode();
    uint8_t code = 0xFF;
    uint8_t data = 0;
    for (const auto& [c, m] : civModes) {
        if (mode == m) {
            code = c;
        }
    }
    for (const auto& [c, m] : dataModes) {
        if (mode == m) {
            code = c;
            data = 1;
        }
    }
    const int number = m_model.firstFilter + m_radio.filterIndex() + missingFilters();
    QByteArray out;
    out.append(static_cast<char>(code));
    out.append(static_cast<char>(data));
    out.append(static_cast<char>(number));
    return out;
}

bool CivEngine::setMode(uint8_t code, int data, int filter) {
    using Table = std::span<const std::pair<uint8_t, Mode>>;
    const Table table = data == 1 ? Table(dataModes) : Table(civModes);
    const auto mode =
        std::find_if(table.begin(), table.end(), [&](const auto& m) { return m.first == code; });
    if (mode == table.end() || data < 0 || data > 1) {
        return false;
    }
    if (filter >= 0 && (filter < m_model.firstFilter || filter > m_model.firstFilter + 2)) {
        return false;
    }
    if (!m_radio.setMode(mode->second)) {
        return false;
    }
    const int count = static_cast<int>(m_radio.filters().size());
    if (filter >= 0 && count > 0) {
        const int index = filter - m_model.firstFilter - missingFilters();
        m_radio.setFilterIndex(std::clamp(index, 0, count - 1));
    }
    return true;
}

int CivEngine::missingFilters() const {
    const int count = static_cast<int>(m_radio.filters().size());
    return m_model.namedFilters ? std::max(0, 3 - count) : 0;
}

int CivEngine::widthIndex() const {
    const std::optional<Mode> mode = m_radio.mode();
    const auto widths = m_radio.filters();
    if (!mode || widths.empty() || mode == Mode::Fm || mode == Mode::FmD) {
        return -1;
    }
    const int hz = widths[static_cast<size_t>(m_radio.filterIndex())];
    if (mode == Mode::Am || mode == Mode::AmD) {
        return std::clamp(hz / 200 - 1, 0, 49);
    }
    return hz <= 500 ? std::clamp((hz + 49) / 50 - 1, 0, 9)
                     : std::clamp((hz + 99) / 100 + 4, 10, 40);
}

CivEngine::Answer CivEngine::answer(uint8_t cmd, int sub, const QByteArray& data,
                                    const QByteArray& subData) {
    const QByteArray echoCmd(1, static_cast<char>(cmd));
    const QByteArray echoSub = echoCmd + static_cast<char>(sub);
    switch (cmd) {
    case 0x00: // set frequency, no answer
    case 0x05: {
        const auto hz = data.size() == 5 ? fromBcd(data) : std::nullopt;
        const bool accepted = hz.has_value() && m_radio.setFreq(*hz);
        return cmd == 0x05 ? done(accepted) : Answer{{}, true};
    }
    case 0x03:
        return data.isEmpty() ? Answer{echoCmd + toBcd(m_radio.freq(), 5)} : refuse();
    case 0x01: // set mode, no answer
    case 0x06: {
        const bool accepted = !data.isEmpty() && data.size() <= 2 &&
                              setMode(static_cast<uint8_t>(data[0]), 0,
                                      data.size() == 2 ? static_cast<uint8_t>(data[1]) : -1);
        return cmd == 0x06 ? done(accepted) : Answer{{}, true};
    }
    case 0x04: { // the mode without its data byte
        const QByteArray mode = modeBytes();
        return data.isEmpty() ? Answer{echoCmd + mode.left(1) + mode.mid(2)} : refuse();
    }
    case 0x14:
        // CW pitch, 0000..0255 for 300..900 Hz: 600 Hz, and only read here
        // (the IC-R75 has it as set-mode item 1A 02 10).
        if (sub == 0x09 && subData.isEmpty()) {
            return {echoSub + levelBcd(128)};
        }
        return refuse(!subData.isEmpty());
    case 0x07:
        if (data.isEmpty()) {
            return done(true); // VFO mode (it is never in memory mode)
        }
        if (!m_model.vfoAB || data.size() != 1) {
            return refuse(true);
        }
        if (sub == 0x00 || sub == 0x01) {
            return done(m_radio.setVfo(sub));
        }
        if (sub == 0xA0) { // A = B: the other VFO takes this one's frequency
            return done(m_radio.setFreqOf(1 - m_radio.vfo(), m_radio.freq()));
        }
        if (sub == 0xB0) { // exchange
            const int64_t other = m_radio.freqOf(1 - m_radio.vfo());
            const int64_t mine = m_radio.freq();
            return done(m_radio.setFreq(other) && m_radio.setFreqOf(1 - m_radio.vfo(), mine));
        }
        return refuse(true);
    case 0x11:
        if (data.isEmpty()) {
            return {echoCmd + toBcd(m_radio.attDb(), 1)};
        }
        return done(data.size() == 1 && m_radio.setAttDb(static_cast<int>(*fromBcd(data))));
    case 0x15:
        if (sub == 0x02 && subData.isEmpty()) {
            const int raw = smeterRaw(m_model.smeterCal, m_radio.smeterDbm() + 73);
            return {echoSub + levelBcd(raw)};
        }
        return refuse();
    case 0x16:
        return function(sub, subData, echoSub);
    case 0x19:
        if (sub == 0x00 && subData.isEmpty()) {
            return {echoSub + static_cast<char>(address)};
        }
        return refuse();
    case 0x21:
        return m_model.rit ? rit(sub, subData, echoSub) : refuse(!subData.isEmpty());
    case 0x25:
    case 0x26:
        return m_model.vfoAB ? selectedVfo(cmd, sub, subData, echoSub) : refuse(!subData.isEmpty());
    case 0x1A:
        return extended(sub, subData, echoSub);
    default:
        return refuse(!data.isEmpty());
    }
}

CivEngine::Answer CivEngine::function(int sub, const QByteArray& subData, const QByteArray& echo) {
    if (sub == 0x12) { // AGC
        if (subData.isEmpty()) {
            const std::optional<Agc> now = m_radio.agc();
            for (const auto& [code, agc] : m_model.agc) {
                if (now == agc) {
                    return {echo + static_cast<char>(code)};
                }
            }
            return refuse();
        }
        for (const auto& [code, agc] : m_model.agc) {
            if (subData.size() == 1 && static_cast<uint8_t>(subData[0]) == code) {
                return done(m_radio.setAgc(agc));
            }
        }
        return refuse(true);
    }
    if (sub == 0x22) { // noise blanker
        if (subData.isEmpty()) {
            return {echo + static_cast<char>(m_radio.nb() > 0 ? 1 : 0)};
        }
        const auto on = static_cast<uint8_t>(subData[0]);
        return done(subData.size() == 1 && on <= 1 && m_radio.setNb(on));
    }
    if (sub == 0x02 && subData.isEmpty()) { // preamp: there is none
        return {echo + '\0'};
    }
    return refuse(!subData.isEmpty());
}

CivEngine::Answer CivEngine::rit(int sub, const QByteArray& subData, const QByteArray& echo) {
    if (sub == 0x00) {
        if (subData.isEmpty()) {
            const int hz = m_radio.rit();
            return {echo + toBcd(std::abs(hz), 2) + static_cast<char>(hz < 0 ? 1 : 0)};
        }
        const auto hz = subData.size() == 3 ? fromBcd(subData.left(2)) : std::nullopt;
        if (!hz || static_cast<uint8_t>(subData[2]) > 1) {
            return refuse(true);
        }
        return done(m_radio.setRit(static_cast<int>(subData[2] == '\x01' ? -*hz : *hz)));
    }
    if (sub == 0x01) {
        if (subData.isEmpty()) {
            return {echo + static_cast<char>(m_radio.ritOn() ? 1 : 0)};
        }
        if (subData.size() != 1 || static_cast<uint8_t>(subData[0]) > 1) {
            return refuse(true);
        }
        m_radio.setRitOn(subData[0] == '\x01');
        return done(true);
    }
    return refuse(!subData.isEmpty());
}

CivEngine::Answer CivEngine::selectedVfo(uint8_t cmd, int sub, const QByteArray& subData,
                                         const QByteArray& echo) {
    if (sub != 0x00 && sub != 0x01) {
        return refuse(!subData.isEmpty());
    }
    const int vfo = sub == 0x00 ? m_radio.vfo() : 1 - m_radio.vfo();
    if (cmd == 0x25) {
        if (subData.isEmpty()) {
            return {echo + toBcd(m_radio.freqOf(vfo), 5)};
        }
        const auto hz = subData.size() == 5 ? fromBcd(subData) : std::nullopt;
        return done(hz.has_value() && m_radio.setFreqOf(vfo, *hz));
    }
    // 26: mode, data mode and filter of either VFO; both share one mode
    // here. Data and filter may be left out: data off, the mode's filter.
    if (subData.isEmpty()) {
        return {echo + modeBytes()};
    }
    const int data = subData.size() >= 2 ? static_cast<uint8_t>(subData[1]) : 0;
    const int filter = subData.size() == 3 ? static_cast<uint8_t>(subData[2]) : -1;
    if (subData.size() > 3 || (data != 0 && !m_model.dataModes)) {
        return refuse(true);
    }
    return done(vfo == m_radio.vfo() && setMode(static_cast<uint8_t>(subData[0]), data, filter));
}

CivEngine::Answer CivEngine::extended(int sub, const QByteArray& subData, const QByteArray& echo) {
    if (sub == 0x06 && m_model.dataModes) {
        // Data mode and filter: on or off, with the filter in use or the one given.
        const QByteArray mode = modeBytes();
        if (subData.isEmpty()) {
            return {echo + mode.mid(1)};
        }
        const int data = static_cast<uint8_t>(subData[0]);
        const int filter = subData.size() == 2 ? static_cast<uint8_t>(subData[1]) : -1;
        return done(subData.size() <= 2 && setMode(static_cast<uint8_t>(mode[0]), data, filter));
    }
    if (sub == 0x02 && m_model.setModeItems && subData == QByteArray(1, '\x10')) {
        return {echo + subData + levelBcd(128)};
    }
    if (sub == 0x03 && m_model.storedWidths) {
        // The width of the filter in use; a write stores another for it.
        const int now = widthIndex();
        if (now < 0) {
            return refuse(!subData.isEmpty());
        }
        if (subData.isEmpty()) {
            return {echo + toBcd(now, 1)};
        }
        const auto index = subData.size() == 1 ? fromBcd(subData) : std::nullopt;
        const std::optional<Mode> mode = m_radio.mode();
        const bool am = mode == Mode::Am || mode == Mode::AmD;
        if (!index || *index > (am ? 49 : 40)) {
            return refuse(true);
        }
        const int i = static_cast<int>(*index);
        return done(m_radio.setFilterWidth(am ? (i + 1) * 200 : narrowWidth(i)));
    }
    return refuse(!subData.isEmpty());
}

} // namespace corvane::vradio
