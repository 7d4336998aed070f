// Number entry on any text: the fast path and the general one agree, and a
// number that reads is finite.
#include "geo/decimal_entry.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (QChar sep : {QChar(u','), QChar(u'.')}) {
        const auto v = ParseDecimal(text, sep);
        if (v && !std::isfinite(*v))
            std::abort();
        const float f = ReadDecimal(text, sep);
        if (!std::isfinite(f) || (!v && f != 0.0f))
            std::abort();
        // The same number written with an exponent goes through the general path.
        if (v && text.size() < 40 && !text.contains(u'e') && !text.contains(u'E')) {
            const auto w = ParseDecimal(text.trimmed() + QStringLiteral("e0"), sep);
            if (text.trimmed() == text && (!w || *w != *v))
                std::abort();
        }
    }
    ReadWholeNumber(text, 100);
    return 0;
}
