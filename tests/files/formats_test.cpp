#include "files/csv_format.h"
#include "files/geojson_format.h"
#include "files/kml_format.h"
#include "files/poi_formats.h"
#include "support/tables.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

QStringList Rows(const PoiTable &t)
{
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << t.field(r, FieldLatitude) + u'|' + t.field(r, FieldLongitude) + u'|' + t.field(r, FieldDescription);
    return out;
}

PoiTable Read(PoiFormat format, const QByteArray &bytes, QChar sep = u'.')
{
    PoiTable t;
    ReadResult result;
    QString error;
    EXPECT_TRUE(ReadPoiFormat(format, bytes, t, sep, &result, &error)) << error.toStdString();
    return t;
}

}  // namespace

TEST(Formats, NamesKeepEveryCharacterThroughEveryFormat)
{
    const PoiTable t = TableOfRows({{"48.85661", "2.35222", "Tour Eiffel & \"Champ\" <de> Mars"},
                                    {"55.7558", "37.6173", "Москва – Красная площадь"},
                                    {"-33.86882", "151.2093", "Sydney 🚗 Ωμέγα 東京"},
                                    {"0", "-179.99", "Aebi Frères, 1 km"},
                                    {"1", "1", "Back\\slash\tand tab"}});
    for (const PoiFormat format : {PoiFormat::Ov2, PoiFormat::Gpx, PoiFormat::Csv, PoiFormat::GeoJson, PoiFormat::Kml}) {
        const PoiTable back = Read(format, PoiFormatBytes(format, t, 1, t.lastRow(), {}));
        ASSERT_EQ(back.lastRow(), 5) << int(format);
        for (int r = 1; r <= 5; ++r) {
            QString description = back.field(r, FieldDescription);
            if (format == PoiFormat::Gpx)
                description.chop(3);  // the GPX reader joins "name - desc"
            EXPECT_EQ(description, t.field(r, FieldDescription)) << int(format) << " row " << r;
            // Coordinates keep their value (OV2 writes five decimals).
            for (const int f : {FieldLatitude, FieldLongitude})
                EXPECT_EQ(back.field(r, f).toDouble(), t.field(r, f).toDouble()) << int(format) << " row " << r;
        }
    }
}

TEST(Formats, ByNameAndExtension)
{
    EXPECT_EQ(PoiFormatOfPath("/a/b.GeoJSON"), PoiFormat::GeoJson);
    EXPECT_EQ(PoiFormatOfPath("x.json"), PoiFormat::GeoJson);
    EXPECT_EQ(PoiFormatOfPath("x.KML"), PoiFormat::Kml);
    EXPECT_EQ(PoiFormatOfPath("x.kmz"), std::nullopt);
    EXPECT_EQ(PoiFormatOfPath("folder.gpx/file"), std::nullopt);
    EXPECT_EQ(PoiFormatNamed("OV2"), PoiFormat::Ov2);
    PoiTable t;
    ReadResult result;
    QString error;
    EXPECT_FALSE(ReadPoiFormat(PoiFormat::GeoJson, "not json", t, u'.', &result, &error));
    EXPECT_EQ(error, QStringLiteral("not a GeoJSON file"));
    EXPECT_FALSE(ReadPoiFormat(PoiFormat::Kml, "<gpx/>", t, u'.', &result, &error));
    EXPECT_FALSE(ReadPoiFormat(PoiFormat::Gpx, "<kml/>", t, u'.', &result, &error));
}

TEST(Formats, CsvWithAHeaderTheNavigatorLayoutAndThisProgramsOwn)
{
    // A header names the columns, in any order; quotes hold commas, quotes and line breaks.
    const PoiTable h = Read(PoiFormat::Csv, "name,Latitude,lon,comment\r\n"
                                            "\"Gare, Nord\",48.8809,2.3553,\"dit \"\"GdN\"\"\"\r\n"
                                            "Two,\"45.5\",4.25,\"line\nbreak\"\r\n"
                                            "bad,north,2,x\r\n",
                            u',');
    EXPECT_EQ(Rows(h), (QStringList{"48,8809|2,3553|Gare, Nord - dit \"GdN\"", "45,5|4,25|Two - line\nbreak"}));
    // No header: longitude first, as navigators write them.
    const PoiTable n = Read(PoiFormat::Csv, "2.3553,48.8809,Gare du Nord\n-1.5536,47.2184,Nantes,Centre\n");
    EXPECT_EQ(Rows(n), (QStringList{"48.8809|2.3553|Gare du Nord", "47.2184|-1.5536|Nantes - Centre"}));
    // Windows-1252 without a BOM.
    EXPECT_EQ(Read(PoiFormat::Csv, "2,48,Fr\xE8res\n").field(1, FieldDescription), QStringLiteral("Frères"));
    // Empty input.
    EXPECT_TRUE(Read(PoiFormat::Csv, "").isEmptyForAdd() || Read(PoiFormat::Csv, "").lastRow() == 0);
}

TEST(Formats, GeoJsonFeaturesAndKmlPlacemarks)
{
    const PoiTable g = Read(PoiFormat::GeoJson,
                            R"({"type":"FeatureCollection","features":[
                               {"type":"Feature","geometry":{"type":"Point","coordinates":[2.3553,48.8809,35]},
                                "properties":{"name":"Gare","desc":"du Nord"}},
                               {"type":"Feature","geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]}},
                               {"type":"Feature","geometry":{"type":"Point","coordinates":[-158.589001,21.3]},"properties":null}]})");
    EXPECT_EQ(Rows(g), (QStringList{"48.8809|2.3553|Gare - du Nord", "21.3|-158.5890|"}));
    const PoiTable k = Read(PoiFormat::Kml,
                            "<?xml version='1.0'?><kml xmlns='http://www.opengis.net/kml/2.2'><Document>"
                            "<Placemark><name>A &amp; B</name><description><![CDATA[<b>x</b>]]></description>"
                            "<Point><coordinates> 2.3553,48.8809,0 </coordinates></Point></Placemark>"
                            "<Placemark><name>line</name><LineString><coordinates>0,0 1,1</coordinates></LineString></Placemark>"
                            "<Placemark><name>cut</name><Point><coordinates>1,2");
    EXPECT_EQ(Rows(k), (QStringList{"48.8809|2.3553|A & B - <b>x</b>", "2|1|cut"}));

    // A coordinate too small for a double still makes a file JSON readers take.
    const PoiTable tiny = TableOfRows({{"1e-708", "7.85", "Nn"}});
    const QByteArray written = PoiFormatBytes(PoiFormat::GeoJson, tiny, 1, 1, {});
    EXPECT_TRUE(written.contains("[7.85,0]")) << written.toStdString();
    EXPECT_EQ(Rows(Read(PoiFormat::GeoJson, written)).size(), 1);
}

TEST(Formats, Gpx11ForToolsThatCheckTheSchema)
{
    const PoiTable t = TableOfRows({{"48,85661", "2,35222", "Gare - du Nord"}, {"91", "0", "off the globe"}, {"1", "2", "x < y"}});
    WriteOptions options;
    options.separator = u',';
    options.gpx11 = true;
    const QByteArray gpx = PoiFormatBytes(PoiFormat::Gpx, t, 1, 3, options);
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
    const std::vector<std::vector<LatLon>> lines = ReadGpxRouteLines(
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
    EXPECT_TRUE(ReadGpxRouteLines("<gpx><wpt lat='1' lon='2'/></gpx>").empty());
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
