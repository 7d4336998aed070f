#include "files/record_fields.h"

#include "files/gpx_format.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>

namespace orvalis {

namespace {

// XML Schema's whitespace collapsing, for the types that do it.
QString Collapsed(const QString &text)
{
    return text.trimmed();
}

bool IsDecimal(const QString &text)
{
    // A sign, digits, a point, digits: at least one digit, no exponent.
    const QString t = Collapsed(text);
    qsizetype i = t.startsWith(u'+') || t.startsWith(u'-') ? 1 : 0;
    int digits = 0, points = 0;
    for (; i < t.size(); ++i) {
        if (t[i] >= u'0' && t[i] <= u'9')
            ++digits;
        else if (t[i] != u'.' || points++ > 0)
            return false;
    }
    return digits > 0;
}

bool IsDateTime(const QString &text)
{
    static const QRegularExpression dateTime(QStringLiteral(
        "\\A-?([0-9]{4,})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(\\.[0-9]+)?(Z|[+-]([0-9]{2}):([0-9]{2}))?\\z"));
    const QRegularExpressionMatch m = dateTime.match(Collapsed(text));
    if (!m.hasMatch())
        return false;
    const auto n = [&](int i) { return m.captured(i).toInt(); };
    // The year may not be 0000; 24:00:00 is midnight at the day's end.
    const bool dateOk = n(1) != 0 && QDate::isValid(n(1) > 9999 ? 2000 : n(1), n(2), n(3));
    const bool endOfDay = n(4) == 24 && n(5) == 0 && n(6) == 0 && m.captured(7).count(u'0') == std::max<qsizetype>(0, m.captured(7).size() - 1);
    const bool timeOk = endOfDay || (n(4) < 24 && n(5) < 60 && n(6) < 60);
    const bool zoneOk = m.captured(9).isEmpty() || (n(9) < 14 && n(10) < 60) || (n(9) == 14 && n(10) == 0);
    return dateOk && timeOk && zoneOk;
}

bool IsUnsigned(const QString &text, long long max)
{
    static const QRegularExpression digits(QStringLiteral("\\A\\+?[0-9]+\\z"));
    const QString t = Collapsed(text);
    if (!digits.match(t).hasMatch())
        return false;
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok);
    return max < 0 || (ok && v <= qulonglong(max));
}

// The flat formats' names of the GPX texts they lack.
constexpr int kFlatTexts[] = {2, 3, 10, 11, 12, 13, 14, 15, 16};

int FieldNamed(const QString &key)
{
    for (int i = 0; i < int(std::size(kRecordTextNames)); ++i)
        if (key == QLatin1String(kRecordTextNames[i]))
            return i;
    return -1;
}

// link<n>_href, link<n>_text or link<n>_type: n from 1, and which part.
bool LinkKey(const QString &key, int *n, int *part)
{
    static const QRegularExpression link(QStringLiteral("\\Alink([1-9][0-9]{0,3})_(href|text|type)\\z"));
    const QRegularExpressionMatch m = link.match(key);
    if (!m.hasMatch())
        return false;
    *n = m.captured(1).toInt();
    *part = m.captured(2) == u"href" ? 0 : m.captured(2) == u"text" ? 1 : 2;
    return true;
}

constexpr char kExtensionsKey[] = "gpx_extensions";

QByteArray Declarations(const XmlNamespaces &namespaces)
{
    QByteArray d;
    for (const auto &[prefix, uri] : namespaces)
        d += " xmlns:" + prefix + "=\"" + uri + '"';
    return d;
}

}  // namespace

bool AnyTextFitsGpxType(int field)
{
    return field >= kNameText && field < kNameText + 6;  // name, cmt, desc, src, sym, type
}

namespace {

// ele, geoidheight, hdop, vdop, pdop and ageofdgpsdata: decimals.
bool IsDecimalGpxField(int field)
{
    return field == 0 || field == 3 || (field >= 12 && field <= 15);
}

}  // namespace

bool IsPlainDecimal(QByteArrayView t)
{
    qsizetype i = !t.isEmpty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
    int digits = 0, points = 0;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            ++digits;
        else if (t[i] != '.' || points++ > 0)
            return false;
    }
    return digits > 0;
}

