#pragma once

#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "component/sim/SimReceiver.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace corvane::vradio {

// The modes a protocol can name. A profile's mode is one of these by its
// name ("CW-R" and "CWR" are the same, "S-AM" is Sam). The data modes
// ("USB-D", Hamlib's "PKTUSB") are the sideband, AM or FM with data on.
enum class Mode { Lsb, Usb, Am, Cw, CwR, Rtty, RttyR, Fm, Wfm, Sam, LsbD, UsbD, AmD, FmD };
// AGC time constants a protocol can name; a profile's entry by its name.
enum class Agc { Off, SuperFast, Fast, Medium, Slow };

std::optional<Mode> modeNamed(const QString& name);
std::optional<Agc> agcNamed(const QString& name);
QString nameOf(Mode mode);
QString nameOf(Agc agc);

// The receiver behind the virtual radio's front panel and its protocol: a
// simulated receiver (the same tables, limits, stations and S-meter as the
// `sim` kind) plus what a real set has on top, a second VFO and RIT.
//
// Every setter checks the value against the profile and returns false,
// changing nothing, for one it does not offer; the protocol turns that into
// its refusal.
class Radio final : public component::BackendSink {
public:
    Radio(component::Profile profile, component::Clock& clock);
    ~Radio();

    const component::Profile& profile() const { return m_profile; }

    int64_t freq() const { return m_sim->frequency(); }
    int64_t freqOf(int vfo) const { return vfo == m_vfo ? freq() : m_otherFreq; }
    bool setFreq(int64_t hz) { return setFreqOf(m_vfo, hz); }
    bool setFreqOf(int vfo, int64_t hz);
    int vfo() const { return m_vfo; } // 0: A, 1: B
    bool setVfo(int vfo);

    std::optional<Mode> mode() const;
    bool setMode(Mode mode);
    // Widths of the current mode's filters, widest first as the profile
    // has them, each as last stored; index 0 is FIL1.
    std::vector<int32_t> filters() const;
    int filterIndex() const;
    bool setFilterIndex(int index);
    // Stores another width for the filter in use, as a radio whose filters
    // are programmable does (the simulation's passband stays the profile's).
    bool setFilterWidth(int32_t hz);

    std::optional<Agc> agc() const;
    bool setAgc(Agc agc);
    // The AGC entry by its profile code, for radios whose protocol numbers
    // its settings (a Kenwood's time constant 0..20) rather than naming them.
    int32_t agcCode() const;
    bool setAgcCode(int32_t code);
    // Position in the profile's noise-blanker table; 0 is off.
    int nb() const;
    bool setNb(int index);
    int attDb() const;
    bool setAttDb(int dB);

    int rit() const { return m_rit; }
    bool ritOn() const { return m_ritOn; }
    bool setRit(int hz);
    void setRitOn(bool on);

    // The S-meter in dBm as the simulation last read it.
    int smeterDbm() const { return m_smeterDbm; }
    void setSmeterDbm(int dBm) { m_smeterDbm = dBm; }

    // Called after every change, whoever made it.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    void report(component::ReceiverBackend& from, component::ReceiverEvent event) override;

private:
    bool changed(bool ok);
    std::vector<int32_t> profileWidths() const; // the current mode's, widest first
    void applyRit();

    component::Profile m_profile;
    std::unique_ptr<component::SimReceiver> m_sim;
    int m_vfo = 0;
    int64_t m_otherFreq = 0;
    // Widths stored over the profile's, by mode code and filter index.
    std::map<std::pair<int32_t, int>, int32_t> m_stored;
    int m_rit = 0;
    bool m_ritOn = false;
    int m_smeterDbm = -121;
    std::function<void()> m_onChange;
};

} // namespace corvane::vradio
