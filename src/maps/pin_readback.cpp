#include "maps/pin_readback.h"

#include "geo/decimal_entry.h"

namespace orvalis {

namespace {

bool Kept(QChar c)
{
    return c >= u'-' && c <= u'9';
}

// Scans from index `from` (0-based) to the first stop character, appending
// the kept characters to `out`; returns the index of the stop, or -1 when the
// text ends first.
qsizetype ScanLatitude(const QString &t, qsizetype from, bool stopAtReturn, QString &out)
{
    for (qsizetype i = from; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u',' || (stopAtReturn && c == u'\r'))
            return i;
        if (Kept(c))
            out += c;
    }
    return -1;
}

// The longitude: the character two after the comma, then everything up to
// the next comma or carriage return, unfiltered.
QString ScanLongitude(const QString &t, qsizetype comma)
{
    QString out;
    const qsizetype first = comma + 2;
    if (first >= t.size())
        return out;
    out += t[first];
    for (qsizetype i = first + 1; i < t.size() && t[i] != u',' && t[i] != u'\r'; ++i)
        out += t[i];
    return out;
}

PinReading ScanFrom(const QString &t, qsizetype from, bool stopAtReturn)
{
    PinReading r;
    const qsizetype stop = ScanLatitude(t, from, stopAtReturn, r.latitude);
    if (!r.latitude.isEmpty() && stop >= 0)
        r.longitude = ScanLongitude(t, stop);
    return r;
}

qsizetype AnchorEnd(const QString &t)
{
    const qsizetype at = t.indexOf(QStringLiteral("endes"));
    return at < 0 ? -1 : at + 4;  // index of the final 's'
}

}  // namespace

QString ReadBackText(const QString &plainText)
{
    QString t = plainText;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\n', QStringLiteral("\r\n"));
    return t + u',';
}

PinReading ScanAddPage(const QString &text)
{
    return ScanFrom(text, 0, true);
}

bool HasMoveAnchor(const QString &text)
{
    return AnchorEnd(text) >= 0;
}

PinReading ScanMovePage(const QString &text)
{
    const qsizetype s = AnchorEnd(text);
    if (s < 0)
        return {};
    return ScanFrom(text, s + 3, false);
}

std::optional<PinReading> FinishReading(PinReading reading, QChar separator)
{
    reading.latitude = ToLocaleSeparator(reading.latitude, separator).left(8);
    reading.longitude = ToLocaleSeparator(reading.longitude, separator).left(8);
    if (reading.latitude.isEmpty() || reading.longitude.isEmpty())
        return std::nullopt;
    return reading;
}

}  // namespace orvalis
