#include "support/poi_files.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result RunCli(const QString &locale, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.remove("LANG");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVALIS_CLI), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(Cli, DistanceInBothLocales)
{
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"distance", "48,8531", "2,34912", "48,3781", "-4,49448"}).out,
              QStringLiteral("506 km  et  242 m\n266,58\n"));
    EXPECT_EQ(RunCli("C", {"distance", "48.8531", "2.34912", "48.3781", "-4.49448"}).out,
              QStringLiteral("506 km  et  242 m\n266.58\n"));
    // An argument is one number: either separator reads it, the output keeps the locale's.
    EXPECT_EQ(RunCli("C", {"distance", "48,8531", "2,34912", "48.3781", "-4,49448"}).out,
              QStringLiteral("506 km  et  242 m\n266.58\n"));
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"destination", "48.7175", "1.970333", "300.5", "736.5"}).out,
              QStringLiteral("48,720860 1,961692\n"));
}

TEST(Cli, BadArgumentsNeverGiveAnAnswer)
{
    for (const QStringList &args : {QStringList{"distance", "48,8531", "abc", "0", "0"},
                                    QStringList{"destination", "1.000,5", "0", "0", "0"},
                                    QStringList{"distance", "1e39", "0", "0", "0"},
                                    QStringList{"crossing", "0", "0", "1", "1", "0", "1", "1", ""}}) {
        const Result r = RunCli("C", args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains("argument")) << r.err.toStdString();
    }
    EXPECT_TRUE(RunCli("C", {"distance", "48,8531", "abc", "0", "0"}).err.contains("argument 2 (\"abc\") is not a number"));
    QTemporaryDir temp;
    const QString in = temp.filePath("three.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Paris"}, {"48.39040", "-4.48610", "Brest"}, {"47.21840", "-1.55360", "Nantes"}});
    // A base row past the last one.
    const Result table = RunCli("C", {"table", in, "--base", "4"});
    EXPECT_EQ(table.code, 2);
    EXPECT_TRUE(table.err.contains("the file has 3 rows")) << table.err.toStdString();
    const Result near = RunCli("C", {"near", in, "--base", "9", "--radius-km", "50", temp.filePath("near.ov2")});
    EXPECT_EQ(near.code, 2);
    EXPECT_FALSE(QFile::exists(temp.filePath("near.ov2")));
    EXPECT_EQ(RunCli("C", {"near", in, "--base", "1", "--radius-km", "x", temp.filePath("near.ov2")}).code, 2);
    // A .gpx that holds no GPX.
    WriteFile(temp.filePath("notes.gpx"), "just some text\n");
    const Result notGpx = RunCli("C", {"convert", temp.filePath("notes.gpx"), temp.filePath("out.ov2")});
    EXPECT_EQ(notGpx.code, 2);
    EXPECT_TRUE(notGpx.err.contains("not a GPX file"));
    WriteFile(temp.filePath("prefixed.gpx"), "<g:gpx xmlns:g=\"x\"><g:wpt lat=\"1\" lon=\"2\"/></g:gpx>");
    EXPECT_EQ(RunCli("C", {"convert", temp.filePath("prefixed.gpx"), temp.filePath("out.ov2")}).out, QStringLiteral("1 POIs\n"));
    EXPECT_EQ(RunCli("C", {"--version"}).out, QStringLiteral("orvalis-cli 8.3\n"));
}

TEST(Cli, DestinationAndCrossing)
{
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"destination", "48,7175", "1,970333", "300,5", "736,5"}).out,
              QStringLiteral("48,720860 1,961692\n"));
    EXPECT_EQ(RunCli("C", {"destination", "0", "179.9", "90", "100000"}).out, QStringLiteral("0.000000 180.798300\n"));
    EXPECT_EQ(RunCli("C", {"crossing", "48", "-1", "48", "1", "47", "0", "49", "1"}).out,
              QStringLiteral("48.000000 0.500000\n148970 234763 111729 37243 117498 117269\n"));
    const Result parallel = RunCli("C", {"crossing", "0", "0", "1", "1", "0", "1", "1", "2"});
    EXPECT_TRUE(parallel.out.startsWith("parallel\n"));
    EXPECT_EQ(parallel.code, 0);
    const Result meridian = RunCli("C", {"crossing", "0", "5", "1", "5", "0", "1", "1", "2"});
    EXPECT_EQ(meridian.code, 1);
    EXPECT_EQ(meridian.err, QStringLiteral("Division par zéro en virgule flottante.\n"));
}

TEST(Cli, TableWithAndWithoutABase)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Paris\tcentre"}, {"48.39040", "-4.48610", "Brest"}, {"47.21840", "-1.55360", "Nantes"}});
    Result r = RunCli("fr_FR.UTF-8", {"table", in});
    EXPECT_EQ(r.out, QStringLiteral("1\t47,21840\t-1,55360\tNantes\t\t\t\n2\t48,39040\t-4,48610\tBrest\t\t\t\n"
                                    "3\t48,85661\t2,35222\tParis centre\t\t\t\n"));
    r = RunCli("C", {"table", in, "--base", "2"});
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("1\t48.39040\t-4.48610\tBrest\t0 m\t0000000\tN"));
    EXPECT_TRUE(lines[1].startsWith("2\t47.21840"));
}

