// GPX, the XML of GPS tools: waypoints with every field a GPX 1.1 waypoint
// holds, and raw XML for the rest; the window's rows as GPX 1.0.
#include "files/gpx_format.h"
#include "files/poi_codec.h"
#include "files/record_fields.h"
#include "files/record_pipe.h"
#include "files/record_texts.h"
#include "files/text_codecs.h"
#include "files/xml_scan.h"
#include "geo/decimal_entry.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace orvalis {

using namespace xml;

namespace {

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

// Visits the attributes of the root element.
void ForEachRootAttribute(const Cursor &c, const std::function<void(QByteArrayView, QByteArrayView)> &visit)
{
    qsizetype nameEnd = 0;
    if (FindElement(c, 0, c.size(), "gpx", &nameEnd) >= 0) {
        bool selfClosing = false;
        ForEachAttribute(c, nameEnd, &selfClosing, visit);
    }
}

// The namespaces the root declares, for the extensions written back.
XmlNamespaces GpxNamespaces(const Cursor &c)
{
    XmlNamespaces namespaces;
    {
        ForEachRootAttribute(c, [&](QByteArrayView name, QByteArrayView value) {
            // Only declarations that can be written back as they are: a plain prefix, a URI
            // without markup (a damaged root tag gives neither).
            if (!name.startsWith("xmlns:") || name.size() == 6)
                return;
            const QByteArrayView prefix = name.sliced(6);
            const bool plainPrefix = std::all_of(prefix.begin(), prefix.end(), [](char ch) { return IsNameChar(ch) && ch != ':'; });
            const bool plainUri = std::none_of(value.begin(), value.end(), [](char ch) {
                return ch == '<' || ch == '>' || ch == '&' || ch == '"' || static_cast<unsigned char>(ch) < 0x20;
            });
            const bool known = std::any_of(namespaces.begin(), namespaces.end(), [&](const auto &ns) { return ns.first == prefix; });
            if (plainPrefix && plainUri && !known)
                namespaces.emplace_back(prefix.toByteArray(), value.toByteArray());
        });
    }
    return namespaces;
}

// The text field a child element of a waypoint fills, as an index into
// kRecordTexts; -1 for the others.
// The first eight bytes of a name as a number.
constexpr quint64 NameHead(const char *name, qsizetype length)
{
    quint64 h = 0;
    for (qsizetype k = 0; k < std::min<qsizetype>(length, 8); ++k)
        h |= quint64(static_cast<unsigned char>(name[k])) << (8 * k);
    return h;
}

int TextField(QByteArrayView local, quint64 head);

int TextField(QByteArrayView local)
{
    return TextField(local, NameHead(local.data(), local.size()));
}

// The same with the name's head (NameHead) known.
int TextField(QByteArrayView local, quint64 h)
{
    // The names by length, then by their head: a few comparisons of numbers.
    static constexpr auto kByLength = [] {
        struct Key {
            quint64 head = 0;
            int field = -1;
        };
        std::array<std::array<Key, 8>, 14> keys{};
        for (int i = 0; i < int(std::size(kRecordTextNames)); ++i) {
            const qsizetype length = qsizetype(std::char_traits<char>::length(kRecordTextNames[i]));
            auto &slot = keys[size_t(length)];
            size_t k = 0;
            while (slot[k].field >= 0)
                ++k;
            slot[k] = {NameHead(kRecordTextNames[i], length), i};
        }
        return keys;
    }();
    if (local.size() >= qsizetype(kByLength.size()))
        return -1;
    for (const auto &key : kByLength[size_t(local.size())]) {
        if (key.field < 0)
            return -1;
        if (key.head == h &&
            (local.size() <= 8 || std::memcmp(local.data() + 8, kRecordTextNames[key.field] + 8, size_t(local.size() - 8)) == 0))
            return key.field;
    }
    return -1;
}

// The namespace the root gives elements without a prefix (none: empty).
QByteArray DefaultNamespace(const Cursor &c)
{
    QByteArray uri;
    ForEachRootAttribute(c, [&](QByteArrayView name, QByteArrayView value) {
        if (name == "xmlns")
            uri = value.trimmed().toByteArray();
    });
    return uri;
}

// An element the waypoint has no place for, kept for <extensions>: one without
// a prefix says its namespace, which there would be GPX 1.1's (GPX 1.0's stays
// GPX 1.0's; one of no namespace or of GPX 1.1 goes to the program's own).
QByteArray OtherElement(QByteArrayView raw, qsizetype nameEnd, bool prefixed, bool declares, const QByteArray &defaultNamespace)
{
    if (prefixed || declares)
        return raw.toByteArray();
    const QByteArray uri = defaultNamespace.isEmpty() || defaultNamespace == kGpx11Namespace ? QByteArray(kOwnNamespace) : defaultNamespace;
    return raw.first(nameEnd).toByteArray() + " xmlns=\"" + uri + '"' + raw.sliced(nameEnd).toByteArray();
}

// The text of a text field's element, whose name ends at `nameEnd` and whose
// end tag starts at `closeStart`: left as bytes when it is one plain run (see
// PlainElementText), decoded otherwise. A field given twice keeps its last text,
// deferred or not.
void TakeTextField(PoiRecord &r, int field, const Cursor &c, qsizetype nameEnd, qsizetype closeStart,
                   const std::optional<QByteArrayView> &plain, bool selfClosing, bool trusted)
{
    if (plain && !plain->isEmpty()) {
        r.defer(field, *plain);
        return;
    }
    std::erase_if(r.deferred, [&](const PoiRecord::DeferredSpan &text) { return text.field == field; });
    r.*kRecordTexts[field] = selfClosing ? QString() : ElementTextAt(c, nameEnd, closeStart, trusted);
}

// What a waypoint's texts are read as, and room for its usual ones.
void StartWaypointTexts(PoiRecord &r, DeferTexts defer, bool trusted, qsizetype bytes)
{
    if (defer == DeferTexts::No)
        return;
    // Texts of a transcoded file are UTF-8; the others are where their bytes are (see XmlRunText).
    r.deferredAs = trusted ? TextEncoding::Utf8 : TextEncoding::Utf8ElseWindows1252;
    r.deferred.reserve(8);
    r.deferredBytes.reserve(bytes);
}

// A waypoint whose children are all text fields written plainly, <name>text</name>
// with no attribute, markup or other element inside: most waypoints. Found in
// one walk that also finds the waypoint's end; read as ReadWaypointFields reads them.
struct PlainWaypoint {
    struct Child {
        int field;
        qsizetype nameEnd, closeStart;
        bool reference;  // its text holds a '&'
    };
    const char *data = nullptr;
    qsizetype contentStart = -1;
    std::vector<Child> children;
};

// The ContentScan of waypoints: `plain` filled when the waypoint is one.
qsizetype ScanPlainWaypoint(const Cursor &c, QByteArrayView qualified, qsizetype contentStart, PlainWaypoint &plain)
{
    plain.contentStart = -1;
    plain.children.clear();
    const QByteArrayView local = LocalName(qualified);
    if (local.size() != 3 || NameHead(local.data(), 3) != NameHead("wpt", 3))
        return -1;
    const char *d = c.data();
    const qsizetype n = c.size();
    // The '<' at or after `from`, -1 when none.
    const auto next = [&](qsizetype from) -> qsizetype {
        const void *hit = from < n ? std::memchr(d + from, '<', size_t(n - from)) : nullptr;
        return hit ? static_cast<const char *>(hit) - d : -1;
    };
    // The name at p, with a byte after it (names are short: compared here, not called).
    const auto nameAt = [&](qsizetype p, QByteArrayView name) {
        if (p + name.size() >= n)
            return false;
        for (qsizetype k = 0; k < name.size(); ++k)
            if (d[p + k] != name[k])
                return false;
        return true;
    };
    for (qsizetype i = contentStart;;) {
        const qsizetype lt = next(i);
        if (lt < 0 || lt + 1 >= n)
            return -1;
        if (d[lt + 1] == '/') {
            // The first end tag between children: the waypoint's, or something else.
            if (!nameAt(lt + 2, qualified) || IsNameChar(d[lt + 2 + qualified.size()]))
                return -1;
            plain.data = d;
            plain.contentStart = contentStart;
            return lt;
        }
        qsizetype nameEnd = lt + 1;
        while (nameEnd < n && IsNameChar(d[nameEnd]))
            ++nameEnd;
        if (nameEnd == lt + 1 || nameEnd >= n || d[nameEnd] != '>')
            return -1;
        const QByteArrayView name(d + lt + 1, nameEnd - lt - 1);
        const QByteArrayView local = LocalName(name);
        // The head of a name followed by eight bytes more in one load ('>' follows every name here).
        quint64 head = 0;
        if (std::endian::native == std::endian::little && local.size() <= 8 && local.data() + 8 <= d + n) {
            std::memcpy(&head, local.data(), 8);
            head &= local.size() == 8 ? ~quint64(0) : (quint64(1) << (8 * local.size())) - 1;
        } else {
            head = NameHead(local.data(), local.size());
        }
        const int field = TextField(local, head);
        if (field < 0 || (name.size() == qualified.size() && nameAt(lt + 1, qualified)))
            return -1;
        const qsizetype closeStart = next(nameEnd + 1);
        if (closeStart < 0 || closeStart + 1 >= n || d[closeStart + 1] != '/' || !nameAt(closeStart + 2, name) ||
            d[closeStart + 2 + name.size()] != '>')
            return -1;
        const qsizetype textBytes = closeStart - nameEnd - 1;
        const bool reference = textBytes > 0 && std::memchr(d + nameEnd + 1, '&', size_t(textBytes));
        plain.children.push_back({field, nameEnd, closeStart, reference});
        i = closeStart + 3 + name.size();
    }
}

// The fields of a waypoint that ScanPlainWaypoint found plain.
void ReadPlainWaypointFields(const Cursor &c, const PlainWaypoint &plain, bool trusted, PoiRecord &r, DeferTexts defer)
{
    if (defer != DeferTexts::No && !plain.children.empty()) {
        StartWaypointTexts(r, defer, trusted, 0);
        // The bytes from the first text to the end of the last in one copy, each text a span of them.
        const qsizetype from = plain.children.front().nameEnd + 1;
        SetBytes(r.deferredBytes, c.slice(from, plain.children.back().closeStart));
        for (const PlainWaypoint::Child &child : plain.children) {
            if (!child.reference && child.closeStart > child.nameEnd + 1)
                r.deferred.push_back({child.field, child.nameEnd + 1 - from, child.closeStart - child.nameEnd - 1});
            else
                TakeTextField(r, child.field, c, child.nameEnd, child.closeStart, std::nullopt, false, trusted);
        }
    } else {
        for (const PlainWaypoint::Child &child : plain.children)
            TakeTextField(r, child.field, c, child.nameEnd, child.closeStart, std::nullopt, false, trusted);
    }
    TakeOwnExtension(r);
}

// The direct children of a waypoint, each to its own field.
void ReadWaypointFields(const Cursor &c, const Element &e, bool trusted, PoiRecord &r, DeferTexts defer,
                        const QByteArray &defaultNamespace)
{
    // GPX 1.0's one link, from <url> and <urlname>.
    int urlLink = -1;
    auto oldLink = [&]() -> PoiLink & {
        if (urlLink < 0) {
            urlLink = int(r.links.size());
            r.links.emplace_back();
        }
        return r.links[size_t(urlLink)];
    };
    // A waypoint's usual texts without growing.
    StartWaypointTexts(r, defer, trusted, std::min<qsizetype>(e.contentEnd - e.contentStart, 1024));
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
            bool declares = false;
            const qsizetype afterStart = ForEachAttribute(c, tag.nameEnd, &selfClosing, [&](QByteArrayView name, QByteArrayView value) {
                if (LocalName(name) == "href")
                    href = AttributeText(value, trusted);
                declares = declares || name == "xmlns";
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
                    defer != DeferTexts::No && !selfClosing ? PlainElementText(c, tag.nameEnd, closeStart) : std::nullopt;
                TakeTextField(r, field, c, tag.nameEnd, closeStart, plain, selfClosing, trusted);
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
            } else if (local == "url") {
                oldLink().href = textOf();
            } else if (local == "urlname") {
                oldLink().text = textOf();
            } else if (local == "extensions" && closed) {
                r.extensionsXml = RawUtf8(c.slice(afterStart, closeStart), trusted);
            } else if (closed && local != "extensions") {
                const bool prefixed = local.size() != tag.name.size();
                r.otherXml.push_back(RawUtf8(OtherElement(c.slice(lt, end), tag.nameEnd - lt, prefixed, declares, defaultNamespace), trusted));
            }
            i = end;
        }
    }
    TakeOwnExtension(r);
}