bool BytesFitGpxType(int field, QByteArrayView b)
{
    const auto digit = [&](qsizetype k) { return b[k] >= '0' && b[k] <= '9'; };
    // IsDecimal's form without blanks: ASCII, which every encoding reads as itself.
    if (IsDecimalGpxField(field))
        return IsPlainDecimal(b);
    switch (field) {
    case 1: {  // time, in the one form IsDateTime takes that most files write
        static constexpr char kForm[] = "0000-00-00T00:00:00Z";
        if (b.size() != qsizetype(sizeof kForm - 1))
            return false;
        for (qsizetype k = 0; k < b.size(); ++k)
            if (kForm[k] == '0' ? !digit(k) : b[k] != kForm[k])
                return false;
        const auto n = [&](int at, int length) {
            int v = 0;
            for (int k = 0; k < length; ++k)
                v = v * 10 + (b[at + k] - '0');
            return v;
        };
        return n(0, 4) != 0 && QDate::isValid(n(0, 4), n(5, 2), n(8, 2)) && n(11, 2) < 24 && n(14, 2) < 60 && n(17, 2) < 60;
    }
    default:
        return AnyTextFitsGpxType(field);
    }
}

bool FitsGpxType(int field, const QString &text)
{
    if (IsDecimalGpxField(field))
        return IsDecimal(text);
    switch (field) {
    case 1:
        return IsDateTime(text);
    case 2: {  // magvar: degrees in [0, 360)
        if (!IsDecimal(text))
            return false;
        const double v = Collapsed(text).toDouble();
        return v >= 0 && v < 360;
    }
    case 10:  // fix: an enumeration of strings, kept as written
        return text == u"none" || text == u"2d" || text == u"3d" || text == u"dgps" || text == u"pps";
    case 11:
        return IsUnsigned(text, -1);
    case 16:
        return IsUnsigned(text, 1023);
    default:
        return true;
    }
}

bool IsWellFormedXml(QByteArrayView raw, const XmlNamespaces &namespaces)
{
    QXmlStreamReader xml(QByteArray("<x" + Declarations(namespaces) + '>' + raw.toByteArray() + "</x>"));
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return false;
    }
    return !xml.hasError();
}

bool IsExtensionXml(QByteArrayView raw, const XmlNamespaces &namespaces)
{
    QXmlStreamReader xml(QByteArray("<x" + Declarations(namespaces) + '>' + raw.toByteArray() + "</x>"));
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth == 2 && (xml.namespaceUri().isEmpty() || xml.namespaceUri() == QLatin1String(kGpx11Namespace)))
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth == 1 && !xml.isWhitespace())
                return false;
            break;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return false;
        default:
            break;
        }
    }
    return !xml.hasError();
}

QByteArray SelfContainedXml(QByteArrayView raw, const XmlNamespaces &namespaces)
{
    // Only the prefixes the text uses, each once on every top-level element.
    XmlNamespaces used;
    for (const auto &ns : namespaces)
        if (raw.contains(QByteArray('<' + ns.first + ':')) || raw.contains(QByteArray(' ' + ns.first + ':')))
            used.push_back(ns);
    if (used.empty())
        return raw.toByteArray();
    const QByteArray declarations = Declarations(used);
    QByteArray out;
    QXmlStreamReader xml(QByteArray("<x>" + raw.toByteArray() + "</x>"));
    xml.setNamespaceProcessing(false);
    // Offsets count characters: the text is walked as UTF-16, written back as UTF-8.
    const QString text = QString::fromUtf8(raw);
    qsizetype copied = 0;
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth == 2) {
            // The start tag ends here: the declarations go before its '>' or '/>'.
            qsizetype end = xml.characterOffset() - 3 - 1;
            if (end > 0 && end <= text.size() && text.at(end - 1) == u'/')
                --end;
            if (end < copied || end > text.size())
                return raw.toByteArray();
            out += text.mid(copied, end - copied).toUtf8() + declarations;
            copied = end;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (xml.hasError())
        return raw.toByteArray();
    return out + text.mid(copied).toUtf8();
}

std::vector<PoiProperty> FlatProperties(const PoiRecord &r, const XmlNamespaces &namespaces)
{
    std::vector<PoiProperty> all;
    for (int f : kFlatTexts)
        if (!(r.*kRecordTexts[f]).isEmpty())
            all.push_back({QLatin1String(kRecordTextNames[f]), JsonStringOf(r.*kRecordTexts[f])});
    for (size_t i = 0; i < r.links.size(); ++i) {
        const QString n = QString::number(i + 1);
        const PoiLink &l = r.links[i];
        all.push_back({QStringLiteral("link%1_href").arg(n), JsonStringOf(l.href)});
        if (!l.text.isEmpty())
            all.push_back({QStringLiteral("link%1_text").arg(n), JsonStringOf(l.text)});
        if (!l.type.isEmpty())
            all.push_back({QStringLiteral("link%1_type").arg(n), JsonStringOf(l.type)});
    }
    QByteArray raw;
    for (const QByteArray &x : r.otherXml)
        raw += x;
    raw += r.extensionsXml;
    if (!raw.trimmed().isEmpty())
        all.push_back({QLatin1String(kExtensionsKey), JsonStringOf(QString::fromUtf8(SelfContainedXml(raw, namespaces)))});
    all.insert(all.end(), r.properties.begin(), r.properties.end());
    return all;
}

