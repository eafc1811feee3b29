// Typed text to a 32-bit integer, held against a model of the rules, in the C
// locale and in German (comma decimal, point groups).
//
// The first byte picks the locale, the rest is the text as UTF-8.
//
// Compared strictly: every text the model reads as a number (same value), or
// as out of range (Overflow), and every text of plain ASCII the model refuses
// (Type mismatch). Not compared, because QLocale legitimately reads more than
// the model: non-ASCII text (Unicode blanks around the number, U+2212 as the
// minus sign, the locale's other digit forms), and numbers so small that a
// double underflows (QLocale refuses "1e-400"; the model leaves it open).
// "inf" and "nan" need no exception: QLocale reads them, the conversion refuses
// them as no value a receiver takes, and so does the model.
#include "fuzz/Check.h"
#include "fuzz/NumberModel.h"
#include "receiver/RuntimeError.h"
#include "settings/NumberText.h"

#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <optional>

using corvane::fuzz::escaped;
using corvane::fuzz::fail;
using corvane::fuzz::ModelResult;
using corvane::fuzz::Separators;
using corvane::receiver::RuntimeError;

namespace {

struct Outcome {
    std::optional<int32_t> value;
    int32_t error = 0;

    bool operator==(const Outcome&) const = default;
    QString text() const {
        return value ? QString::number(*value) : QStringLiteral("error %1").arg(error);
    }
};

Outcome convert(const QString& text, const QLocale& locale) {
    try {
        return {corvane::settings::textToInt32(text, locale), 0};
    } catch (const RuntimeError& e) {
        if (e.number() != RuntimeError::Overflow && e.number() != RuntimeError::TypeMismatch) {
            fail(QStringLiteral("%1 raised %2").arg(escaped(text)).arg(e.number()));
        }
        return {std::nullopt, e.number()};
    }
}

bool plainAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    static const QLocale c = QLocale::c();
    static const QLocale german(QLocale::German, QLocale::Germany);
    const bool comma = (data[0] & 1) != 0;
    const QLocale& locale = comma ? german : c;
    const Separators separators = comma ? Separators{u',', u'.'} : Separators{u'.', u','};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1,
                                           static_cast<qsizetype>(size - 1));

    const Outcome got = convert(text, locale);

    // Blanks around never change the outcome.
    const Outcome padded = convert(QStringLiteral(" \t") + text + QStringLiteral("  "), locale);
    if (padded != got) {
        fail(QStringLiteral("%1 in %2: %3, with blanks around %4")
                 .arg(escaped(text), locale.name(), got.text(), padded.text()));
    }

    const ModelResult model = corvane::fuzz::modelTextToInt32(text, separators);
    Outcome expected;
    switch (model.kind) {
    case ModelResult::Value:
        expected = {model.value, 0};
        break;
    case ModelResult::Overflow:
        expected = {std::nullopt, RuntimeError::Overflow};
        break;
    case ModelResult::TypeMismatch:
        if (!plainAscii(text)) {
            return 0;
        }
        expected = {std::nullopt, RuntimeError::TypeMismatch};
        break;
    case ModelResult::Underflow:
        return 0;
    }
    if (got != expected) {
        fail(QStringLiteral("%1 in %2: got %3, the rules say %4")
                 .arg(escaped(text), locale.name(), got.text(), expected.text()));
    }
    return 0;
}
