#pragma once
// A record's fields by name where a format has no place of its own for them:
// the flat formats (CSV columns, GeoJSON properties, KML ExtendedData) carry
// the GPX fields they lack under documented names, and GPX carries the flat
// formats' other fields in its <extensions>, under the program's namespace.

#include "files/poi_record.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace orvalis {

using XmlNamespaces = std::vector<std::pair<QByteArray, QByteArray>>;

inline constexpr char kGpx10Namespace[] = "http://www.topografix.com/GPX/1/0";
inline constexpr char kGpx11Namespace[] = "http://www.topografix.com/GPX/1/1";
// The program's own namespace, for what GPX has no element for.
inline constexpr char kOwnNamespace[] = "https://orvalis.org/xmlns/poi/1";

// Whether a text has the GPX schema's type of the waypoint element
// kRecordTextNames[field] (texts always have).
bool FitsGpxType(int field, const QString &text);
// Whether every text fits that element (the plain strings: name to type).
bool AnyTextFitsGpxType(int field);
// Whether the bytes of a text left undecoded surely fit that element, as
// their usual forms do (a plain decimal, a date-time "2024-05-01T12:30:00Z");
// false leaves the question to FitsGpxType on the decoded text.
bool BytesFitGpxType(int field, QByteArrayView bytes);
// A sign, digits and one point, a digit at least, nothing else: a decimal as
// GPX's type takes it and as PlainDecimalText gives it back unchanged.
bool IsPlainDecimal(QByteArrayView text);

// Raw XML that may stand inside a GPX 1.1 <extensions>: well-formed elements,
// blanks between them, each of a namespace other than GPX 1.1's, every prefix
// declared in it or in `namespaces`.
bool IsExtensionXml(QByteArrayView raw, const XmlNamespaces &namespaces);
// Whether the bytes are XML content on their own (the prefixes of `namespaces` declared).
bool IsWellFormedXml(QByteArrayView raw, const XmlNamespaces &namespaces);
// Raw XML whose top-level elements declare the namespaces of `namespaces` they
// use: it stands on its own, away from the file that declared them.
QByteArray SelfContainedXml(QByteArrayView raw, const XmlNamespaces &namespaces);

// The record's properties, after the GPX fields the flat formats have no name
// for: magvar, geoidheight, fix, sat, hdop, vdop, pdop, ageofdgpsdata and
// dgpsid; link1_href, link1_text, link1_type, link2_href...; gpx_extensions,
// the raw XML of the waypoint's extensions and other elements.
std::vector<PoiProperty> FlatProperties(const PoiRecord &r, const XmlNamespaces &namespaces);
// The record as a flat format's writer takes it from a reader that left
// texts as bytes: those of the GPX fields it carries as properties decoded,
// in `copy`, when there are some (the others stay bytes).
const PoiRecord &FlatTextsDecoded(const PoiRecord &r, std::optional<PoiRecord> &copy);
// A flat format's property back into the record: the GPX field its name
// gives (a text), else a property.
void TakeFlatProperty(PoiRecord &r, const QString &key, const QByteArray &json);
// Whether a flat format's name is one of those GPX fields.
bool IsFlatFieldName(const QString &key);

// GPX: the waypoint's fields of the program's namespace (its properties, and
// texts that do not have their element's type), as an element of <extensions>;
// empty when there are none.
QByteArray OwnExtensionXml(const std::vector<PoiProperty> &fields);
// Takes that element out of the raw extensions into the record.
void TakeOwnExtension(PoiRecord &r);

}  // namespace orvalis
