#include "tests/support/RecordingComponent.h"

#include "receiver/RuntimeError.h"

namespace corvane::testsupport {

using receiver::RuntimeError;

// Numbers in decimal, texts quoted.
QString FakeComponent::formatValue(const QVariant& value) {
    return value.typeId() == QMetaType::QString
               ? QLatin1Char('"') + value.toString() + QLatin1Char('"')
               : QString::number(value.toLongLong());
}

void FakeComponent::record(const QString& op, const QVariantList& args, const QString& setTo) {
    QStringList parts;
    for (const QVariant& a : args) {
        parts.append(formatValue(a));
    }
    // A property has no argument list: "DrvForward <- 1", as the trace writes it.
    QString line = setTo.isEmpty() || !args.isEmpty()
                       ? op + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')')
                       : op;
    if (!setTo.isEmpty()) {
        line += QStringLiteral(" <- ") + setTo;
    }
    ++m_counted;
    if (m_failAt > 0 && m_counted == m_failAt) {
        const QString failure = QStringLiteral("receiver does not answer");
        calls.append(line + QStringLiteral(" !! ") + failure);
        throw RuntimeError::componentFailure(failure);
    }
    calls.append(line);
}

void FakeComponent::set(const QString& op, const QVariantList& args, const QVariant& value,
                        const std::function<void()>& apply) {
    record(op, args, formatValue(value));
    apply();
}

FakeReceiver& FakeComponent::rx(int16_t index) {
    if (index < 0 || index >= receivers.size()) {
        throw RuntimeError::componentFailure(QStringLiteral("no receiver %1").arg(index));
    }
    return receivers[index];
}

namespace {

const Entry& at(const QVector<Entry>& table, int32_t i) {
    static const Entry none{};
    return (i >= 0 && i < table.size()) ? table[i] : none;
}

QString rxOp(const char* family, const char* what = "") {
    return QStringLiteral("Rx%1%2").arg(QLatin1String(family), QLatin1String(what));
}

} // namespace

int16_t FakeComponent::count(const Family& f, int16_t x) {
    return get<int16_t>(rxOp(f.op, "Count"), {x},
                        [=, this] { return static_cast<int16_t>((rx(x).*f.table).size()); });
}
int32_t FakeComponent::avail(const Family& f, int16_t x, int32_t i) {
    return get<int32_t>(rxOp(f.op, "Avail"), {x, i},
                        [=, this] { return at(rx(x).*f.table, i).available; });
}
QString FakeComponent::entryName(const Family& f, int16_t x, int32_t i) {
    return get<QString>(rxOp(f.op, "Name"), {x, i},
                        [=, this] { return at(rx(x).*f.table, i).name; });
}
int32_t FakeComponent::code(const Family& f, int16_t x, const QString& name) {
    return get<int32_t>(rxOp(f.op, "Code"), {x, name}, [=, this] {
        for (const Entry& e : rx(x).*f.table) {
            if (e.name == name) {
                return e.code;
            }
        }
        return -1;
    });
}

int32_t FakeComponent::RxConnect(int16_t x, int16_t s) {
    return get<int32_t>("RxConnect", {x, s}, [=, this] {
        rx(x).connected = s;
        if (s == 0) {
            rx(x).remote = 0;
        }
        return 0;
    });
}
int32_t FakeComponent::RxRemote(int16_t x, int16_t s) {
    return get<int32_t>("RxRemote", {x, s}, [=, this] {
        rx(x).remote = (s != 0 && rx(x).connected != 0) ? -1 : 0;
        return 0;
    });
}
int32_t FakeComponent::RxFltWidth(int16_t x, int16_t i) {
    return get<int32_t>("RxFltWidth", {x, i}, [=, this] {
        const auto& f = rx(x).filters;
        return (i >= 0 && i < f.size()) ? f[i].width : 0;
    });
}
QString FakeComponent::RxFltName(int16_t x, int16_t bw) {
    return get<QString>("RxFltName", {x, bw}, [=, this] {
        for (const FilterEntry& f : rx(x).filters) {
            if (f.width == bw) {
                return f.name;
            }
        }
        return QString();
    });
}

void RecordingComponent::setDrvForward(qint16 value) {
    set("DrvForward", {}, value, [=, this] { m_forward = value; });
}

} // namespace corvane::testsupport
