// The tolerant scanning the XML readers share (GPX waypoints, routes and tracks;
// KML placemarks): a byte walker that never reads past the end, never searches
// past the element it is in, and takes what a damaged file still holds.
#include "files/xml_scan.h"

#include "files/gpx_format.h"
#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QStringDecoder>
#include <QVarLengthArray>
#include <memory>
#include <algorithm>
#include <cstring>

namespace orvalis::xml {



// A start tag at `lt` (the '<'): its qualified name and where the tag ends.
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
    return ForEachAttributeOf(c, i, selfClosing, [&](QByteArrayView qualified, QByteArrayView value) {
        const QByteArrayView name = LocalName(qualified);
        if (name.size() != 3 || name[0] != 'l')
            return;
        if (name[1] == 'a' && name[2] == 't')
            *lat = value;
        else if (name[1] == 'o' && name[2] == 'n')
            *lon = value;
    });
}

qsizetype ForEachAttribute(const Cursor &c, qsizetype i, bool *selfClosing,
                           const std::function<void(QByteArrayView, QByteArrayView)> &visit)
{
    return ForEachAttributeOf(c, i, selfClosing, visit);
}

static QString CoordinateText(const QByteArray &value, QChar separator)
{
    return ToLocaleSeparator(QString::fromLatin1(value).trimmed(), separator).left(9);
}

// The text of the element whose start tag begins at `lt`, up to its end tag:
// CDATA taken as text, comments dropped, entities resolved.
namespace {

// Where the text of the element whose name ends at `nameEnd` starts: after its
// start tag; -1 for a tag cut short or an empty element (<name/>).
qsizetype ElementTextStart(const Cursor &c, qsizetype nameEnd, qsizetype to)
{
    qsizetype gt = nameEnd;
    while (gt < to && c.at(gt) != '>')
        ++gt;
    return gt >= to || c.at(gt - 1) == '/' ? -1 : gt + 1;
}

}  // namespace

QString XmlRunText(QByteArrayView raw, bool trusted)
{
    // XML is UTF-8 unless it says otherwise: only bytes that are not UTF-8 are Windows-1252.
    return DecodeText({raw, trusted ? TextEncoding::Utf8 : TextEncoding::Utf8ElseWindows1252});
}

