#include "tests/support/RecordingComponent.h"

#include "receiver/RuntimeError.h"

namespace corvane::testsupport {

using receiver::RuntimeError;

namespace {

// Numbers in decimal, texts quoted.
QString formatValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        QString text = value.toString();
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    return QString::number(value.toLongLong());
}

QString callText(const char* op, const QVariantList& args) {
    QStringList parts;
    for (const QVariant& a : args) {
        parts.append(formatValue(a));
    }
    return QString::fromLatin1(op) + QLatin1Char('(') + parts.join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

int32_t codeOf(const QVector<Entry>& table, const QString& name) {
    for (const Entry& e : table) {
        if (e.name == name) {
            return e.code;
        }
    }
    return -1;
}

const Entry& at(const QVector<Entry>& table, int32_t i) {
    static const Entry none{};
    return (i >= 0 && i < table.size()) ? table[i] : none;
}

} // namespace

void FakeComponent::checkFailure(const QString& op, const QString& line) {
    ++m_counted;
    if ((m_failAt > 0 && m_counted == m_failAt) || m_failOps.contains(op)) {
        calls.append(line + QStringLiteral(" !! ") + failure);
        throw RuntimeError::componentFailure(failure);
    }
}

template <typename T>
T FakeComponent::get(const char* op, const QVariantList& args, const std::function<T()>& compute) {
    const QString line = callText(op, args);
    checkFailure(QString::fromLatin1(op), line);
    const auto script = scripts.find(QString::fromLatin1(op));
    const T result = script != scripts.end() ? qvariant_cast<T>(script->second(args)) : compute();
    calls.append(line + QStringLiteral(" -> ") + formatValue(QVariant::fromValue(result)));
    return result;
}

void FakeComponent::set(const char* op, const QVariantList& args, const QVariant& value,
                        const std::function<void()>& apply) {
    // A property has no argument list: "DrvForward <- 1", as the trace writes it.
    const QString target = args.isEmpty() ? QString::fromLatin1(op) : callText(op, args);
    const QString line = target + QStringLiteral(" <- ") + formatValue(value);
    checkFailure(QString::fromLatin1(op), line);
    calls.append(line);
    const auto script = scripts.find(QString::fromLatin1(op));
    if (script != scripts.end()) {
        script->second(args + QVariantList{value});
    } else {
        apply();
    }
}

FakeReceiver& FakeComponent::rx(int16_t index) {
    if (index < 0 || index >= receivers.size()) {
        throw RuntimeError::componentFailure(QStringLiteral("no receiver %1").arg(index));
    }
    return receivers[index];
}

using V = QVariantList;

int32_t FakeComponent::DrvSetup(const QString& a, int16_t d) {
    return get<int32_t>("DrvSetup", V{a, d}, [] { return 0; });
}
int16_t FakeComponent::DrvCount() {
    return get<int16_t>("DrvCount", V{}, [this] {
        return drvCount ? *drvCount : static_cast<int16_t>(receivers.size());
    });
}
// Reads of one receiver's plain data.
#define CORVANE_FAKE_READ(T, Op, value)                                                            \
    T FakeComponent::Op(int16_t x) {                                                               \
        return get<T>(#Op, V{x}, [=, this] { return rx(x).value; });                               \
    }
CORVANE_FAKE_READ(QString, DrvName, name)
CORVANE_FAKE_READ(int32_t, RxConnected, connected)
CORVANE_FAKE_READ(int32_t, RxIsRemote, remote)
CORVANE_FAKE_READ(QString, RxRomId, romId)
CORVANE_FAKE_READ(int32_t, RxFrqMax, frqMax)
CORVANE_FAKE_READ(int32_t, RxFrqMin, frqMin)
CORVANE_FAKE_READ(int32_t, RxBfo, bfo)
CORVANE_FAKE_READ(int32_t, RxFlt, flt)
#undef CORVANE_FAKE_READ
int32_t FakeComponent::RxConfigure(int16_t x) {
    return get<int32_t>("RxConfigure", V{x}, [] { return 0; });
}
int32_t FakeComponent::RxConnect(int16_t x, int16_t s) {
    return get<int32_t>("RxConnect", V{x, s}, [=, this] {
        rx(x).connected = s;
        if (s == 0) {
            rx(x).remote = 0;
        }
        return 0;
    });
}
int32_t FakeComponent::RxRemote(int16_t x, int16_t s) {
    return get<int32_t>("RxRemote", V{x, s}, [=, this] {
        rx(x).remote = (s != 0 && rx(x).connected != 0) ? -1 : 0;
        return 0;
    });
}
int32_t FakeComponent::RxKeyPress(int16_t x, int16_t k) {
    return get<int32_t>("RxKeyPress", V{x, k}, [] { return 0; });
}
int32_t FakeComponent::RxFrq(int16_t x, int16_t vfo) {
    return get<int32_t>("RxFrq", V{x, vfo}, [=, this] { return rx(x).frq; });
}
void FakeComponent::setRxFrq(int16_t x, int16_t vfo, int32_t f) {
    set("RxFrq", V{x, vfo}, f, [=, this] { rx(x).frq = f; });
}
void FakeComponent::setRxDeltaF(int16_t x, int32_t d) {
    set("RxDeltaF", V{x}, d, [] {});
}

// The four choice tables share one shape.
#define CORVANE_FAKE_CHOICE(Op, table, current)                                                    \
    int16_t FakeComponent::Rx##Op##Count(int16_t x) {                                              \
        return get<int16_t>("Rx" #Op "Count", V{x},                                                \
                            [=, this] { return static_cast<int16_t>(rx(x).table.size()); });       \
    }                                                                                              \
    int32_t FakeComponent::Rx##Op##Avail(int16_t x, int32_t i) {                                   \
        return get<int32_t>("Rx" #Op "Avail", V{x, i},                                             \
                            [=, this] { return at(rx(x).table, i).available; });                   \
    }                                                                                              \
    QString FakeComponent::Rx##Op##Name(int16_t x, int32_t i) {                                    \
        return get<QString>("Rx" #Op "Name", V{x, i},                                              \
                            [=, this] { return at(rx(x).table, i).name; });                        \
    }                                                                                              \
    int32_t FakeComponent::Rx##Op##Code(int16_t x, const QString& n) {                             \
        return get<int32_t>("Rx" #Op "Code", V{x, n},                                              \
                            [=, this] { return codeOf(rx(x).table, n); });                         \
    }                                                                                              \
    int32_t FakeComponent::Rx##Op(int16_t x) {                                                     \
        return get<int32_t>("Rx" #Op, V{x}, [=, this] { return rx(x).current; });                  \
    }                                                                                              \
    void FakeComponent::setRx##Op(int16_t x, int32_t c) {                                          \
        set("Rx" #Op, V{x}, c, [=, this] { rx(x).current = c; });                                  \
    }

