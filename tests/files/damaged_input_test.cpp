// Input that is not what it seems: XML cut inside a record, markup inside a
// document type or a processing instruction, GeoJSON numbers a double cannot hold.
#include "files/poi_codec.h"
#include "support/records.h"

#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

const QByteArray kGpxHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
const QByteArray kWhole = "<wpt lat=\"42.4\" lon=\"-71.1\"><name>whole</name></wpt>\n";
const QByteArray kKmlHead = "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
const QByteArray kPlacemark = "<Placemark><name>whole</name><Point><coordinates>-71.1,42.4</coordinates></Point></Placemark>\n";

QStringList WindowRows(const char *format, const QByteArray &bytes, ReadResult *result = nullptr)
{
    PoiTable t;
    ReadResult r;
    Codec(format).readTable(bytes, t, u'.', &r);
    if (result)
        *result = r;
    QStringList rows;
    for (int row = 1; row <= t.lastRow() && !t.isEmptyForAdd(); ++row)
        rows << t.field(row, FieldLatitude) + u' ' + t.field(row, FieldLongitude) + u' ' + t.field(row, FieldDescription);
    return rows;
}

}  // namespace

TEST(DamagedInput, XmlCutInsideARecordIsDamage)
{
    struct Case {
        const char *format;
        QByteArray whole;  // the file up to the end of its first record
        QList<QByteArray> cuts;
    };
    const Case cases[] = {
        {"gpx", kGpxHead + kWhole,
         {"<wpt lat=\"42.438917000\" lon=\"-71.11", "<wpt lat=\"42.4\" lon=\"-71.1\"><time>2001-11-16T",
          "<wpt lat=\"42.4\" lon=\"-71.1\"><name>cut</name>", "<wpt lat=\"42.4\" lon=\"-71.1\"><name>cut</name></wp"}},
        {"kml", kKmlHead + kPlacemark, {"<Placemark><Point><coordinates>-71.11,42.4", "<Placemark><name>c"}},
    };
    for (const Case &k : cases) {
        for (const QByteArray &cut : k.cuts) {
            ReadResult result;
            EXPECT_EQ(ReadRecords(Codec(k.format), k.whole + cut, &result).records.size(), 1u) << cut.constData();
            EXPECT_TRUE(result.truncated) << cut.constData();
            EXPECT_EQ(result.firstSkipped, 2) << cut.constData();
            // The window keeps the whole records, as when the file ends before the cut one.
            ReadResult window;
            EXPECT_EQ(WindowRows(k.format, k.whole + cut, &window), WindowRows(k.format, k.whole)) << cut.constData();
            EXPECT_EQ(WindowRows(k.format, k.whole + cut).size(), 1) << cut.constData();
            EXPECT_TRUE(window.truncated) << cut.constData();
        }
        // Cut after the last whole record: read as it is, no damage.
        ReadResult result;
        EXPECT_EQ(ReadRecords(Codec(k.format), k.whole, &result).records.size(), 1u) << k.format;
        EXPECT_FALSE(result.truncated) << k.format;
    }
}

TEST(DamagedInput, MarkupInsideADocumentTypeOrAnInstructionIsNoRecord)
{
    const QByteArray gpx = "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY c \"<wpt lat='10' lon='10'><name>entity</name></wpt>\">\n"
                           "<!-- ]> <wpt lat='11' lon='11'/> -->\n<!ENTITY d '>] <wpt lat=\"12\" lon=\"12\"/>'>\n]>\n"
                           "<gpx version=\"1.1\"><?pi <wpt lat='13' lon='13'><name>pi</name></wpt>?>\n" + kWhole + "</gpx>\n";
    EXPECT_EQ(ReadRecords(Codec("gpx"), gpx).records.size(), 1u);
    EXPECT_EQ(WindowRows("gpx", gpx), QStringList{"42.4 -71.1 whole - "});
    const QByteArray kml = "<?xml version=\"1.0\"?><!DOCTYPE kml SYSTEM \"x>y\"><kml><Document><?pi <Placemark><Point>"
                           "<coordinates>1,2</coordinates></Point></Placemark>?>\n" + kPlacemark + "</Document></kml>";
    EXPECT_EQ(ReadRecords(Codec("kml"), kml).records.size(), 1u);
    EXPECT_EQ(WindowRows("kml", kml), QStringList{"42.4 -71.1 whole"});
}

TEST(DamagedInput, GeoJsonNumberADoubleCannotHoldIsABadRecord)
{
    const QByteArray big(400, '7');
    for (const QByteArray &number : {QByteArray("1e400"), QByteArray("-1e-400"), big}) {
        const QByteArray json = "{\"type\":\"FeatureCollection\",\"features\":[\n"
                                "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[2,1]},\"properties\":{\"name\":\"a\"}},\n"
                                "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + number + ",1]},\"properties\":{\"name\":\"b\"}},\n"
                                "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[3,4]},\"properties\":{\"name\":\"c\"}}]}";
        ReadResult result;
        bool ok = false;
        const PoiRecords read = ReadRecords(Codec("geojson"), json, &result, &ok);
        EXPECT_TRUE(ok) << number.constData();
        ASSERT_EQ(read.records.size(), 2u) << number.constData();
        EXPECT_EQ(read.records[1].name, "c");
        EXPECT_EQ(result.skipped, 1);
        EXPECT_EQ(result.firstSkipped, 2);
        EXPECT_EQ(result.badNumber, number);
        // The window's reading: the same two rows, the same account.
        ReadResult window;
        EXPECT_EQ(WindowRows("geojson", json, &window), (QStringList{"1 2 a", "4 3 c"})) << number.constData();
        EXPECT_EQ(window.firstSkipped, 2);
        EXPECT_EQ(window.badNumber, number);
    }
    // A single feature, read whole.
    ReadResult result;
    bool ok = false;
    EXPECT_TRUE(ReadRecords(Codec("geojson"), "{\"type\":\"Point\",\"coordinates\":[1e400,1]}", &result, &ok).records.empty());
    EXPECT_TRUE(ok);
    EXPECT_EQ(result.badNumber, "1e400");
    // A number a double holds but no coordinate is kept as written, for the message.
    const PoiRecords far = ReadRecords(Codec("geojson"), "{\"type\":\"Point\",\"coordinates\":[1.7976931348623157e308,1]}");
    ASSERT_EQ(far.records.size(), 1u);
    EXPECT_EQ(far.records[0].lon, "1.7976931348623157e308");
    EXPECT_EQ(WindowRows("geojson", "{\"type\":\"Point\",\"coordinates\":[1.7976931348623157e308,1]}"),
              QStringList{"1 1.7976931348623157e308 "});
}
