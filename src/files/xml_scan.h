#pragma once

#include "files/block_reader.h"
#include "files/read_result.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>

namespace orvalis::xml {

inline bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}
// "gpx:wpt" -> "wpt".
inline QByteArrayView LocalName(QByteArrayView qualified)
{
    // Names are short: a plain walk back beats a search call.
    for (qsizetype i = qualified.size(); i-- > 0;)
        if (qualified[i] == ':')
            return qualified.sliced(i + 1);
    return qualified;
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
            if (len == 1 || std::memcmp(d_ + i + 1, s + 1, static_cast<size_t>(len - 1)) == 0)
                return i;
            at = i + 1;
        }
        return -1;
    }
    // The first byte `ch` from `from` on, -1 when none.
    qsizetype find(qsizetype from, char ch) const
    {
        from = std::max<qsizetype>(from, 0);
        if (from >= n_)
            return -1;
        const void *hit = std::memchr(d_ + from, ch, static_cast<size_t>(n_ - from));
        return hit ? static_cast<const char *>(hit) - d_ : -1;
    }
    QByteArrayView slice(qsizetype from, qsizetype to) const
    {
        from = std::clamp<qsizetype>(from, 0, n_);
        to = std::clamp<qsizetype>(to, from, n_);
        return QByteArrayView(d_ + from, to - from);
    }
    qsizetype size() const { return n_; }
    const char *data() const { return d_; }

private:
    const char *d_;
    qsizetype n_;
};

struct Tag {
    QByteArrayView name;
    qsizetype nameEnd = 0;
};

// A run of text between tags: UTF-8 when the file says so or the bytes are
// UTF-8, otherwise Windows-1252 (a stray byte garbles its own text only).
// A U+FEFF is a character of the text here, never a mark.
QString XmlRunText(QByteArrayView raw, bool trusted);

Tag ReadTagName(const Cursor &c, qsizetype lt);
// Attributes up to the end of the start tag; returns the position after '>'
// (the end of the file when the tag is cut short) and whether it closed itself.
qsizetype ReadAttributes(const Cursor &c, qsizetype i, QByteArrayView *lat, QByteArrayView *lon, bool *selfClosing);
// Every attribute of the start tag from `i`: its qualified name and raw value.
qsizetype ForEachAttribute(const Cursor &c, qsizetype i, bool *selfClosing,
                           const std::function<void(QByteArrayView, QByteArrayView)> &visit);
// The same with the visitor inlined, for the walks that run once per waypoint.
template <typename Visit>
qsizetype ForEachAttributeOf(const Cursor &c, qsizetype i, bool *selfClosing, Visit &&visit)
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
        const QByteArrayView name = c.slice(nameStart, i);
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
        qsizetype valueEnd = c.find(valueStart, quote);
        if (valueEnd < 0)
            valueEnd = c.size();
        visit(name, c.slice(valueStart, valueEnd));
        i = valueEnd + 1;
    }
    return c.size();
}
// The text of the element whose name ends at `nameEnd`, up to `to`: CDATA
// taken as text, comments dropped, entities resolved; each run of text read
// by XmlRunText.
QString ElementTextAt(const Cursor &c, qsizetype nameEnd, qsizetype to, bool trusted);
// The bytes of an element's text when they are the whole of it, as
// ElementTextAt reads it: one run with no reference, ended by a tag that is
// neither CDATA nor a comment. Empty for an element that is not there.
std::optional<QByteArrayView> PlainElementText(const Cursor &c, qsizetype nameEnd, qsizetype to);
// Where the first "name" and `descTag` elements inside [from, to) have their
// names end (-1 when absent), in one pass over the tags.
struct NamePositions {
    qsizetype name = -1;
    qsizetype desc = -1;
};
NamePositions FindNameAndDescription(const Cursor &c, qsizetype from, qsizetype to, const char *descTag);
// A coordinate cell: the text with the locale's separator, cut to 9 characters.
void SetCoordinate(PoiTable &table, int row, int field, QByteArrayView value, QChar separator);
// An element met by ForEachElement: its local name, the lat and lon
// attributes, and its content up to the end tag (the end of the file when cut).
struct Element {
    QByteArrayView name;
    QByteArrayView lat, lon;
    qsizetype start = 0;  // its '<'
    qsizetype contentStart = 0;
    qsizetype contentEnd = 0;
    bool cut = false;  // the input ends before its end tag (or inside its start tag)
};
// Visits every element with one of the local names, in file order, outside
// comments, CDATA, processing instructions and the document type, not looking inside a visited element; `visit` returns
// false to stop (then -1 is returned). Linear in the file's size. The scan
// starts at `from`: a scan that reaches the start of a visited element goes on
// as one started there. Without `final` the bytes are a piece of a longer input:
// the scan stops before the first construct that may go on past them and
// returns where (the size when it took everything), to go on from there once
// more is read; scanning the pieces gives what one scan of the whole gives.
// `scan`, when given, is asked first where a visited element's content ends.
// A reader's own walk over a visited element's content, from its start (after
// the start tag of the qualified name): the position of the end tag's "</",
// when the walk met it as the first "</" of that name followed by no more name,
// with the byte after the name inside the cursor; -1 leaves the search to
// ForEachElement. One walk then both ends the element and reads its children.
using ContentScan = std::function<qsizetype(const Cursor &, QByteArrayView qualified, qsizetype contentStart)>;
qsizetype ForEachElement(const Cursor &c, std::initializer_list<const char *> localNames,
                         const std::function<bool(const Element &)> &visit, qsizetype from = 0, bool final = true,
                         const ContentScan &scan = {});
