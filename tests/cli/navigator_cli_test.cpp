// orvalis-cli with the navigators' formats: GPI, ASC and KMZ through every command.
#include "support/gpsbabel.h"
#include "support/poi_files.h"
#include "support/records.h"
#include "support/run_cli.h"

#include "files/gpi_layout.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct Files {
    QTemporaryDir temp;
    QString path(const char *name) const { return temp.filePath(QString::fromUtf8(name)); }
    QByteArray bytes(const char *name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Sample POIs as OV2, and a GPX of waypoints with every text.
    Files()
    {
        WriteOv2File(path("radars.ov2"), SamplePois());
        WriteFile(path("pois.gpx"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                  "<wpt lat=\"48.856610\" lon=\"2.352220\"><ele>35</ele><time>2024-05-01T12:00:00Z</time><name>Paris &amp; co</name>"
                  "<cmt>un commentaire</cmt><desc>une description</desc><sym>Flag</sym></wpt>\n"
                  "<wpt lat=\"48.3904\" lon=\"-4.4861\"><name>Brest é</name></wpt>\n"
                  "<wpt lat=\"47.2184\" lon=\"-1.5536\"><name>Nantes</name><type>radar</type></wpt>\n</gpx>\n");
    }
};

Result Cli(const QStringList &args, const QByteArray &input = {})
{
    return RunCli(QStringLiteral("C"), args, input);
}

QString Property(const PoiRecord &r, const char *key)
{
    for (const PoiProperty &p : r.properties)
        if (p.key == QLatin1String(key))
            return PropertyText(p.json);
    return {};
}

}  // namespace

// The command of the issue: GPSBabel reads the file back with the same POIs,
// and orvalis-cli with its category and alerts.
TEST(NavigatorCli, Ov2ToGpiWithACategoryAndAlerts)
{
    Files f;
    const Result r = Cli({"convert", f.path("radars.ov2"), f.path("radars.gpi"), "--gpi-category", "Radars fixes", "--gpi-alert-m", "300"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("5 POIs\n"));
    const PoiRecords ov2 = ReadRecords(Codec("ov2"), f.bytes("radars.ov2"));
    const PoiRecords gpi = ReadRecords(Codec("gpi"), f.bytes("radars.gpi"));
    ASSERT_EQ(gpi.records.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(gpi.records[i].name, ov2.records[i].name);
        EXPECT_EQ(CoordinateNumber(gpi.records[i].lat), CoordinateNumber(ov2.records[i].lat));
        EXPECT_EQ(CoordinateNumber(gpi.records[i].lon), CoordinateNumber(ov2.records[i].lon));
        EXPECT_EQ(Property(gpi.records[i], "category"), QStringLiteral("Radars fixes"));
        EXPECT_EQ(Property(gpi.records[i], "proximity"), QStringLiteral("300"));
    }
    // Through the CLI: the category and alert as CSV columns; back to OV2, the same bytes.
    const Result csv = Cli({"convert", f.path("radars.gpi"), "-", "--to", "csv"});
    EXPECT_TRUE(csv.out.startsWith(QStringLiteral("latitude,longitude,name,category,proximity\r\n48.85661,2.35222,Paris,Radars fixes,300\r\n")))
        << csv.out.toStdString();
    ASSERT_EQ(Cli({"convert", f.path("radars.gpi"), f.path("back.ov2")}).code, 0);
    EXPECT_EQ(f.bytes("back.ov2"), f.bytes("radars.ov2"));
    // Without --gpi-category, the output file's name.
    ASSERT_EQ(Cli({"convert", f.path("radars.ov2"), f.path("Mes radars.v2.gpi")}).code, 0);
    EXPECT_EQ(Property(ReadRecords(Codec("gpi"), f.bytes("Mes radars.v2.gpi")).records.at(0), "category"), QStringLiteral("Mes radars.v2"));
    EXPECT_EQ(Property(ReadRecords(Codec("gpi"), f.bytes("Mes radars.v2.gpi")).records.at(0), "proximity"), QString());

    if (!HasGpsBabel())
        GTEST_SKIP() << "gpsbabel is not installed";
    const auto theirs = RunGpsBabel({"-i", "garmin_gpi", "-f", f.path("radars.gpi"), "-o", "unicsv", "-F", "-"});
    ASSERT_TRUE(theirs);
    const auto rows = UnicsvRows(*theirs);
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i]["Name"], ov2.records[i].name);
        EXPECT_EQ(rows[i]["Proximity"], QStringLiteral("300"));
        EXPECT_EQ(rows[i]["Latitude"].toDouble(), QString::fromLatin1(ov2.records[i].lat).toDouble());
        EXPECT_EQ(rows[i]["Longitude"].toDouble(), QString::fromLatin1(ov2.records[i].lon).toDouble());
    }
}

