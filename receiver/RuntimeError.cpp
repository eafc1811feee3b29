#include "receiver/RuntimeError.h"

namespace corvane::receiver {

namespace {

QString withDetail(const char* base, const QString& what) {
    QString text = QString::fromLatin1(base);
    if (!what.isEmpty()) {
        text += QStringLiteral(" (") + what + QLatin1Char(')');
    }
    return text;
}

} // namespace

RuntimeError::RuntimeError(int32_t number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}

RuntimeError RuntimeError::overflow(const QString& what) {
    return {Overflow, withDetail("Overflow", what)};
}

RuntimeError RuntimeError::typeMismatch(const QString& what) {
    return {TypeMismatch, withDetail("Type mismatch", what)};
}

RuntimeError RuntimeError::invalidPropertyValue(const QString& what) {
    return {InvalidPropertyValue, withDetail("Invalid property value", what)};
}

RuntimeError RuntimeError::componentFailure(const QString& what) {
    return {ComponentFailure, what};
}

QString RuntimeError::message() const {
    return QStringLiteral("Run-time error %1: %2").arg(m_number).arg(m_description);
}

} // namespace corvane::receiver