// Every waypoint a block at a time, every field kept; false (nothing
// visited) when the input is no GPX document. Route and track points are
// noted in `result`.
bool ForEachGpxRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                      const CoordinateFilter &wanted, DeferTexts defer)
{
    const bool trusted = PrepareXml(in, "gpx", HasGpxRoot);
    if (!HasGpxRoot(in.view()))
        return false;
    const QByteArray defaultNamespace = DefaultNamespace(Cursor(in.view()));
    PlainWaypoint plain;
    const ContentScan scan = [&](const Cursor &c, QByteArrayView qualified, qsizetype contentStart) {
        return ScanPlainWaypoint(c, qualified, contentStart, plain);
    };
    // Route and track points are passed over whole, and noted: they are not POIs.
    ForEachElement(in, {"wpt", "rtept", "trkpt"}, [&](const Cursor &c, const Element &e) {
        // The walk that ended this element read it, when it was plain.
        const bool isPlain = plain.contentStart == e.contentStart && plain.data == c.data();
        plain.contentStart = -1;
        if (e.name != "wpt") {
            if (result)
                result->routePoints = true;
            return true;
        }
        // A waypoint cut by the end of the input would give what it was cut to.
        if (e.cut) {
            if (result) {
                result->truncated = true;
                result->firstSkipped = result->counter + 1;
            }
            return false;
        }
        if (result)
            ++result->counter;
        if (wanted && !wanted(e.lat.trimmed(), e.lon.trimmed()))
            return true;
        RecordToFill fill;
        PoiRecord &r = *fill;
        SetBytes(r.lat, e.lat.trimmed());
        SetBytes(r.lon, e.lon.trimmed());
        if (isPlain)
            ReadPlainWaypointFields(c, plain, trusted, r, defer);
        else
            ReadWaypointFields(c, e, trusted, r, defer, defaultNamespace);
        visit(std::move(r));
        return true;
    }, scan);
    return true;
}

