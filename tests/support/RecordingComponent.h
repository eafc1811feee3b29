#pragma once

#include "controls/Handler.h"
#include "receiver/Component.h"
#include "receiver/RuntimeError.h"

#include <QStringList>
#include <QVector>

#include <functional>
#include <map>
#include <optional>

namespace corvane::testsupport {

struct Entry {
    QString name;
    int32_t code = 0;
    int32_t available = -1;
};

struct FilterEntry {
    int32_t width = 0;
    QString name;
};

// One receiver of the fake: its tables and state, all plain data a test sets.
struct FakeReceiver {
    QString name = QStringLiteral("Rx");
    QString romId;
    int32_t frqMin = 0, frqMax = 0, frq = 0, bfo = 0, connected = 0, remote = 0;
    QVector<Entry> modes, agc, nb, att;
    QVector<FilterEntry> filters;
    int32_t mod = 0, flt = 0, agcCode = 0, nbCode = 0, attCode = 0;
};

// A component that answers from the plain data above and records every call
// in the form "RxModCode(0, \"USB\") -> 3", "RxMod(0) <- 3", or with " !! " and
// the error for a failed one. It raises no events by itself: tests emit its
// signals. It can fail the N-th call and answer a read from a script instead
// of the data.
class FakeComponent : public receiver::Component {
    Q_OBJECT

public:
    QVector<FakeReceiver> receivers;
    std::optional<int16_t> drvCount; // overrides receivers.size()
    QStringList calls;
    std::map<QString, std::function<QVariant()>> scripts; // by operation name, e.g. "RxModCount"

    // Fails the n-th call from now on (1-based); 0 fails none.
    void failAt(int n) {
        m_failAt = n;
        m_counted = 0;
    }
    void clearCalls() { calls.clear(); }

