#include "files/gpx_format.h"

#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QIODevice>
#include <QStringDecoder>
#include <cstring>
#include <optional>

namespace orvalis {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

QByteArrayView LocalName(QByteArrayView qualified)
{
    const qsizetype colon = qualified.lastIndexOf(':');
    return colon < 0 ? qualified : qualified.sliced(colon + 1);
}

// Byte walker over the file, never past its end.
class Cursor {
public:
    explicit Cursor(QByteArrayView data) : d_(data.data()), n_(data.size()) {}
    qsizetype pos = 0;
    bool atEnd() const { return pos >= n_; }
    char at(qsizetype i) const { return i < n_ ? d_[i] : '\0'; }
    bool startsWith(qsizetype i, const char *s) const
    {
        const qsizetype len = static_cast<qsizetype>(std::strlen(s));
        return i + len <= n_ && std::memcmp(d_ + i, s, static_cast<size_t>(len)) == 0;
    }
    // The first `s` that lies wholly before `limit` (the end of the file by
    // default). Searches inside a waypoint are bounded by its end, so that a
    // comment never closed in every waypoint costs its waypoint, not the file.
    qsizetype find(qsizetype from, const char *s, qsizetype limit = -1) const
    {
        const qsizetype len = static_cast<qsizetype>(std::strlen(s));
        const qsizetype end = limit < 0 ? n_ : std::min(limit, n_);
        if (from >= end)
            return -1;
        // The first byte by memchr, the rest compared where it is found.
        for (qsizetype at = from; at + len <= end;) {
            const void *hit = std::memchr(d_ + at, s[0], static_cast<size_t>(end - at));
            if (!hit)
                return -1;
            const qsizetype i = static_cast<const char *>(hit) - d_;
            if (i + len > end)
                return -1;
            if (std::memcmp(d_ + i + 1, s + 1, static_cast<size_t>(len - 1)) == 0)
                return i;
            at = i + 1;
        }
        return -1;
    }
    QByteArrayView slice(qsizetype from, qsizetype to) const
    {
        from = std::clamp<qsizetype>(from, 0, n_);
        to = std::clamp<qsizetype>(to, from, n_);
        return QByteArrayView(d_ + from, to - from);
    }
    qsizetype size() const { return n_; }

private:
    const char *d_;
    qsizetype n_;
};

// A start tag at `lt` (the '<'): its qualified name and where the tag ends.
struct Tag {
    QByteArrayView name;
    qsizetype nameEnd = 0;
};

Tag ReadTagName(const Cursor &c, qsizetype lt)
{
    Tag t;
    qsizetype i = lt + 1;
    while (i < c.size() && IsNameChar(c.at(i)))
        ++i;
    t.name = c.slice(lt + 1, i);
    t.nameEnd = i;
    return t;
}

// Attributes up to the end of the start tag; returns the position after '>'
// (the end of the file when the tag is cut short) and whether it closed itself.
qsizetype ReadAttributes(const Cursor &c, qsizetype i, QByteArrayView *lat, QByteArrayView *lon, bool *selfClosing)
{
    *selfClosing = false;
    while (i < c.size()) {
        const char ch = c.at(i);
        if (ch == '>')
            return i + 1;
        if (ch == '/' && c.at(i + 1) == '>') {
            *selfClosing = true;
            return i + 2;
        }
        if (IsSpace(ch)) {
            ++i;
            continue;
        }
        const qsizetype nameStart = i;
        while (i < c.size() && IsNameChar(c.at(i)))
            ++i;
        const QByteArrayView name = LocalName(c.slice(nameStart, i));
        if (i == nameStart) {
            ++i;  // stray character
            continue;
        }
        while (i < c.size() && IsSpace(c.at(i)))
            ++i;
        if (c.at(i) != '=')
            continue;
        ++i;
        while (i < c.size() && IsSpace(c.at(i)))
            ++i;
        const char quote = c.at(i);
        if (quote != '"' && quote != '\'')
            continue;
        const qsizetype valueStart = i + 1;
        qsizetype valueEnd = valueStart;
        while (valueEnd < c.size() && c.at(valueEnd) != quote)
            ++valueEnd;
        const QByteArrayView value = c.slice(valueStart, valueEnd);
        if (name == "lat")
            *lat = value;
        else if (name == "lon")
            *lon = value;
        i = valueEnd + 1;
    }
    return c.size();
}

QString CoordinateText(const QByteArray &value, QChar separator)
{
    return ToLocaleSeparator(QString::fromLatin1(value).trimmed(), separator).left(9);
}

// The text of the element whose start tag begins at `lt`, up to its end tag:
// CDATA taken as text, comments dropped, entities resolved.
QString ElementTextAt(const Cursor &c, qsizetype nameEnd, qsizetype to, bool mixed)
{
    qsizetype gt = nameEnd;
    while (gt < to && c.at(gt) != '>')
        ++gt;
    if (gt >= to || c.at(gt - 1) == '/')
        return {};  // cut short, or <name/>
    QString text;
    qsizetype j = gt + 1;
    while (j < to) {
        const qsizetype lt = c.find(j, "<", to);
        const qsizetype stop = lt < 0 ? to : lt;
        if (stop > j)
            text += DecodeXmlText(DecodeFileText(c.slice(j, stop), mixed));
        if (stop >= to)
            break;
        if (c.startsWith(stop, "<![CDATA[")) {
            const qsizetype end = c.find(stop + 9, "]]>", to);
            const qsizetype cdataEnd = end < 0 ? to : end;
            text += DecodeFileText(c.slice(stop + 9, cdataEnd), mixed);
            j = cdataEnd + 3;
        } else if (c.startsWith(stop, "<!--")) {
            const qsizetype end = c.find(stop + 4, "-->", to);
            j = end < 0 ? to : end + 3;
        } else {
            break;  // the end tag, or another element
        }
    }
    return text;
}

// The first name and desc elements inside [from, to), in one pass over the tags.
void NameAndDescription(const Cursor &c, qsizetype from, qsizetype to, bool mixed, QString *name, QString *desc)
{
    bool haveName = false, haveDesc = false;
    qsizetype i = from;
    while (i < to && !(haveName && haveDesc)) {
        const qsizetype lt = c.find(i, "<", to);
        if (lt < 0)
            return;
        if (c.startsWith(lt, "<!--") || c.startsWith(lt, "<![CDATA[")) {
            const bool comment = c.at(lt + 1) == '!' && c.at(lt + 2) == '-';
            const qsizetype end = c.find(lt + 4, comment ? "-->" : "]]>", to);
            i = end < 0 ? to : end + 3;
            continue;
        }
        const Tag tag = ReadTagName(c, lt);
        const QByteArrayView local = LocalName(tag.name);
        if (!haveName && local == "name") {
            *name = ElementTextAt(c, tag.nameEnd, to, mixed);
            haveName = true;
        } else if (!haveDesc && local == "desc") {
            *desc = ElementTextAt(c, tag.nameEnd, to, mixed);
            haveDesc = true;
        }
        i = lt + 1;
    }
}

// A coordinate cell: the attribute's text with the locale's separator, cut to 9 characters.
void SetCoordinate(PoiTable &table, int row, int field, QByteArrayView value, QChar separator)
{
    while (!value.isEmpty() && IsSpace(value.front()))
        value = value.sliced(1);
    while (!value.isEmpty() && IsSpace(value.back()))
        value.chop(1);
    if (separator.unicode() >= 128) {
        table.setField(row, field, CoordinateText(value.toByteArray(), separator));
        return;
    }
    const char sep = static_cast<char>(separator.unicode());
    char buf[9];
    const int n = static_cast<int>(std::min<qsizetype>(value.size(), 9));
    for (int k = 0; k < n; ++k) {
        const char ch = value[k];
        buf[k] = (ch == '.' || ch == ',') && sep == ',' ? ',' : (ch == ',' || ch == '.') && sep == '.' ? '.' : ch;
    }
    table.setFieldLatin1(row, field, buf, n);
}


}  // namespace

