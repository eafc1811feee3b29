#pragma once

#include "component/api/Capabilities.h"
#include "receiver/Component.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace corvane::component {

class Clock;
class ReceiverBackend;

// RxDataError's Err when a set that would change a receiver was refused
// because the receiver is not under remote control (next to
// receiver::linkChanged, so no Hamlib error or profile fault is taken for it).
inline constexpr int32_t notUnderRemoteControl = 1001;

// Who caused a change. A change caused by forwarding is never forwarded again,
// so a backend hands the origin of a set back with every event that set causes
// (also when the receiver confirms the change later).
enum class Origin { Program, Receiver, Forwarded };

// One event as a backend reports it; the component adds the receiver index when
// it delivers it. Made with the constructor of its kind, which names what each
// value means, and read with the accessors of the same names.
class ReceiverEvent {
public:
    enum class Kind { DrvUpdated, ConnState, DataError, Frq, Mod, Flt, Agc, NBl, Att, HFF, SMt };

    // The driver table changed; `count` receivers are in it now.
    static ReceiverEvent drvUpdated(int32_t count) {
        return {Kind::DrvUpdated, count, 0, 0, {}, Origin::Receiver};
    }
    // receiver::linkChanged: the link or remote state changed; anything else:
    // the link failed with that error.
    static ReceiverEvent connState(int32_t err) {
        return {Kind::ConnState, err, 0, 0, {}, Origin::Receiver};
    }
    // The receiver refused or could not carry out what was asked.
    static ReceiverEvent dataError(int32_t err, Origin origin = Origin::Receiver) {
        return {Kind::DataError, err, 0, 0, {}, origin};
    }
    // Tuned frequency and the carrier it gives (frequency plus delta-F).
    static ReceiverEvent frequency(int32_t freq, int32_t carrier, Origin origin) {
        return {Kind::Frq, freq, carrier, 0, {}, origin};
    }
    // A mode code and the BFO offset that comes with it.
    static ReceiverEvent mode(int32_t code, int32_t bfo, Origin origin) {
        return {Kind::Mod, code, bfo, 0, {}, origin};
    }
    static ReceiverEvent filter(int32_t width, Origin origin) {
        return {Kind::Flt, width, 0, 0, {}, origin};
    }
    // An AGC, noise-blanker or attenuator code and its level.
    static ReceiverEvent choice(Setting setting, int32_t code, int32_t level, Origin origin) {
        return {kindOf(setting), code, level, 0, {}, origin};
    }
    static ReceiverEvent hff(int32_t sts) { return {Kind::HFF, sts, 0, 0, {}, Origin::Receiver}; }
    // The meter at `freq`: level in dBm, dB over S9, and its text.
    static ReceiverEvent sMeter(int32_t freq, int32_t dBm, int32_t overS9, QString text) {
        return {Kind::SMt, freq, dBm, overS9, std::move(text), Origin::Receiver};
    }

    int32_t count() const { return m_a; }          // DrvUpdated
    int32_t err() const { return m_a; }            // ConnState, DataError
    int32_t freq() const { return m_a; }           // Frq, SMt
    int32_t carrier() const { return m_b; }        // Frq
    int32_t code() const { return m_a; }           // Mod, Agc, NBl, Att
    int32_t bfo() const { return m_b; }            // Mod
    int32_t level() const { return m_b; }          // Agc, NBl, Att
    int32_t width() const { return m_a; }          // Flt
    int32_t sts() const { return m_a; }            // HFF
    int32_t dBm() const { return m_b; }            // SMt
    int32_t overS9() const { return m_c; }         // SMt
    const QString& text() const { return m_text; } // SMt
    // The first value of any kind, under whichever name it has above: for a
    // table of events of several kinds, or a message.
    int32_t value() const { return m_a; }

    // The kind that reports a change of that setting, and back; no setting
    // for the other kinds.
    static constexpr Kind kindOf(Setting setting) {
        switch (setting) {
        case Setting::Mode:
            return Kind::Mod;
        case Setting::Agc:
            return Kind::Agc;
        case Setting::NBl:
            return Kind::NBl;
        case Setting::Att:
        default:
            return Kind::Att;
        }
    }
    static constexpr std::optional<Setting> settingOf(Kind kind) {
        for (const auto setting : {Setting::Mode, Setting::Agc, Setting::NBl, Setting::Att}) {
            if (kindOf(setting) == kind) {
                return setting;
            }
        }
        return std::nullopt;
    }

    Kind kind = Kind::ConnState;
    Origin origin = Origin::Receiver;

private:
    ReceiverEvent(Kind k, int32_t a, int32_t b, int32_t c, QString text, Origin from)
        : kind(k), origin(from), m_a(a), m_b(b), m_c(c), m_text(std::move(text)) {}

    int32_t m_a = 0;
    int32_t m_b = 0;
    int32_t m_c = 0;
    QString m_text;
};

// Where a backend sends its events. The component queues them and delivers
// them later from its event loop, so a backend may report from inside a set.
class BackendSink {
public:
    virtual void report(ReceiverBackend& from, ReceiverEvent event) = 0;

protected:
    ~BackendSink() = default;
};