    int32_t DrvSetup(const QString& a, int16_t d) override {
        return get<int32_t>("DrvSetup", {a, d}, [] { return 0; });
    }
    int16_t DrvCount() override {
        return get<int16_t>("DrvCount", {}, [this] {
            return drvCount.value_or(static_cast<int16_t>(receivers.size()));
        });
    }
    QString DrvName(int16_t x) override { return read("DrvName", x, &FakeReceiver::name); }
    int32_t RxConfigure(int16_t x) override {
        return get<int32_t>("RxConfigure", {x}, [] { return 0; });
    }
    int32_t RxConnect(int16_t x, int16_t s) override {
        return get<int32_t>("RxConnect", {x, s}, [=, this] {
            rx(x).connected = s;
            if (s == 0) {
                rx(x).remote = 0;
            }
            return 0;
        });
    }
    int32_t RxRemote(int16_t x, int16_t s) override {
        return get<int32_t>("RxRemote", {x, s}, [=, this] {
            rx(x).remote = (s != 0 && rx(x).connected != 0) ? -1 : 0;
            return 0;
        });
    }
    int32_t RxKeyPress(int16_t x, int16_t k) override {
        return get<int32_t>("RxKeyPress", {x, k}, [] { return 0; });
    }
    int32_t RxConnected(int16_t x) override {
        return read("RxConnected", x, &FakeReceiver::connected);
    }
    int32_t RxIsRemote(int16_t x) override { return read("RxIsRemote", x, &FakeReceiver::remote); }
    QString RxRomId(int16_t x) override { return read("RxRomId", x, &FakeReceiver::romId); }
    int32_t RxFrqMax(int16_t x) override { return read("RxFrqMax", x, &FakeReceiver::frqMax); }
    int32_t RxFrqMin(int16_t x) override { return read("RxFrqMin", x, &FakeReceiver::frqMin); }
    int32_t RxBfo(int16_t x) override { return read("RxBfo", x, &FakeReceiver::bfo); }
    int32_t RxFrq(int16_t x, int16_t vfo) override {
        return get<int32_t>("RxFrq", {x, vfo}, [=, this] { return rx(x).frq; });
    }
    void setRxFrq(int16_t x, int16_t vfo, int32_t f) override {
        set("RxFrq", {x, vfo}, f, [=, this] { rx(x).frq = f; });
    }
    void setRxDeltaF(int16_t x, int32_t d) override {
        set("RxDeltaF", {x}, d, [] {});
    }
    // The four choice tables share one shape.
    int16_t RxModCount(int16_t x) override { return count(kMod, x); }
    int32_t RxModAvail(int16_t x, int32_t i) override { return avail(kMod, x, i); }
    QString RxModName(int16_t x, int32_t i) override { return entryName(kMod, x, i); }
    int32_t RxModCode(int16_t x, const QString& n) override { return code(kMod, x, n); }
    int32_t RxMod(int16_t x) override { return read("RxMod", x, kMod.current); }
    void setRxMod(int16_t x, int32_t v) override { write("RxMod", x, kMod.current, v); }
    int16_t RxAgcCount(int16_t x) override { return count(kAgc, x); }
    int32_t RxAgcAvail(int16_t x, int32_t i) override { return avail(kAgc, x, i); }
    QString RxAgcName(int16_t x, int32_t i) override { return entryName(kAgc, x, i); }
    int32_t RxAgcCode(int16_t x, const QString& n) override { return code(kAgc, x, n); }
    int32_t RxAgc(int16_t x) override { return read("RxAgc", x, kAgc.current); }
    void setRxAgc(int16_t x, int32_t v) override { write("RxAgc", x, kAgc.current, v); }
    int16_t RxNBlCount(int16_t x) override { return count(kNBl, x); }
    int32_t RxNBlAvail(int16_t x, int32_t i) override { return avail(kNBl, x, i); }
    QString RxNBlName(int16_t x, int32_t i) override { return entryName(kNBl, x, i); }
    int32_t RxNBlCode(int16_t x, const QString& n) override { return code(kNBl, x, n); }
    int32_t RxNBl(int16_t x) override { return read("RxNBl", x, kNBl.current); }
    void setRxNBl(int16_t x, int32_t v) override { write("RxNBl", x, kNBl.current, v); }
    int16_t RxAttCount(int16_t x) override { return count(kAtt, x); }
    int32_t RxAttAvail(int16_t x, int32_t i) override { return avail(kAtt, x, i); }
    QString RxAttName(int16_t x, int32_t i) override { return entryName(kAtt, x, i); }
    int32_t RxAttCode(int16_t x, const QString& n) override { return code(kAtt, x, n); }
    int32_t RxAtt(int16_t x) override { return read("RxAtt", x, kAtt.current); }
    void setRxAtt(int16_t x, int32_t v) override { write("RxAtt", x, kAtt.current, v); }
    int16_t RxFltCount(int16_t x) override {
        return get<int16_t>("RxFltCount", {x},
                            [=, this] { return static_cast<int16_t>(rx(x).filters.size()); });
    }
    int32_t RxFltWidth(int16_t x, int16_t i) override {
        return get<int32_t>("RxFltWidth", {x, i}, [=, this] {
            const auto& f = rx(x).filters;
            return (i >= 0 && i < f.size()) ? f[i].width : 0;
        });
    }
    QString RxFltName(int16_t x, int16_t bw) override {
        return get<QString>("RxFltName", {x, bw}, [=, this] {
            for (const FilterEntry& f : rx(x).filters) {
                if (f.width == bw) {
                    return f.name;
                }
            }
            return QString();
        });
    }
    int32_t RxFlt(int16_t x) override { return read("RxFlt", x, &FakeReceiver::flt); }
    void setRxFlt(int16_t x, int32_t bw) override { write("RxFlt", x, &FakeReceiver::flt, bw); }

protected:
    struct Family {
        const char* op; // as in "RxModCount"
        QVector<Entry> FakeReceiver::*table;
        int32_t FakeReceiver::*current;
    };
    static constexpr Family kMod{"Mod", &FakeReceiver::modes, &FakeReceiver::mod};
    static constexpr Family kAgc{"Agc", &FakeReceiver::agc, &FakeReceiver::agcCode};
    static constexpr Family kNBl{"NBl", &FakeReceiver::nb, &FakeReceiver::nbCode};
    static constexpr Family kAtt{"Att", &FakeReceiver::att, &FakeReceiver::attCode};

