#include "vradio/FrontPanel.h"

#include <QStringList>

#include <limits>

namespace corvane::vradio {

namespace {

const char* const help =
    "knobs: freq <Hz> | vfo a|b | mode <LSB|USB|AM|CW|CW-R|RTTY|RTTY-R|FM> | filter <1..3> |\n"
    "       agc <off|sfast|fast|medium|slow|code> | nb <0..2> | att <dB> | rit <Hz> | rit on|off\n"
    "line:  silent on|off | slow <ms per byte, 0 off> | garbage on|off | echo on|off |\n"
    "       addr <0xNN>|own | from <0xNN>|own | unplug | replug\n"
    "other: status | log | help";

std::optional<bool> onOff(const QString& value) {
    if (value == QLatin1String("on")) {
        return true;
    }
    if (value == QLatin1String("off")) {
        return false;
    }
    return std::nullopt;
}

} // namespace

QString FrontPanel::status() const {
    const std::optional<Mode> mode = m_radio.mode();
    const std::optional<Agc> agc = m_radio.agc();
    const auto widths = m_radio.filters();
    const int fil = m_radio.filterIndex();
    return QStringLiteral("%1 %2 Hz VFO %3 %4 FIL%5 (%6 Hz) AGC %7 NB %8 ATT %9 dB RIT %10%11 Hz "
                          "S %12 dBm; line %13%14%15%16%17")
        .arg(m_engine.model().name)
        .arg(m_radio.freq())
        .arg(m_radio.vfo() == 0 ? 'A' : 'B')
        .arg(mode ? nameOf(*mode) : QStringLiteral("?"))
        .arg(fil + 1)
        .arg(widths.empty() ? 0 : widths[static_cast<size_t>(fil)])
        .arg(agc ? nameOf(*agc) : QString::number(m_radio.agcCode()))
        .arg(m_radio.nb())
        .arg(m_radio.attDb())
        .arg(m_radio.ritOn() ? QStringLiteral("on ") : QStringLiteral("off "))
        .arg(m_radio.rit())
        .arg(m_radio.smeterDbm())
        .arg(m_line.plugged() ? m_line.slavePath() : QStringLiteral("unplugged"))
        .arg(m_line.silent() ? QStringLiteral(" silent") : QString())
        .arg(m_line.slowMs() > 0 ? QStringLiteral(" slow %1 ms").arg(m_line.slowMs()) : QString())
        .arg(m_line.garbage() ? QStringLiteral(" garbage") : QString())
        .arg(lineTraffic());
}

// What the line holds back and has lost: the truth behind a quiet line.
QString FrontPanel::lineTraffic() const {
    QString out;
    if (m_line.waitingOut() > 0) {
        out += QStringLiteral(", %1 bytes to send").arg(m_line.waitingOut());
    }
    if (m_line.overrunIn() > 0) {
        out += QStringLiteral(", %1 bytes lost to input overruns").arg(m_line.overrunIn());
    }
    if (m_line.lostOut() > 0) {
        out += QStringLiteral(", %1 bytes sent to nobody").arg(m_line.lostOut());
    }
    return out;
}

QString FrontPanel::command(const QString& line) {
    const QStringList words =
        line.simplified().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return status();
    }
    const QString what = words[0];
    const QString value = words.value(1);
    if (what == QLatin1String("status")) {
        return status();
    }
    if (what == QLatin1String("help")) {
        return QString::fromLatin1(help);
    }
    if (what == QLatin1String("log")) {
        QStringList out;
        for (const Heard& h : m_engine.heard()) {
            out << QStringLiteral("%1 %2").arg(h.refused ? QStringLiteral("refused")
                                               : h.write ? QStringLiteral("write  ")
                                                         : QStringLiteral("read   "),
                                               QString::fromLatin1(h.command));
        }
        m_engine.clearHeard();
        return out.isEmpty() ? QStringLiteral("(nothing heard)") : out.join(QLatin1Char('\n'));
    }
    const QString knobAnswer = knob(what, value);
    if (!knobAnswer.isNull()) {
        if (knobAnswer.isEmpty()) {
            m_line.sendUnasked(m_engine.announce());
            return status();
        }
        return knobAnswer;
    }
    return fault(what, value);
}

