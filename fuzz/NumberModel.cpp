#include "fuzz/NumberModel.h"

#include <QRegularExpression>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace corvane::fuzz {

namespace {

// strtod in the C locale whatever the process's locale is (QCoreApplication
// sets it from the environment).
double cStrtod(const char* text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, c);
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Blanks are ASCII white space: a pasted line may bring its CR or LF along.
bool isBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Reads digits possibly grouped in threes; appends them to `out`. Returns the
// position after them, or -1 when a group separator is misplaced.
qsizetype integerPart(const QString& s, qsizetype at, char16_t group, std::string& out) {
    const qsizetype start = at;
    while (at < s.size() && isDigit(s.at(at).unicode())) {
        out += static_cast<char>(s.at(at++).unicode());
    }
    const qsizetype lead = at - start;
    if (at >= s.size() || s.at(at).unicode() != group) {
        return at;
    }
    // Grouped: the first group has one to three digits, every later one three.
    if (lead < 1 || lead > 3) {
        return -1;
    }
    while (at < s.size() && s.at(at).unicode() == group) {
        ++at;
        for (int i = 0; i < 3; ++i, ++at) {
            if (at >= s.size() || !isDigit(s.at(at).unicode())) {
                return -1;
            }
            out += static_cast<char>(s.at(at).unicode());
        }
    }
    if (at < s.size() && isDigit(s.at(at).unicode())) {
        return -1; // a fourth digit in a group
    }
    return at;
}

// Exact for every double of 32-bit magnitude: v - floor(v) loses nothing there.
double roundHalfEven(double v) {
    const double below = std::floor(v);
    const double rest = v - below;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        return below + 1.0;
    }
    return below;
}

} // namespace

ModelResult modelTextToInt32(const QString& text, Separators separators) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin).unicode())) {
        ++begin;
    }
    while (end > begin && isBlank(text.at(end - 1).unicode())) {
        --end;
    }
    const QString s = text.mid(begin, end - begin);
    std::string canonical;
    qsizetype at = 0;
    if (at < s.size() && (s.at(at) == u'+' || s.at(at) == u'-')) {
        canonical += static_cast<char>(s.at(at++).unicode());
    }
    const size_t before = canonical.size();
    at = integerPart(s, at, separators.group, canonical);
    if (at < 0) {
        return {};
    }
    bool digits = canonical.size() > before;
    if (at < s.size() && s.at(at).unicode() == separators.decimal) {
        ++at;
        canonical += '.';
        while (at < s.size() && isDigit(s.at(at).unicode())) {
            canonical += static_cast<char>(s.at(at++).unicode());
            digits = true;
        }
    }
    if (!digits) {
        return {};
    }
    if (at < s.size() && (s.at(at) == u'e' || s.at(at) == u'E')) {
        ++at;
        canonical += 'e';
        if (at < s.size() && (s.at(at) == u'+' || s.at(at) == u'-')) {
            canonical += static_cast<char>(s.at(at++).unicode());
        }
        if (at >= s.size() || !isDigit(s.at(at).unicode())) {
            return {};
        }
        while (at < s.size() && isDigit(s.at(at).unicode())) {
            canonical += static_cast<char>(s.at(at++).unicode());
        }
    }
    if (at != s.size()) {
        return {};
    }

    errno = 0;
    const double v = cStrtod(canonical.c_str());
    if (errno == ERANGE) {
        if (std::isinf(v)) {
            return {ModelResult::Overflow, 0};
        }
        // Below the smallest normal double; strtod still gives the nearest
        // value, but whether that counts as a number is not the model's call.
        return {ModelResult::Underflow, 0};
    }
    // Far outside 32 bits the rounding below is moot (and the cast would not fit).
    if (!(v > -4294967296.0 && v < 4294967296.0)) {
        return {ModelResult::Overflow, 0};
    }
    const double r = roundHalfEven(v);
    if (r < -2147483648.0 || r > 2147483647.0) {
        return {ModelResult::Overflow, 0};
    }
    return {ModelResult::Value, static_cast<int32_t>(r)};
}

double modelLeadingNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?"));
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).isSpace()) {
        ++begin;
    }
    const QRegularExpressionMatch m = number.match(text.mid(begin));
    if (!m.hasMatch()) {
        return 0.0;
    }
    const QByteArray ascii = m.captured(0).toLatin1();
    return cStrtod(ascii.constData());
}

} // namespace corvane::fuzz
