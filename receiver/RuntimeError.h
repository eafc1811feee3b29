#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace corvane::receiver {

// The program's one run-time error: a number and a description. Anything that
// fails while a handler runs (a component call, a conversion of typed text, a
// 16-bit overflow, a list refusing a position) throws this, ends the handler at
// that step, and is reported by the handler boundary the toolkit called.
class RuntimeError : public std::runtime_error {
public:
    enum Number : int32_t {
        Overflow = 6,
        ObjectNotSet = 91,
        TypeMismatch = 13,
        InvalidPropertyValue = 380,
        NoSuchProperty = 438,
        ComponentFailure = 440,
    };

    RuntimeError(int32_t number, const QString& description);

    static RuntimeError overflow(const QString& what = {});
    static RuntimeError typeMismatch(const QString& what = {});
    static RuntimeError invalidPropertyValue(const QString& what = {});
    static RuntimeError componentFailure(const QString& what);

    int32_t number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }

    // "Run-time error 6: Overflow (count -32768)": what the operator reads.
    QString message() const;

private:
    int32_t m_number;
    QString m_description;
};

} // namespace corvane::receiver