// A GPI GPSBabel wrote reads in the CLI as GPSBabel reads it.
TEST(NavigatorCli, GpsBabelsGpiReadsAsGpsBabelReadsIt)
{
    if (!HasGpsBabel())
        GTEST_SKIP() << "gpsbabel is not installed";
    Files f;
    ASSERT_TRUE(RunGpsBabel({"-i", "gpx", "-f", f.path("pois.gpx"), "-o", "garmin_gpi,category=Radars", "-F", f.path("theirs.gpi")}));
    const auto theirs = RunGpsBabel({"-i", "garmin_gpi", "-f", f.path("theirs.gpi"), "-o", "gpx", "-F", "-"});
    ASSERT_TRUE(theirs);
    const Result ours = Cli({"convert", f.path("theirs.gpi"), f.path("ours.gpx")});
    ASSERT_EQ(ours.code, 0) << ours.err.toStdString();
    const PoiRecords a = ReadRecords(Codec("gpx"), *theirs), b = ReadRecords(Codec("gpx"), f.bytes("ours.gpx"));
    ASSERT_EQ(a.records.size(), 3u);
    ASSERT_EQ(b.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(b.records[i].name, a.records[i].name);
        EXPECT_EQ(b.records[i].cmt, a.records[i].cmt);
        EXPECT_EQ(orvalis::gpi::UnitsOfDegrees(b.records[i].lat), orvalis::gpi::UnitsOfDegrees(a.records[i].lat));
        EXPECT_EQ(orvalis::gpi::UnitsOfDegrees(b.records[i].lon), orvalis::gpi::UnitsOfDegrees(a.records[i].lon));
    }
}

// OV2 → ASC → OV2 and GPX → KMZ → GPX keep every POI.
TEST(NavigatorCli, RoundTripsKeepEveryPoi)
{
    Files f;
    ASSERT_EQ(Cli({"convert", f.path("radars.ov2"), f.path("radars.asc")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("radars.asc"), f.path("back.ov2")}).code, 0);
    EXPECT_EQ(f.bytes("back.ov2"), f.bytes("radars.ov2"));
    ASSERT_EQ(Cli({"convert", f.path("pois.gpx"), f.path("pois.kmz")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("pois.kmz"), f.path("back.gpx")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("pois.gpx"), f.path("pois.kml")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("pois.kml"), f.path("via-kml.gpx")}).code, 0);
    EXPECT_EQ(f.bytes("back.gpx"), f.bytes("via-kml.gpx"));
    EXPECT_EQ(ReadRecords(Codec("gpx"), f.bytes("back.gpx")).records.size(), 3u);
    // Standard input and output: a KMZ waits for its end before it goes out.
    const Result kmz = Cli({"convert", f.path("pois.gpx"), "-", "--to", "kmz"});
    ASSERT_EQ(kmz.code, 0);
    EXPECT_EQ(ReadRecords(Codec("kmz"), kmz.bytes).records, ReadRecords(Codec("kmz"), f.bytes("pois.kmz")).records);
    const Result fromStdin = Cli({"convert", "-", f.path("in.gpi"), "--from", "kmz"}, kmz.bytes);
    ASSERT_EQ(fromStdin.code, 0) << fromStdin.err.toStdString();
    EXPECT_EQ(ReadRecords(Codec("gpi"), f.bytes("in.gpi")).records.size(), 3u);
}

