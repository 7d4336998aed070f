#include "files/block_reader.h"
#include "files/csv_format.h"
#include "files/poi_codec.h"
#include "support/real_world.h"
#include "support/records.h"
#include "support/tables.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QStringList Rows(const PoiTable &t)
{
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << t.field(r, FieldLatitude) + u'|' + t.field(r, FieldLongitude) + u'|' + t.field(r, FieldDescription);
    return out;
}

PoiTable Read(const char *format, const QByteArray &bytes, QChar sep = u'.')
{
    PoiTable t;
    ReadResult result;
    EXPECT_TRUE(ReadPoiTable(Codec(format), bytes, t, sep, &result)) << format;
    return t;
}

QByteArray TableBytes(const char *format, const PoiTable &t, const WriteOptions &options = {})
{
    return Codec(format).tableBytes(t, 1, t.lastRow(), options, nullptr);
}

}  // namespace

TEST(Formats, NamesKeepEveryCharacterThroughEveryFormat)
{
    const PoiTable t = TableOfRows({{"48.85661", "2.35222", "Tour Eiffel & \"Champ\" <de> Mars"},
                                    {"55.7558", "37.6173", "Москва – Красная площадь"},
                                    {"-33.86882", "151.2093", "Sydney 🚗 Ωμέγα 東京"},
                                    {"0", "-179.99", "Aebi Frères, 1 km"},
                                    {"1", "1", "Back\\slash\tand tab"},
                                    // A zero-width no-break space of the text is no byte-order mark.
                                    {"2", "2", "\uFEFF\uFEFFBike \uFEFF"}});
    for (const char *format : {"ov2", "gpx", "csv", "geojson", "kml"}) {
        const PoiTable back = Read(format, TableBytes(format, t));
        ASSERT_EQ(back.lastRow(), t.lastRow()) << format;
        for (int r = 1; r <= t.lastRow(); ++r) {
            QString description = back.field(r, FieldDescription);
            if (format == std::string("gpx"))
                description.chop(3);  // the GPX reader joins "name - desc"
            EXPECT_EQ(description, t.field(r, FieldDescription)) << format << " row " << r;
            // Coordinates keep their value (OV2 writes five decimals).
            for (const int f : {FieldLatitude, FieldLongitude})
                EXPECT_EQ(back.field(r, f).toDouble(), t.field(r, f).toDouble()) << format << " row " << r;
        }
    }
}

TEST(Formats, ByNameAndExtension)
{
    EXPECT_EQ(CodecOfExtension(u"GeoJSON"), &Codec("geojson"));
    EXPECT_EQ(CodecOfExtension(u"json"), &Codec("geojson"));
    EXPECT_EQ(CodecOfExtension(u"KML"), &Codec("kml"));
    EXPECT_EQ(CodecOfExtension(u"KMZ"), &Codec("kmz"));
    EXPECT_EQ(CodecOfExtension(u"gpi"), &Codec("gpi"));
    EXPECT_EQ(CodecOfExtension(u"asc"), &Codec("asc"));
    EXPECT_EQ(CodecOfExtension(u"window-csv"), nullptr);  // a layout named, never a file's extension
    EXPECT_EQ(CodecNamed(u"OV2"), &Codec("ov2"));
    EXPECT_EQ(CodecNamed(u"json"), &Codec("geojson"));
    EXPECT_EQ(CodecNamed(u"window-csv")->extensions, QList<QByteArray>());
    EXPECT_EQ(CodecNamed(u"xyz"), nullptr);
    // The window loads OV2, GPX and the navigators' GPI, ASC and KMZ, by the file name's extension only.
    EXPECT_EQ(WindowCodecOfPath("/a/b.OV2"), &Codec("ov2"));
    EXPECT_EQ(WindowCodecOfPath("x.gpx"), &Codec("gpx"));
    EXPECT_EQ(WindowCodecOfPath("x.GPI"), &Codec("gpi"));
    EXPECT_EQ(WindowCodecOfPath("x.asc"), &Codec("asc"));
    EXPECT_EQ(WindowCodecOfPath("x.kmz"), &Codec("kmz"));
    EXPECT_EQ(WindowCodecOfPath("x.kml"), nullptr);
    EXPECT_EQ(WindowCodecOfPath("folder.gpx/file"), nullptr);
    // Messages list the formats as the table holds them.
    EXPECT_EQ(CodecNames(), QStringLiteral("ov2, gpx, csv, window-csv, geojson, kml, gpi, asc, kmz"));
    EXPECT_EQ(CodecExtensions(QStringLiteral("or")), QStringLiteral(".ov2, .gpx, .csv, .geojson, .json, .kml, .gpi, .asc or .kmz"));
    EXPECT_EQ(RecordFormatTitles(QStringLiteral("or")), QStringLiteral("OV2, GPX, CSV, GeoJSON, KML, GPI, ASC or KMZ"));
    // Bytes that are no file of the format.
    PoiTable t;
    ReadResult result;
    EXPECT_FALSE(ReadPoiTable(Codec("geojson"), "not json", t, u'.', &result));
    EXPECT_EQ(NotOfFormatMessage(Codec("geojson"), QStringLiteral("a.json")), QStringLiteral("a.json: not a GeoJSON file"));
    EXPECT_FALSE(ReadPoiTable(Codec("kml"), "<gpx/>", t, u'.', &result));
    EXPECT_FALSE(ReadPoiTable(Codec("gpx"), "<kml/>", t, u'.', &result));
}

