// orvalis-cli on files as other programs write them: names in UTF-8 and in
// Windows-1252, CSV separators, a file cut inside a record,
// a GeoJSON number a double cannot hold. Bad input: exit 2 naming the record.
#include "support/run_cli.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis::testing;

namespace {

QString Put(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return f.fileName();
}

}  // namespace

TEST(RealInputCli, AFileCutInsideARecordStopsTheCommand)
{
    QTemporaryDir dir;
    const QByteArray head = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\">\n<wpt lat=\"1\" lon=\"2\"><name>a</name></wpt>\n";
    for (const QByteArray &cut : {QByteArray("<wpt lat=\"42.438917000\" lon=\"-71.11"), QByteArray("<wpt lat=\"42.4\" lon=\"-71.1\"><time>2001-11-16T")}) {
        const QString in = Put(dir, "cut.gpx", head + cut);
        const QString out = dir.filePath("out.csv");
        Result r = RunCli("C", {"convert", in, out});
        EXPECT_EQ(r.code, 2) << cut.constData();
        EXPECT_TRUE(r.err.contains("cut.gpx: waypoint 2 is cut short by the end of the file")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
        r = RunCli("fr_FR.UTF-8", {"convert", in, "-", "--to", "csv"});
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains("le waypoint 2 est coupé par la fin du fichier")) << r.err.toStdString();
        // Left out on demand, said on standard error.
        r = RunCli("C", {"convert", in, "-", "--to", "csv", "--skip-invalid"});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out, "latitude,longitude,name\r\n1,2,a\r\n");
        EXPECT_TRUE(r.err.contains("1 invalid records left out, the first is record 2")) << r.err.toStdString();
    }
    // A file that ends after its last whole waypoint reads as before.
    Result r = RunCli("C", {"convert", Put(dir, "end.gpx", head), "-", "--to", "csv"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "latitude,longitude,name\r\n1,2,a\r\n");
    r = RunCli("C", {"convert", Put(dir, "cut.kml", "<kml><Placemark><Point><coordinates>-71.11,42.4"), "-", "--to", "csv"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("cut.kml: placemark 1 is cut short by the end of the file")) << r.err.toStdString();
}

TEST(RealInputCli, AGeoJsonNumberOutOfRangeIsABadRecordShownAsWritten)
{
    QTemporaryDir dir;
    for (const QByteArray &number : {QByteArray("1e400"), QByteArray("1e-400"), QByteArray(400, '9')}) {
        const QString in = Put(dir, "n.geojson",
                               "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\","
                               "\"coordinates\":[2,1]},\"properties\":{\"name\":\"a\"}},{\"type\":\"Feature\",\"geometry\":{\"type\":"
                               "\"Point\",\"coordinates\":[" + number + ",1]},\"properties\":{\"name\":\"b\"}}]}");
        Result r = RunCli("C", {"convert", in, "-", "--to", "csv"});
        EXPECT_EQ(r.code, 2) << number.constData();
        EXPECT_TRUE(r.err.contains("n.geojson: GeoJSON feature 2 holds a number out of range: " + number)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("not a GeoJSON file"));
        r = RunCli("C", {"convert", in, "-", "--to", "csv", "--skip-invalid"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, "latitude,longitude,name\r\n1,2,a\r\n");
        r = RunCli("C", {"table", in});
        EXPECT_EQ(r.code, 2) << number.constData();
        EXPECT_TRUE(r.err.contains("feature 2 holds a number out of range: " + number)) << r.err.toStdString();
    }
    const QString far = Put(dir, "far.geojson", "{\"type\":\"Point\",\"coordinates\":[1.7976931348623157e308,1]}");
    for (const QStringList &args : {QStringList{"table", far}, QStringList{"convert", far, "-", "--to", "csv"}}) {
        const Result r = RunCli("C", args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains("longitude \"1.7976931348623157e308\"")) << r.err.toStdString();
    }
}

TEST(RealInputCli, Utf8NamesReadAsWrittenInEveryTextContainer)
{
    QTemporaryDir dir;
    const QByteArray names[] = {"\xCA\xBB" "Aiea Heights", "\xCE\xA9mega", "IKEA\xE5\xAE\x9C\xE5\xAE\xB6", "Az\xC9\x99rbaycan",
                                "Xi\xC7\x8Em\xC3\xA9n", "N\xC7\x9A"};
    QByteArray gpx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><gpx version=\"1.1\" creator=\"t\">", csv = "lat,lon,name\n", expected;
    for (const QByteArray &n : names) {
        gpx += "<wpt lat=\"1\" lon=\"2\"><name>" + n + "</name></wpt>";
        csv += "1,2," + n + "\n";
        expected += "1,2," + n + "\r\n";
    }
    for (const auto &[name, bytes] : {std::pair{"n.gpx", gpx + "</gpx>"}, std::pair{"n.csv", csv}}) {
        const Result r = RunCli("C", {"convert", Put(dir, name, bytes), "-", "--to", "csv"});
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_EQ(r.bytes, "latitude,longitude,name\r\n" + expected) << name;
    }
    // The names Windows-1252 tools write keep reading as Windows-1252 in a CSV.
    const Result r = RunCli("C", {"convert", Put(dir, "w.csv", "lat,lon,name\n1,2,CAF\xC9\x96" "BAR\n1,2,Ros\xE9\x99\xAE\n"), "-", "--to", "csv"});
    EXPECT_EQ(r.bytes, "latitude,longitude,name\r\n1,2,CAF\xC3\x89\xE2\x80\x93" "BAR\r\n1,2,Ros\xC3\xA9\xE2\x84\xA2\xC2\xAE\r\n");
}

TEST(RealInputCli, WhatTheCsvWriterWritesTheCsvReaderReads)
{
    QTemporaryDir dir;
    for (const QByteArray &in : {QByteArray(",lat,lon,;;;;,desc\n,4,2\n"), QByteArray("name,lat,lon,;;;;\na,4,2,x\n")}) {
        const QString csv = Put(dir, "in.csv", in), out = dir.filePath("out.csv");
        QFile::remove(out);
        Result r = RunCli("C", {"convert", csv, out});
        EXPECT_EQ(r.code, 0) << in.constData() << r.err.toStdString();
        r = RunCli("C", {"convert", out, "-", "--to", "geojson"});
        EXPECT_EQ(r.code, 0) << in.constData() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("\"coordinates\":[2,4]")) << r.out.toStdString();
    }
    Result r = RunCli("C", {"convert", Put(dir, "tab.csv", "lat\tlon\tname\n48.5\t2.5\tParis, Nord\n"), "-", "--to", "csv"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "latitude,longitude,name\r\n48.5,2.5,\"Paris, Nord\"\r\n");
}
