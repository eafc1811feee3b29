// The number at the start of a filter entry, held against a regular
// expression for the longest numeric prefix read by strtod.
#include "fuzz/Check.h"
#include "fuzz/NumberModel.h"
#include "settings/NumberText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double got = corvane::settings::leadingNumber(text);
    const double expected = corvane::fuzz::modelLeadingNumber(text);
    // == also takes -0 for 0: an underflowing negative number may come back as either.
    if (!(got == expected)) {
        corvane::fuzz::fail(QStringLiteral("%1: got %2, the longest numeric prefix reads %3")
                                .arg(corvane::fuzz::escaped(text))
                                .arg(got, 0, 'g', 17)
                                .arg(expected, 0, 'g', 17));
    }
    return 0;
}