TEST(Formats, CsvWithAHeaderTheNavigatorLayoutAndThisProgramsOwn)
{
    // A header names the columns, in any order; quotes hold commas, quotes and line breaks.
    const PoiTable h = Read("csv", "name,Latitude,lon,comment\r\n"
                                            "\"Gare, Nord\",48.8809,2.3553,\"dit \"\"GdN\"\"\"\r\n"
                                            "Two,\"45.5\",4.25,\"line\nbreak\"\r\n"
                                            "bad,north,2,x\r\n",
                            u',');
    EXPECT_EQ(Rows(h), (QStringList{"48,8809|2,3553|Gare, Nord - dit \"GdN\"", "45,5|4,25|Two - line\nbreak"}));
    // No header: longitude first, as navigators write them.
    const PoiTable n = Read("csv", "2.3553,48.8809,Gare du Nord\n-1.5536,47.2184,Nantes,Centre\n");
    EXPECT_EQ(Rows(n), (QStringList{"48.8809|2.3553|Gare du Nord", "47.2184|-1.5536|Nantes - Centre"}));
    // Windows-1252 without a BOM.
    EXPECT_EQ(Read("csv", "2,48,Fr\xE8res\n").field(1, FieldDescription), QStringLiteral("Frères"));
    // Empty input.
    EXPECT_TRUE(Read("csv", "").isEmptyForAdd() || Read("csv", "").lastRow() == 0);
}

TEST(Formats, GeoJsonFeaturesAndKmlPlacemarks)
{
    const PoiTable g = Read("geojson",
                            R"({"type":"FeatureCollection","features":[
                               {"type":"Feature","geometry":{"type":"Point","coordinates":[2.3553,48.8809,35]},
                                "properties":{"name":"Gare","desc":"du Nord"}},
                               {"type":"Feature","geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]}},
                               {"type":"Feature","geometry":{"type":"Point","coordinates":[-158.589001,21.3]},"properties":null}]})");
    EXPECT_EQ(Rows(g), (QStringList{"48.8809|2.3553|Gare - du Nord", "21.3|-158.5890|"}));
    const PoiTable k = Read("kml",
                            "<?xml version='1.0'?><kml xmlns='http://www.opengis.net/kml/2.2'><Document>"
                            "<Placemark><name>A &amp; B</name><description><![CDATA[<b>x</b>]]></description>"
                            "<Point><coordinates> 2.3553,48.8809,0 </coordinates></Point></Placemark>"
                            "<Placemark><name>line</name><LineString><coordinates>0,0 1,1</coordinates></LineString></Placemark>"
                            "<Placemark><name>cut</name><Point><coordinates>1,2");
    // The placemark the end of the file cuts is left out.
    EXPECT_EQ(Rows(k), (QStringList{"48.8809|2.3553|A & B - <b>x</b>"}));

    // A coordinate too small for a double still makes a file JSON readers take.
    const PoiTable tiny = TableOfRows({{"1e-708", "7.85", "Nn"}});
    const QByteArray written = TableBytes("geojson", tiny);
    EXPECT_TRUE(written.contains("[7.85,0]")) << written.toStdString();
    EXPECT_EQ(Rows(Read("geojson", written)).size(), 1);
}

