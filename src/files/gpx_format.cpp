#include "files/gpx_format.h"

#include "files/text_codecs.h"
#include "files/xml_scan.h"
#include "table/cp1252.h"
#include "geo/decimal_entry.h"

#include <QIODevice>
#include <QStringDecoder>
#include <array>
#include <cstring>
#include <future>
#include <optional>

namespace orvalis {

using namespace xml;


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
        // Not QString::fromUcs4, which takes a U+FEFF of the text for a byte-order mark.
        if (QChar::requiresSurrogates(cp)) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(static_cast<char16_t>(cp));
        }
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

void AppendXmlText(QByteArray &out, const QString &text)
{
    // Text whose UTF-8 reads back (nearly all): escaped and encoded in one pass,
    // as EscapeXml(text).toUtf8() gives it.
    if (!Utf8ReadsBack(text)) {
        out += XmlTextBytes(text);
        return;
    }
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    const qsizetype at = out.size();
    out.resize(at + n * 6);  // "&quot;" is the longest form of a unit
    char *d = out.data() + at;
    // ASCII that stands as it is: all but the four escaped and the controls XML forbids.
    static constexpr auto kPlain = [] {
        std::array<bool, 128> plain{};
        for (int c = 0x20; c < 0x80; ++c)
            plain[size_t(c)] = c != '&' && c != '<' && c != '>' && c != '"';
        plain['\t'] = plain['\n'] = plain['\r'] = true;
        return plain;
    }();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80 && kPlain[u]) {
            *d++ = char(u);
            continue;
        }
        if (u < 0x80) {
            switch (u) {
            case u'&': std::memcpy(d, "&amp;", 5); d += 5; break;
            case u'<': std::memcpy(d, "&lt;", 4); d += 4; break;
            case u'>': std::memcpy(d, "&gt;", 4); d += 4; break;
            case u'"': std::memcpy(d, "&quot;", 6); d += 6; break;
            default: *d++ = ' ';  // a control XML forbids: other tools refuse the whole file
            }
            continue;
        }
        if (IsXmlChar(QChar(u)))
            d = PutUtf8At(d, p, &i, n);
        else
            *d++ = ' ';
    }
    out.truncate(d - out.constData());
}

QByteArray XmlTextBytes(const QString &text)
{
    // Plain ASCII without markup characters (most names) goes out as it is.
    bool plain = true;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x80 || u < 0x20 || u == u'&' || u == u'<' || u == u'>' || u == u'"') {
            plain = false;
            break;
        }
    }
    if (plain)
        return text.toLatin1();
    const QString escaped = EscapeXml(text);
    if (Utf8ReadsBack(text))
        return escaped.toUtf8();
    // UTF-8 that a reader deciding each text would misread ("CAFɖBAR"): character references.
    QByteArray out;
    const QList<uint> cps = escaped.toUcs4();
    for (const uint c : cps) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "&#x" + QByteArray::number(c, 16).toUpper() + ';';
    }
    return out;
}

void AppendEscapedXml(QByteArray &out, QByteArrayView windows1252, char comma)
{
    // Written through a pointer: room for the longest form of each byte ("&quot;").
    const qsizetype start = out.size();
    out.resize(start + 6 * windows1252.size());
    char *d = out.data() + start;
    for (const char ch : windows1252) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80) {
            d = PutUtf8(d, cp1252::Decode(b));
            continue;
        }
        const char *entity = nullptr;
        switch (ch) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case ',': *d++ = comma; continue;
        default: *d++ = IsXmlChar(QChar(char16_t(b))) ? ch : ' ';
        }
        if (entity)
            while (*entity)
                *d++ = *entity++;
    }
    out.resize(d - out.data());
}

int CountGpxWaypoints(QByteArrayView data)
{
    const Cursor c(data);
    int waypoints = 0;
    for (qsizetype at = c.find(0, "<wpt"); at >= 0 && waypoints < INT32_MAX; at = c.find(at + 4, "<wpt"))
        ++waypoints;
    return waypoints;
}

bool IsGpxDocument(QByteArrayView data)
{
    const std::optional<QByteArray> transcoded = XmlAsUtf8(data);
    return HasGpxRoot(transcoded ? QByteArrayView(*transcoded) : data);
}