TEST(Cli, NearWritesTheRowsWithinTheRadius)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    QFile f(in);
    f.open(QIODevice::WriteOnly);
    f.write("<gpx><wpt lat=\"48.8566\" lon=\"2.3522\"><name>Paris</name></wpt>"
            "<wpt lat=\"48.8049\" lon=\"2.1204\"><name>Versailles</name></wpt>"
            "<wpt lat=\"45.7640\" lon=\"4.8357\"><name>Lyon</name></wpt></gpx>");
    f.close();
    const QString out = temp.filePath("near.ov2");
    // Rows sort by latitude text after the load: Lyon, Versailles, Paris.
    const Result r = RunCli("C", {"near", in, "--base", "3", "--radius-km", "20", out});
    EXPECT_EQ(r.out, QStringLiteral("2 POIs\n"));
    PoiTable t;
    ReadOv2(Read(out), t, u'.');
    EXPECT_EQ(t.lastRow(), 2);
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Paris - "));
}

TEST(Cli, ConvertIsIdempotentOnOv2)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Aebi Frères"}, {"55.75580", "37.61730", "Москва"}, {"-33.86882", "151.20930", "Sydney"}});
    const QString once = temp.filePath("once.ov2"), twice = temp.filePath("twice.ov2");
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"convert", in, once}).out, QStringLiteral("3 POIs\n"));
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"convert", once, twice}).out, QStringLiteral("3 POIs\n"));
    EXPECT_FALSE(Read(once).isEmpty());
    EXPECT_EQ(Read(once), Read(twice));
    EXPECT_TRUE(Read(once).contains("Aebi Fr\xE8res"));
    const QString gpx = temp.filePath("out.gpx"), csv = temp.filePath("out.csv");
    EXPECT_EQ(RunCli("C", {"convert", in, gpx}).code, 0);
    EXPECT_TRUE(Read(gpx).contains("<name>Москва</name>"));
    EXPECT_EQ(RunCli("C", {"convert", in, csv}).code, 0);
    EXPECT_TRUE(Read(csv).startsWith("\xEF\xBB\xBF"));
}

