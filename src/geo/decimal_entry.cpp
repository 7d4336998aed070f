#include "geo/decimal_entry.h"

#include <cfloat>
#include <charconv>
#include <cmath>
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
    qsizetype i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    std::string ascii;  // the number rewritten with a period for from_chars
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii.push_back('-');
        ++i;
    }
    int digits = 0;
    bool seenSeparator = false;
    for (; i < end; ++i) {
        const QChar c = text[i];
        if (IsDigit(c)) {
            ascii.push_back(static_cast<char>(c.unicode()));
            ++digits;
        } else if (c == separator && !seenSeparator) {
            seenSeparator = true;
            ascii.push_back('.');
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
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

float ReadDecimal(const QString &text, QChar separator)
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
