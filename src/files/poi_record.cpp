#include "files/poi_record.h"

#include "files/record_texts.h"
#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvalis {

std::optional<long double> CoordinateNumber(QByteArrayView text)
{
    // Plain decimals (nearly all) without building a string; the rest as typed entries are read.
    const bool plain = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; });
    if (plain && text.size() <= 16) {
        // At most 15 digits: the double read (far faster than long double's) keeps
        // their order and every comparison with a bound such as 90.
        double v = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
        if (error == std::errc() && end == text.data() + text.size())
            return v;
    } else if (plain) {
        long double v = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
        if (error == std::errc() && end == text.data() + text.size())
            return v;
    }
    return ParseDecimal(QString::fromLatin1(text), u'.');
}

namespace {

// Whether a decimal as files write it ("-12.345": a sign, one to three digits,
// a point and digits) lies in [-limit, limit], when its whole part decides;
// nothing for other texts and for a whole part at the limit.
std::optional<bool> WholePartWithin(QByteArrayView t, int limit)
{
    qsizetype i = t.startsWith('-') ? 1 : 0;
    int whole = 0, digits = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits)
        whole = whole * 10 + (t[i] - '0');
    if (digits == 0 || digits > 3)
        return std::nullopt;
    if (i < t.size()) {
        if (t[i] != '.' || i + 1 == t.size())
            return std::nullopt;
        for (++i; i < t.size(); ++i)
            if (t[i] < '0' || t[i] > '9')
                return std::nullopt;
    }
    if (whole == limit)
        return std::nullopt;
    return whole < limit;
}

}  // namespace

bool CoordinatesInRange(QByteArrayView latText, QByteArrayView lonText)
{
    // Most coordinates are decided on their whole part, without reading the number.
    const std::optional<bool> latWithin = WholePartWithin(latText, 90), lonWithin = WholePartWithin(lonText, 180);
    if (latWithin && lonWithin)
        return *latWithin && *lonWithin;
    const auto lat = CoordinateNumber(latText), lon = CoordinateNumber(lonText);
    return lat && lon && CoordinatesInRange(*lat, *lon);
}

QString JoinedName(const PoiRecord &record)
{
    // Texts a reader left as bytes count as what they decode to.
    const QString name = RecordText(record, kNameText), desc = RecordText(record, kDescText);
    return desc.isEmpty() ? name : name + QStringLiteral(" - ") + desc;
}

QJsonDocument ParseJson(QByteArrayView json, QJsonParseError *error)
{
    // Outside strings the mark is no JSON anyway; inside, its escape reads as the character.
    QByteArray bytes = json.toByteArray();
    if (bytes.contains("\xEF\xBB\xBF"))
        bytes.replace("\xEF\xBB\xBF", "\\uFEFF");
    return QJsonDocument::fromJson(bytes, error);
}

QString PropertyText(const QByteArray &json)
{
    const QJsonDocument doc = ParseJson('[' + json + ']');
    const QJsonValue v = doc.array().at(0);
    return v.isString() ? v.toString() : DecodeUtf8(json);
}

QByteArray JsonStringOf(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray PlainDecimalText(const QByteArray &text)
{
    // Most coordinates are plain already: the same bytes, shared, no copy.
    const QByteArray t = text.trimmed();
    // xsd:decimal: a sign, digits, a point, digits; at least one digit.
    qsizetype i = (t.startsWith('-') || t.startsWith('+')) ? 1 : 0;
    int digits = 0, points = 0;
    bool plain = i < t.size();
    for (; i < t.size() && plain; ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            ++digits;
        else if (t[i] == '.' && points++ == 0)
            continue;
        else
            plain = false;
    }
    if (plain && digits > 0)
        return t;
    const auto value = ParseDecimal(QString::fromLatin1(t), u'.');
    // A long double holds exponents a double cannot: no number to write then.
    if (!value || !std::isfinite(static_cast<double>(*value)))
        return {};
    return QByteArray::number(static_cast<double>(*value), 'f', QLocale::FloatingPointShortest);
}

}  // namespace orvalis
