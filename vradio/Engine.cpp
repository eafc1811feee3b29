#include "vradio/Engine.h"

#include "vradio/CivEngine.h"
#include "vradio/KenwoodEngine.h"

#include <algorithm>
#include <cmath>

// Resources of a static library are brought in by name, from outside any
// namespace.
static void initModelResources() {
    Q_INIT_RESOURCE(models);
}

namespace corvane::vradio {

const std::vector<RadioModel>& radioModels() {
    static const std::vector<RadioModel> models = [] {
        std::vector<RadioModel> m(4);
        // IC-R75: filters 01 wide, 02 normal, 03 narrow, as on every Icom
        // (the command table of its manual says 00..02; its own memory
        // example, the CI-V references and Hamlib say 01..03); AGC 00 off,
        // 01 super-fast, 02 fast, 03 slow; VFO mode only, no RIT.
        m[0].name = QStringLiteral("IC-R75");
        m[0].profile = QStringLiteral(":/corvane-vradio/models/ic-r75.json");
        m[0].hamlibModel = 3039;
        m[0].speeds = {300, 1200, 4800, 9600, 19200};
        m[0].address = 0x5A;
        m[0].firstFilter = 1;
        m[0].namedFilters = true;
        m[0].setModeItems = true;
        m[0].agc = {{0x00, Agc::Off}, {0x01, Agc::SuperFast}, {0x02, Agc::Fast}, {0x03, Agc::Slow}};
        m[0].smeterCal = {{0, -60},  {37, -54},  {52, -48},  {61, -42}, {72, -36}, {86, -30},
                          {95, -24}, {109, -18}, {124, -12}, {128, -6}, {146, 0},  {166, 10},
                          {186, 20}, {199, 30},  {225, 40},  {233, 50}, {255, 60}};
        // IC-7300: FIL1..FIL3 as 01..03, each with a width the operator
        // stores (1A 03); data modes; AGC 01 fast, 02 mid, 03 slow (off is
        // a time constant of the menu, not a choice of this command); VFO
        // A/B; RIT. Its remote jack runs at 300 to 19200 baud, its USB port
        // at 4800 to 115200.
        m[1].name = QStringLiteral("IC-7300");
        m[1].profile = QStringLiteral(":/corvane-vradio/models/ic-7300.json");
        m[1].hamlibModel = 3073;
        m[1].speeds = {300, 1200, 4800, 9600, 19200, 38400, 57600, 115200};
        m[1].address = 0x94;
        m[1].firstFilter = 1;
        m[1].dataModes = true;
        m[1].storedWidths = true;
        m[1].agc = {{0x01, Agc::Fast}, {0x02, Agc::Medium}, {0x03, Agc::Slow}};
        m[1].vfoAB = true;
        m[1].rit = true;
        m[1].smeterCal = {{0, -54}, {120, 0}, {241, 60}};
        // Kenwood meters read 0..30: S9 at 15. The filters, AGC time
        // constants (GT, 000 off, 001..020 fast to slow) and attenuator are
        // the profile's; the engine numbers them as the radio does.
        m[2].name = QStringLiteral("TS-2000");
        m[2].profile = QStringLiteral(":/corvane-vradio/models/ts-2000.json");
        m[2].hamlibModel = 2014;
        m[2].protocol = Protocol::Kenwood;
        m[2].id = "019";
        m[2].type = "K00";
        m[2].smeterCal = {{0, -54}, {15, 0}, {30, 60}};
        m[2].speeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
        m[3] = m[2];
        m[3].speeds = {4800, 9600, 19200, 38400, 57600, 115200};
        m[3].name = QStringLiteral("TS-590SG");
        m[3].profile = QStringLiteral(":/corvane-vradio/models/ts-590sg.json");
        m[3].hamlibModel = 2037;
        m[3].id = "023";
        m[3].type = "K 00";
        m[3].dataMode = true;
        m[3].gtDigits = 2;
        return m;
    }();
    return models;
}

const RadioModel* findRadioModel(const QString& nameOrNumber) {
    for (const RadioModel& m : radioModels()) {
        if (m.name.compare(nameOrNumber, Qt::CaseInsensitive) == 0 ||
            QString::number(m.hamlibModel) == nameOrNumber) {
            return &m;
        }
    }
    return nullptr;
}

component::Profile modelProfile(const RadioModel& model) {
    static const bool loaded = (initModelResources(), true);
    (void)loaded;
    return component::loadProfile(model.profile, {});
}

int smeterRaw(const std::vector<std::pair<int, int>>& cal, int overS9) {
    if (overS9 <= cal.front().second) {
        return cal.front().first;
    }
    for (size_t i = 1; i < cal.size(); ++i) {
        const auto [raw0, db0] = cal[i - 1];
        const auto [raw1, db1] = cal[i];
        if (overS9 <= db1) {
            return raw0 + static_cast<int>(std::lround(double(overS9 - db0) * (raw1 - raw0) /
                                                       double(db1 - db0)));
        }
    }
    return cal.back().first;
}

std::unique_ptr<Engine> makeEngine(Radio& radio, const RadioModel& model) {
    // A profile may start on an AGC this radio has no code for (medium on an
    // IC-R75): it starts on one it has instead. A Kenwood sends the profile's
    // own code (its time constant), so every entry has one.
    std::vector<Agc> codes;
    for (const auto& [code, agc] : model.agc) {
        codes.push_back(agc);
    }
    if (model.protocol == Protocol::CiV &&
        std::find(codes.begin(), codes.end(), radio.agc()) == codes.end()) {
        for (const Agc agc : {Agc::Fast, Agc::Slow, Agc::Medium, Agc::Off, Agc::SuperFast}) {
            if (std::find(codes.begin(), codes.end(), agc) != codes.end() && radio.setAgc(agc)) {
                break;
            }
        }
    }
    if (model.protocol == Protocol::CiV) {
        return std::make_unique<CivEngine>(radio, model);
    }
    return std::make_unique<KenwoodEngine>(radio, model);
}

} // namespace corvane::vradio