// Each text element's start and end tags, made once: two appends an element.
struct TextTags {
    QByteArray open, close;
};
const std::array<TextTags, std::size(kRecordTextNames)> &RecordTextTags()
{
    static const auto tags = [] {
        std::array<TextTags, std::size(kRecordTextNames)> t;
        for (size_t f = 0; f < t.size(); ++f) {
            t[f].open = "\n  <" + QByteArray(kRecordTextNames[f]) + '>';
            t[f].close = "</" + QByteArray(kRecordTextNames[f]) + '>';
        }
        return t;
    }();
    return tags;
}

char *Put(char *d, QByteArrayView bytes)
{
    std::memcpy(d, bytes.data(), size_t(bytes.size()));
    return d + bytes.size();
}

// The waypoint of most records that come from a format of one text or a few
// (OV2, CSV): plain coordinates and texts left as bytes, nothing else; written
// through one pointer into room made once. False (nothing written) for the others.
bool AppendPlainGpxRecord(QByteArray &out, const PoiRecord &r, bool strict)
{
    if (!r.links.empty() || !r.otherXml.empty() || !r.extensionsXml.isEmpty() || !r.properties.empty() ||
        !IsPlainDecimal(r.lat) || !IsPlainDecimal(r.lon) || (strict && r.lon.contains("180")))
        return false;
    qsizetype room = 64 + r.lat.size() + r.lon.size();
    // Each field's last text (a field given twice keeps its last), in the fields' order below.
    std::array<int, std::size(kRecordTexts)> last;
    last.fill(-1);
    for (size_t k = 0; k < r.deferred.size(); ++k) {
        const PoiRecord::DeferredSpan &span = r.deferred[k];
        if (!BytesFitGpxType(span.field, r.deferredText(span)))
            return false;
        room += 2 * qsizetype(std::strlen(kRecordTextNames[span.field])) + 8 + XmlTextRoom(span.size);
        last[size_t(span.field)] = int(k);
    }
    for (QString PoiRecord::*text : kRecordTexts)
        if (!(r.*text).isEmpty())
            return false;
    const qsizetype at = out.size();
    out.resize(at + room);
    char *d = out.data() + at;
    d = Put(d, "<wpt lat=\"");
    d = Put(d, r.lat);
    d = Put(d, "\" lon=\"");
    d = Put(d, r.lon);
    d = Put(d, "\">");
    const auto &tags = RecordTextTags();
    for (int f = 0; f < int(std::size(kRecordTexts)); ++f) {
        if (last[size_t(f)] < 0 || r.deferred[size_t(last[size_t(f)])].size == 0)
            continue;
        const EncodedText text{r.deferredText(r.deferred[size_t(last[size_t(f)])]), r.deferredAs};
        d = Put(d, tags[size_t(f)].open);
        d = PutXmlText(d, text);
        if (!d) {
            out.truncate(at);  // a rare text: the general writer takes the record
            return false;
        }
        d = Put(d, tags[size_t(f)].close);
    }
    d = Put(d, "\n</wpt>\n");
    out.truncate(d - out.constData());
    return true;
}