CORVANE_FAKE_CHOICE(Mod, modes, mod)
CORVANE_FAKE_CHOICE(Agc, agc, agcCode)
CORVANE_FAKE_CHOICE(NBl, nb, nbCode)
CORVANE_FAKE_CHOICE(Att, att, attCode)
#undef CORVANE_FAKE_CHOICE

int16_t FakeComponent::RxFltCount(int16_t x) {
    return get<int16_t>("RxFltCount", V{x},
                        [=, this] { return static_cast<int16_t>(rx(x).filters.size()); });
}
int32_t FakeComponent::RxFltWidth(int16_t x, int16_t i) {
    return get<int32_t>("RxFltWidth", V{x, i}, [=, this] {
        const auto& f = rx(x).filters;
        return (i >= 0 && i < f.size()) ? f[i].width : 0;
    });
}
QString FakeComponent::RxFltName(int16_t x, int16_t bw) {
    return get<QString>("RxFltName", V{x, bw}, [=, this] {
        for (const FilterEntry& f : rx(x).filters) {
            if (f.width == bw) {
                return f.name;
            }
        }
        return QString();
    });
}
void FakeComponent::setRxFlt(int16_t x, int32_t bw) {
    set("RxFlt", V{x}, bw, [=, this] { rx(x).flt = bw; });
}

void RecordingComponent::setDrvForward(qint16 value) {
    set("DrvForward", V{}, value, [=, this] { m_forward = value; });
}

} // namespace corvane::testsupport