bool HasGpxRoot(QByteArrayView utf8)
{
    const Cursor c(utf8);
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

namespace {

// Reads the waypoints; with `lean`, their coordinates only, and where each
// one's content is, for its description later.
ReadResult ReadWaypoints(QByteArrayView data, PoiTable &table, QChar separator, GpxWaypoints *lean,
                         qsizetype twoReadersBytes = 8 << 20)
{
    XmlText text = PrepareXml(data);
    // A declared encoding or byte-order mark makes every text exact; otherwise each decides.
    const bool trusted = text.transcoded.has_value();
    data = text.data;
    const Cursor c(data);
    // Room for every "<wpt" start tag, found by a quick count.
    const int waypoints = CountGpxWaypoints(data);
    // A real waypoint takes at least 20 bytes (<wpt lat="" lon=""/>): a file of
    // bare "<wpt" cannot make the table reserve more than its size allows.
    table.reserveRows(static_cast<int>(std::min<qsizetype>(waypoints, c.size() / 20)) + 1);
    const qsizetype end = c.size() + 1;
    using Spans = std::vector<std::pair<qsizetype, qsizetype>>;
    // Reads the waypoints from `from`, up to the first that starts at or past `stopAt`.
    auto readInto = [&](PoiTable &rows, ReadResult &result, Spans *spans, qsizetype from, qsizetype stopAt) {
        qsizetype stoppedAt = -1;
        ForEachElement(
            c, {"wpt"},
            [&](const Element &e) {
                if (e.start >= stopAt) {
                    stoppedAt = e.start;
                    return false;
                }
                if (!spans)
                    return AppendNamedPoi(rows, result, c, e, trusted, "desc", true, separator);
                spans->emplace_back(e.contentStart, e.contentEnd);
                return AppendPoi(rows, result, e.lat, e.lon, QString(), separator);
            },
            from);
        return stoppedAt;
    };
    Spans *spans = lean ? &lean->spans : nullptr;
    if (spans)
        spans->clear();
    auto keep = [&] {
        if (lean) {
            lean->trusted = trusted;
            lean->data = text.data;
            lean->transcoded = std::move(text.transcoded);
        }
    };
    ReadResult result;
    const qsizetype split = text.transcoded || data.size() < twoReadersBytes ? -1 : c.find(c.size() / 2, "<wpt");
    if (split < 0) {
        readInto(table, result, spans, 0, end);
        keep();
        return result;
    }
    // A big file in UTF-8: the other core reads the second half from a
    // waypoint past the middle. When the first half's reading meets that very
    // waypoint the halves join; otherwise the first goes on alone.
    PoiTable upper;
    ReadResult upperResult;
    Spans upperSpans;
    auto aside = std::async(std::launch::async, [&] {
        upper.reserveRows(waypoints / 2 + 1);
        readInto(upper, upperResult, lean ? &upperSpans : nullptr, split, end);
    });
    const qsizetype stoppedAt = readInto(table, result, spans, 0, split);
    aside.get();
    if (stoppedAt == split) {
        table.appendRows(std::move(upper));
        result.counter += upperResult.counter;
        if (spans)
            spans->insert(spans->end(), upperSpans.begin(), upperSpans.end());
    } else if (stoppedAt >= 0) {
        readInto(table, result, spans, stoppedAt, end);
    }
    keep();
    return result;
}

}  // namespace

ReadResult ReadGpx(QByteArrayView data, PoiTable &table, QChar separator)
{
    return ReadWaypoints(data, table, separator, nullptr);
}

ReadResult ReadGpxWithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qsizetype twoReadersBytes)
{
    return ReadWaypoints(data, table, separator, nullptr, twoReadersBytes);
}

ReadResult ReadGpxCoordinates(QByteArrayView data, PoiTable &table, QChar separator, GpxWaypoints &waypoints)
{
    return ReadWaypoints(data, table, separator, &waypoints);
}

void StoreGpxNames(PoiTable &table, const GpxWaypoints &waypoints, const std::vector<int> &rows)
{
    const Cursor c(waypoints.data);
    for (const int row : rows)
        if (row >= 1 && static_cast<size_t>(row) <= waypoints.spans.size())
            SetNamedDescription(table, row, c, waypoints.spans[static_cast<size_t>(row - 1)].first,
                                waypoints.spans[static_cast<size_t>(row - 1)].second, waypoints.trusted, "desc", true);
}