bool AppendGpxRecord(QByteArray &out, const PoiRecord &r, bool strict, const XmlNamespaces &namespaces)
{
    if (AppendPlainGpxRecord(out, r, strict))
        return true;
    QByteArray lat = PlainDecimalText(r.lat), lon = PlainDecimalText(r.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    // The schema's longitudes lie in [-180, 180): 180 is -180.
    if (strict && ParseDecimal(QString::fromLatin1(lon), u'.') == 180.0L)
        lon = "-180";
    // Few appends and no temporaries: this runs once per waypoint of a big file.
    out.append("<wpt lat=\"").append(lat).append("\" lon=\"").append(lon).append("\">");
    // The schema's order; a text that does not have its element's type goes to
    // the program's own extension, to come back as it was.
    std::vector<PoiProperty> own;
    const auto &tags = RecordTextTags();
    for (int f = 0; f < int(std::size(kRecordTexts)); ++f) {
        if (f == kFirstTextAfterLinks)
            for (const PoiLink &link : r.links) {
                out += "\n  <link href=\"" + XmlTextBytes(link.href) + "\">";
                if (!link.text.isEmpty())
                    out += "<text>" + XmlTextBytes(link.text) + "</text>";
                if (!link.type.isEmpty())
                    out += "<type>" + XmlTextBytes(link.type) + "</type>";
                out += "</link>";
            }
        // A text left as bytes goes out as them, but for one whose element has a type its bytes do not surely fit.
        const std::optional<EncodedText> deferred = DeferredText(r, f);
        if (deferred && BytesFitGpxType(f, deferred->bytes)) {
            if (deferred->isEmpty())
                continue;
            out.append(tags[size_t(f)].open);
            AppendXmlText(out, *deferred);
            out.append(tags[size_t(f)].close);
            continue;
        }
        const QString decoded = deferred ? DecodeText(*deferred) : QString();
        const QString &value = deferred ? decoded : r.*kRecordTexts[f];
        if (value.isEmpty())
            continue;
        if (!FitsGpxType(f, value)) {
            own.push_back({QLatin1String(kRecordTextNames[f]), JsonStringOf(value)});
            continue;
        }
        out.append(tags[size_t(f)].open);
        AppendXmlText(out, value);
        out.append(tags[size_t(f)].close);
    }
    QByteArray raw;
    for (const QByteArray &other : r.otherXml)
        raw.append(other);
    raw.append(r.extensionsXml);
    // Markup cut out of a damaged file may be no XML on its own: copied, it would
    // end this waypoint and start others. It goes as a text then.
    if (!raw.isEmpty() && !IsWellFormedXml(raw, namespaces)) {
        own.push_back({QStringLiteral("gpx_extensions"), JsonStringOf(QString::fromUtf8(raw))});
        raw.clear();
    }
    own.insert(own.end(), r.properties.begin(), r.properties.end());
    const QByteArray ownXml = OwnExtensionXml(own);
    if (!raw.isEmpty() || !ownXml.isEmpty())
        out.append("\n  <extensions>").append(raw).append(ownXml).append("</extensions>");
    out.append("\n</wpt>\n");
    return true;
}

// GPX 1.1 of records, written as they come, with the namespaces their
// extensions need declared in the head.
class GpxRecordWriter final : public FormatRecordWriter {
public:
    explicit GpxRecordWriter(bool strict) : strict_(strict) {}
    void start(WriterBuffer &out, const XmlNamespaces &namespaces) override
    {
        out.bytes += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"Orvalis\" xmlns=\"http://www.topografix.com/GPX/1/1\"";
        for (const auto &[prefix, uri] : namespaces)
            out.bytes += " xmlns:" + prefix + "=\"" + uri + '"';
        out.bytes += ">\n";
        namespaces_ = namespaces;
    }
    bool append(WriterBuffer &out, const PoiRecord &r) override { return AppendGpxRecord(out.bytes, r, strict_, namespaces_); }
    void finish(WriterBuffer &out) override { out.bytes += "</gpx>\n"; }

private:
    bool strict_;
    XmlNamespaces namespaces_;
};

// GPX 1.1 for tools that check it: the namespace, name and desc apart (the
// table's "name - desc" split at its first " - "), one waypoint a line.
QByteArray Gpx11Bytes(const PoiTable &table, int first, int last, int *written)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"Orvalis\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                     "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    int count = 0;
    for (int row = first; row <= last; ++row) {
        const QString latText = PointDecimal(table.field(row, FieldLatitude));
        const QString lonText = PointDecimal(table.field(row, FieldLongitude));
        const auto lat = ParseDecimal(latText, u'.');
        const auto lon = ParseDecimal(lonText, u'.');
        // The schema wants a latitude in [-90, 90] and a longitude in [-180, 180): 180 is -180.
        if (!lat || !lon || !CoordinatesInRange(*lat, *lon))
            continue;
        const QByteArray lonBytes = *lon == 180 ? QByteArray("-180") : PlainDecimalText(lonText.trimmed().toLatin1());
        const QString description = table.field(row, FieldDescription);
        const qsizetype dash = description.indexOf(QStringLiteral(" - "));
        const QString name = dash < 0 ? description : description.left(dash);
        const QString desc = dash < 0 ? QString() : description.mid(dash + 3);
        out += "<wpt lat=\"" + PlainDecimalText(latText.trimmed().toLatin1()) + "\" lon=\"" + lonBytes + "\">";
        if (!name.isEmpty())
            out += "<name>" + XmlTextBytes(name) + "</name>";
        if (!desc.isEmpty())
            out += "<desc>" + XmlTextBytes(desc) + "</desc>";
        out += "</wpt>\n";
        ++count;
    }
    out += "</gpx>\n";
    if (written)
        *written = count;
    return out;
}