QString DecodeXmlText(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'&') {
            out += text[i++];
            continue;
        }
        // No reference is longer than "&#x10FFFF;": looking further would make
        // a text of lone '&' cost the square of its length.
        const qsizetype semi = QStringView(text).mid(i + 1, 12).indexOf(u';') + i + 1;
        if (semi == i) {
            out += text[i++];
            continue;
        }
        const QStringView ref = QStringView(text).sliced(i + 1, semi - i - 1);
        char32_t cp = 0;
        if (ref == u"amp") cp = u'&';
        else if (ref == u"lt") cp = u'<';
        else if (ref == u"gt") cp = u'>';
        else if (ref == u"quot") cp = u'"';
        else if (ref == u"apos") cp = u'\'';
        else if (ref.startsWith(u'#')) {
            bool ok = false;
            const uint v = ref.startsWith(u"#x") || ref.startsWith(u"#X") ? ref.sliced(2).toUInt(&ok, 16)
                                                                         : ref.sliced(1).toUInt(&ok, 10);
            if (ok && v > 0 && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF))
                cp = v;
        }
        if (cp == 0) {
            out += text[i++];  // unknown entity: kept as written
            continue;
        }
        out += QString::fromUcs4(&cp, 1);
        i = semi + 1;
    }
    return out;
}