// The same over input read a block at a time; `visit` gets the cursor of the
// piece the element is in. False when the visitor stopped.
bool ForEachElement(BlockReader &in, std::initializer_list<const char *> localNames,
                    const std::function<bool(const Cursor &, const Element &)> &visit, const ContentScan &scan = {});
// The first start tag of `localName` in [from, to): its '<', and where its name ends; -1 if none.
qsizetype FindElement(const Cursor &c, qsizetype from, qsizetype to, const char *localName, qsizetype *nameEnd);

// The text a reader walks: the file's bytes, or their UTF-8 when the file is
// in another encoding (a byte-order mark or a declaration says which); then
// its texts are exact, otherwise each is read by XmlRunText.
struct XmlText {
    std::optional<QByteArray> transcoded;
    QByteArrayView data;
};
XmlText PrepareXml(QByteArrayView data);
// Appends a POI row with its number, coordinates and description; false when
// the table cannot take one more.
bool AppendPoi(PoiTable &table, ReadResult &result, QByteArrayView lat, QByteArrayView lon, const QString &description,
               QChar separator);
// Appends the POI of a waypoint or placemark: its name, and " - " and its
// `descTag` text (with `jointWhenEmpty`, " - " also when there is none).
bool AppendNamedPoi(PoiTable &table, ReadResult &result, const Cursor &c, const Element &e, bool trusted, const char *descTag,
                    bool jointWhenEmpty, QChar separator);
// The description of that POI into a row, from the element's content.
void SetNamedDescription(PoiTable &table, int row, const Cursor &c, qsizetype contentStart, qsizetype contentEnd, bool trusted,
                         const char *descTag, bool jointWhenEmpty);

// A file in UTF-16 (BOM) or declaring another encoding than UTF-8, as UTF-8;
// nothing for files in UTF-8 or declaring nothing.
std::optional<QByteArray> XmlAsUtf8(QByteArrayView data);
// The same decision from the file's first bytes (its first kilobytes hold the
// declaration): a decoder that turns the file, piece after piece, into UTF-8.
using XmlDecoder = std::function<QByteArray(QByteArrayView)>;
std::optional<XmlDecoder> XmlDecoderFor(QByteArrayView head);
// Input read a block at a time, made ready for a reader: transcoded when the
// file says so (then true: its texts are exact), and read on until the start
// tag of the root `rootName` is held whole (or the input ends).
// `isRoot`, when given, must also accept the bytes held (the GPX reader's
// stricter test of its root), so that the pieces decide as the whole file would.
bool PrepareXml(BlockReader &in, const char *rootName, const std::function<bool(QByteArrayView)> &isRoot = {});

}  // namespace orvalis::xml
