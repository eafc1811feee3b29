#pragma once

#include "receiver/Component.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace corvane::bench {

// One choice table (modes, AGC, NB or ATT): names in entry order, their codes,
// and the code in force.
struct ChoiceTable {
    QStringList names;
    std::vector<int32_t> codes;
    QHash<QString, int32_t> codeOf;
    int32_t current = 0;

    static ChoiceTable numbered(const QString& prefix, int count, int currentEntry) {
        ChoiceTable t;
        for (int i = 0; i < count; ++i) {
            t.names.append(prefix + QString::number(i));
            t.codes.push_back(100 + i);
            t.codeOf.insert(t.names.last(), 100 + i);
        }
        t.current = t.codes.at(static_cast<size_t>(currentEntry));
        return t;
    }
    int32_t code(const QString& name) const { return codeOf.value(name, -1); }
    QString name(int32_t i) const { return (i >= 0 && i < names.size()) ? names.at(i) : QString(); }
};

// A component that answers every receiver's questions from the same tables in
// memory and counts the calls: cheap enough that a measurement shows the
// window's own work. Every mode has its own set of filters.
class MemoryComponent : public receiver::Component {
public:
    ChoiceTable modes, agc, nb, att;
    std::vector<std::vector<int32_t>> widthsPerMode; // by mode entry
    QHash<int32_t, QString> filterNames;
    int32_t filter = 0;
    int16_t receivers = 2;
    int64_t calls = 0;

    int32_t DrvSetup(const QString&, int16_t) override { return count(0); }
    int16_t DrvCount() override { return count(receivers); }
    QString DrvName(int16_t i) override { return count(QStringLiteral("Rx%1").arg(i)); }
    int32_t RxConfigure(int16_t) override { return count(0); }
    int32_t RxConnect(int16_t, int16_t) override { return count(0); }
    int32_t RxRemote(int16_t, int16_t) override { return count(0); }
    int32_t RxKeyPress(int16_t, int16_t) override { return count(0); }
    int32_t RxConnected(int16_t) override { return count(-1); }
    int32_t RxIsRemote(int16_t) override { return count(0); }
    QString RxRomId(int16_t) override { return count(QStringLiteral("Bench 1.0")); }
    int32_t RxFrqMax(int16_t) override { return count(30000000); }
    int32_t RxFrqMin(int16_t) override { return count(100000); }
    int32_t RxBfo(int16_t) override { return count(-300); }
    int32_t RxFrq(int16_t, int16_t) override { return count(7050000); }
    void setRxFrq(int16_t, int16_t, int32_t) override { ++calls; }
    void setRxDeltaF(int16_t, int32_t) override { ++calls; }

    int16_t RxModCount(int16_t) override { return countOf(modes); }
    int32_t RxModAvail(int16_t, int32_t) override { return count(-1); }
    QString RxModName(int16_t, int32_t i) override { return count(modes.name(i)); }
    int32_t RxModCode(int16_t, const QString& n) override { return count(modes.code(n)); }
    int32_t RxMod(int16_t) override { return count(modes.current); }
    void setRxMod(int16_t, int32_t c) override { set(modes, c); }
    int16_t RxAgcCount(int16_t) override { return countOf(agc); }
    int32_t RxAgcAvail(int16_t, int32_t) override { return count(-1); }
    QString RxAgcName(int16_t, int32_t i) override { return count(agc.name(i)); }
    int32_t RxAgcCode(int16_t, const QString& n) override { return count(agc.code(n)); }
    int32_t RxAgc(int16_t) override { return count(agc.current); }
    void setRxAgc(int16_t, int32_t c) override { set(agc, c); }
    int16_t RxNBlCount(int16_t) override { return countOf(nb); }
    int32_t RxNBlAvail(int16_t, int32_t) override { return count(-1); }
    QString RxNBlName(int16_t, int32_t i) override { return count(nb.name(i)); }
    int32_t RxNBlCode(int16_t, const QString& n) override { return count(nb.code(n)); }
    int32_t RxNBl(int16_t) override { return count(nb.current); }
    void setRxNBl(int16_t, int32_t c) override { set(nb, c); }
    int16_t RxAttCount(int16_t) override { return countOf(att); }
    int32_t RxAttAvail(int16_t, int32_t) override { return count(-1); }
    QString RxAttName(int16_t, int32_t i) override { return count(att.name(i)); }
    int32_t RxAttCode(int16_t, const QString& n) override { return count(att.code(n)); }
    int32_t RxAtt(int16_t) override { return count(att.current); }
    void setRxAtt(int16_t, int32_t c) override { set(att, c); }

    int16_t RxFltCount(int16_t) override {
        return count(static_cast<int16_t>(currentWidths().size()));
    }
    int32_t RxFltWidth(int16_t, int16_t i) override {
        const auto& w = currentWidths();
        return count(i >= 0 && static_cast<size_t>(i) < w.size() ? w[static_cast<size_t>(i)] : 0);
    }
    QString RxFltName(int16_t, int16_t bandwidth) override {
        return count(filterNames.value(bandwidth));
    }
    int32_t RxFlt(int16_t) override { return count(filter); }
    void setRxFlt(int16_t, int32_t bandwidth) override {
        ++calls;
        filter = bandwidth;
    }

private:
    template <typename T> T count(T value) {
        ++calls;
        return value;
    }
    int16_t countOf(const ChoiceTable& t) { return count(static_cast<int16_t>(t.names.size())); }
    void set(ChoiceTable& t, int32_t code) {
        ++calls;
        t.current = code;
    }
    const std::vector<int32_t>& currentWidths() const {
        static const std::vector<int32_t> none;
        const auto mode = static_cast<size_t>(modes.current - 100);
        return mode < widthsPerMode.size() ? widthsPerMode[mode] : none;
    }
};

} // namespace corvane::bench