    // Records one call, then answers it from the script for the operation or
    // else from `compute`; a call to fail throws instead.
    template <typename T>
    T get(const QString& op, const QVariantList& args, const std::function<T()>& compute) {
        record(callText(op, args));
        const auto script = scripts.find(op);
        const T result = script != scripts.end() ? qvariant_cast<T>(script->second()) : compute();
        calls.last() += QStringLiteral(" -> ") + formatValue(QVariant::fromValue(result));
        return result;
    }
    template <typename T> T read(const QString& op, int16_t x, T FakeReceiver::*field) {
        return get<T>(op, {x}, [=, this] { return rx(x).*field; });
    }
    // A property has no argument list: "DrvForward <- 1", as the trace writes it.
    void set(const QString& op, const QVariantList& args, const QVariant& value,
             const std::function<void()>& apply) {
        record((args.isEmpty() ? op : callText(op, args)) + " <- " + formatValue(value));
        apply();
    }
    void write(const QString& op, int16_t x, int32_t FakeReceiver::*field, int32_t value) {
        set(op, {x}, value, [=, this] { rx(x).*field = value; });
    }
    int16_t count(const Family& f, int16_t x) {
        return get<int16_t>(QStringLiteral("Rx%1Count").arg(f.op), {x},
                            [=, this] { return static_cast<int16_t>((rx(x).*f.table).size()); });
    }
    int32_t avail(const Family& f, int16_t x, int32_t i) {
        return get<int32_t>(QStringLiteral("Rx%1Avail").arg(f.op), {x, i},
                            [=, this] { return at(rx(x).*f.table, i).available; });
    }
    QString entryName(const Family& f, int16_t x, int32_t i) {
        return get<QString>(QStringLiteral("Rx%1Name").arg(f.op), {x, i},
                            [=, this] { return at(rx(x).*f.table, i).name; });
    }
    int32_t code(const Family& f, int16_t x, const QString& name) {
        return get<int32_t>(QStringLiteral("Rx%1Code").arg(f.op), {x, name}, [=, this] {
            for (const Entry& e : rx(x).*f.table) {
                if (e.name == name) {
                    return e.code;
                }
            }
            return -1;
        });
    }
    FakeReceiver& rx(int16_t index) {
        if (index < 0 || index >= receivers.size()) {
            throw receiver::RuntimeError::componentFailure(
                QStringLiteral("no receiver %1").arg(index));
        }
        return receivers[index];
    }

private:
    static const Entry& at(const QVector<Entry>& table, int32_t i) {
        static const Entry none{};
        return (i >= 0 && i < table.size()) ? table[i] : none;
    }
    // Numbers in decimal, texts quoted.
    static QString formatValue(const QVariant& value) {
        return value.typeId() == QMetaType::QString ? '"' + value.toString() + '"'
                                                    : QString::number(value.toLongLong());
    }
    static QString callText(const QString& op, const QVariantList& args) {
        QStringList parts;
        for (const QVariant& a : args) {
            parts.append(formatValue(a));
        }
        return op + '(' + parts.join(QStringLiteral(", ")) + ')';
    }
    // Appends the call's line or, for the call to fail, the line with the error, and throws.
    void record(const QString& line) {
        if (m_failAt > 0 && ++m_counted == m_failAt) {
            const QString failure = QStringLiteral("receiver does not answer");
            calls.append(line + QStringLiteral(" !! ") + failure);
            throw receiver::RuntimeError::componentFailure(failure);
        }
        calls.append(line);
    }

    int m_failAt = 0;
    int m_counted = 0;
};

// The fake with the by-name property the Coupling box sets.
class RecordingComponent : public FakeComponent {
    Q_OBJECT
    Q_PROPERTY(qint16 DrvForward READ drvForward WRITE setDrvForward)

public:
    qint16 drvForward() const { return m_forward; }
    void setDrvForward(qint16 value) {
        set("DrvForward", {}, value, [=, this] { m_forward = value; });
    }

private:
    qint16 m_forward = 0;
};

// Records the error reports instead of showing them.
class RecordingReporter : public controls::ErrorReporter {
public:
    QStringList reports; // "Driver_Click: Run-time error 6: Overflow (...)"
    void report(const QString& handler, const receiver::RuntimeError& error) override {
        reports.append(handler + QStringLiteral(": ") + error.message());
    }
};

} // namespace corvane::testsupport
