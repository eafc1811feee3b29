#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace corvane::settings {

// A number as labels show it: decimal digits, a leading minus sign when
// negative, no blank, no grouping, no unit.
QString numberText(int64_t value);

// Typed text to a 32-bit signed integer: read in the given locale (group
// separators as it writes them), blanks before and after allowed, a fraction
// rounded to the nearest integer with an exact half going to the even one.
// Text that is no number is a Type mismatch, one outside 32 bits an Overflow.
int32_t textToInt32(const QString& text, const QLocale& locale = QLocale());

// The number at the start of a text, after leading and trailing blanks are
// stripped: an optional sign, digits, an optional '.' fraction and exponent;
// reading stops at the first character that cannot continue it. No digits
// read as 0.
double leadingNumber(const QString& text);

// A double rounded half to even into 32 bits; Overflow outside that range.
int32_t roundToInt32(double value);

} // namespace corvane::settings