QString EscapeXml(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        switch (ch.unicode()) {
        case u'&': out += QStringLiteral("&amp;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        case u'"': out += QStringLiteral("&quot;"); break;
        default: out += IsXmlChar(ch) ? ch : QChar(u' ');  // other tools refuse the whole file
        }
    }
    return out;
}

int CountGpxWaypoints(QByteArrayView data)
{
    const Cursor c(data);
    int waypoints = 0;
    for (qsizetype at = c.find(0, "<wpt"); at >= 0 && waypoints < INT32_MAX; at = c.find(at + 4, "<wpt"))
        ++waypoints;
    return waypoints;
}

static std::optional<QByteArray> GpxAsUtf8(QByteArrayView data)
{
    const auto starts = [&](const char *prefix, qsizetype n) { return data.size() >= n && std::memcmp(data.data(), prefix, size_t(n)) == 0; };
    auto decode = [&](QStringConverter::Encoding e, qsizetype skip) {
        QStringDecoder decoder(e);
        return std::optional<QByteArray>(QString(decoder(data.sliced(skip))).toUtf8());
    };
    if (starts("\xFF\xFE", 2))
        return decode(QStringConverter::Utf16LE, 2);
    if (starts("\xFE\xFF", 2))
        return decode(QStringConverter::Utf16BE, 2);
    if (starts("<\0?\0", 4))
        return decode(QStringConverter::Utf16LE, 0);
    if (starts("\0<\0?", 4))
        return decode(QStringConverter::Utf16BE, 0);
    if (starts("\xEF\xBB\xBF", 3))
        return std::nullopt;
    // The XML declaration: <?xml ... encoding="NAME" ... ?> at the very start.
    qsizetype i = 0;
    while (i < data.size() && IsSpace(data[i]))
        ++i;
    if (!data.sliced(i).startsWith("<?xml"))
        return std::nullopt;
    const qsizetype end = data.indexOf("?>", i);
    if (end < 0 || end - i > 1024)
        return std::nullopt;
    const QByteArrayView decl = data.sliced(i, end - i);
    const qsizetype at = decl.indexOf("encoding");
    if (at < 0)
        return std::nullopt;
    qsizetype q = at + 8;
    while (q < decl.size() && (IsSpace(decl[q]) || decl[q] == '='))
        ++q;
    if (q >= decl.size() || (decl[q] != '"' && decl[q] != '\''))
        return std::nullopt;
    const qsizetype close = decl.indexOf(decl[q], q + 1);
    if (close < 0)
        return std::nullopt;
    const QByteArray name = decl.sliced(q + 1, close - q - 1).toByteArray().trimmed().toLower();
    if (name == "utf-8" || name == "utf8" || name.isEmpty())
        return std::nullopt;
    if (name == "windows-1252" || name == "cp1252" || name == "iso-8859-1" || name == "latin1" || name == "us-ascii" ||
        name == "ascii")
        return DecodeWindows1252(data).toUtf8();  // Latin-1 as its Windows superset, as browsers do
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return std::nullopt;  // unknown: read as files that declare nothing
    return QString(decoder(data)).toUtf8();
}

bool IsGpxDocument(QByteArrayView data)
{
    const std::optional<QByteArray> transcoded = GpxAsUtf8(data);
    const Cursor c(transcoded ? QByteArrayView(*transcoded) : data);
    for (qsizetype at = c.find(0, "gpx"); at >= 0; at = c.find(at + 3, "gpx")) {
        const char after = c.at(at + 3);
        if (!(IsSpace(after) || after == '>' || after == '/'))
            continue;
        // "<gpx", or "<prefix:gpx".
        qsizetype i = at - 1;
        if (i >= 0 && c.at(i) == ':') {
            --i;
            while (i >= 0 && IsNameChar(c.at(i)) && c.at(i) != ':')
                --i;
        }
        if (i >= 0 && c.at(i) == '<' && (i == at - 1 || c.at(i + 1) != ':'))
            return true;
    }
    return false;
}

