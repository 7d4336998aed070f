#include "geo/decimal_entry.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace orvalis {

namespace {
bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
}  // namespace

std::optional<long double> ParseDecimal(const QString &text, QChar separator)
{
    return ParseDecimal(QStringView(text), separator);
}

std::optional<long double> ParseDecimal(QStringView text, QChar separator)
{
    qsizetype i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    const qsizetype start = i;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Short plain numbers: an exact integer over an exact power of ten is
    // one correctly rounded division, the same value from_chars would give.
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool seenSeparator = false;
    for (; i < end; ++i) {
        const QChar c = text[i];
        if (IsDigit(c)) {
            if (digits < 19)
                mantissa = mantissa * 10 + static_cast<uint64_t>(c.unicode() - u'0');
            ++digits;
            decimals += seenSeparator ? 1 : 0;
        } else if (c == separator && !seenSeparator) {
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i == end && digits <= 19) {
        static const long double powers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
                                             1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L};
        const long double v = static_cast<long double>(mantissa) / powers[decimals];
        return negative ? -v : v;
    }
    // Long numbers and exponents: rewritten with a period for from_chars.
    std::string ascii;
    ascii.reserve(static_cast<size_t>(end - start));
    if (negative)
        ascii.push_back('-');
    for (qsizetype k = start + ((text[start] == u'+' || text[start] == u'-') ? 1 : 0); k < i; ++k)
        ascii.push_back(text[k] == separator ? '.' : static_cast<char>(text[k].unicode()));
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            ascii.push_back(static_cast<char>(text[i].unicode()));
            ++i;
        }
        int expDigits = 0;
        for (; i < end && IsDigit(text[i]); ++i, ++expDigits)
            ascii.push_back(static_cast<char>(text[i].unicode()));
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != end)
        return std::nullopt;
    long double value = 0;
    const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec != std::errc() || ptr != ascii.data() + ascii.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool ExceedsFloat(QStringView text, QChar separator)
{
    const auto v = ParseDecimal(text, separator);
    return v && std::fabs(*v) > FLT_MAX;
}

float ReadDecimal(const QString &text, QChar separator)
{
    return ReadDecimal(QStringView(text), separator);
}

float ReadDecimal(QStringView text, QChar separator)
{
    const auto v = ParseDecimal(text, separator);
    // A value a float cannot hold is treated like any text that is no number.
    if (!v || std::fabs(*v) > FLT_MAX)
        return 0.0f;
    return static_cast<float>(*v);
}

int ReadWholeNumber(const QString &text, int fallback)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= text.size())
        return fallback;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return fallback;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 2147483648LL)
            return fallback;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return fallback;
    return static_cast<int>(value);
}

QString TrimBlanks(const QString &text)
{
    qsizetype i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    return text.mid(i, end - i);
}

QString PointDecimal(const QString &text)
{
    QString out = text;
    out.replace(u',', u'.');
    return out;
}

QString ToLocaleSeparator(const QString &text, QChar separator)
{
    QString out = text;
    if (separator == u',')
        out.replace(u'.', u',');
    else
        out.replace(u',', u'.');
    return out;
}

}  // namespace orvalis
