#pragma once

#include "files/text_codecs.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace orvalis {

// A property that only some formats hold (GeoJSON properties, KML
// ExtendedData, CSV columns): its key and its value as JSON text.
struct PoiProperty {
    QString key;
    QByteArray json;
    bool operator==(const PoiProperty &) const = default;
};

// A link of a GPX waypoint.
struct PoiLink {
    QString href, text, type;
    bool operator==(const PoiLink &) const = default;
};

// One POI as orvalis-cli converts it, without loss: the coordinates as the
// source wrote them (a plain decimal text with '.', or an OV2 integer of
// hundred-thousandths written out exactly), the texts of a GPX 1.1 waypoint,
// and what a format holds beyond them, kept for formats that can hold it.
struct PoiRecord {
    QByteArray lat, lon;
    QString ele, time, magvar, geoidheight, name, cmt, desc, src, sym, type;
    // GPS quality: fix, satellites, dilutions, DGPS age and station.
    QString fix, sat, hdop, vdop, pdop, ageofdgpsdata, dgpsid;
    std::vector<PoiLink> links;
    // GPX: the other child elements of the waypoint, and the inside of its
    // <extensions>, as raw XML (UTF-8), written back inside <extensions>.
    std::vector<QByteArray> otherXml;
    QByteArray extensionsXml;
    std::vector<PoiProperty> properties;
    // Texts read but not decoded yet (see DeferTexts): the file's bytes of
    // each, one after the other (one allocation for them all), which field
    // each fills (an index into kRecordTexts) and where its bytes lie, with
    // how those bytes read. DecodeDeferredTexts fills the fields;
    // DeferredText gives them as bytes.
    struct DeferredSpan {
        int field;
        qsizetype start, size;
        bool operator==(const DeferredSpan &) const = default;
    };
    QByteArray deferredBytes;
    std::vector<DeferredSpan> deferred;
    TextEncoding deferredAs = TextEncoding::Utf8ElseWindows1252;
    void defer(int field, QByteArrayView bytes)
    {
        deferred.push_back({field, deferredBytes.size(), bytes.size()});
        // Straight into the room a reader reserved (never a view of these bytes).
        const qsizetype at = deferredBytes.size();
        deferredBytes.resize(at + bytes.size());
        if (!bytes.isEmpty())
            std::memcpy(deferredBytes.data() + at, bytes.data(), size_t(bytes.size()));
    }
    QByteArrayView deferredText(const DeferredSpan &span) const
    {
        return QByteArrayView(deferredBytes).sliced(span.start, span.size);
    }
    bool operator==(const PoiRecord &) const = default;
};

// The texts of a GPX 1.1 waypoint that a record holds, in the order GPX writes
// them (the links go before sym), and their element names.
inline constexpr QString PoiRecord::*kRecordTexts[] = {
    &PoiRecord::ele,  &PoiRecord::time, &PoiRecord::magvar, &PoiRecord::geoidheight, &PoiRecord::name,
    &PoiRecord::cmt,  &PoiRecord::desc, &PoiRecord::src,    &PoiRecord::sym,         &PoiRecord::type,
    &PoiRecord::fix,  &PoiRecord::sat,  &PoiRecord::hdop,   &PoiRecord::vdop,        &PoiRecord::pdop,
    &PoiRecord::ageofdgpsdata, &PoiRecord::dgpsid};
inline constexpr const char *kRecordTextNames[] = {"ele",  "time", "magvar", "geoidheight", "name", "cmt",
                                                   "desc", "src",  "sym",    "type",        "fix",  "sat",
                                                   "hdop", "vdop", "pdop",   "ageofdgpsdata", "dgpsid"};
static_assert(std::size(kRecordTexts) == std::size(kRecordTextNames));
// The first of them written after the links (sym); the name and the description.
inline constexpr int kFirstTextAfterLinks = 8;
inline constexpr int kNameText = 4;
inline constexpr int kDescText = 6;
// A field's index in kRecordTexts.
constexpr int TextIndex(QString PoiRecord::*field)
{
    for (int i = 0; i < int(std::size(kRecordTexts)); ++i)
        if (kRecordTexts[i] == field)
            return i;
    return -1;
}
static_assert(kRecordTexts[kNameText] == &PoiRecord::name && kRecordTexts[kDescText] == &PoiRecord::desc);

// Whether a reader may leave a record's texts undecoded for the one who takes
// it: decoding is most of the reading, and a reader on one core and a writer on
// another share it so. With AsBytes the taker writes them from their bytes
// (DeferredText), never decoding most of them: readers whose decoding is
// cheap leave their texts only then.
enum class DeferTexts { No, Yes, AsBytes };
// Decodes the texts a reader left undecoded, as the reader would have.
void DecodeDeferredTexts(PoiRecord &record);

// A file's records, with what its writer must repeat: the namespace
// declarations the raw XML needs (xmlns:prefix="uri").
struct PoiRecords {
    std::vector<PoiRecord> records;
    std::vector<std::pair<QByteArray, QByteArray>> namespaces;
};

// The one text of formats that hold a single one (OV2, the window's table):
// the name, and " - " and the description when there is one (texts left as
// bytes decoded).
QString JoinedName(const PoiRecord &record);

// A property's value as text (a JSON string's text, any other value's JSON),
// and a text as a JSON string.
QString PropertyText(const QByteArray &json);
// JSON parsed with a U+FEFF inside a string kept (Qt's parser drops one
// leading the string as a byte-order mark).
QJsonDocument ParseJson(QByteArrayView json, QJsonParseError *error = nullptr);
QByteArray JsonStringOf(const QString &text);

// A record's coordinate text as a number; nothing when it is none.
std::optional<long double> CoordinateNumber(QByteArrayView text);

// The one range of coordinates every command checks: latitudes in [-90, 90],
// longitudes in [-180, 180] (a NaN in neither).
inline bool LatitudeInRange(long double v)
{
    return v >= -90 && v <= 90;
}
inline bool LongitudeInRange(long double v)
{
    return v >= -180 && v <= 180;
}
inline bool CoordinatesInRange(long double lat, long double lon)
{
    return LatitudeInRange(lat) && LongitudeInRange(lon);
}
// The same for a record's coordinate texts: numbers, and in range.
bool CoordinatesInRange(QByteArrayView lat, QByteArrayView lon);

// Asked of a record's coordinates before the rest of it is read: false passes
// it over (a search near a point reads the names of the POIs it keeps only).
using CoordinateFilter = std::function<bool(QByteArrayView lat, QByteArrayView lon)>;

// A coordinate text as a plain decimal ("2.5" for "25e-1"):
// GPX 1.1's decimal type has no exponent. Empty when it is no number.
QByteArray PlainDecimalText(const QByteArray &text);

}  // namespace orvalis