ReadResult ReadGpx(QByteArrayView data, PoiTable &table, QChar separator)
{
    ReadResult result;
    // A file in another encoding is read as UTF-8 once transcoded; in a file
    // that declares none, texts that are not UTF-8 are Windows-1252.
    const std::optional<QByteArray> transcoded = GpxAsUtf8(data);
    if (transcoded)
        data = *transcoded;
    const bool mixed = !transcoded && !IsStrictUtf8(data);
    const Cursor c(data);
    // Room for every "<wpt" start tag, found by a quick count.
    const int waypoints = CountGpxWaypoints(data);
    // A real waypoint takes at least 20 bytes (<wpt lat="" lon=""/>): a file of
    // bare "<wpt" cannot make the table reserve more than its size allows.
    table.reserveRows(static_cast<int>(std::min<qsizetype>(waypoints, c.size() / 20)) + 1);
    qsizetype i = 0;
    while (i < c.size()) {
        const qsizetype lt = c.find(i, "<");
        if (lt < 0)
            break;
        if (c.startsWith(lt, "<!--")) {
            const qsizetype end = c.find(lt + 4, "-->");
            i = end < 0 ? c.size() : end + 3;
            continue;
        }
        if (c.startsWith(lt, "<![CDATA[")) {
            const qsizetype end = c.find(lt + 9, "]]>");
            i = end < 0 ? c.size() : end + 3;
            continue;
        }
        const Tag tag = ReadTagName(c, lt);
        const char after = c.at(tag.nameEnd);
        if (LocalName(tag.name) != "wpt" || !(IsSpace(after) || after == '>' || after == '/' || tag.nameEnd >= c.size())) {
            i = lt + 1;
            continue;
        }
        // A waypoint.
        QByteArrayView lat, lon;
        bool selfClosing = false;
        const qsizetype contentStart = ReadAttributes(c, tag.nameEnd, &lat, &lon, &selfClosing);
        qsizetype contentEnd = contentStart;
        qsizetype next = contentStart;
        if (!selfClosing) {
            // The end tag: "</" and the same qualified name, not followed by more name.
            qsizetype e = c.find(contentStart, "</");
            while (e >= 0 && !(c.slice(e + 2, e + 2 + tag.name.size()) == tag.name &&
                               !IsNameChar(c.at(e + 2 + tag.name.size()))))
                e = c.find(e + 2, "</");
            contentEnd = e < 0 ? c.size() : e;
            next = e < 0 ? c.size() : e + 2 + tag.name.size();
        }
        QString name, desc;
        NameAndDescription(c, contentStart, contentEnd, mixed, &name, &desc);
        if (result.counter == INT32_MAX - 1)
            break;
        ++result.counter;
        table.setRowCount(result.counter + 1);
        const int row = result.counter;
        table.setNumber(row, result.counter);
        SetCoordinate(table, row, FieldLatitude, lat, separator);
        SetCoordinate(table, row, FieldLongitude, lon, separator);
        table.setField(row, FieldDescription, name + QStringLiteral(" - ") + desc);
        i = std::max(next, lt + 1);
    }
    return result;
}

QByteArray GpxFileBytes(const PoiTable &table, int first, int last)
{
    QByteArray out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.0\" creator=\"Orvalis\">\r\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    for (int row = first; row <= last; ++row) {
        QString lat = table.field(row, FieldLatitude);
        QString lon = table.field(row, FieldLongitude);
        if (lat.isEmpty() || lon.isEmpty())
            continue;
        lat.replace(u',', u'.');
        lon.replace(u',', u'.');
        out += "<wpt lat=\"";
        out += EscapeXml(lat).toUtf8();
        out += "\" lon=\"";
        out += EscapeXml(lon).toUtf8();
        out += "\"><name>";
        out += EscapeXml(table.field(row, FieldDescription)).toUtf8();
        out += "</name></wpt>\r\n";
    }
    out += "</gpx>\r\n";
    return out;
}

bool WriteGpx(QIODevice &device, const PoiTable &table, int first, int last)
{
    const QByteArray bytes = GpxFileBytes(table, first, last);
    return device.write(bytes) == bytes.size();
}

}  // namespace orvalis
