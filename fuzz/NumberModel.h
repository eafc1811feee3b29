#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace corvane::fuzz {

// What typed text should turn into, written from the rules alone and without
// QLocale, so that the two can be held against each other.
struct ModelResult {
    enum Kind { Value, TypeMismatch, Overflow, Underflow };
    Kind kind = TypeMismatch;
    int32_t value = 0;
};

// The separators of the locale the text is read in.
struct Separators {
    char16_t decimal = u'.';
    char16_t group = u',';
};

// Blanks (ASCII white space) around; an optional sign; digits, either plain or in
// groups of three after a first group of one to three; an optional decimal
// part; an optional exponent; at least one digit before the exponent. The
// digits are then read as the nearest double, rounded half to even and
// checked against 32 bits. Anything else is a type mismatch. Underflow is a
// nonzero number too small for a double, which the model does not decide.
ModelResult modelTextToInt32(const QString& text, Separators separators);

// The number at the start of the text after leading blanks: the longest
// prefix that reads as [sign] digits [. digits] [e [sign] digits], through
// strtod; 0 without digits.
double modelLeadingNumber(const QString& text);

} // namespace corvane::fuzz
