// Every format through the table of codecs, as the commands use them: records
// read in blocks and written by RecordWriter, the filter of a search near a
// point, and what a reading says of a damaged file.
#include "files/poi_codec.h"
#include "support/records.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <limits>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

PoiRecord Poi(const char *lat, const char *lon, const char *name)
{
    PoiRecord r;
    r.lat = lat;
    r.lon = lon;
    r.name = QString::fromUtf8(name);
    return r;
}

// Three POIs far apart, with texts every format holds.
PoiRecords ThreePois()
{
    PoiRecords in;
    in.records = {Poi("48.85661", "2.35222", "Paris"), Poi("-33.86882", "151.2093", "Sydney 東京"), Poi("64.1355", "-21.8954", "Reykjavík")};
    return in;
}

std::vector<const PoiCodec *> RecordCodecs()
{
    std::vector<const PoiCodec *> out;
    for (const PoiCodec *c : PoiCodecs())
        if (c->hasRecords())
            out.push_back(c);
    return out;
}

ReadVerdict VerdictOf(const char *format, const ReadResult &result, bool empty, bool skipInvalid, QByteArrayView data = {})
{
    ReadCheck check;
    check.file = QStringLiteral("in");
    check.result = result;
    check.empty = empty;
    check.inputBytes = 100;
    check.data = data;
    check.skipInvalid = skipInvalid;
    return Codec(format).verdict(check);
}

}  // namespace

TEST(Codecs, EveryFormatWritesRecordsThatReadBack)
{
    for (const PoiCodec *codec : RecordCodecs()) {
        int written = 0;
        const QByteArray bytes = RecordBytes(*codec, ThreePois(), &written);
        EXPECT_EQ(written, 3) << codec->name.constData();
        bool ok = false;
        const PoiRecords back = ReadRecords(*codec, bytes, nullptr, &ok);
        EXPECT_TRUE(ok) << codec->name.constData();
        ASSERT_EQ(back.records.size(), 3u) << codec->name.constData();
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(back.records[i].name, ThreePois().records[i].name) << codec->name.constData();
            EXPECT_EQ(*CoordinateNumber(back.records[i].lat), *CoordinateNumber(ThreePois().records[i].lat)) << codec->name.constData();
        }
        // Every file of the format is one of it: the content test agrees with the writer.
        EXPECT_TRUE(codec->recognises(bytes)) << codec->name.constData();
    }
    // A record without coordinates is not written, in any format.
    PoiRecords some = ThreePois();
    some.records[1].lat.clear();
    for (const PoiCodec *codec : RecordCodecs()) {
        int written = 0;
        const QByteArray bytes = RecordBytes(*codec, some, &written);
        EXPECT_EQ(written, 2) << codec->name.constData();
        EXPECT_EQ(ReadRecords(*codec, bytes).records.size(), 2u) << codec->name.constData();
    }
}

TEST(Codecs, EveryFormatPassesOverWhatASearchRefuses)
{
    // A search near a point sees each record's coordinates once, in file order,
    // and gets only the records it wants: whether the format knows the
    // coordinates before the rest of the record or only once it is whole.
    for (const PoiCodec *codec : RecordCodecs()) {
        const QByteArray bytes = RecordBytes(*codec, ThreePois());
        BlockReader in(bytes);
        std::vector<QByteArray> seen;
        std::vector<PoiRecord> visited;
        ASSERT_TRUE(codec->readRecords(in, [&](PoiRecord &&r) { visited.push_back(std::move(r)); }, nullptr,
                                       [&](QByteArrayView lat, QByteArrayView) {
                                           seen.push_back(lat.toByteArray());
                                           return *CoordinateNumber(lat) < 0;  // Sydney only
                                       }))
            << codec->name.constData();
        ASSERT_EQ(seen.size(), 3u) << codec->name.constData();
        EXPECT_EQ(seen[0], QByteArray("48.85661")) << codec->name.constData();
        ASSERT_EQ(visited.size(), 1u) << codec->name.constData();
        EXPECT_EQ(visited[0].name, QStringLiteral("Sydney 東京")) << codec->name.constData();
    }
}

TEST(Codecs, BytesOfAnotherFormatAreNoFileOfIt)
{
    const QByteArray gpx = RecordBytes(Codec("gpx"), ThreePois());
    for (const char *format : {"kml", "geojson"}) {
        bool ok = true;
        EXPECT_TRUE(ReadRecords(Codec(format), gpx, nullptr, &ok).records.empty()) << format;
        EXPECT_FALSE(ok) << format;
    }
    EXPECT_FALSE(Codec("kml").recognises(gpx));
    EXPECT_FALSE(Codec("gpx").recognises(RecordBytes(Codec("kml"), ThreePois())));
    // Formats without a mark to look for take any bytes.
    EXPECT_TRUE(Codec("ov2").recognises(gpx));
    EXPECT_TRUE(Codec("csv").recognises(gpx));
}

