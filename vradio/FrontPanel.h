#pragma once

#include "vradio/Engine.h"
#include "vradio/Line.h"

#include <QString>

namespace corvane::vradio {

// The radio's front panel and the hand on the cable: one command a line, as
// typed on the virtual radio's standard input. What the operator changes here
// is what a program on the port then reads, as with a real radio.
//
//   freq <Hz>   vfo a|b   mode <name>   filter <1..3>   agc <name>   nb <0..2>
//   att <dB>    rit <Hz>  rit on|off    status   log   help
//   silent on|off   slow <ms>   garbage on|off   echo on|off   addr <0xNN>|own
//   from <0xNN>|own
//   unplug   replug
class FrontPanel {
public:
    FrontPanel(Radio& radio, Engine& engine, Line& line)
        : m_radio(radio), m_engine(engine), m_line(line) {}

    // Carries out one command line; the text to show (never empty).
    QString command(const QString& line);
    QString status() const;

private:
    QString knob(const QString& what, const QString& value);
    QString fault(const QString& what, const QString& value);
    QString lineTraffic() const;

    Radio& m_radio;
    Engine& m_engine;
    Line& m_line;
};

} // namespace corvane::vradio
