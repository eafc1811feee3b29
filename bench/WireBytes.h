#pragma once

// The bytes one command took on the line, both ways, from the virtual radio's
// log line of it ("read 03", "write FA00007100000"): the command as the
// controller framed it, and the answer a radio of the same model gives to it,
// found by asking one here. CI-V's bus echo is left out: on a full-duplex
// line it comes back while the command goes and costs no time of its own.

#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "vradio/Engine.h"

#include <QByteArray>

#include <memory>

// The built-in profiles live in the component's static library; the macro
// cannot be used inside a namespace.
inline void initBenchProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::bench {

class WireBytes {
public:
    explicit WireBytes(const vradio::RadioModel& model)
        : m_model(model), m_radio(hfProfile(), m_clock),
          m_engine(vradio::makeEngine(m_radio, model)) {
        m_engine->echo = false;
    }

    // 0 for a line that is not a command heard.
    int of(const QByteArray& logLine) {
        const qsizetype space = logLine.indexOf(' ');
        const QByteArray kind = logLine.left(space);
        if (space < 0 || (kind != "read" && kind != "write" && kind != "refused")) {
            return 0;
        }
        const QByteArray command = logLine.mid(space + 1);
        QByteArray framed;
        if (m_model.protocol == vradio::Protocol::CiV) {
            // FE FE <radio> E0 <command> FD, as Hamlib sends it.
            framed = QByteArray("\xFE\xFE") + static_cast<char>(m_model.address) + '\xE0' +
                     QByteArray::fromHex(command) + '\xFD';
        } else {
            framed = command + ';';
        }
        return static_cast<int>(framed.size() + m_engine->feed(framed).reply.size());
    }

private:
    // The virtual radio's own default receiver.
    static component::Profile hfProfile() {
        initBenchProfiles();
        return component::loadProfile(QStringLiteral("builtin:hf"), QString());
    }

    const vradio::RadioModel& m_model;
    component::RealClock m_clock;
    vradio::Radio m_radio;
    std::unique_ptr<vradio::Engine> m_engine;
};

} // namespace corvane::bench