std::vector<std::vector<LatLon>> ReadGpxRouteLines(QByteArrayView data)
{
    using namespace xml;
    const std::optional<QByteArray> transcoded = XmlAsUtf8(data);
    const Cursor c(transcoded ? QByteArrayView(*transcoded) : data);
    std::vector<std::vector<LatLon>> lines;
    auto pointsOf = [](const Cursor &inner, const char *name) {
        std::vector<LatLon> points;
        ForEachElement(inner, {name}, [&](const Element &e) {
            const auto lat = ParseDecimal(QString::fromLatin1(e.lat), u'.');
            const auto lon = ParseDecimal(QString::fromLatin1(e.lon), u'.');
            if (lat && lon)
                points.push_back({static_cast<float>(*lat), static_cast<float>(*lon)});
            return true;
        });
        return points;
    };
    auto keep = [&](std::vector<LatLon> &&points) {
        if (!points.empty())
            lines.push_back(std::move(points));
    };
    // Every route, and every segment of every track, is a line of its own.
    ForEachElement(c, {"rte", "trk"}, [&](const Element &e) {
        const Cursor inner(c.slice(e.contentStart, e.contentEnd));
        if (e.name == "rte") {
            keep(pointsOf(inner, "rtept"));
            return true;
        }
        bool segments = false;
        ForEachElement(inner, {"trkseg"}, [&](const Element &seg) {
            segments = true;
            keep(pointsOf(Cursor(inner.slice(seg.contentStart, seg.contentEnd)), "trkpt"));
            return true;
        });
        if (!segments)
            keep(pointsOf(inner, "trkpt"));
        return true;
    });
    return lines;
}

