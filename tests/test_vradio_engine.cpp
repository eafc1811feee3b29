// The virtual radio's protocol engines, bytes in and bytes out: each case
// sends one command to a freshly made radio (the built-in HF profile, 7.05 MHz
// LSB) after a few front-panel steps, and checks the echo, the answer and the
// radio's state afterwards.
#include "component/sim/Clock.h"
#include "vradio/Engine.h"

#include <gtest/gtest.h>

// The built-in profiles live in the component's static library.
static void initProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::vradio {
namespace {

struct Case {
    const char* radio;
    const char* before; // Kenwood commands run first, answers ignored ("" none)
    const char* input;  // CI-V in hex, Kenwood as text
    const char* reply;  // likewise; the CI-V echo is the input unless echoOff
    const char* state;  // summary() afterwards, "" not checked
    bool echoOff = false;
};

void PrintTo(const Case& c, std::ostream* os) {
    // No ";" in a test's name: CTest would split it there.
    *os << c.radio << ' ' << QByteArray(c.input).replace(';', ' ').trimmed().constData();
}

QByteArray civ(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

QString summary(const Radio& r) {
    return QStringLiteral("%1/%2 %3 F%4 %5 NB%6 ATT%7 RIT%8%9")
        .arg(r.freqOf(0))
        .arg(r.freqOf(1))
        .arg(r.vfo() == 0 ? "A" : "B")
        .arg(r.filterIndex() + 1)
        .arg(r.agc() ? nameOf(*r.agc()) : QStringLiteral("?"))
        .arg(r.nb())
        .arg(r.attDb())
        .arg(r.ritOn() ? "+" : "-")
        .arg(r.rit())
        .prepend((r.mode() ? nameOf(*r.mode()) : QStringLiteral("?")) + ' ');
}

class EngineCase : public ::testing::TestWithParam<Case> {};

TEST_P(EngineCase, AnswersAndState) {
    initProfiles();
    const Case& c = GetParam();
    component::DrivenClock clock;
    Radio radio(component::loadProfile(QStringLiteral("builtin:hf"), {}), clock);
    radio.setSmeterDbm(-73); // S9
    const RadioModel* model = findRadioModel(QString::fromLatin1(c.radio));
    ASSERT_NE(model, nullptr);
    const auto engine = makeEngine(radio, *model);
    engine->echo = !c.echoOff;
    const bool isCiv = model->protocol == Protocol::CiV;
    for (const QByteArray& step : QByteArray(c.before).split('|')) {
        engine->feed(isCiv ? civ(step.constData()) : step);
    }
    const QByteArray input = isCiv ? civ(c.input) : QByteArray(c.input);
    const Output out = engine->feed(input);
    EXPECT_EQ(out.echo, isCiv && !c.echoOff ? input : QByteArray());
    EXPECT_EQ(isCiv ? out.reply.toHex(' ').toUpper() : out.reply, QByteArray(c.reply));
    if (*c.state != '\0') {
        EXPECT_EQ(summary(radio), QString::fromLatin1(c.state));
    }
}

const Case cases[] = {
    // --- CI-V, IC-R75 at 5A: frequency in BCD, least significant byte first ---
    {"IC-R75", "", "FE FE 5A E0 03 FD", "FE FE E0 5A 03 00 00 05 07 00 FD",
     "LSB 7050000/7050000 A F1 Fast NB0 ATT0 RIT-0"},
    {"IC-R75", "", "FE FE 5A E0 05 00 40 07 14 00 FD", "FE FE E0 5A FB FD",
     "LSB 14074000/7050000 A F1 Fast NB0 ATT0 RIT-0"},
    // Beyond the profile's 30 MHz, and not BCD at all: NG, nothing changes.
    {"IC-R75", "", "FE FE 5A E0 05 00 00 00 40 00 FD", "FE FE E0 5A FA FD",
     "LSB 7050000/7050000 A F1 Fast NB0 ATT0 RIT-0"},
    {"IC-R75", "", "FE FE 5A E0 05 0A 00 00 07 00 FD", "FE FE E0 5A FA FD", ""},
    // Mode with its filter: 01 wide, 02 normal, 03 narrow; a mode with two
    // filters (this profile's) has no wide one and takes its widest for it.
    {"IC-R75", "", "FE FE 5A E0 04 FD", "FE FE E0 5A 04 00 02 FD", ""},
    {"IC-R75", "", "FE FE 5A E0 06 01 03 FD", "FE FE E0 5A FB FD",
     "USB 7050000/7050000 A F2 Fast NB0 ATT0 RIT-0"},
    {"IC-R75", "FE FE 5A E0 06 01 03 FD", "FE FE 5A E0 06 00 01 FD", "FE FE E0 5A FB FD",
     "LSB 7050000/7050000 A F1 Fast NB0 ATT0 RIT-0"},
    {"IC-R75", "", "FE FE 5A E0 06 01 00 FD", "FE FE E0 5A FA FD", ""},
    {"IC-R75", "", "FE FE 5A E0 06 01 04 FD", "FE FE E0 5A FA FD", ""},
    // AGC 00 off, 01 super-fast (the profile has none), 02 fast, 03 slow.
    {"IC-R75", "", "FE FE 5A E0 16 12 03 FD", "FE FE E0 5A FB FD",
     "LSB 7050000/7050000 A F1 Slow NB0 ATT0 RIT-0"},
    {"IC-R75", "", "FE FE 5A E0 16 12 01 FD", "FE FE E0 5A FA FD", ""},
    {"IC-R75", "", "FE FE 5A E0 16 12 FD", "FE FE E0 5A 16 12 02 FD", ""},
    {"IC-R75", "", "FE FE 5A E0 16 22 01 FD", "FE FE E0 5A FB FD",
     "LSB 7050000/7050000 A F1 Fast NB1 ATT0 RIT-0"},
    {"IC-R75", "", "FE FE 5A E0 11 20 FD", "FE FE E0 5A FB FD",
     "LSB 7050000/7050000 A F1 Fast NB0 ATT20 RIT-0"},
    // S9 on the IC-R75's own scale is 146 (0146 in BCD); its id is its address.
    {"IC-R75", "", "FE FE 5A E0 15 02 FD", "FE FE E0 5A 15 02 01 46 FD", ""},
    {"IC-R75", "", "FE FE 5A E0 19 00 FD", "FE FE E0 5A 19 00 5A FD", ""},
    // What it does not have: VFO B, RIT, a filter's width; all NG.
    {"IC-R75", "", "FE FE 5A E0 07 01 FD", "FE FE E0 5A FA FD", ""},
    {"IC-R75", "", "FE FE 5A E0 21 00 FD", "FE FE E0 5A FA FD", ""},
    {"IC-R75", "", "FE FE 5A E0 1A 03 FD", "FE FE E0 5A FA FD", ""},
    // Its CW pitch is a set-mode item (0128: about 600 Hz).
    {"IC-R75", "", "FE FE 5A E0 1A 02 10 FD", "FE FE E0 5A 1A 02 10 01 28 FD", ""},
    // Another radio's frame is echoed by the bus and not answered; noise
    // before a frame is skipped; without the echo only the answer comes.
    {"IC-R75", "", "FE FE 94 E0 03 FD", "", ""},
    {"IC-R75", "", "13 37 FE FE 5A E0 19 00 FD", "FE FE E0 5A 19 00 5A FD", ""},
    {"IC-R75", "", "FE FE 5A E0 19 00 FD", "FE FE E0 5A 19 00 5A FD", "", true},
    // --- CI-V, IC-7300 at 94: FIL1..3 from 01, VFO A/B, RIT ---
    {"IC-7300", "", "FE FE 94 E0 04 FD", "FE FE E0 94 04 00 01 FD", ""},
    {"IC-7300", "", "FE FE 94 E0 16 12 00 FD", "FE FE E0 94 FA FD", ""},
    {"IC-7300", "", "FE FE 94 E0 21 00 50 01 01 FD", "FE FE E0 94 FB FD",
     "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT--150"},
    {"IC-7300", "FE FE 94 E0 21 00 50 01 01 FD", "FE FE 94 E0 21 00 FD",
     "FE FE E0 94 21 00 50 01 01 FD", ""},
    {"IC-7300", "FE FE 94 E0 07 01 FD|FE FE 94 E0 05 00 00 10 07 00 FD", "FE FE 94 E0 25 01 FD",
     "FE FE E0 94 25 01 00 00 05 07 00 FD", "LSB 7050000/7100000 B F1 Medium NB0 ATT0 RIT-0"},
    {"IC-7300", "", "FE FE 94 E0 26 00 FD", "FE FE E0 94 26 00 00 00 01 FD", ""},
    // 26 with the filter byte chooses it; with data on, a mode this profile
    // lacks (USB-D) is refused.
    {"IC-7300", "", "FE FE 94 E0 26 00 01 00 02 FD", "FE FE E0 94 FB FD",
     "USB 7050000/7050000 A F2 Medium NB0 ATT0 RIT-0"},
    {"IC-7300", "", "FE FE 94 E0 26 00 01 01 02 FD", "FE FE E0 94 FA FD",
     "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    // 1A 03: the width of the filter in use (2400 Hz is 28); a write stores
    // another for it (09 is 500 Hz), which a read then gives; none in FM.
    {"IC-7300", "", "FE FE 94 E0 1A 03 FD", "FE FE E0 94 1A 03 28 FD", ""},
    {"IC-7300", "FE FE 94 E0 1A 03 09 FD", "FE FE 94 E0 1A 03 FD", "FE FE E0 94 1A 03 09 FD",
     "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"IC-7300", "", "FE FE 94 E0 1A 03 41 FD", "FE FE E0 94 FA FD", ""},
    {"IC-7300", "FE FE 94 E0 06 05 FD", "FE FE 94 E0 1A 03 FD", "FE FE E0 94 FA FD", ""},
    // --- Kenwood TS-2000: sets are not answered, reads are, "?;" refuses ---
    {"TS-2000", "", "FA;", "FA00007050000;", ""},
    {"TS-2000", "", "FA00014074000;", "", "LSB 14074000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"TS-2000", "", "FA00099000000;", "?;", "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"TS-2000", "", "MD2;MD;", "MD2;", "USB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    // A mode the radio has no digit for (8), and one the profile lacks
    // (7, CW-R): refused, and the radio keeps its mode.
    {"TS-2000", "", "MD8;MD;", "?;MD1;", "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"TS-2000", "", "MD7;MD;", "?;MD1;", "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"TS-590SG", "MD3;", "MD0;MD;", "?;MD3;", "CW 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    // AGC as a time constant 000..020: 252 is refused, 020 is slow.
    {"TS-2000", "", "GT252;", "?;", "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT-0"},
    {"TS-2000", "", "GT020;GT;", "GT020;", "LSB 7050000/7050000 A F1 Slow NB0 ATT0 RIT-0"},
    {"TS-2000", "", "ID;", "ID019;", ""},
    {"TS-2000", "", "SM0;", "SM00015;", ""},
    {"TS-2000", "", "RA01;RA;NB1;", "RA0100;", "LSB 7050000/7050000 A F1 Medium NB1 ATT10 RIT-0"},
    {"TS-2000", "", "XX;", "?;", ""},
    // IF: the RIT offset in six places from the 18th, RIT on at 24, the mode
    // at 30 and the VFO at 31 (counting from 1).
    // VFO B in use: FA still reads A, IF reads the VFO in use and says B.
    {"TS-2000", "FR1;FB00007100000;", "FA;IF;",
     "FA00007050000;IF000071000000000+0000000000011000000;", ""},
    {"TS-2000", "RU00050;RT1;", "IF;", "IF000070500000000+0005010000010000000;",
     "LSB 7050000/7050000 A F1 Medium NB0 ATT0 RIT+50"},
    // --- TS-590SG: the same time constants in two digits ---
    {"TS-590SG", "", "GT020;", "?;", ""},
    {"TS-590SG", "", "GT20;GT;", "GT20;", "LSB 7050000/7050000 A F1 Slow NB0 ATT0 RIT-0"},
    {"TS-590SG", "", "ID;", "ID023;", ""},
};

INSTANTIATE_TEST_SUITE_P(VirtualRadio, EngineCase, ::testing::ValuesIn(cases));

} // namespace
} // namespace corvane::vradio
