#include "files/gpx_format.h"

#include "files/pages_behind.h"
#include "files/text_codecs.h"
#include "files/xml_scan.h"
#include "table/row_halves.h"
#include "table/cp1252.h"
#include "geo/decimal_entry.h"

#include <QStringDecoder>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// An ASCII character as XML text at d: as it is, escaped, or a space for a
// control XML forbids (other tools refuse the whole file). Returns the
// position after it.
inline char *PutXmlAscii(char *d, char c)
{
    // ASCII that stands as it is: all but the four escaped and the controls XML forbids.
    static constexpr auto kPlain = [] {
        std::array<bool, 128> plain{};
        for (int k = 0x20; k < 0x80; ++k)
            plain[size_t(k)] = k != '&' && k != '<' && k != '>' && k != '"';
        plain['\t'] = plain['\n'] = plain['\r'] = true;
        return plain;
    }();
    if (kPlain[size_t(c)]) {
        *d++ = c;
        return d;
    }
    switch (c) {
    case '&': std::memcpy(d, "&amp;", 5); return d + 5;
    case '<': std::memcpy(d, "&lt;", 4); return d + 4;
    case '>': std::memcpy(d, "&gt;", 4); return d + 4;
    case '"': std::memcpy(d, "&quot;", 6); return d + 6;
    default: *d++ = ' '; return d;
    }
}

// The high bit of each byte of a word (little-endian) that is not plain ASCII
// XML text (a byte from 0x80, a control, & < > or "), and maybe of bytes after
// the first such: its lowest set bit marks the first exactly.
inline uint64_t XmlSpecialBytes(uint64_t w)
{
    static_assert(std::endian::native == std::endian::little);
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    const auto zero = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    return (w & kHigh) | ((w - kOnes * 0x20) & ~w & kHigh) | zero(w ^ (kOnes * '&')) | zero(w ^ (kOnes * '<')) |
           zero(w ^ (kOnes * '>')) | zero(w ^ (kOnes * '"'));
}

}  // namespace

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
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80)
            d = PutXmlAscii(d, char(u));
        else if (IsXmlChar(QChar(u)))
            d = PutUtf8At(d, p, &i, n);
        else
            *d++ = ' ';
    }
    out.truncate(d - out.constData());
}

void AppendXmlText(QByteArray &out, const EncodedText &text)
{
    const qsizetype at = out.size();
    out.resize(at + XmlTextRoom(text.bytes.size()));
    bool utf8 = true;
    if (char *end = PutXmlText(out.data() + at, text, &utf8)) {
        out.truncate(end - out.constData());
        return;
    }
    out.truncate(at);
    // UTF-8 that is not after all, or whose characters a reader would misread: from the characters.
    if (!utf8)
        AppendXmlText(out, DecodeUtf8(text.bytes));
    else
        out += XmlTextBytes(DecodeUtf8(text.bytes));
}

char *PutXmlText(char *d, const EncodedText &text, bool *utf8)
{
    switch (text.encoding) {
    case TextEncoding::Windows1252:
        return PutEscapedXml(d, text.bytes);
    case TextEncoding::Utf8ElseWindows1252:
    case TextEncoding::Utf8: {
        bool valid = true;
        char *end = PutXmlUtf8(d, text.bytes, &valid);
        if (!valid && text.encoding == TextEncoding::Utf8ElseWindows1252)
            return PutEscapedXml(d, text.bytes);
        if (utf8)
            *utf8 = valid;
        return end;
    }
    }
    return nullptr;
}

bool AppendXmlUtf8(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype at = out.size();
    out.resize(at + XmlTextRoom(utf8.size()));
    bool valid = true;
    char *end = PutXmlUtf8(out.data() + at, utf8, &valid);
    if (!valid) {
        out.truncate(at);
        return false;
    }
    if (end) {
        out.truncate(end - out.constData());
        return true;
    }
    out.truncate(at);
    out += XmlTextBytes(DecodeUtf8(utf8));
    return true;
}