class Gpx final : public PoiCodec {
public:
    Gpx() : PoiCodec("gpx", {"gpx"}, QStringLiteral("GPX")) {}

    bool recognises(QByteArrayView data) const override { return IsGpxDocument(data); }
    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not a GPX file"); }

    XmlNamespaces headNamespaces(BlockReader &in) const override
    {
        PrepareXml(in, "gpx", HasGpxRoot);
        return HasGpxRoot(in.view()) ? GpxNamespaces(Cursor(in.view())) : XmlNamespaces();
    }
    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts defer) const override
    {
        return ForEachGpxRecord(in, visit, result, wanted, defer);
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &options) const override
    {
        return std::make_unique<GpxRecordWriter>(options.strictGpx);
    }
    bool writesTextBytes() const override { return true; }

    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadGpx(data, table, separator);
        return true;
    }
    bool readTableOnce(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadGpx(data, table, separator, ReadPages::GivenBack);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        if (written)
            *written = RowsBetween(table, first, last);
        return options.gpx11 ? Gpx11Bytes(table, first, last, written) : GpxFileBytes(table, first, last, options.gpxNamespace);
    }
    bool streamsTableRows() const override { return true; }
    bool readTableRows(BlockReader &in, QChar separator, const TableRowVisit &visit, ReadResult *result) const override
    {
        const bool trusted = PrepareXml(in, "gpx", HasGpxRoot);
        if (!HasGpxRoot(in.view()))
            return false;
        struct Row final : TableRow {
            PoiTable table;
            const Cursor *c = nullptr;
            const Element *e = nullptr;
            bool trusted = false;
            PoiTable &cells() override { return table; }
            void describe() override { SetNamedDescription(table, 1, *c, e->contentStart, e->contentEnd, trusted, "desc", true); }
            int number() const override { return table.number(1); }
        } row;
        row.trusted = trusted;
        ForEachElement(in, {"wpt"}, [&](const Cursor &c, const Element &e) {
            ReadResult one;
            AppendPoi(row.table, one, e.lat, e.lon, QString(), separator);
            row.table.setNumber(1, ++result->counter);
            row.c = &c;
            row.e = &e;
            visit(row);
            return true;
        });
        return true;
    }
    bool readTableCoordinates(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result,
                              DescribeRows *describe) const override
    {
        auto waypoints = std::make_shared<GpxWaypoints>();
        *result = ReadGpxCoordinates(data, table, separator, *waypoints);
        *describe = [waypoints, &table](const std::vector<int> &rows) { StoreGpxNames(table, *waypoints, rows); };
        return true;
    }
    // Peaks measured with gui_bench: 226 MB for 1M short names (80 MB), 363 MB for
    // 1M realistic (284 MB), 212 MB for "<wpt/>" a million times (6 MB). Pages go
    // back as waypoints pass, but a file of few waypoints among tracks is held
    // whole: a byte of file counts whole, the rows fitted on that, 8 % added.
    LoadCost loadCost() const override { return {1.08, 160.0, 230.0}; }
    // One row per waypoint start tag.
    qint64 countRows(int fd) const override
    {
        PreadWalk walk(fd);
        static constexpr char kTag[] = "<wpt";
        constexpr qsizetype kTagBytes = sizeof kTag - 1;
        qint64 offset = 0, rows = 0;
        for (;;) {
            QByteArrayView v;
            if (!walk.at(offset, PreadWalk::kBlockBytes, &v))
                return -1;
            rows += CountWaypointTags(v);
            if (v.size() < PreadWalk::kBlockBytes)
                return rows;
            offset += v.size() - (kTagBytes - 1);  // a tag cut by the block's end is found in the next
        }
    }
    QString windowCannotRead() const override { return QStringLiteral("Impossible de lire le fichier gpx"); }

    std::vector<std::vector<LatLon>> routeLines(QByteArrayView data) const override { return ReadGpxRouteLines(data); }
    // A file of routes or tracks only is no empty file: say why nothing came of it.
    ReadVerdict verdict(const ReadCheck &check) const override
    {
        if (check.result.truncated)
            return BadRecordsVerdict(check, 1, QCoreApplication::translate("Cli", "%1: waypoint %2 is cut short by the end of the file")
                                                   .arg(check.file)
                                                   .arg(check.result.firstSkipped));
        if (check.empty && (check.result.routePoints || (!check.data.isEmpty() && !ReadGpxRouteLines(check.data).empty())))
            return {{}, QCoreApplication::translate("Cli", "%1: no waypoints; its routes and tracks are not read as POIs").arg(check.file)};
        return {};
    }
};

}  // namespace

const PoiCodec &GpxCodec()
{
    static const Gpx codec;
    return codec;
}

}  // namespace orvalis