// A null text when `what` is no knob, empty when done, else why not.
QString FrontPanel::knob(const QString& what, const QString& value) {
    // Numbers out of an int's range are refused, never wrapped.
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    ok = ok && number >= std::numeric_limits<int>::min() &&
         number <= std::numeric_limits<int>::max();
    bool done = false;
    if (what == QLatin1String("freq")) {
        bool hz = false;
        const qlonglong freq = value.toLongLong(&hz);
        done = hz && m_radio.setFreq(freq);
    } else if (what == QLatin1String("vfo")) {
        done = (value == QLatin1String("a") || value == QLatin1String("b")) &&
               m_radio.setVfo(value == QLatin1String("b") ? 1 : 0);
    } else if (what == QLatin1String("mode")) {
        const std::optional<Mode> mode = modeNamed(value);
        done = mode && m_radio.setMode(*mode);
    } else if (what == QLatin1String("filter")) {
        done = ok && m_radio.setFilterIndex(static_cast<int>(number) - 1);
    } else if (what == QLatin1String("agc")) {
        // By name, or by the profile's code (a Kenwood's time constant 0..20).
        const std::optional<Agc> agc = agcNamed(value);
        done = agc ? m_radio.setAgc(*agc) : ok && m_radio.setAgcCode(static_cast<int32_t>(number));
    } else if (what == QLatin1String("nb")) {
        done = ok && m_radio.setNb(static_cast<int>(number));
    } else if (what == QLatin1String("att")) {
        done = ok && m_radio.setAttDb(static_cast<int>(number));
    } else if (what == QLatin1String("rit")) {
        if (const auto on = onOff(value)) {
            m_radio.setRitOn(*on);
            done = true;
        } else {
            done = ok && m_radio.setRit(static_cast<int>(number));
        }
    } else {
        return {};
    }
    return done ? QLatin1String("") : QStringLiteral("the radio has no %1 %2").arg(what, value);
}

QString FrontPanel::fault(const QString& what, const QString& value) {
    const std::optional<bool> on = onOff(value);
    const bool isSwitch = what == QLatin1String("silent") || what == QLatin1String("garbage") ||
                          what == QLatin1String("echo");
    if (isSwitch && !on) {
        return QStringLiteral("%1 takes on or off").arg(what);
    }
    if (what == QLatin1String("silent")) {
        m_line.setSilent(*on);
    } else if (what == QLatin1String("garbage")) {
        m_line.setGarbage(*on);
    } else if (what == QLatin1String("echo")) {
        m_engine.echo = *on;
    } else if (what == QLatin1String("slow")) {
        bool ok = false;
        const int ms = value.toInt(&ok);
        if (!ok || ms < 0) {
            return QStringLiteral("slow takes milliseconds per byte, 0 for the line's pace");
        }
        m_line.setSlowMs(ms);
    } else if (what == QLatin1String("addr") || what == QLatin1String("from")) {
        // addr: the radio set to another CI-V address (it listens and answers
        // there); from: it listens at its own but answers from another.
        bool ok = value == QLatin1String("own");
        const int address = ok ? -1 : value.toInt(&ok, 0);
        if (!ok || address > 0xFF) {
            return QStringLiteral("%1 takes an address such as 0x5a, or own").arg(what);
        }
        if (what == QLatin1String("from")) {
            m_engine.answerAddress = address;
        } else {
            m_engine.address =
                static_cast<uint8_t>(address < 0 ? m_engine.model().address : address);
        }
    } else if (what == QLatin1String("unplug")) {
        m_line.unplug();
    } else if (what == QLatin1String("replug")) {
        QString error;
        if (!m_line.replug(&error)) {
            return QStringLiteral("replug failed: %1").arg(error);
        }
        if (!m_line.notice().isEmpty()) {
            return m_line.notice() + QLatin1Char('\n') + status();
        }
    } else {
        return QStringLiteral("unknown command \"%1\" (help lists them)").arg(what);
    }
    return status();
}

} // namespace corvane::vradio