QString ElementTextAt(const Cursor &c, qsizetype nameEnd, qsizetype to, bool trusted)
{
    const qsizetype start = ElementTextStart(c, nameEnd, to);
    if (start < 0)
        return {};
    QString text;
    qsizetype j = start;
    while (j < to) {
        const qsizetype lt = c.find(j, "<", to);
        const qsizetype stop = lt < 0 ? to : lt;
        if (stop > j)
            text += DecodeXmlText(XmlRunText(c.slice(j, stop), trusted));
        if (stop >= to)
            break;
        if (c.startsWith(stop, "<![CDATA[")) {
            const qsizetype end = c.find(stop + 9, "]]>", to);
            const qsizetype cdataEnd = end < 0 ? to : end;
            text += XmlRunText(c.slice(stop + 9, cdataEnd), trusted);
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

// Where the first name and desc elements inside [from, to) have their names
// end, in one pass over the tags; -1 for one that is not there.
NamePositions FindNameAndDescription(const Cursor &c, qsizetype from, qsizetype to, const char *descTag)
{
    NamePositions at;
    qsizetype i = from;
    while (i < to && (at.name < 0 || at.desc < 0)) {
        const qsizetype lt = c.find(i, "<", to);
        if (lt < 0)
            break;
        if (c.startsWith(lt, "<!--") || c.startsWith(lt, "<![CDATA[")) {
            const bool comment = c.at(lt + 1) == '!' && c.at(lt + 2) == '-';
            const qsizetype end = c.find(lt + 4, comment ? "-->" : "]]>", to);
            i = end < 0 ? to : end + 3;
            continue;
        }
        const Tag tag = ReadTagName(c, lt);
        const QByteArrayView local = LocalName(tag.name);
        if (at.name < 0 && local == "name")
            at.name = tag.nameEnd;
        else if (at.desc < 0 && local == descTag)
            at.desc = tag.nameEnd;
        i = lt + 1;
    }
    return at;
}

std::optional<QByteArrayView> PlainElementText(const Cursor &c, qsizetype nameEnd, qsizetype to)
{
    const qsizetype start = nameEnd < 0 ? -1 : ElementTextStart(c, nameEnd, to);
    if (start < 0)
        return QByteArrayView();
    const qsizetype lt = c.find(start, "<", to);
    const qsizetype stop = lt < 0 ? to : lt;
    if (lt >= 0 && (c.startsWith(lt, "<![CDATA[") || c.startsWith(lt, "<!--")))
        return std::nullopt;
    const QByteArrayView text = c.slice(start, stop);
    if (text.contains('&'))
        return std::nullopt;
    return text;
}

namespace {

// name + joint + desc as Windows-1252 bytes, when both are plain UTF-8 text
// the code page holds.
bool PlainDescription(QByteArrayView name, QByteArrayView joint, QByteArrayView desc, QVarLengthArray<char, 1024> &out)
{
    out.resize(name.size() + joint.size() + desc.size());
    qsizetype n = 0, d = 0;
    if (Utf8AsWindows1252(name, out.data(), &n) != Utf8Text::Windows1252)
        return false;
    std::memcpy(out.data() + n, joint.data(), static_cast<size_t>(joint.size()));
    n += joint.size();
    if (Utf8AsWindows1252(desc, out.data() + n, &d) != Utf8Text::Windows1252)
        return false;
    out.resize(n + d);
    return true;
}

}  // namespace

void SetNamedDescription(PoiTable &table, int row, const Cursor &c, qsizetype contentStart, qsizetype contentEnd, bool trusted,
                         const char *descTag, bool jointWhenEmpty)
{
    const NamePositions at = FindNameAndDescription(c, contentStart, contentEnd, descTag);
    // Most waypoints: plain UTF-8 text that fits 8 bits (read the same either way),
    // stored without a QString.
    const auto name = PlainElementText(c, at.name, contentEnd);
    const auto desc = PlainElementText(c, at.desc, contentEnd);
    QVarLengthArray<char, 1024> bytes;
    if (name && desc && PlainDescription(*name, jointWhenEmpty || !desc->isEmpty() ? " - " : "", *desc, bytes)) {
        table.setFieldWindows1252(row, FieldDescription, QByteArrayView(bytes.data(), bytes.size()));
        return;
    }
    const QString nameText = at.name >= 0 ? ElementTextAt(c, at.name, contentEnd, trusted) : QString();
    const QString descText = at.desc >= 0 ? ElementTextAt(c, at.desc, contentEnd, trusted) : QString();
    table.setField(row, FieldDescription,
                   jointWhenEmpty || !descText.isEmpty() ? nameText + QStringLiteral(" - ") + descText : nameText);
}

bool AppendNamedPoi(PoiTable &table, ReadResult &result, const Cursor &c, const Element &e, bool trusted, const char *descTag,
                    bool jointWhenEmpty, QChar separator)
{
    if (!AppendPoi(table, result, e.lat, e.lon, QString(), separator))
        return false;
    SetNamedDescription(table, result.counter, c, e.contentStart, e.contentEnd, trusted, descTag, jointWhenEmpty);
    return true;
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



namespace {

// Where the document type declaration whose name starts at `i` ends: the
// position of its "]>" or of the two bytes before its '>' (so that +2 passes
// it); -1 when the input ends first. Quoted texts and comments of the
// internal subset may hold '>' and ']'.
qsizetype DoctypeEnd(const Cursor &c, qsizetype i)
{
    bool subset = false;
    for (; i < c.size(); ++i) {
        const char ch = c.at(i);
        if (ch == '"' || ch == '\'') {
            const qsizetype close = c.find(i + 1, ch == '"' ? "\"" : "'");
            if (close < 0)
                return -1;
            i = close;
        } else if (subset && c.startsWith(i, "<!--")) {
            const qsizetype close = c.find(i + 4, "-->");
            if (close < 0)
                return -1;
            i = close + 2;
        } else if (ch == '[') {
            subset = true;
        } else if (ch == ']') {
            subset = false;
        } else if (ch == '>' && !subset) {
            return i - 1;
        }
    }
    return -1;
}

}  // namespace

qsizetype ForEachElement(const Cursor &c, std::initializer_list<const char *> localNames,
                         const std::function<bool(const Element &)> &visit, qsizetype from, bool final, const ContentScan &scan)
{
    qsizetype i = from;
    while (i < c.size()) {
        const qsizetype lt = c.find(i, "<");
        if (lt < 0)
            break;
        // A piece of a longer input stops before what may go on past it.
        if (!final && lt + 9 >= c.size())
            return lt;
        if (c.startsWith(lt, "<!--")) {
            const qsizetype end = c.find(lt + 4, "-->");
            if (end < 0 && !final)
                return lt;
            i = end < 0 ? c.size() : end + 3;
            continue;
        }
        if (c.startsWith(lt, "<![CDATA[")) {
            const qsizetype end = c.find(lt + 9, "]]>");
            if (end < 0 && !final)
                return lt;
            i = end < 0 ? c.size() : end + 3;
            continue;
        }
        // A processing instruction or a document type holds no element, whatever markup its text shows.
        if (c.startsWith(lt, "<?") || c.startsWith(lt, "<!DOCTYPE")) {
            const qsizetype end = c.at(lt + 1) == '?' ? c.find(lt + 2, "?>") : DoctypeEnd(c, lt + 9);
            if (end < 0 && !final)
                return lt;
            i = end < 0 ? c.size() : end + 2;
            continue;
        }
        const Tag tag = ReadTagName(c, lt);
        if (!final && tag.nameEnd >= c.size())
            return lt;
        const char after = c.at(tag.nameEnd);
        const QByteArrayView local = LocalName(tag.name);
        // A name holds no NUL: equal up to its length, n goes on no further.
        const bool wanted = std::any_of(localNames.begin(), localNames.end(), [&](const char *n) {
            return std::strncmp(local.data(), n, size_t(local.size())) == 0 && n[local.size()] == '\0';
        });
        if (!wanted || !(IsSpace(after) || after == '>' || after == '/' || tag.nameEnd >= c.size())) {
            i = lt + 1;
            continue;
        }
        Element e;
        e.name = local;
        e.start = lt;
        bool selfClosing = false;
        e.contentStart = ReadAttributes(c, tag.nameEnd, &e.lat, &e.lon, &selfClosing);
        e.contentEnd = e.contentStart;
        qsizetype next = e.contentStart;
        if (!selfClosing) {
            // The end tag: "</" and the same qualified name, not followed by more name.
            qsizetype end = scan ? scan(c, tag.name, e.contentStart) : -1;
            if (end < 0)
                end = c.find(e.contentStart, "</");
            while (end >= 0 && !(c.slice(end + 2, end + 2 + tag.name.size()) == tag.name &&
                                 !IsNameChar(c.at(end + 2 + tag.name.size()))))
                end = c.find(end + 2, "</");
            // Whether a name goes on past the piece is known only with more of it.
            if (!final && (end < 0 || end + 2 + tag.name.size() >= c.size()))
                return lt;
            e.contentEnd = end < 0 ? c.size() : end;
            e.cut = end < 0;
            next = end < 0 ? c.size() : end + 2 + tag.name.size();
        }
        if (!visit(e))
            return -1;
        i = std::max(next, lt + 1);
    }
    return c.size();
}

qsizetype FindElement(const Cursor &c, qsizetype from, qsizetype to, const char *localName, qsizetype *nameEnd)
{
    for (qsizetype lt = c.find(from, "<", to); lt >= 0; lt = c.find(lt + 1, "<", to)) {
        const Tag tag = ReadTagName(c, lt);
        if (LocalName(tag.name) == localName) {
            *nameEnd = tag.nameEnd;
            return lt;
        }
    }
    return -1;
}

bool ForEachElement(BlockReader &in, std::initializer_list<const char *> localNames,
                    const std::function<bool(const Cursor &, const Element &)> &visit, const ContentScan &scan)
{
    for (;;) {
        const bool final = in.atEnd();
        const Cursor c(in.view());
        const qsizetype resume = ForEachElement(c, localNames, [&](const Element &e) { return visit(c, e); }, 0, final, scan);
        if (resume < 0)
            return false;
        in.consume(resume);
        if (final)
            return true;
        in.more();
    }
}

XmlText PrepareXml(QByteArrayView data)
{
    XmlText text;
    text.transcoded = XmlAsUtf8(data);
    text.data = text.transcoded ? QByteArrayView(*text.transcoded) : data;
    return text;
}

bool AppendPoi(PoiTable &table, ReadResult &result, QByteArrayView lat, QByteArrayView lon, const QString &description,
               QChar separator)
{
    if (result.counter == INT32_MAX - 1)
        return false;
    const int row = ++result.counter;
    table.setRowCount(row + 1);
    table.setNumber(row, row);
    SetCoordinate(table, row, FieldLatitude, lat, separator);
    SetCoordinate(table, row, FieldLongitude, lon, separator);
    table.setField(row, FieldDescription, description);
    return true;
}

std::optional<QByteArray> XmlAsUtf8(QByteArrayView data)
{
    const std::optional<XmlDecoder> decoder = XmlDecoderFor(data);
    return decoder ? std::optional<QByteArray>((*decoder)(data)) : std::nullopt;
}

namespace {

// A decoder's pieces as UTF-8: a character whose two halves fall in two pieces
// waits for its second half.
XmlDecoder Utf8Of(std::function<QString(QByteArrayView)> decode)
{
    auto carry = std::make_shared<QString>();
    return [decode = std::move(decode), carry](QByteArrayView piece) {
        QString text = *carry + decode(piece);
        carry->clear();
        if (!text.isEmpty() && text.back().isHighSurrogate()) {
            *carry = text.back();
            text.chop(1);
        }
        return text.toUtf8();
    };
}

}  // namespace

std::optional<XmlDecoder> XmlDecoderFor(QByteArrayView data)
{
    const auto starts = [&](const char *prefix, qsizetype n) { return data.size() >= n && std::memcmp(data.data(), prefix, size_t(n)) == 0; };
    // One decoder for the whole file, so that a character cut between two pieces is read whole.
    auto decode = [&](QStringConverter::Encoding e, qsizetype skip) {
        auto decoder = std::make_shared<QStringDecoder>(e);
        auto toSkip = std::make_shared<qsizetype>(skip);
        return std::optional<XmlDecoder>(Utf8Of([decoder, toSkip](QByteArrayView piece) {
            const qsizetype skipped = std::min(*toSkip, piece.size());
            *toSkip -= skipped;
            return QString((*decoder)(piece.sliced(skipped)));
        }));
    };
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    if (starts("\xFF\xFE\0\0", 4))
        return decode(QStringConverter::Utf32LE, 4);
    if (starts("\0\0\xFE\xFF", 4))
        return decode(QStringConverter::Utf32BE, 4);
    if (starts("<\0\0\0", 4))
        return decode(QStringConverter::Utf32LE, 0);
    if (starts("\0\0\0<", 4))
        return decode(QStringConverter::Utf32BE, 0);
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
        return XmlDecoder([](QByteArrayView piece) { return DecodeWindows1252(piece).toUtf8(); });  // Latin-1 as its Windows superset, as browsers do
    auto decoder = std::make_shared<QStringDecoder>(name.constData());
    if (!decoder->isValid())
        return std::nullopt;  // unknown: read as files that declare nothing
    return Utf8Of([decoder](QByteArrayView piece) { return QString((*decoder)(piece)); });
}

bool PrepareXml(BlockReader &in, const char *rootName, const std::function<bool(QByteArrayView)> &isRoot)
{
    if (!in.xmlTextsExact) {
        // The declaration lies within the first kilobyte.
        in.fill(4096);
        in.xmlTextsExact = false;
        if (std::optional<XmlDecoder> decoder = XmlDecoderFor(in.view())) {
            in.transcode(std::move(*decoder));
            in.xmlTextsExact = true;
        }
    }
    const bool trusted = *in.xmlTextsExact;
    for (;;) {
        const Cursor c(in.view());
        qsizetype nameEnd = 0;
        if (FindElement(c, 0, c.size(), rootName, &nameEnd) >= 0 && c.find(nameEnd, ">") >= 0 && (!isRoot || isRoot(in.view())))
            return trusted;
        if (!in.more())
            return trusted;
    }
}

}  // namespace orvalis::xml