TEST(Cli, ErrorsExitTwoAndWriteNothing)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"1", "1", "a"}});
    const QString out = temp.filePath("out.ov2");
    QFile keep(out);
    keep.open(QIODevice::WriteOnly);
    keep.write("old");
    keep.close();
    const QList<QStringList> bad = {
        {},
        {"frobnicate"},
        {"convert", temp.filePath("missing.ov2"), out},
        {"convert", temp.filePath("in.txt"), out},
        {"convert", in, temp.filePath("out.txt")},
        {"convert", in, "-"},
        {"convert", in, out, "--to", "shp"},
        {"convert", in, out, "--bogus"},
        {"convert", in, temp.filePath("no/such/folder.ov2")},
        {"near", in, "--base", "1", out},
        {"near", in, "--base", "x", "--radius-km", "5", out},
        {"table", in, "--base"},
        {"distance", "1", "2", "3"},
    };
    for (const QStringList &args : bad) {
        const Result r = RunCli("C", args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString();
    }
    EXPECT_EQ(Read(out), QByteArray("old"));
    EXPECT_TRUE(RunCli("C", {"--help"}).out.contains("near IN OUT --base N --radius-km R"));
    // Each command has its own help.
    const Result help = RunCli("C", {"dedupe", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: orvalis-cli dedupe IN OUT --within-m M"));
}

TEST(Cli, OnlyRegularFilesAndNamesAsTheyLieOnDisk)
{
    QTemporaryDir temp;
    ASSERT_EQ(mkfifo(QFile::encodeName(temp.filePath("x.gpx")).constData(), 0600), 0);
    const Result fifo = RunCli("C", {"convert", temp.filePath("x.gpx"), temp.filePath("out.ov2")});
    EXPECT_EQ(fifo.code, 2);
    EXPECT_TRUE(fifo.err.contains("cannot read the file"));
    QFile::remove(temp.filePath("x.gpx"));
    // A Latin-1 name from old media.
    const QByteArray raw = QFile::encodeName(temp.path()) + "/caf\xe9.ov2";
    ASSERT_TRUE(WriteOv2File(temp.filePath("plain.ov2"), SamplePois()));
    ASSERT_EQ(rename(QFile::encodeName(temp.filePath("plain.ov2")).constData(), raw.constData()), 0);
    const Result latin1 = RunCli("C", {"convert", QFile::decodeName(raw), temp.filePath("out.gpx")});
    EXPECT_EQ(latin1.code, 0) << latin1.err.toStdString();
    EXPECT_EQ(latin1.out, QStringLiteral("5 POIs\n"));
    ::unlink(raw.constData());  // a name the folder's removal cannot spell
}

TEST(Cli, MergeDedupeAndAlong)
{
    QTemporaryDir temp;
    const QString a = temp.filePath("a.ov2"), b = temp.filePath("b.geojson"), merged = temp.filePath("all.kml");
    WriteOv2File(a, {{"48.85661", "2.35222", "Paris"}, {"48.39040", "-4.48610", "Brest"}});
    WriteFile(b, R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2.35230,48.85665]},"properties":{"name":"paris"}}]})");
    Result r = RunCli("C", {"merge", a, b, merged});
    EXPECT_EQ(r.out, QStringLiteral("3 POIs\n")) << r.err.toStdString();
    // The first of two POIs 6 m apart is kept; with --same-name only when the names agree.
    r = RunCli("C", {"dedupe", merged, temp.filePath("d.csv"), "--within-m", "50"});
    EXPECT_EQ(r.out, QStringLiteral("1 duplicates removed, 2 POIs\n"));
    r = RunCli("C", {"dedupe", merged, temp.filePath("d.csv"), "--within-m", "50", "--same-name"});
    EXPECT_EQ(r.out, QStringLiteral("1 duplicates removed, 2 POIs\n"));  // "Paris" and "paris"
    EXPECT_EQ(RunCli("C", {"dedupe", merged, temp.filePath("d.csv"), "--within-m", "2"}).out,
              QStringLiteral("0 duplicates removed, 3 POIs\n"));
    EXPECT_EQ(RunCli("C", {"dedupe", merged, temp.filePath("d.csv"), "--within-m", "-1"}).code, 2);
    // POIs along a track from Paris towards Brest, in route order.
    WriteFile(temp.filePath("route.gpx"), "<gpx><trk><trkseg><trkpt lat='48.85' lon='2.35'/><trkpt lat='48.39' lon='-4.48'/>"
                                          "</trkseg></trk></gpx>");
    WriteOv2File(temp.filePath("pois.ov2"), {{"48.39040", "-4.48610", "Brest"}, {"48.11730", "-1.67780", "Rennes"},
                                             {"48.70", "-1.0", "Near the line"}, {"48.85661", "2.35222", "Paris"}});
    r = RunCli("C", {"along", temp.filePath("route.gpx"), temp.filePath("pois.ov2"), "-", "--within-km", "30", "--to", "csv"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("3 POIs\n"));  // the count goes to stderr when the rows go to stdout
    const QStringList lines = r.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains("Paris"));
    EXPECT_TRUE(lines[1].contains("Near the line"));
    EXPECT_TRUE(lines[2].contains("Brest"));
    // A route file without route points is taken as a polyline of its POIs.
    EXPECT_EQ(RunCli("C", {"along", a, temp.filePath("pois.ov2"), temp.filePath("x.gpx"), "--within-km", "30"}).out,
              QStringLiteral("3 POIs\n"));
    EXPECT_EQ(RunCli("C", {"along", a, temp.filePath("pois.ov2"), temp.filePath("x.gpx")}).code, 2);
    // Empty inputs give empty outputs, and an empty route is an error.
    WriteFile(temp.filePath("empty.csv"), "");
    EXPECT_EQ(RunCli("C", {"merge", temp.filePath("empty.csv"), a, temp.filePath("m.ov2")}).out, QStringLiteral("2 POIs\n"));
    EXPECT_EQ(RunCli("C", {"dedupe", temp.filePath("empty.csv"), temp.filePath("d.ov2"), "--within-m", "5"}).out,
              QStringLiteral("0 duplicates removed, 0 POIs\n"));
    const Result noRoute = RunCli("C", {"along", temp.filePath("empty.csv"), a, temp.filePath("x.gpx"), "--within-km", "5"});
    EXPECT_EQ(noRoute.code, 2);
    EXPECT_TRUE(noRoute.err.contains("the route has no point"));
}

TEST(Cli, StandardInputOutputAndJson)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Paris"}, {"48.39040", "-4.48610", "Brest"}});
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVALIS_CLI), {"convert", "-", "-", "--from", "ov2", "--to", "geojson"});
    p.write(Read(in));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput());
    ASSERT_TRUE(doc.isObject());
    EXPECT_EQ(doc.object().value("features").toArray().size(), 2);
    const Result json = RunCli("C", {"table", in, "--base", "1", "--json"});
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject().value("description").toString(), QStringLiteral("Brest"));
    EXPECT_EQ(rows[0].toObject().value("distance").toString(), QStringLiteral("0 m"));
    const Result near = RunCli("C", {"near", in, temp.filePath("n.gpx"), "--base", "1", "--radius-km", "1", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(near.out.toUtf8()).array().size(), 1);
}
