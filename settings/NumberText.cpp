#include "settings/NumberText.h"

#include "receiver/RuntimeError.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace corvane::settings {

using receiver::RuntimeError;

QString numberText(int64_t value) {
    return QString::number(value);
}

int32_t roundToInt32(double value) {
    if (std::isnan(value)) {
        throw RuntimeError::typeMismatch(QStringLiteral("not a number"));
    }
    // nearbyint honours the current rounding mode, which is round-half-even
    // unless someone changed it; say so rather than assume.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(mode);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        throw RuntimeError::overflow(QString::number(value, 'g', 17));
    }
    return static_cast<int32_t>(rounded);
}

int32_t textToInt32(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double value = trimmed.isEmpty() ? 0.0 : locale.toDouble(trimmed, &ok);
    if (!ok) {
        // QLocale says "not ok" both for garbage and for a number too large
        // for a double; only the latter is an overflow.
        if (std::isinf(value)) {
            throw RuntimeError::overflow(QStringLiteral("\"%1\"").arg(text));
        }
        throw RuntimeError::typeMismatch(QStringLiteral("\"%1\" is not a number").arg(text));
    }
    if (std::isnan(value) || std::isinf(value)) {
        // "nan" and "inf" read as doubles but are no values a receiver takes.
        throw RuntimeError::typeMismatch(QStringLiteral("\"%1\" is not a number").arg(text));
    }
    return roundToInt32(value);
}

namespace {
// Whether a number that a double cannot hold is too large rather than too
// small: its decimal magnitude (the position of its first significant digit
// plus the exponent) is positive. The exponent's sign alone does not tell:
// 400 digits with "e-0" are still too large.
bool tooLarge(const QString& number) {
    const qsizetype e = number.indexOf(u'e');
    const QString mantissa = e >= 0 ? number.left(e) : number;
    const qsizetype point = mantissa.indexOf(u'.');
    const QString whole = point >= 0 ? mantissa.left(point) : mantissa;
    const QString fraction = point >= 0 ? mantissa.mid(point + 1) : QString();
    int64_t magnitude = 0;
    qsizetype firstWhole = 0;
    while (firstWhole < whole.size() &&
           !(whole.at(firstWhole) >= u'1' && whole.at(firstWhole) <= u'9')) {
        ++firstWhole;
    }
    if (firstWhole < whole.size()) {
        magnitude = whole.size() - firstWhole;
    } else {
        qsizetype zeros = 0;
        while (zeros < fraction.size() && fraction.at(zeros) == u'0') {
            ++zeros;
        }
        magnitude = -zeros;
    }
    if (e >= 0) {
        // The exponent's digits, saturated well past any double's range.
        int64_t exponent = 0;
        bool negative = false;
        for (qsizetype i = e + 1; i < number.size(); ++i) {
            const QChar c = number.at(i);
            if (c == u'-') {
                negative = true;
            } else if (c >= u'0' && c <= u'9') {
                exponent = std::min<int64_t>(exponent * 10 + (c.unicode() - u'0'), 1'000'000'000);
            }
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0;
}
} // namespace

double leadingNumber(const QString& text) {
    const QString s = text.trimmed();
    qsizetype at = 0;
    const qsizetype n = s.size();
    auto digitAt = [&](qsizetype i) { return i < n && s.at(i) >= u'0' && s.at(i) <= u'9'; };
    QString number;
    if (at < n && (s.at(at) == u'-' || s.at(at) == u'+')) {
        number += s.at(at++);
    }
    bool digits = false;
    while (digitAt(at)) {
        number += s.at(at++);
        digits = true;
    }
    if (at < n && s.at(at) == u'.') {
        qsizetype frac = at + 1;
        QString fraction = QStringLiteral(".");
        while (digitAt(frac)) {
            fraction += s.at(frac++);
            digits = true;
        }
        if (digits) {
            number += fraction;
            at = frac;
        }
    }
    if (!digits) {
        return 0.0;
    }
    if (at < n && (s.at(at) == u'e' || s.at(at) == u'E')) {
        qsizetype exp = at + 1;
        QString exponent = QStringLiteral("e");
        if (exp < n && (s.at(exp) == u'-' || s.at(exp) == u'+')) {
            exponent += s.at(exp++);
        }
        if (digitAt(exp)) {
            while (digitAt(exp)) {
                exponent += s.at(exp++);
            }
            number += exponent;
        }
    }
    const QByteArray ascii = number.toLatin1();
    double value = 0.0;
    const char* first = ascii.constData();
    if (*first == '+') {
        ++first; // from_chars takes a minus sign only
    }
    const auto [end, error] = std::from_chars(first, ascii.constData() + ascii.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large reads as infinite (and then overflows 32 bits), too small as 0.
        const bool huge = tooLarge(number);
        const bool negative = number.startsWith(u'-');
        return huge ? (negative ? -HUGE_VAL : HUGE_VAL) : 0.0;
    }
    return value;
}

} // namespace corvane::settings
