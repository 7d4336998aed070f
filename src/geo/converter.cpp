#include "geo/converter.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <cmath>

namespace orvalis {

ConverterOpening OpenConverterTexts(int column, const QString &coordinate, QChar separator)
{
    ConverterOpening o;
    if (column == 1) {
        o.caption = QStringLiteral("Latitude");
        o.items = {QStringLiteral("N"), QStringLiteral("S")};
    } else {
        o.caption = QStringLiteral("Longitude");
        o.items = {QStringLiteral("E"), QStringLiteral("W")};
    }
    QString text = coordinate;
    if (!text.isEmpty() && text.startsWith(u'-')) {
        o.selected = 1;
        text = text.mid(1, 99);
    }
    qsizetype i = 0;
    while (i < text.size() && text[i] != u',' && text[i] != u'.')
        ++i;
    o.degrees = text.left(i);
    const QString fraction = QStringLiteral("0") + text.mid(i, 99);
    const auto value = ParseDecimal(fraction, separator);
    const double minutes = value ? static_cast<double>(*value) * 60.0 : 0.0;
    if (minutes > 0)
        o.minutes = FormatFixed(minutes, 15, 6, separator);
    return o;
}

namespace {

bool IsWholeDegrees(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

}  // namespace

QString ConverterResultText(const QString &degreesBox, const QString &minutesBox, bool secondItem, QChar separator)
{
    if (degreesBox.isEmpty() && minutesBox.isEmpty())
        return {};
    const QString degrees = ToLocaleSeparator(degreesBox.isEmpty() ? QStringLiteral("0") : degreesBox, separator);
    const QString minutesText = ToLocaleSeparator(minutesBox, separator);
    const float minutes = ReadDecimal(minutesText, separator);
    const float f = static_cast<float>(static_cast<long double>(minutes) * (1.0L / 60.0L));
    const QString fText = FormatFixed(f, 7, 5, separator);
    const QChar sep = separator == u',' ? u',' : u'.';

    // The composition "degrees, separator, five decimals" holds only for whole
    // degrees and minutes below one degree; anything else is computed as a value.
    if (IsWholeDegrees(degrees) && minutes >= 0 && fText.startsWith(QStringLiteral("0") + separator)) {
        const QString decimals = fText.mid(2, 5);
        return (secondItem ? QStringLiteral("-") : QString()) + degrees + sep + decimals;
    }
    const long double d = ReadDecimal(degrees, separator);
    const long double m = static_cast<long double>(minutes) / 60.0L;
    // A typed minus and S/W both mean south or west: together they must not cancel out.
    const bool negative = std::signbit(d) || secondItem;
    const long double value = (std::fabs(d) + m) * (negative ? -1.0L : 1.0L);
    return FormatFixed(value, 15, 5, sep);
}

}  // namespace orvalis
