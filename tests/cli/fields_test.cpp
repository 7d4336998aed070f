// Every field of a POI through every format that can hold it: GPX's through
// CSV, GeoJSON, KML and KMZ and back, the other formats' through GPX and back.
#include "support/poi_files.h"
#include "support/real_world.h"
#include "support/run_cli.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace orvalis::testing;

namespace {

// A GPX file's waypoints as what a reader of the XML sees: every element under
// each, by namespace and name, with its attributes and text, numbers as numbers.
QList<QStringList> Waypoints(const QByteArray &gpx)
{
    QList<QStringList> waypoints;
    QXmlStreamReader xml(gpx);
    int depth = 0, wptDepth = -1;
    const auto number = [](const QString &t) {
        bool ok = false;
        const double v = t.trimmed().toDouble(&ok);
        return ok ? QString::number(v, 'g', 17) : t;
    };
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == u"wpt" && wptDepth < 0) {
                wptDepth = depth;
                waypoints.append({number(xml.attributes().value("lat").toString()) + ' ' + number(xml.attributes().value("lon").toString())});
                continue;
            }
            if (wptDepth < 0)
                continue;
            QString line = xml.namespaceUri().toString() + ' ' + xml.name().toString();
            for (const QXmlStreamAttribute &a : xml.attributes())
                line += ' ' + a.namespaceUri().toString() + ':' + a.name().toString() + '=' + a.value().toString();
            waypoints.last() << line;
        } else if (token == QXmlStreamReader::Characters && wptDepth >= 0 && !xml.isWhitespace()) {
            waypoints.last() << "  " + number(xml.text().toString());
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth-- == wptDepth)
                wptDepth = -1;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return waypoints;
}

}  // namespace

// GPX -> X -> GPX gives the waypoints GPX -> GPX gives: texts, numbers,
// links, GPS quality, extensions and foreign elements, for every file.
TEST(Fields, GpxThroughEveryFlatFormatComesBackWhole)
{
    REQUIRE_REAL_WORLD_FILES();
    QTemporaryDir temp;
    for (const QString &in : GpxCorpus()) {
        const QString base = temp.filePath(QFileInfo(in).completeBaseName());
        ASSERT_EQ(RunCli("C", {"convert", in, base + ".gpx"}).code, 0) << in.toStdString();
        const QList<QStringList> direct = Waypoints(FileContents(base + ".gpx"));
        ASSERT_FALSE(direct.isEmpty()) << in.toStdString();
        for (const char *flat : {"csv", "geojson", "kml", "kmz"}) {
            const QString mid = base + '.' + flat, back = mid + ".gpx";
            ASSERT_EQ(RunCli("C", {"convert", in, mid}).code, 0) << in.toStdString() << flat;
            const Result r = RunCli("C", {"convert", mid, back});
            ASSERT_EQ(r.code, 0) << in.toStdString() << flat << r.err.toStdString();
            const QList<QStringList> through = Waypoints(FileContents(back));
            ASSERT_EQ(through.size(), direct.size()) << in.toStdString() << flat;
            for (qsizetype w = 0; w < direct.size(); ++w)
                ASSERT_EQ(through[w], direct[w]) << in.toStdString() << " through " << flat << ", waypoint " << w + 1;
        }
    }
}

// The names the flat formats carry GPX's fields under, as the README tables them.
TEST(Fields, FlatFormatsNameGpxFieldsAsDocumented)
{
    QTemporaryDir temp;
    const QString csv = temp.filePath("every.csv"), json = temp.filePath("every.geojson");
    ASSERT_EQ(RunCli("C", {"convert", ORVALIS_TEST_DATA "/fields/every_field_11.gpx", csv}).code, 0);
    const QList<QByteArray> lines = FileContents(csv).split('\n');
    EXPECT_EQ(lines[0].trimmed(), QByteArray("latitude,longitude,name,description,comment,elevation,time,symbol,type,source,"
                                              "magvar,geoidheight,fix,sat,hdop,vdop,pdop,ageofdgpsdata,dgpsid,"
                                              "link1_href,link1_text,link1_type,link2_href,link2_text,gpx_extensions"));
    EXPECT_TRUE(lines[1].contains(",2.5,47.8,3d,9,0.9,1.40,1.7,3,17,https://example.org/residenz,Residenz,text/html,"
                                  "https://example.org/garten,Garten,"
                                  "\"<gpxx:WaypointExtension xmlns:gpxx=\"\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\"\">"))
        << lines[1].toStdString();
    ASSERT_EQ(RunCli("C", {"convert", ORVALIS_TEST_DATA "/fields/every_field_11.gpx", json}).code, 0);
    const QJsonObject p = QJsonDocument::fromJson(FileContents(json)).object()["features"].toArray()[0].toObject()["properties"].toObject();
    EXPECT_EQ(p["hdop"].toString(), "0.9");
    EXPECT_EQ(p["link2_text"].toString(), "Garten");
    EXPECT_TRUE(p["gpx_extensions"].toString().startsWith("<gpxx:WaypointExtension xmlns:gpxx="));
}