char *PutXmlUtf8(char *d, QByteArrayView utf8, bool *valid)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const qsizetype n = utf8.size();
    // Escaped as it goes; a character Windows-1252 lacks asks afterwards whether the UTF-8 reads back.
    bool wide = false;
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            d = PutXmlAscii(d, char(p[i++]));
            continue;
        }
        char32_t c = 0;
        int length = 0;
        // Two bytes, never overlong (most letters of other scripts): read here, not called.
        if (p[i] >= 0xC2 && p[i] < 0xE0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
            c = (char32_t(p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F);
            length = 2;
        } else if ((length = Utf8Sequence(p + i, n - i, &c)) == 0) {
            *valid = false;
            return nullptr;
        }
        if (c == 0xFFFE || c == 0xFFFF) {
            *d++ = ' ';
        } else {
            std::memcpy(d, p + i, size_t(length));
            d += length;
        }
        wide = wide || (c > 0xFF && (c > 0xFFFF || cp1252::Encode(char16_t(c)) < 0)) || (c < 0xA0 && cp1252::Encode(char16_t(c)) < 0);
        i += length;
    }
    *valid = true;
    return wide && !WideUtf8BytesReadBack(utf8) ? nullptr : d;
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

char *PutEscapedXml(char *d, QByteArrayView windows1252, char comma)
{
    // Each byte's XML text, worked out once: the byte, its escape, a space for a
    // control XML forbids, or its character's UTF-8. Eight bytes are copied a
    // byte and the length kept: no branch a byte.
    struct Form {
        char bytes[7];
        unsigned char length;
    };
    static const auto kForms = [] {
        std::array<Form, 256> forms{};
        for (int b = 0; b < 256; ++b) {
            Form &f = forms[size_t(b)];
            char *end = b < 0x80 ? PutXmlAscii(f.bytes, char(b)) : PutUtf8(f.bytes, cp1252::Decode(static_cast<unsigned char>(b)));
            f.length = static_cast<unsigned char>(end - f.bytes);
        }
        return forms;
    }();
    static_assert(sizeof(Form) == 8);
    const auto put = [&](char ch) {
        const Form &f = kForms[static_cast<unsigned char>(ch)];
        std::memcpy(d, &f, 8);
        d += f.length;
    };
    if (comma == ',') {
        // Eight bytes that need no more than a copy go at once; the first that needs more is found in the word.
        const char *p = windows1252.data(), *end = p + windows1252.size();
        for (uint64_t word; end - p >= 8;) {
            std::memcpy(&word, p, 8);
            std::memcpy(d, &word, 8);
            const uint64_t special = XmlSpecialBytes(word);
            if (special == 0) {
                d += 8;
                p += 8;
                continue;
            }
            const int plain = std::countr_zero(special) / 8;
            d += plain;
            p += plain;
            put(*p++);
        }
        while (p < end)
            put(*p++);
    } else {
        for (const char ch : windows1252) {
            if (ch == ',')
                *d++ = comma;
            else
                put(ch);
        }
    }
    return d;
}

void AppendEscapedXml(QByteArray &out, QByteArrayView windows1252, char comma)
{
    const qsizetype start = out.size();
    out.resize(start + XmlTextRoom(windows1252.size()));
    out.truncate(PutEscapedXml(out.data() + start, windows1252, comma) - out.constData());
}

int CountGpxWaypoints(QByteArrayView data)
{
    return static_cast<int>(std::min<qint64>(CountWaypointTags(data), INT32_MAX));
}

qint64 CountWaypointTags(QByteArrayView data)
{
    // Most '<' of a GPX file open other tags: "<w" is looked for sixteen
    // bytes at a time, and only there the rest.
    const char *p = data.data();
    const qsizetype n = data.size();
    qint64 count = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<'), w = _mm_set1_epi8('w');
    for (; i + 17 <= n; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1));
        auto starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lt), _mm_cmpeq_epi8(next, w))));
        for (; starts != 0; starts &= starts - 1) {
            const qsizetype at = i + std::countr_zero(starts);
            count += at + 4 <= n && p[at + 2] == 'p' && p[at + 3] == 't' ? 1 : 0;
        }
    }
