#pragma once

#include "controls/Handler.h"
#include "receiver/Component.h"

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
    int32_t frqMin = 0;
    int32_t frqMax = 0;
    int32_t frq = 0;
    int32_t bfo = 0;
    int32_t connected = 0;
    int32_t remote = 0;
    QVector<Entry> modes, agc, nb, att;
    QVector<FilterEntry> filters;
    int32_t mod = 0, flt = 0, agcCode = 0, nbCode = 0, attCode = 0;
};

// A component that answers from the plain data above and records every call
// in the form "RxModCode(0, \"USB\") -> 3", "RxMod(0) <- 3", or with " !! " and
// the error for a failed one. It raises no events by itself: tests emit its
// signals. It can fail the N-th call, every call of one operation, and answer
// any operation from a script instead of the data.
class FakeComponent : public receiver::Component {
    Q_OBJECT

public:
    using Script = std::function<QVariant(const QVariantList& args)>;

    QVector<FakeReceiver> receivers;
    std::optional<int16_t> drvCount; // overrides receivers.size()
    QStringList calls;
    std::map<QString, Script> scripts; // by operation name, e.g. "RxModCount"
    QString failure = QStringLiteral("receiver does not answer");

    // Fails the n-th call from now on (1-based); 0 fails none.
    void failAt(int n) {
        m_failAt = n;
        m_counted = 0;
    }
    // Fails every call of the operation.
    void failOperation(const QString& name) { m_failOps.append(name); }
    void clearCalls() { calls.clear(); }

    int32_t DrvSetup(const QString& application, int16_t dialog) override;
    int16_t DrvCount() override;
    QString DrvName(int16_t i) override;
    int32_t RxConfigure(int16_t index) override;
    int32_t RxConnect(int16_t index, int16_t state) override;
    int32_t RxRemote(int16_t index, int16_t state) override;
    int32_t RxKeyPress(int16_t index, int16_t keyAscii) override;
    int32_t RxConnected(int16_t index) override;
    int32_t RxIsRemote(int16_t index) override;
    QString RxRomId(int16_t index) override;
    int32_t RxFrqMax(int16_t index) override;
    int32_t RxFrqMin(int16_t index) override;
    int32_t RxBfo(int16_t index) override;
    int32_t RxFrq(int16_t index, int16_t vfo) override;
    void setRxFrq(int16_t index, int16_t vfo, int32_t frequency) override;
    void setRxDeltaF(int16_t index, int32_t deltaF) override;
// The four choice tables share one shape.
#define CORVANE_FAKE_CHOICE(Op)                                                                    \
    int16_t Rx##Op##Count(int16_t index) override;                                                 \
    int32_t Rx##Op##Avail(int16_t index, int32_t i) override;                                      \
    QString Rx##Op##Name(int16_t index, int32_t i) override;                                       \
    int32_t Rx##Op##Code(int16_t index, const QString& name) override;                             \
    int32_t Rx##Op(int16_t index) override;                                                        \
    void setRx##Op(int16_t index, int32_t code) override;
    CORVANE_FAKE_CHOICE(Mod)
    CORVANE_FAKE_CHOICE(Agc)
    CORVANE_FAKE_CHOICE(NBl)
    CORVANE_FAKE_CHOICE(Att)
#undef CORVANE_FAKE_CHOICE
    int16_t RxFltCount(int16_t index) override;
    int32_t RxFltWidth(int16_t index, int16_t i) override;
    QString RxFltName(int16_t index, int16_t bandwidth) override;
    int32_t RxFlt(int16_t index) override;
    void setRxFlt(int16_t index, int32_t bandwidth) override;

protected:
    // Records one call: args formatted into the line, result computed unless
    // the call is to fail or a script answers it.
    template <typename T>
    T get(const char* op, const QVariantList& args, const std::function<T()>& compute);
    void set(const char* op, const QVariantList& args, const QVariant& value,
             const std::function<void()>& apply);
    FakeReceiver& rx(int16_t index);

private:
    void checkFailure(const QString& op, const QString& line);

    int m_failAt = 0;
    int m_counted = 0;
    QStringList m_failOps;
};

// The fake with the by-name property the Coupling box sets.
class RecordingComponent : public FakeComponent {
    Q_OBJECT
    Q_PROPERTY(qint16 DrvForward READ drvForward WRITE setDrvForward)

public:
    qint16 drvForward() const { return m_forward; }
    void setDrvForward(qint16 value);

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