// What GPX has no element for rides in the waypoint's <extensions>, in the
// program's namespace, and comes back: text stays text, numbers numbers.
TEST(Fields, OtherFormatsFieldsSurviveGpx)
{
    QTemporaryDir temp;
    const QString csv = temp.filePath("in.csv"), gpx = temp.filePath("mid.gpx"), back = temp.filePath("back.csv");
    WriteFile(csv, "latitude,longitude,name,speed,note\r\n48.1,2.1,A,50,\"x, \"\"y\"\"\"\r\n48.2,2.2,B,,\r\n");
    ASSERT_EQ(RunCli("C", {"convert", csv, gpx}).code, 0);
    EXPECT_TRUE(FileContents(gpx).contains("<extensions><poi xmlns=\"https://orvalis.org/xmlns/poi/1\"><field name=\"speed\">50</field>"
                                   "<field name=\"note\">x, &quot;y&quot;</field></poi></extensions>"))
        << FileContents(gpx).toStdString();
    ASSERT_EQ(RunCli("C", {"convert", gpx, back}).code, 0);
    EXPECT_EQ(FileContents(back), FileContents(csv));

    const QString json = temp.filePath("in.geojson"), gpx2 = temp.filePath("mid2.gpx"), json2 = temp.filePath("back.geojson");
    WriteFile(json, R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2.5,48.5]},)"
                    R"("properties":{"name":"P","speed":50,"open":true,"tags":{"a":[1,"<x>"]},"label2":"50"}}]})");
    ASSERT_EQ(RunCli("C", {"convert", json, gpx2}).code, 0);
    ASSERT_EQ(RunCli("C", {"convert", gpx2, json2}).code, 0);
    const QJsonObject p = QJsonDocument::fromJson(FileContents(json2)).object()["features"].toArray()[0].toObject()["properties"].toObject();
    EXPECT_EQ(p["speed"], QJsonValue(50));
    EXPECT_EQ(p["open"], QJsonValue(true));
    EXPECT_EQ(p["tags"].toObject()["a"].toArray()[1].toString(), "<x>");
    EXPECT_EQ(p["label2"], QJsonValue("50"));
}

// CSV columns the reader does not take as fields are kept, each under a key
// of its own: a second "desc", "cmt" after "comment", a repeated name, a
// column without a name, values beyond the header.
TEST(Fields, CsvColumnsAreAllKept)
{
    QTemporaryDir temp;
    const QString csv = temp.filePath("in.csv"), out = temp.filePath("out.csv"), json = temp.filePath("out.geojson");
    WriteFile(csv, "name,lat,lon,description,desc,comment,cmt,speed,Speed,,note\r\n"
                   "A,48,2,long,short,c1,c2,50,60,blank key,n,beyond 1,,beyond 3\r\n"
                   "B,49,3,,,,,,,,\r\n");
    const Result r = RunCli("C", {"convert", csv, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QList<QByteArray> lines = FileContents(out).split('\n');
    EXPECT_EQ(lines[0].trimmed(), QByteArray("latitude,longitude,name,description,comment,desc_2,cmt_2,speed,Speed_2,column10,note,column12,column14"));
    EXPECT_EQ(lines[1].trimmed(), QByteArray("48,2,A,long,c1,short,c2,50,60,blank key,n,beyond 1,beyond 3"));
    EXPECT_EQ(lines[2].trimmed(), QByteArray("49,3,B,,,,,,,,,,"));
    // Read again, the file gives itself.
    const QString again = temp.filePath("again.csv");
    ASSERT_EQ(RunCli("C", {"convert", out, again}).code, 0);
    EXPECT_EQ(FileContents(again), FileContents(out));
    ASSERT_EQ(RunCli("C", {"convert", csv, json}).code, 0);
    const QJsonObject p = QJsonDocument::fromJson(FileContents(json)).object()["features"].toArray()[0].toObject()["properties"].toObject();
    EXPECT_EQ(p["desc"].toString(), "long");
    EXPECT_EQ(p["desc_2"].toString(), "short");
    EXPECT_EQ(p["column14"].toString(), "beyond 3");
}

// A MultiPoint is its points; lines and features without a geometry are no
// POIs, and the standard error says how many were left out.
TEST(Fields, GeoJsonMultiPointsAreExpandedAndTheRestCounted)
{
    QTemporaryDir temp;
    const QString json = temp.filePath("in.geojson"), out = temp.filePath("out.csv");
    WriteFile(json, R"({"type":"FeatureCollection","features":[)"
                    R"({"type":"Feature","geometry":{"type":"MultiPoint","coordinates":[[2,48],[3,49]]},"properties":{"name":"M"}},)"
                    R"({"type":"Feature","geometry":{"type":"LineString","coordinates":[[2,48],[3,49]]},"properties":{"name":"L"}},)"
                    R"({"type":"Feature","geometry":null,"properties":{"name":"N"}},)"
                    R"({"type":"Feature","geometry":{"type":"Point","coordinates":[4,50]},"properties":{"name":"P"}}]})");
    for (const char *locale : {"C", "fr_FR.UTF-8"}) {
        const Result r = RunCli(locale, {"convert", json, out});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(FileContents(out), QByteArray("latitude,longitude,name\r\n48,2,M\r\n49,3,M\r\n50,4,P\r\n"));
        EXPECT_TRUE(r.err.contains(QString(locale) == "C" ? "2 features that are no points (lines, areas, none) left out"
                                                          : "2 entités qui ne sont pas des points"))
            << r.err.toStdString();
    }
    const Result table = RunCli("C", {"table", json});
    EXPECT_EQ(table.out.count('\n'), 3) << table.out.toStdString();
}
