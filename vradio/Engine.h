#pragma once

#include "vradio/Radio.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace corvane::vradio {

enum class Protocol { CiV, Kenwood };

// One radio the virtual radio can play: its protocol, its identity and the
// codes its protocol uses where radios differ.
struct RadioModel {
    QString name;            // "IC-R75"
    QString profile;         // its own tables: the profile it plays unless told otherwise
    int hamlibModel = 0;     // Hamlib's model number, also accepted on the command line
    std::vector<int> speeds; // the line speeds it can be set to; none: any
    Protocol protocol = Protocol::CiV;
    // CI-V
    uint8_t address = 0;
    int firstFilter = 1; // code of FIL1 (the widest)
    // Filters are wide, normal and narrow by number: a mode with fewer than
    // three lacks the wide one, and its narrowest is still number 03.
    bool namedFilters = false;
    std::vector<std::pair<uint8_t, Agc>> agc; // command 16 12
    bool vfoAB = false;                       // 07 00/01, 25, 26; else VFO mode only
    bool rit = false;                         // command 21
    bool dataModes = false;                   // 26 and 1A 06 take data on
    bool storedWidths = false; // 1A 03 reads and stores the width of the filter in use
    bool setModeItems = false; // 1A 02: the IC-R75's set-mode items (10: CW pitch)
    // S-meter: raw reading against dB over S9, rising (CI-V 15 02, Kenwood SM).
    std::vector<std::pair<int, int>> smeterCal;
    // Kenwood
    QByteArray id;         // "019"
    QByteArray type;       // the answer to TY: market and options
    bool dataMode = false; // DA: data mode (off, and only off)
    int gtDigits = 3;      // GT: AGC time constant 0..20 in this many digits
};

// The four radios, and the one named by a name or Hamlib number (nullptr
// when none fits).
const std::vector<RadioModel>& radioModels();
const RadioModel* findRadioModel(const QString& nameOrNumber);
// The receiver `model` plays by default: its range, modes, filters, AGC and
// attenuator as the real radio has them. Throws receiver::RuntimeError like
// component::loadProfile.
component::Profile modelProfile(const RadioModel& model);

// What one piece of input made the radio send: the echo a CI-V bus gives
// while the command is on the line, and the answer that follows it.
struct Output {
    QByteArray echo;
    QByteArray reply;
};

// One command as the radio understood it, for the log and the tests.
struct Heard {
    QByteArray command; // hex bytes for CI-V ("03", "05 00 50 07 ..."), text for Kenwood
    bool write = false; // it asked for a change (accepted or not)
    bool refused = false;
};

// A protocol engine: bytes from the line in, bytes for the line out. It
// keeps partial commands between calls and never blocks.
class Engine {
public:
    Engine(Radio& radio, const RadioModel& model) : m_radio(radio), m_model(model) {}
    virtual ~Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    virtual Output feed(const QByteArray& bytes) = 0;
    // What the radio sends unasked after a change at its front panel (CI-V
    // transceive, Kenwood auto information); empty while that is off.
    virtual QByteArray announce() { return {}; }

    const RadioModel& model() const { return m_model; }
    const std::vector<Heard>& heard() const { return m_heard; }
    void clearHeard() { m_heard.clear(); }

    // Line faults that live in the protocol.
    bool echo = true;       // CI-V: the bus gives back what the controller sent
    int answerAddress = -1; // CI-V: answer from this address instead of the radio's
    uint8_t address = 0;    // CI-V: the radio's own address
    // Told of every command as it is heard (the program's --log).
    std::function<void(const Heard&)> onHeard;

protected:
    void hear(QByteArray command, bool write, bool refused) {
        m_heard.push_back({std::move(command), write, refused});
        if (onHeard) {
            onHeard(m_heard.back());
        }
        if (m_heard.size() > 10000) {
            m_heard.erase(m_heard.begin(), m_heard.begin() + 5000);
        }
    }

    Radio& m_radio;
    const RadioModel& m_model;

private:
    std::vector<Heard> m_heard;
};

// The raw meter value for a level in dB over S9, by the radio's calibration.
int smeterRaw(const std::vector<std::pair<int, int>>& cal, int overS9);

std::unique_ptr<Engine> makeEngine(Radio& radio, const RadioModel& model);

} // namespace corvane::vradio