#endif
    for (; i + 4 <= n; ++i)
        count += p[i] == '<' && p[i + 1] == 'w' && p[i + 2] == 'p' && p[i + 3] == 't' ? 1 : 0;
    return count;
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
                         qsizetype twoReadersBytes = 8 << 20, ReadPages read = ReadPages::Kept)
{
    XmlText text = PrepareXml(data);
    // A declared encoding or byte-order mark makes every text exact; otherwise each decides.
    const bool trusted = text.transcoded.has_value();
    data = text.data;
    const Cursor c(data);
    // Where a second reader starts in a big file in UTF-8: a waypoint past the middle.
    const qsizetype split = text.transcoded || data.size() < twoReadersBytes ? -1 : c.find(c.size() / 2, "<wpt");
    // Room for every "<wpt" start tag, found by a quick count (of each half
    // on its core: no tag spans the one that starts the second).
    qint64 upperTags = 0, tags = 0;
    if (split < 0)
        tags = CountWaypointTags(data);
    else
        RunBoth([&] { upperTags = CountWaypointTags(data.sliced(split)); }, [&] { tags = CountWaypointTags(data.first(split)); });
    const int waypoints = static_cast<int>(std::min<qint64>(tags + upperTags, INT32_MAX));
    // A real waypoint takes at least 20 bytes (<wpt lat="" lon=""/>): a file of
    // bare "<wpt" cannot make the table reserve more than its size allows.
    table.reserveRows(static_cast<int>(std::min<qsizetype>(waypoints, c.size() / 20)) + 1);
    const qsizetype end = c.size() + 1;
    using Spans = std::vector<std::pair<qsizetype, qsizetype>>;
    // Descriptions are copied into the rows: what lies behind a waypoint is
    // never read again by its reader.
    const bool giveBack = read == ReadPages::GivenBack && !lean;
    // Reads the waypoints from `from`, up to the first that starts at or past
    // `stopAt`; gives back the pages behind, with `keepFirst` only those past
    // the first waypoint (the other half's reading reads it to meet it).
    auto readInto = [&](PoiTable &rows, ReadResult &result, Spans *spans, qsizetype from, qsizetype stopAt,
                        bool keepFirst = false) {
        qsizetype stoppedAt = -1;
        PagesBehind behind(data.data() + from, giveBack && !keepFirst);
        ForEachElement(
            c, {"wpt"},
            [&](const Element &e) {
                if (e.start >= stopAt) {
                    stoppedAt = e.start;
                    return false;
                }
                if (keepFirst && e.start > from) {
                    behind = PagesBehind(data.data() + e.start, giveBack);
                    keepFirst = false;
                }
                behind.passed(data.data() + e.start);
                // A waypoint cut by the end of the file is left out, as when the file ends before it (and noted).
                if (e.cut) {
                    result.truncated = true;
                    result.firstSkipped = result.counter + 1;
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
    qsizetype stoppedAt = -1;
    // The second half's pages go as it is read, but for its first waypoint,
    // which the first half's reading reads to meet it. Halves that do not join
    // (the split fell inside a comment, say) would read the second half again:
    // with its pages gone the reading says so, and the caller reads a fresh copy.
    RunBoth(
        [&] {
            upper.reserveRows(static_cast<int>(std::min<qint64>(upperTags, c.size() / 20)) + 1);
            readInto(upper, upperResult, lean ? &upperSpans : nullptr, split, end, true);
        },
        [&] { stoppedAt = readInto(table, result, spans, 0, split); });
    if (giveBack && stoppedAt != split) {
        table.blankAll();
        table.setRowCount(2);
        ReadResult none;
        none.bytesNeededAgain = true;
        return none;
    }
    if (stoppedAt == split) {
        table.appendRows(std::move(upper));
        if (upperResult.truncated) {
            result.truncated = true;
            result.firstSkipped = result.counter + upperResult.firstSkipped;
        }
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

ReadResult ReadGpx(QByteArrayView data, PoiTable &table, QChar separator, ReadPages read)
{
    return ReadWaypoints(data, table, separator, nullptr, 8 << 20, read);
}

ReadResult ReadGpxWithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qsizetype twoReadersBytes,
                                     ReadPages read)
{
    return ReadWaypoints(data, table, separator, nullptr, twoReadersBytes, read);
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

QByteArray GpxFileBytes(const PoiTable &table, int first, int last, bool withNamespace)
{
    QByteArray out;
    out += withNamespace ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.0\" creator=\"Orvalis\" "
                           "xmlns=\"http://www.topografix.com/GPX/1/0\">\r\n"
                         : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<gpx version=\"1.0\" creator=\"Orvalis\">\r\n";
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
        if (withNamespace) {
            // The schema's decimals: no exponent, no spaces.
            out += "<wpt lat=\"" + PlainDecimalText(PointDecimal(table.field(row, FieldLatitude)).toLatin1()) + "\" lon=\"" +
                   PlainDecimalText(PointDecimal(table.field(row, FieldLongitude)).toLatin1()) + "\"><name>";
        } else {
            out += "<wpt lat=\"";
            append(row, FieldLatitude, '.');
            out += "\" lon=\"";
            append(row, FieldLongitude, '.');
            out += "\"><name>";
        }
        append(row, FieldDescription, ',');
        out += "</name></wpt>\r\n";
    }
    out += "</gpx>\r\n";
    return out;
}

}  // namespace orvalis