TEST(Codecs, AReadingSaysWhatIsWrongWithTheFile)
{
    // OV2: bytes that are no record at all, or damage after some POIs.
    ReadResult damaged;
    damaged.truncated = true;
    damaged.counter = 2;
    EXPECT_EQ(VerdictOf("ov2", damaged, true, false).failure, QStringLiteral("in: not an OV2 file"));
    EXPECT_EQ(VerdictOf("ov2", damaged, false, false).failure,
              QStringLiteral("in: damaged OV2 file: the record after POI 2 is no OV2 record"));
    damaged.truncated = false;
    damaged.unknownBytes = 7;
    const ReadVerdict skipped = VerdictOf("ov2", damaged, false, true);
    EXPECT_TRUE(skipped.failure.isEmpty());
    EXPECT_EQ(skipped.note, QStringLiteral("in: damaged OV2 file: 7 bytes that are no OV2 record left out"));
    EXPECT_TRUE(VerdictOf("ov2", ReadResult(), false, false).failure.isEmpty());

    // CSV, both layouts: a header of other columns, records without coordinates.
    for (const char *format : {"csv", "window-csv"}) {
        ReadResult header;
        header.headerWithoutCoordinates = true;
        EXPECT_EQ(VerdictOf(format, header, true, true).failure, QStringLiteral("in: the CSV header names no latitude and longitude columns"));
        ReadResult bad;
        bad.skipped = 3;
        bad.firstSkipped = 4;
        EXPECT_EQ(VerdictOf(format, bad, false, false).failure, QStringLiteral("in: CSV record 4 has no two numbers for coordinates"));
        EXPECT_EQ(VerdictOf(format, bad, false, true).note, QStringLiteral("in: 3 invalid records left out, the first is record 4"));
    }

    // GPX: routes and tracks without a waypoint are said to be no POIs, read whole or in blocks.
    const QByteArray route = "<gpx><rte><rtept lat='1' lon='2'/></rte></gpx>";
    const QString note = QStringLiteral("in: no waypoints; its routes and tracks are not read as POIs");
    EXPECT_EQ(VerdictOf("gpx", ReadResult(), true, false, route).note, note);
    ReadResult streamed;
    ReadRecords(Codec("gpx"), route, &streamed);
    EXPECT_EQ(VerdictOf("gpx", streamed, true, false).note, note);
    EXPECT_TRUE(VerdictOf("gpx", ReadResult(), true, false, "<gpx/>").note.isEmpty());
}

TEST(Codecs, OneRangeForEveryCoordinate)
{
    EXPECT_TRUE(CoordinatesInRange(-90.0L, -180.0L));
    EXPECT_TRUE(CoordinatesInRange(90.0L, 180.0L));
    EXPECT_FALSE(LatitudeInRange(-90.000001L));
    EXPECT_FALSE(LatitudeInRange(90.000001L));
    EXPECT_FALSE(LongitudeInRange(-180.000001L));
    EXPECT_FALSE(LongitudeInRange(180.000001L));
    EXPECT_FALSE(LatitudeInRange(std::numeric_limits<long double>::quiet_NaN()));
    EXPECT_TRUE(CoordinatesInRange("-90", "180"));
    EXPECT_TRUE(CoordinatesInRange("-9e1", "-180.0"));
    EXPECT_FALSE(CoordinatesInRange("90.5", "0"));
    EXPECT_FALSE(CoordinatesInRange("1", "x"));
    EXPECT_FALSE(CoordinatesInRange("", "0"));
    // Decided on the whole part where it can, read where it cannot.
    EXPECT_TRUE(CoordinatesInRange("89.999999999", "-179.99999"));
    EXPECT_TRUE(CoordinatesInRange("-0.5", "000.5"));
    EXPECT_TRUE(CoordinatesInRange("90.000", "-180.0000"));
    EXPECT_FALSE(CoordinatesInRange("90.0000001", "0"));
    EXPECT_FALSE(CoordinatesInRange("0", "-180.00001"));
    EXPECT_FALSE(CoordinatesInRange("100", "0"));
    EXPECT_FALSE(CoordinatesInRange("12", "1234.5"));
    EXPECT_FALSE(CoordinatesInRange("1.2.3", "0"));
    EXPECT_FALSE(CoordinatesInRange("-", "0"));
    EXPECT_FALSE(CoordinatesInRange("0", "1-2"));
}

TEST(Codecs, CoordinateTextsAsGpxWritesThem)
{
    EXPECT_EQ(PlainDecimalText("48.85"), QByteArray("48.85"));
    EXPECT_EQ(PlainDecimalText(" -0.5 "), QByteArray("-0.5"));
    EXPECT_EQ(PlainDecimalText("25e-1"), QByteArray("2.5"));
    EXPECT_EQ(PlainDecimalText("-.5"), QByteArray("-.5"));
    // Two points make no number: nothing, and no writer writes the record.
    EXPECT_EQ(PlainDecimalText("1.2.3"), QByteArray());
    EXPECT_EQ(PlainDecimalText("."), QByteArray());
    // Past what a double holds (a long double still does): no "inf" written.
    EXPECT_EQ(PlainDecimalText("22e805"), QByteArray());
    PoiRecords twoPoints;
    twoPoints.records = {Poi("1.2.3", "4", "x")};
    for (const PoiCodec *codec : RecordCodecs()) {
        if (codec->name == "ov2")
            continue;  // integers: given only coordinates the command has checked
        int written = -1;
        RecordBytes(*codec, twoPoints, &written);
        EXPECT_EQ(written, 0) << codec->name.constData();
    }
}