TEST(Formats, Gpx11ForToolsThatCheckTheSchema)
{
    const PoiTable t = TableOfRows({{"48,85661", "2,35222", "Gare - du Nord"}, {"91", "0", "off the globe"}, {"1", "2", "x < y"}});
    WriteOptions options;
    options.separator = u',';
    options.gpx11 = true;
    const QByteArray gpx = TableBytes("gpx", t, options);
    EXPECT_TRUE(gpx.contains("xmlns=\"http://www.topografix.com/GPX/1/1\""));
    EXPECT_TRUE(gpx.contains("<wpt lat=\"48.85661\" lon=\"2.35222\"><name>Gare</name><desc>du Nord</desc></wpt>"));
    EXPECT_FALSE(gpx.contains("off the globe"));
    EXPECT_TRUE(gpx.contains("<name>x &lt; y</name>"));
    if (QStandardPaths::findExecutable("xmllint").isEmpty())
        GTEST_SKIP() << "xmllint (libxml2-utils) checks the well-formedness";
    QTemporaryDir temp;
    QFile f(temp.filePath("out.gpx"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(gpx);
    f.close();
    QProcess lint;
    lint.start("xmllint", {"--noout", f.fileName()});
    ASSERT_TRUE(lint.waitForFinished(30000));
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
}

TEST(Formats, RoutesAndTrackSegmentsAreLinesOfTheirOwn)
{
    const std::vector<std::vector<LatLon>> lines = Codec("gpx").routeLines(
        "<gpx><wpt lat='9' lon='9'/><rte><rtept lat='1' lon='2'/><rtept lat='3' lon='4'></rtept></rte>"
        "<trk><trkseg><trkpt lat='5' lon='6'><ele>1</ele></trkpt></trkseg><trkseg><trkpt lat='7' lon='8'/></trkseg></trk>"
        "<trk><trkpt lat='10' lon='11'/></trk></gpx>");
    ASSERT_EQ(lines.size(), 4u);
    ASSERT_EQ(lines[0].size(), 2u);
    EXPECT_EQ(lines[0][0].lat, 1.0f);
    EXPECT_EQ(lines[0][1].lon, 4.0f);
    EXPECT_EQ(lines[1].size(), 1u);
    EXPECT_EQ(lines[2][0].lat, 7.0f);
    EXPECT_EQ(lines[3][0].lon, 11.0f);
    EXPECT_TRUE(Codec("gpx").routeLines("<gpx><wpt lat='1' lon='2'/></gpx>").empty());
}

TEST(Formats, CoordinateTextsInDegreesAndMinutes)
{
    EXPECT_EQ(ParseCoordinateText(" 48,5 "), 48.5L);
    EXPECT_NEAR(static_cast<double>(*ParseCoordinateText("S33 52.128")), -(33 + 52.128 / 60), 1e-12);
    EXPECT_NEAR(static_cast<double>(*ParseCoordinateText(QStringLiteral("151°12'33.5\"E"))), 151 + 12.0 / 60 + 33.5 / 3600, 1e-12);
    EXPECT_NEAR(static_cast<double>(*ParseCoordinateText("-2 20 30")), -(2 + 20.0 / 60 + 30.0 / 3600), 1e-12);
    EXPECT_NEAR(static_cast<double>(*ParseCoordinateText("O 1 30")), -1.5, 1e-12);  // Ouest
    for (const char *bad : {"", "N", "N 48 61", "48 -5", "N48 S", "12 km", "N -48", "1 2 3 4"})
        EXPECT_FALSE(ParseCoordinateText(QString::fromUtf8(bad))) << bad;
}

namespace {

const PoiCodec &Gpx()
{
    return Codec("gpx");
}

// GPX read and written again keeps every field, and the bytes settle after one pass.
void ExpectGpxRoundTrip(const QByteArray &source, const std::string &what)
{
    ASSERT_FALSE(source.isEmpty()) << what;
    const PoiRecords first = ReadRecords(Gpx(), source);
    const QByteArray once = RecordBytes(Gpx(), first);
    const PoiRecords second = ReadRecords(Gpx(), once);
    ASSERT_EQ(second.records.size(), first.records.size()) << what;
    for (size_t i = 0; i < first.records.size(); ++i) {
        PoiRecord expected = first.records[i];
        expected.lat = PlainDecimalText(expected.lat);  // "25e-1" is written 2.5
        expected.lon = PlainDecimalText(expected.lon);
        // Elements GPX 1.1 has no place for are written inside <extensions>, first.
        for (auto other = expected.otherXml.rbegin(); other != expected.otherXml.rend(); ++other)
            expected.extensionsXml.prepend(*other);
        expected.otherXml.clear();
        EXPECT_EQ(second.records[i], expected) << what << " waypoint " << i;
    }
    EXPECT_EQ(RecordBytes(Gpx(), second), once) << what;  // byte-stable after one pass
}

// Texts a reader leaves for the writer's core decode as the reader would have decoded them.
void ExpectDeferredTextsAsRead(const QByteArray &source, const std::string &what)
{
    const PoiRecords whole = ReadRecords(Gpx(), source);
    std::vector<PoiRecord> deferred;
    BlockReader in(source);
    ASSERT_TRUE(Gpx().readRecords(in, [&](PoiRecord &&r) { deferred.push_back(std::move(r)); }, nullptr, {}, DeferTexts::Yes));
    ASSERT_EQ(deferred.size(), whole.records.size()) << what;
    bool someDeferred = false;
    for (size_t i = 0; i < deferred.size(); ++i) {
        someDeferred = someDeferred || !deferred[i].deferred.empty();
        DecodeDeferredTexts(deferred[i]);
        EXPECT_EQ(deferred[i], whole.records[i]) << what << " waypoint " << i;
    }
    EXPECT_TRUE(someDeferred || whole.records.empty()) << what;
}

const char *const kRealGpxFiles[] = {"GC7FA4.gpx", "basecamp.gpx", "expertgps.gpx", "osm-data.gpx", "spb_metro_norm_ru-gpi.gpx",
                                     "unicsv_encoding.gpx"};

}  // namespace

TEST(Records, GpxRoundTripsKeepEveryFieldAndSettleAfterOnePass)
{
    const QByteArray rich =
        "<?xml version='1.0'?><gpx version='1.1' xmlns='http://www.topografix.com/GPX/1/1' xmlns:x='urn:x'>"
        "<wpt lat='-179.1234567' lon=' 48.85 '><ele>35.5</ele><time>2024-05-01T10:00:00Z</time><name>Brest</name>"
        "<cmt>a &amp; b</cmt><desc>Port \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xF0\x9F\x9A\x97</desc><src>me</src>"
        "<link href='https://e.org/?a=1&amp;b=2'><text>site</text><type>text/html</type></link><link href='x'/>"
        "<sym>Flag</sym><type>user</type><fix>3d</fix><extensions><x:a k='v'>1</x:a></extensions></wpt>"
        "<wpt lat='1' lon='2'><name>Fr\xE8res</name></wpt><wpt lat='25e-1' lon='3'/>"
        "<wpt lat='4' lon='5'><name>\xEF\xBB\xBF\xEF\xBB\xBF" "Bike</name><desc>\xEF\xBB\xBF</desc></wpt></gpx>";
    ExpectGpxRoundTrip(rich, "crafted");
    const PoiRecords r = ReadRecords(Gpx(), rich);
    ASSERT_EQ(r.records.size(), 4u);
    EXPECT_EQ(r.records[3].name, QStringLiteral("\uFEFF\uFEFFBike"));  // no byte-order mark inside a file
    EXPECT_EQ(r.records[3].desc, QStringLiteral("\uFEFF"));
    EXPECT_EQ(r.records[0].lat, "-179.1234567");  // exact, never cut
    EXPECT_EQ(r.records[0].lon, "48.85");
    EXPECT_EQ(r.records[0].ele, "35.5");
    EXPECT_EQ(r.records[0].cmt, "a & b");
    EXPECT_EQ(r.records[0].links.size(), 2u);
    EXPECT_EQ(r.records[0].links[0].href, "https://e.org/?a=1&b=2");
    EXPECT_EQ(r.records[0].links[0].type, "text/html");
    EXPECT_EQ(r.records[0].fix, "3d");
    EXPECT_TRUE(r.records[0].otherXml.empty());
    EXPECT_EQ(r.records[0].extensionsXml, "<x:a k='v'>1</x:a>");
    EXPECT_EQ(r.records[1].name, QStringLiteral("Frères"));  // each text decided on its own
    EXPECT_EQ(r.namespaces, (std::vector<std::pair<QByteArray, QByteArray>>{{"x", "urn:x"}}));
    EXPECT_EQ(JoinedName(r.records[0]), QString::fromUtf8("Brest - Port \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xF0\x9F\x9A\x97"));
    // An element never closed is damage: dropped, so what is written is well formed and settles.
    const PoiRecords damaged = ReadRecords(Gpx(), "<gpx><wpt lat=\"1\" lon=\"2\"><name>Fr\xE8res</name><dwpt lat/desc></wpt></gpx>");
    ASSERT_EQ(damaged.records.size(), 1u);
    EXPECT_TRUE(damaged.records[0].otherXml.empty());
    EXPECT_EQ(RecordBytes(Gpx(), ReadRecords(Gpx(), RecordBytes(Gpx(), damaged))), RecordBytes(Gpx(), damaged));
    // A namespace declaration that could not be written back as it is (markup in a damaged root tag) is dropped.
    const PoiRecords root = ReadRecords(Gpx(), "<gpx xmlns:a=\"urn:a\" xmlns:b=\"urn:<gpx><w\"><wpt lat=\"1\" lon=\"2\"/></gpx>");
    EXPECT_EQ(root.namespaces, (std::vector<std::pair<QByteArray, QByteArray>>{{"a", "urn:a"}}));
    // A name never grows: no " - " is added where there is no description.
    EXPECT_EQ(ReadRecords(Gpx(), RecordBytes(Gpx(), ReadRecords(Gpx(), "<gpx><wpt lat='1' lon='2'><name>Brest</name></wpt></gpx>")))
                  .records[0].name,
              QStringLiteral("Brest"));
}

TEST(Records, RealGpxFilesRoundTripAndSettleAfterOnePass)
{
    REQUIRE_REAL_WORLD_FILES();
    for (const char *name : kRealGpxFiles)
        ExpectGpxRoundTrip(RealWorldFile(name), name);
}

TEST(Records, MarkupCutFromADamagedGpxStaysInItsWaypoint)
{
    // A foreign element whose tag never closes where XML would: copied as it is,
    // it ended the waypoint and started another in what was written.
    const QByteArray damaged = "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                               "<wpt lat=\"48.8566\" lon=\"2.3522\"><o/x\" a=\"b></wpt><wpt lat=\"-0.1\" lon=\"1\"/></gpx>\n";
    const PoiRecords read = ReadRecords(Codec("gpx"), damaged);
    int written = 0;
    const QByteArray bytes = RecordBytes(Codec("gpx"), read, &written);
    EXPECT_EQ(ReadRecords(Codec("gpx"), bytes).records.size(), size_t(written));
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << bytes.constData();
    // Nothing lost: the markup comes back as a text.
    ASSERT_FALSE(read.records.empty());
    const PoiRecords back = ReadRecords(Codec("gpx"), bytes);
    ASSERT_FALSE(back.records.empty());
    ASSERT_EQ(back.records[0].properties.size(), 1u);
    EXPECT_EQ(back.records[0].properties[0].key, "gpx_extensions");
    EXPECT_TRUE(PropertyText(back.records[0].properties[0].json).contains("a=\"b></wpt>"));
}

TEST(Records, TextsLeftForTheWriterDecodeAsTheReaderWould)
{
    const QByteArray body =
        "<wpt lat='1' lon='2'><name>Fr\xE8res</name><desc>a &amp; b</desc><cmt><![CDATA[<x>]]></cmt>"
        "<sym>S<!-- c -->ym</sym><type></type><src/><ele>1<b>2</b>3</ele></wpt>"
        "<wpt lat='3' lon='4'><name>\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xF0\x9F\x9A\x97</name>"
        "<time>\xEF\xBB\xBF" "2024</time><desc>CAF\xC9\x96" "BAR</desc></wpt>"
        // A field given twice: the last text stands, whichever way each is read.
        "<wpt lat='5' lon='6'><name>first</name><name><![CDATA[second]]></name><desc>a&amp;</desc><desc>b</desc>"
        "<cmt>c</cmt><cmt></cmt></wpt>"
        // The program's own field of a name the waypoint has: kept beside it.
        "<wpt lat='7' lon='8'><name>Plain</name><extensions><poi xmlns=\"https://orvalis.org/xmlns/poi/1\">"
        "<field name=\"name\">Other</field></poi></extensions></wpt></gpx>";
    ExpectDeferredTextsAsRead("<gpx>" + body, "undeclared");
    ExpectDeferredTextsAsRead("<?xml version='1.0' encoding='UTF-8'?><gpx>" + body, "declared");
}

TEST(Records, TextsOfRealFilesLeftForTheWriterDecodeAsTheReaderWould)
{
    REQUIRE_REAL_WORLD_FILES();
    for (const char *name : kRealGpxFiles)
        ExpectDeferredTextsAsRead(RealWorldFile(name), name);
}

TEST(Records, Ov2IntegersSurviveExactly)
{
    // Integers a 32-bit float cannot hold, and both ends of the range.
    PoiRecords in;
    for (const auto &[lat, lon] : {std::pair{"16.520912", "179.99999"}, std::pair{"-89.99999", "-180.00000"},
                                   std::pair{"45.00001", "0.00001"}}) {
        PoiRecord r;
        r.lat = lat;
        r.lon = lon;
        r.name = QStringLiteral("x");
        in.records.push_back(r);
    }
    in.records[0].lat = "165.20912";  // as OV2 writes 16520912
    in.records[0].lat = "89.99999";
    const QByteArray ov2 = RecordBytes(Codec("ov2"), in);
    const PoiRecords back = ReadRecords(Codec("ov2"), ov2);
    ASSERT_EQ(back.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.records[i].lat, in.records[i].lat) << i;
        EXPECT_EQ(back.records[i].lon, in.records[i].lon) << i;
    }
    EXPECT_EQ(RecordBytes(Codec("ov2"), back), ov2);
    // Through GPX and back: the same integers.
    EXPECT_EQ(RecordBytes(Codec("ov2"), ReadRecords(Gpx(), RecordBytes(Gpx(), back))), ov2);
}

TEST(Records, CsvColumnNamesReadBackAsTheyAre)
{
    // A column named with a letter whose UTF-8 reads as Windows-1252 ("DSEɖ" is
    // "DSEÉ–"): the file goes out with its mark, and the column keeps its name (found by fuzzing).
    PoiRecords in;
    PoiRecord r;
    r.lat = "1";
    r.lon = "2";
    r.properties.push_back({QStringLiteral("DSE\u0256"), JsonStringOf(QStringLiteral("v"))});
    in.records.push_back(r);
    const QByteArray once = RecordBytes(Codec("csv"), in);
    EXPECT_TRUE(once.startsWith("\xEF\xBB\xBF"));
    const PoiRecords back = ReadRecords(Codec("csv"), once);
    ASSERT_EQ(back.records.size(), 1u);
    ASSERT_EQ(back.records[0].properties.size(), 1u);
    EXPECT_EQ(back.records[0].properties[0].key, QStringLiteral("DSE\u0256"));
    EXPECT_EQ(RecordBytes(Codec("csv"), back), once);
}

TEST(Records, CsvColumnsBeyondTheFieldsAreProperties)
{
    // A field's name again (any case), or a name already seen, gets a suffix,
    // a column without a name its place: written back, each reads as itself.
    const PoiRecords read = ReadRecords(Codec("csv"), QByteArray("lat,lon,Kind,LAT,kind,,Desc,desc,note\n1,2,a,3,b,c,d,e,f\n"));
    ASSERT_EQ(read.records.size(), 1u);
    std::vector<QString> keys;
    for (const PoiProperty &p : read.records[0].properties)
        keys.push_back(p.key + u'=' + QString::fromUtf8(p.json));
    EXPECT_EQ(keys, (std::vector<QString>{u"Kind=\"a\""_qs, u"LAT_2=\"3\""_qs, u"kind_2=\"b\""_qs, u"column6=\"c\""_qs,
                                          u"desc_2=\"e\""_qs, u"note=\"f\""_qs}));
    EXPECT_EQ(read.records[0].desc, u"d");
    // A wide header is weighed once, not column by column again for every row
    // (a hundred rows of 2,000 columns took seconds, a file of thousands hours).
    QByteArray wide, row = "1,2";
    for (int c = 0; c < 2000; ++c) {
        wide += ",c" + QByteArray::number(c);
        row += ",v";
    }
    QByteArray file = "lat,lon" + wide + "\n";
    for (int r = 0; r < 100; ++r)
        file += row + "\n";
    const PoiRecords many = ReadRecords(Codec("csv"), file);
    ASSERT_EQ(many.records.size(), 100u);
    EXPECT_EQ(many.records[99].properties.size(), 2000u);
    EXPECT_EQ(many.records[99].properties.back().key, QStringLiteral("c1999"));
}