const PoiRecord &FlatTextsDecoded(const PoiRecord &r, std::optional<PoiRecord> &copy)
{
    const bool flat = std::any_of(r.deferred.begin(), r.deferred.end(), [](const PoiRecord::DeferredSpan &text) {
        return std::find(std::begin(kFlatTexts), std::end(kFlatTexts), text.field) != std::end(kFlatTexts);
    });
    if (!flat)
        return r;
    copy = r;
    DecodeDeferredTexts(*copy);
    return *copy;
}

bool IsFlatFieldName(const QString &key)
{
    int n = 0, part = 0;
    const int f = FieldNamed(key);
    return std::find(std::begin(kFlatTexts), std::end(kFlatTexts), f) != std::end(kFlatTexts) || LinkKey(key, &n, &part) ||
           key == QLatin1String(kExtensionsKey);
}

void TakeFlatProperty(PoiRecord &r, const QString &key, const QByteArray &json)
{
    // Only texts are fields; a number or an object under such a name stays what it was.
    const bool text = json.startsWith('"');
    const QString value = text ? PropertyText(json) : QString();
    int n = 0, part = 0;
    const int f = FieldNamed(key);
    if (text && std::find(std::begin(kFlatTexts), std::end(kFlatTexts), f) != std::end(kFlatTexts) && (r.*kRecordTexts[f]).isEmpty()) {
        r.*kRecordTexts[f] = value;
        return;
    }
    if (text && LinkKey(key, &n, &part)) {
        if (value.isEmpty())
            return;
        if (r.links.size() < size_t(n))
            r.links.resize(size_t(n));
        PoiLink &l = r.links[size_t(n - 1)];
        (part == 0 ? l.href : part == 1 ? l.text : l.type) = value;
        return;
    }
    if (text && key == QLatin1String(kExtensionsKey)) {
        if (value.isEmpty())
            return;
        const QByteArray raw = value.toUtf8();
        // Raw XML only when it can stand in a GPX file as it is; a text otherwise.
        if (r.extensionsXml.isEmpty() && IsExtensionXml(raw, {})) {
            r.extensionsXml = raw;
            return;
        }
    }
    r.properties.push_back({key, json});
}

QByteArray OwnExtensionXml(const std::vector<PoiProperty> &fields)
{
    if (fields.empty())
        return {};
    QByteArray out = "<poi xmlns=\"" + QByteArray(kOwnNamespace) + "\">";
    for (const PoiProperty &p : fields) {
        // A text as it is; any other JSON value as its JSON.
        const bool text = p.json.startsWith('"');
        out += "<field name=\"" + XmlTextBytes(p.key) + (text ? "\">" : "\" json=\"true\">");
        out += XmlTextBytes(text ? PropertyText(p.json) : QString::fromUtf8(p.json));
        out += "</field>";
    }
    return out + "</poi>";
}

void TakeOwnExtension(PoiRecord &r)
{
    static const QByteArray start = "<poi xmlns=\"" + QByteArray(kOwnNamespace) + "\">";
    const qsizetype at = r.extensionsXml.indexOf(start);
    if (at < 0)
        return;
    const qsizetype close = r.extensionsXml.indexOf("</poi>", at);
    if (close < 0)
        return;
    const qsizetype end = close + 6;
    QXmlStreamReader xml(r.extensionsXml.mid(at, end - at));
    std::vector<std::pair<QString, QByteArray>> fields;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"field")
            continue;
        const QString key = xml.attributes().value(QStringLiteral("name")).toString();
        const bool json = xml.attributes().value(QStringLiteral("json")) == u"true";
        const QString text = xml.readElementText();
        fields.emplace_back(key, json ? text.toUtf8() : JsonStringOf(text));
    }
    if (xml.hasError())
        return;
    for (auto &[key, json] : fields) {
        // A text that did not have its element's type comes back to its field.
        // A field whose text the reader left undecoded has one too: the property stays.
        const int f = FieldNamed(key);
        const bool deferred = std::any_of(r.deferred.begin(), r.deferred.end(), [&](const auto &text) { return text.field == f; });
        if (f >= 0 && json.startsWith('"') && (r.*kRecordTexts[f]).isEmpty() && !deferred)
            r.*kRecordTexts[f] = PropertyText(json);
        else
            r.properties.push_back({key, json});
    }
    r.extensionsXml = (r.extensionsXml.left(at).trimmed() + r.extensionsXml.mid(end).trimmed());
    if (r.extensionsXml.trimmed().isEmpty())
        r.extensionsXml.clear();
}

}  // namespace orvalis