TEST(NavigatorCli, EveryCommandSpeaksThem)
{
    Files f;
    ASSERT_EQ(Cli({"convert", f.path("radars.ov2"), f.path("r.gpi")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("pois.gpx"), f.path("p.kmz")}).code, 0);
    ASSERT_EQ(Cli({"convert", f.path("radars.ov2"), f.path("r.asc")}).code, 0);
    // merge: every input in order.
    Result r = Cli({"merge", f.path("r.gpi"), f.path("p.kmz"), f.path("r.asc"), f.path("all.gpi"), "--gpi-alert-m", "120"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("13 POIs\n"));
    const PoiRecords all = ReadRecords(Codec("gpi"), f.bytes("all.gpi"));
    ASSERT_EQ(all.records.size(), 13u);
    EXPECT_EQ(all.records[5].name, QStringLiteral("Paris & co"));
    EXPECT_EQ(Property(all.records[12], "proximity"), QStringLiteral("120"));
    // near --at on a GPI, to a KMZ; dedupe from a KMZ to an ASC; along; table.
    r = Cli({"near", f.path("all.gpi"), f.path("near.kmz"), "--at", "48.85", "2.35", "--radius-km", "30"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("5 POIs\n"));
    r = Cli({"dedupe", f.path("near.kmz"), f.path("d.asc"), "--within-m", "10"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("3 duplicates removed, 2 POIs\n"));
    EXPECT_EQ(f.bytes("d.asc").count("\r\n"), 2);
    WriteFile(f.path("route.gpx"), "<gpx><trk><trkseg><trkpt lat=\"48.85661\" lon=\"2.35222\"/><trkpt lat=\"48.3904\" lon=\"-4.4861\"/></trkseg></trk></gpx>");
    r = Cli({"along", f.path("route.gpx"), f.path("r.gpi"), f.path("along.asc"), "--within-km", "5"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(f.bytes("along.asc"), "2.35222,48.85661,\"Paris\"\r\n2.1204,48.8049,\"GC1ABCD Versailles\"\r\n-4.4861,48.3904,\"Brest\"\r\n");
    r = Cli({"table", f.path("p.kmz")});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Paris & co - une description"))) << r.out.toStdString();
    r = Cli({"near", f.path("r.asc"), f.path("base.gpi"), "--base", "1", "--radius-km", "1000"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(ReadRecords(Codec("gpi"), f.bytes("base.gpi")).records.size(), 5u);
}

TEST(NavigatorCli, BadFilesAndOptionsStopTheCommand)
{
    Files f;
    ASSERT_EQ(Cli({"convert", f.path("radars.ov2"), f.path("r.gpi")}).code, 0);
    const QByteArray gpi = f.bytes("r.gpi");
    WriteFile(f.path("cut.gpi"), gpi.first(gpi.size() - 1800));
    Result r = Cli({"convert", f.path("cut.gpi"), f.path("out.gpx")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cut.gpi: damaged GPI file: the record after POI"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(f.path("out.gpx")));
    r = Cli({"convert", f.path("cut.gpi"), f.path("out.gpx"), "--skip-invalid"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("damaged GPI file: what follows POI"))) << r.err.toStdString();
    r = Cli({"convert", f.path("radars.ov2"), f.path("x.gpi"), "--from", "gpi"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("radars.ov2: not a GPI file\n"))) << r.err.toStdString();
    r = Cli({"convert", f.path("radars.ov2"), f.path("x.kmz"), "--from", "kmz"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not a KMZ file"))) << r.err.toStdString();
    for (const char *metres : {"-1", "65536", "far"}) {
        r = Cli({"convert", f.path("radars.ov2"), f.path("x.gpi"), "--gpi-alert-m", metres});
        EXPECT_EQ(r.code, 2) << metres;
        EXPECT_FALSE(QFile::exists(f.path("x.gpi")));
    }
    // French.
    r = RunCli(QStringLiteral("fr_FR.UTF-8"), {"convert", f.path("cut.gpi"), f.path("out.gpx")});
    EXPECT_TRUE(r.err.contains(QStringLiteral("fichier GPI endommagé"))) << r.err.toStdString();
}

// A KMZ whose KML inflates a thousandfold (one POI with 70 MiB of one letter)
// is refused before it is inflated whole, a zip bomb's way.
TEST(NavigatorCli, AKmzThatInflatesTooFarIsRefused)
{
    Files f;
    WriteFile(f.path("big.gpx"), "<gpx><wpt lat=\"1\" lon=\"2\"><desc>" + QByteArray(70 << 20, 'a') + "</desc></wpt></gpx>");
    ASSERT_EQ(Cli({"convert", f.path("big.gpx"), f.path("bomb.kmz")}).code, 0);
    ASSERT_LT(f.bytes("bomb.kmz").size(), 1 << 20);
    const Result r = Cli({"convert", f.path("bomb.kmz"), f.path("out.gpx")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("bomb.kmz: the KMZ archive is larger than it may be, or its KML inflates too far")))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(f.path("out.gpx")));
}