QByteArray GpxFileBytes(const PoiTable &table, int first, int last)
{
    QByteArray out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.0\" creator=\"Orvalis\">\r\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    // Coordinates with a point.
    auto append = [&](int row, int f, char comma) {
        table.visitFieldRaw(
            row, f, [&](const char *bytes, qsizetype size) { AppendEscapedXml(out, QByteArrayView(bytes, size), comma); },
            [&](QStringView text) {
                QString t = text.toString();
                if (comma == '.')
                    t.replace(u',', u'.');
                out += XmlTextBytes(t);
            });
    };
    for (int row = first; row <= last; ++row) {
        if (table.fieldIsEmpty(row, FieldLatitude) || table.fieldIsEmpty(row, FieldLongitude))
            continue;
        out += "<wpt lat=\"";
        append(row, FieldLatitude, '.');
        out += "\" lon=\"";
        append(row, FieldLongitude, '.');
        out += "\"><name>";
        append(row, FieldDescription, ',');
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

namespace orvalis {

namespace {

using namespace xml;

// Raw XML kept as it was, in UTF-8 whatever the file's texts were.
QByteArray RawUtf8(QByteArrayView raw, bool trusted)
{
    return trusted || IsStrictUtf8(raw) ? raw.toByteArray() : DecodeWindows1252(raw).toUtf8();
}

QString AttributeText(QByteArrayView raw, bool trusted)
{
    return DecodeXmlText(XmlRunText(raw, trusted));
}

// Where the element whose start tag ends at `afterStart` ends: after the end
// tag of its qualified name (nested ones of the same name counted), or `limit`.
qsizetype ElementEnd(const Cursor &c, QByteArrayView qualified, qsizetype afterStart, qsizetype limit, qsizetype *closeStart)
{
    // The qualified name at p, as a whole name.
    const auto nameAt = [&](qsizetype p) {
        return c.slice(p, p + qualified.size()) == qualified && !IsNameChar(c.at(p + qualified.size()));
    };
    int depth = 1;
    for (qsizetype i = afterStart; i < limit;) {
        const qsizetype lt = c.find(i, "<", limit);
        if (lt < 0)
            break;
        if (c.startsWith(lt, "<!--")) {
            const qsizetype end = c.find(lt + 4, "-->", limit);
            i = end < 0 ? limit : end + 3;
            continue;
        }
        if (c.startsWith(lt, "<![CDATA[")) {
            const qsizetype end = c.find(lt + 9, "]]>", limit);
            i = end < 0 ? limit : end + 3;
            continue;
        }
        const bool closing = c.at(lt + 1) == '/' && nameAt(lt + 2);
        const bool opening = nameAt(lt + 1);
        if (opening) {
            bool selfClosing = false;
            i = ForEachAttribute(c, lt + 1 + qualified.size(), &selfClosing, [](QByteArrayView, QByteArrayView) {});
            depth += selfClosing ? 0 : 1;
            continue;
        }
        if (closing && --depth == 0) {
            *closeStart = lt;
            const qsizetype gt = c.find(lt, ">", limit);
            return gt < 0 ? limit : gt + 1;
        }
        i = lt + 1;
    }
    *closeStart = limit;
    return limit;
}

}  // namespace

std::vector<std::pair<QByteArray, QByteArray>> GpxNamespaces(const Cursor &c);
void ReadWaypointFields(const Cursor &c, const Element &e, bool trusted, PoiRecord &r, DeferTexts defer = DeferTexts::No);

PoiRecords ReadGpxRecords(QByteArrayView data, ReadResult *result)
{
    PoiRecords out;
    ForEachGpxRecord(
        data, [&](std::vector<std::pair<QByteArray, QByteArray>> &&namespaces) { out.namespaces = std::move(namespaces); },
        [&](PoiRecord &&r) { out.records.push_back(std::move(r)); }, result);
    return out;
}

void ForEachGpxRecord(QByteArrayView data, const std::function<void(std::vector<std::pair<QByteArray, QByteArray>> &&)> &start,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result)
{
    BlockReader in(data);
    ForEachGpxRecord(in, start, visit, result);
}

bool ForEachGpxRecord(BlockReader &in, const std::function<void(std::vector<std::pair<QByteArray, QByteArray>> &&)> &start,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result, const CoordinateFilter &wanted,
                      DeferTexts defer)
{
    const bool trusted = PrepareXml(in, "gpx", HasGpxRoot);
    if (!HasGpxRoot(in.view()))
        return false;
    start(GpxNamespaces(Cursor(in.view())));
    // Route and track points are passed over whole, and noted: they are not POIs.
    ForEachElement(in, {"wpt", "rtept", "trkpt"}, [&](const Cursor &c, const Element &e) {
        if (e.name != "wpt") {
            if (result)
                result->routePoints = true;
            return true;
        }
        if (result)
            ++result->counter;
        if (wanted && !wanted(e.lat.trimmed(), e.lon.trimmed()))
            return true;
        PoiRecord r;
        r.lat = e.lat.toByteArray().trimmed();
        r.lon = e.lon.toByteArray().trimmed();
        ReadWaypointFields(c, e, trusted, r, defer);
        visit(std::move(r));
        return true;
    });
    return true;
}

void DecodeDeferredTexts(PoiRecord &record)
{
    // A deferred text is one run without a reference: what ElementTextAt would give.
    for (const auto &[field, bytes] : record.deferred)
        record.*kRecordTexts[field] = XmlRunText(bytes, record.deferredTrusted);
    record.deferred.clear();
}

std::vector<std::pair<QByteArray, QByteArray>> GpxRootNamespaces(BlockReader &in)
{
    PrepareXml(in, "gpx", HasGpxRoot);
    return HasGpxRoot(in.view()) ? GpxNamespaces(Cursor(in.view())) : std::vector<std::pair<QByteArray, QByteArray>>();
}

// The namespaces the root declares, for the extensions written back.
std::vector<std::pair<QByteArray, QByteArray>> GpxNamespaces(const Cursor &c)
{
    PoiRecords out;
    qsizetype nameEnd = 0;
    if (FindElement(c, 0, c.size(), "gpx", &nameEnd) >= 0) {
        bool selfClosing = false;
        ForEachAttribute(c, nameEnd, &selfClosing, [&](QByteArrayView name, QByteArrayView value) {
            // Only declarations that can be written back as they are: a plain prefix, a URI
            // without markup (a damaged root tag gives neither).
            if (!name.startsWith("xmlns:") || name.size() == 6)
                return;
            const QByteArrayView prefix = name.sliced(6);
            const bool plainPrefix = std::all_of(prefix.begin(), prefix.end(), [](char ch) { return IsNameChar(ch) && ch != ':'; });
            const bool plainUri = std::none_of(value.begin(), value.end(), [](char ch) {
                return ch == '<' || ch == '>' || ch == '&' || ch == '"' || static_cast<unsigned char>(ch) < 0x20;
            });
            const bool known = std::any_of(out.namespaces.begin(), out.namespaces.end(), [&](const auto &ns) { return ns.first == prefix; });
            if (plainPrefix && plainUri && !known)
                out.namespaces.emplace_back(prefix.toByteArray(), value.toByteArray());
        });
    }
    return out.namespaces;
}

// The text field a child element of a waypoint fills, as an index into
// kRecordTexts; -1 for the others.
int TextField(QByteArrayView local)
{
    // On the length first: one comparison per child instead of eight.
    const auto is = [&](const char (&name)[4]) { return std::memcmp(local.data(), name, 3) == 0; };
    const auto is4 = [&](const char (&name)[5]) { return std::memcmp(local.data(), name, 4) == 0; };
    if (local.size() == 3)
        return is("ele") ? 0 : is("cmt") ? 3 : is("src") ? 5 : is("sym") ? 6 : -1;
    if (local.size() == 4)
        return is4("time") ? 1 : is4("name") ? 2 : is4("desc") ? 4 : is4("type") ? 7 : -1;
    return -1;
}

// The direct children of a waypoint, each to its own field.
void ReadWaypointFields(const Cursor &c, const Element &e, bool trusted, PoiRecord &r, DeferTexts defer)
{
    if (defer == DeferTexts::Yes)
        r.deferredTrusted = trusted;
    {
        for (qsizetype i = e.contentStart; i < e.contentEnd;) {
            const qsizetype lt = c.find(i, "<", e.contentEnd);
            if (lt < 0)
                break;
            if (c.startsWith(lt, "<!--") || c.startsWith(lt, "<![CDATA[")) {
                const bool comment = c.startsWith(lt, "<!--");
                const qsizetype end = c.find(lt + 4, comment ? "-->" : "]]>", e.contentEnd);
                i = end < 0 ? e.contentEnd : end + 3;
                continue;
            }
            const Tag tag = ReadTagName(c, lt);
            if (tag.name.isEmpty()) {
                i = lt + 1;
                continue;
            }
            bool selfClosing = false;
            QString href;
            const qsizetype afterStart = ForEachAttribute(c, tag.nameEnd, &selfClosing, [&](QByteArrayView name, QByteArrayView value) {
                if (LocalName(name) == "href")
                    href = AttributeText(value, trusted);
            });
            qsizetype closeStart = afterStart;
            const qsizetype end = selfClosing ? afterStart : ElementEnd(c, tag.name, afterStart, e.contentEnd, &closeStart);
            // An element never closed is damage, not data: nothing of it is written back.
            const bool closed = selfClosing || closeStart < e.contentEnd;
            const QByteArrayView local = LocalName(tag.name);
            auto textOf = [&] { return selfClosing ? QString() : ElementTextAt(c, tag.nameEnd, closeStart, trusted); };
            const int field = TextField(local);
            if (field >= 0) {
                const std::optional<QByteArrayView> plain =
                    defer == DeferTexts::Yes && !selfClosing ? PlainElementText(c, tag.nameEnd, closeStart) : std::nullopt;
                if (plain && !plain->isEmpty()) {
                    r.deferred.emplace_back(field, plain->toByteArray());
                } else {
                    // A field given twice keeps its last text, deferred or not.
                    std::erase_if(r.deferred, [&](const auto &text) { return text.first == field; });
                    r.*kRecordTexts[field] = textOf();
                }
            } else if (local == "link") {
                PoiLink link;
                link.href = href;
                const Cursor inner(c.slice(0, closeStart));
                qsizetype innerEnd = 0;
                if (FindElement(inner, afterStart, closeStart, "text", &innerEnd) >= 0)
                    link.text = ElementTextAt(inner, innerEnd, closeStart, trusted);
                if (FindElement(inner, afterStart, closeStart, "type", &innerEnd) >= 0)
                    link.type = ElementTextAt(inner, innerEnd, closeStart, trusted);
                r.links.push_back(link);
            } else if (local == "extensions" && closed) {
                r.extensionsXml = RawUtf8(c.slice(afterStart, closeStart), trusted);
            } else if (closed && local != "extensions") {
                r.otherXml.push_back(RawUtf8(c.slice(lt, end), trusted));
            }
            i = end;
        }
    }
}

QByteArray GpxRecordHead(const std::vector<std::pair<QByteArray, QByteArray>> &namespaces)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"Orvalis\" xmlns=\"http://www.topografix.com/GPX/1/1\"";
    for (const auto &[prefix, uri] : namespaces)
        out += " xmlns:" + prefix + "=\"" + uri + '"';
    out += ">\n";
    return out;
}

bool AppendGpxRecord(QByteArray &out, const PoiRecord &r, bool strict)
{
    QByteArray lat = PlainDecimalText(r.lat), lon = PlainDecimalText(r.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    // The schema's longitudes lie in [-180, 180): 180 is -180.
    if (strict && ParseDecimal(QString::fromLatin1(lon), u'.') == 180.0L)
        lon = "-180";
    // Few appends and no temporaries: this runs once per waypoint of a big file.
    out.append("<wpt lat=\"").append(lat).append("\" lon=\"").append(lon).append("\">");
    auto field = [&](QByteArrayView open, QByteArrayView close, const QString &value) {
        if (value.isEmpty())
            return;
        out.append(open);
        AppendXmlText(out, value);
        out.append(close);
    };
    field("\n  <ele>", "</ele>", r.ele);
    field("\n  <time>", "</time>", r.time);
    field("\n  <name>", "</name>", r.name);
    field("\n  <cmt>", "</cmt>", r.cmt);
    field("\n  <desc>", "</desc>", r.desc);
    field("\n  <src>", "</src>", r.src);
    for (const PoiLink &link : r.links) {
        out += "\n  <link href=\"" + XmlTextBytes(link.href) + "\">";
        if (!link.text.isEmpty())
            out += "<text>" + XmlTextBytes(link.text) + "</text>";
        if (!link.type.isEmpty())
            out += "<type>" + XmlTextBytes(link.type) + "</type>";
        out += "</link>";
    }
    field("\n  <sym>", "</sym>", r.sym);
    field("\n  <type>", "</type>", r.type);
    for (const QByteArray &other : r.otherXml)
        out.append("\n  ").append(other);
    if (!r.extensionsXml.isEmpty())
        out.append("\n  <extensions>").append(r.extensionsXml).append("</extensions>");
    out.append("\n</wpt>\n");
    return true;
}

QByteArray GpxRecordTail()
{
    return "</gpx>\n";
}

QByteArray GpxRecordBytes(const PoiRecords &in, bool strict, int *written)
{
    QByteArray out = GpxRecordHead(in.namespaces);
    out.reserve(out.size() + static_cast<qsizetype>(in.records.size()) * 160);
    int count = 0;
    for (const PoiRecord &r : in.records)
        count += AppendGpxRecord(out, r, strict);
    out += GpxRecordTail();
    if (written)
        *written = count;
    return out;
}

}  // namespace orvalis