// What a receiver is set to now, as its backend last knew it: the values that
// change while it runs, as opposed to its Capabilities.
struct ReceiverState {
    int32_t frequency = 0;
    int32_t deltaF = 0;
    int32_t mode = -1; // a code of Capabilities::modes
    int32_t bfo = 0;   // the BFO offset that comes with the mode
    int32_t filter = 0;
    int32_t agc = -1;
    int32_t nb = -1;
    int32_t att = -1;

    int32_t current(Setting setting) const {
        switch (setting) {
        case Setting::Mode:
            return mode;
        case Setting::Agc:
            return agc;
        case Setting::NBl:
            return nb;
        case Setting::Att:
        default:
            return att;
        }
    }
};

// One receiver behind the component, whatever drives it (simulation, Hamlib,
// rigctld...). All calls come on the component's thread.
//
// A backend hands over what the receiver offers as one value
// (capabilities()) and a new value when that changes, before the event that
// tells of the change; what it is set to now (state()); the sets; and the
// link. The look-ups on the tables are Capabilities' own, offered here under
// the names the component calls them by.
//
// Getters answer from memory and never wait on the receiver. Setters and
// commands never block either: a backend that talks to hardware sends the
// request and reports the outcome as events later. A backend reports a change
// only when a value really changes, through report().
//
// Indices passed to the table getters are already checked against the counts
// by the component (0 <= i < count).
class ReceiverBackend {
public:
    explicit ReceiverBackend(BackendSink& sink) : m_sink(sink) {}
    ReceiverBackend(const ReceiverBackend&) = delete;
    ReceiverBackend& operator=(const ReceiverBackend&) = delete;
    virtual ~ReceiverBackend() = default;

    // Why `operation` (the operation's name, e.g. "RxRomId") cannot be served
    // now, as the end of a sentence starting with "receiver N ", for instance
    // "does not answer"; nothing when it can. The component then throws.
    virtual std::optional<QString> refusal(std::string_view operation) const {
        (void)operation;
        return std::nullopt;
    }

    // Every answer below has a default: what a receiver answers that has no
    // tables, no link and refuses every command, as one that could not be made
    // does. A backend overrides what it really has.

    // What the receiver offers; never null.
    virtual CapabilitiesPtr capabilities() const { return noCapabilities(); }
    virtual ReceiverState state() const { return {}; }

    // --- sets (VFO 0 only; the component refuses others) ---
    virtual void set(Setting, int32_t /*code*/, Origin) {}
    virtual void setFilter(int32_t /*width*/, Origin) {}
    virtual void setFrequency(int32_t /*hz*/, Origin) {}
    virtual void setDeltaF(int32_t /*hz*/, Origin) {}

    // --- link ---
    virtual bool connected() const { return false; }
    virtual bool remote() const { return false; }
    // Start connecting (true) or disconnect at once (false); returns a status,
    // 0 for accepted. The outcome is reported as ConnState events.
    virtual int32_t connect(bool /*on*/) { return 1; }
    // Take or release remote control; 0 for accepted, nonzero when refused.
    virtual int32_t setRemote(bool /*on*/) { return 1; }
    virtual int32_t keyPress(int16_t /*key*/) { return 1; }

    // --- the same, by the names callers use ---
    QString romId() const { return capabilities()->romId; }
    int32_t frqMin() const { return capabilities()->frqMin; }
    int32_t frqMax() const { return capabilities()->frqMax; }
    int32_t count(Setting setting) const { return capabilities()->count(setting); }
    QString name(Setting setting, int32_t i) const { return capabilities()->name(setting, i); }
    int32_t codeAt(Setting setting, int32_t i) const { return capabilities()->codeAt(setting, i); }
    // Available now (for AGC: also allowed in the current mode).
    bool available(Setting setting, int32_t i) const {
        return capabilities()->available(setting, i, state().mode);
    }
    // Code of the first entry with exactly that name; -1 for an unknown name.
    int32_t code(Setting setting, const QString& name) const {
        return capabilities()->code(setting, name);
    }
    int32_t current(Setting setting) const { return state().current(setting); }
    int32_t bfo() const { return state().bfo; }
    // The filters of the current mode.
    int32_t filterCount() const {
        return static_cast<int32_t>(capabilities()->filters(state().mode).size());
    }
    int32_t filterWidth(int32_t i) const {
        return capabilities()->filters(state().mode)[static_cast<size_t>(i)].width;
    }
    // Name of the first filter of the current mode with that width; a null
    // text if none.
    QString filterName(int32_t width) const {
        return capabilities()->filterName(state().mode, width);
    }
    int32_t filter() const { return state().filter; }
    int32_t frequency() const { return state().frequency; }
    int32_t deltaF() const { return state().deltaF; }

protected:
    void report(ReceiverEvent event) { m_sink.report(*this, std::move(event)); }

private:
    BackendSink& m_sink;
};

// What a backend factory gets: the driver entry as stored (all its keys), the
// directory relative paths in it are resolved against, the component's clock
// and the sink for events.
struct BackendContext {
    QJsonObject entry;
    QString baseDir;
    Clock& clock;
    BackendSink& sink;
};

// Builds the backend of one driver entry, or throws RuntimeError with a
// description of what is wrong with the entry.
using BackendFactory = std::function<std::unique_ptr<ReceiverBackend>(const BackendContext&)>;

} // namespace corvane::component
