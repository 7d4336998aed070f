#include "support/cli_child.h"
#include "support/poi_files.h"
#include "support/run_cli.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include "support/records.h"
#include "geo/geodesy.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

// With arguments as bytes, for names that are not UTF-8 (QProcess would encode them);
// the standard input holds `stdinBytes`, or is what `stdinPath` opens.
Result RunCliRaw(const char *locale, const QList<QByteArray> &args, const QByteArray &stdinBytes = {}, const char *stdinPath = nullptr)
{
    QTemporaryDir temp;
    const QByteArray out = QFile::encodeName(temp.filePath("out")), err = QFile::encodeName(temp.filePath("err")),
                     in = QFile::encodeName(temp.filePath("in"));
    QFile f(temp.filePath("in"));
    f.open(QIODevice::WriteOnly);
    f.write(stdinBytes);
    f.close();
    const pid_t pid = fork();
    if (pid == 0) {
        const int i = ::open(stdinPath ? stdinPath : in.constData(), O_RDONLY), o = ::open(out.constData(), O_WRONLY | O_CREAT, 0600),
                  e = ::open(err.constData(), O_WRONLY | O_CREAT, 0600);
        dup2(i, 0);
        dup2(o, 1);
        dup2(e, 2);
        setenv("LC_ALL", locale, 1);
        unsetenv("LANG");
        ExecCli(args);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    QFile o(temp.filePath("out")), e(temp.filePath("err"));
    o.open(QIODevice::ReadOnly);
    e.open(QIODevice::ReadOnly);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, QString::fromUtf8(o.readAll()), QString::fromUtf8(e.readAll()), {}};
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
              QStringLiteral("506 km and 242 m\n266.58\n"));
    // An argument is one number: either separator reads it, the output keeps the locale's.
    EXPECT_EQ(RunCli("C", {"distance", "48,8531", "2,34912", "48.3781", "-4,49448"}).out,
              QStringLiteral("506 km and 242 m\n266.58\n"));
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
    EXPECT_EQ(meridian.err, QStringLiteral("orvalis-cli: no crossing can be computed: division by zero (a route along a meridian)\n"));
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
    EXPECT_EQ(lines[0], QStringLiteral("1\t48.39040\t-4.48610\tBrest\t0 m\t00000000\tN"));
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
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"convert", in, once}).out, QStringLiteral("3 POI\n"));
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"convert", once, twice}).out, QStringLiteral("3 POI\n"));
    EXPECT_FALSE(Read(once).isEmpty());
    EXPECT_EQ(Read(once), Read(twice));
    EXPECT_TRUE(Read(once).contains("Aebi Fr\xE8res"));
    const QString gpx = temp.filePath("out.gpx"), csv = temp.filePath("out.csv");
    EXPECT_EQ(RunCli("C", {"convert", in, gpx}).code, 0);
    EXPECT_TRUE(Read(gpx).contains("<name>Москва</name>"));
    EXPECT_EQ(RunCli("C", {"convert", in, csv}).code, 0);
    // The scripts' CSV: a header, UTF-8 without a mark.
    EXPECT_TRUE(Read(csv).startsWith("latitude,longitude,name\r\n"));
    EXPECT_TRUE(Read(csv).contains("Москва"));
    // The window's layout by name.
    EXPECT_EQ(RunCli("C", {"convert", in, csv, "--to", "window-csv"}).code, 0);
    EXPECT_TRUE(Read(csv).startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(Read(csv).contains("; "));
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
    // An output that cannot be written is a failure while working.
    EXPECT_EQ(RunCli("C", {"convert", in, temp.filePath("no/such/folder.ov2")}).code, 1);
    EXPECT_TRUE(RunCli("C", {"--help"}).out.contains("near IN OUT (--at LAT LON | --base N) --radius-km R"));
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
    const Result latin1 = RunCliRaw("C", {"convert", raw, QFile::encodeName(temp.filePath("out.gpx"))});
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
    QStringList lines = r.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.takeFirst(), QStringLiteral("latitude,longitude,name"));
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

TEST(Cli, MergeNeverWritesOverAnInput)
{
    QTemporaryDir temp;
    const QString radars = temp.filePath("radars.gpx"), mine = temp.filePath("mine.gpx");
    WriteFile(radars, "<gpx><wpt lat='48' lon='2'><name>Radar</name></wpt></gpx>");
    WriteFile(mine, "<gpx><wpt lat='47' lon='1'><name>A</name></wpt><wpt lat='46' lon='1'><name>B</name></wpt></gpx>");
    const QByteArray before = Read(mine);
    // The output left off: two names are not enough.
    Result r = RunCli("C", {"merge", radars, mine});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.isEmpty());
    // The output is an input under another name (a hard link, a longer path).
    ASSERT_EQ(::link(QFile::encodeName(mine).constData(), QFile::encodeName(temp.filePath("alias.gpx")).constData()), 0);
    for (const QString &out : {temp.filePath("alias.gpx"), temp.path() + "/./mine.gpx"}) {
        r = RunCli("C", {"merge", radars, mine, out});
        EXPECT_EQ(r.code, 2) << out.toStdString();
        EXPECT_TRUE(r.err.contains("one of the inputs")) << r.err.toStdString();
    }
    EXPECT_EQ(Read(mine), before);
    EXPECT_TRUE(RunCli("C", {"merge", "--help"}).out.contains("must not be one of the inputs"));
}

// An output that is an input would replace what is being read: every command
// that writes refuses it, whatever the name, before touching either.
TEST(Cli, EveryCommandRefusesAnOutputThatIsAnInput)
{
    QTemporaryDir temp;
    const QString route = temp.filePath("route.gpx"), pois = temp.filePath("pois.gpx"), alias = temp.filePath("alias.gpx");
    WriteFile(route, "<gpx><wpt lat='48' lon='2'><name>R1</name></wpt><wpt lat='48.5' lon='2.5'><name>R2</name></wpt></gpx>");
    WriteFile(pois, "<gpx><wpt lat='48.1' lon='2.1'><name>A</name></wpt><wpt lat='48.2' lon='2.2'><name>B</name></wpt></gpx>");
    ASSERT_EQ(::link(QFile::encodeName(pois).constData(), QFile::encodeName(alias).constData()), 0);
    const QByteArray routeBefore = Read(route), poisBefore = Read(pois);
    const QString other = temp.path() + "/./pois.gpx";
    const QList<QStringList> runs = {
        {"convert", pois, pois},
        {"convert", pois, alias, "--sort", "distance"},
        {"near", pois, other, "--at", "48", "2", "--radius-km", "1000"},
        {"near", pois, alias, "--base", "1", "--radius-km", "1000"},
        {"dedupe", pois, alias, "--within-m", "10"},
        {"along", route, pois, route, "--within-km", "1000"},
        {"along", route, pois, alias, "--within-km", "1000"},
        {"merge", route, pois, alias},
    };
    for (const QStringList &args : runs) {
        const Result r = RunCli("C", args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("is one of the inputs: " + args[0] + " writes to a file of its own")) << r.err.toStdString();
        EXPECT_EQ(Read(route), routeBefore) << args.join(' ').toStdString();
        EXPECT_EQ(Read(pois), poisBefore) << args.join(' ').toStdString();
    }
    // The standard output appended to the input would be read as it grows.
    QProcess sh;
    sh.start("sh", {"-c", QStringLiteral("LC_ALL=fr_FR.UTF-8 '%1' convert \"$1\" - --to gpx >> \"$1\"").arg(ORVALIS_CLI), "sh", pois});
    ASSERT_TRUE(sh.waitForFinished(60000));
    EXPECT_EQ(sh.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(sh.readAllStandardError()).contains(QStringLiteral("est l'une des entrées : convert écrit dans un fichier distinct")));
    EXPECT_EQ(Read(pois), poisBefore);
    // Another file under the same folder is written as usual.
    EXPECT_EQ(RunCli("C", {"convert", pois, temp.filePath("copy.gpx")}).code, 0);
}

TEST(Cli, FailedWritesNeverExitZero)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("small.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Paris"}, {"48.39040", "-4.48610", "Brest"}});
    // Long enough that the writing fails while the reading is still going on.
    const QString big = temp.filePath("big.gpx");
    {
        QByteArray gpx = "<gpx>";
        for (int i = 0; i < 100000; ++i)
            gpx += "<wpt lat=\"48." + QByteArray::number(i) + "\" lon=\"2.5\"><name>P" + QByteArray::number(i) + "</name></wpt>\n";
        WriteFile(big, gpx + "</gpx>");
    }
    const QList<QStringList> jobs = {{"convert", in, "-", "--to", "csv"},
                                     {"convert", big, "-", "--to", "gpx"},
                                     {"merge", big, big, "-", "--to", "kml"},
                                     {"table", in},
                                     {"table", in, "--json"},
                                     {"near", in, temp.filePath("n.gpx"), "--base", "1", "--radius-km", "900", "--json"},
                                     {"distance", "1", "2", "3", "4"},
                                     {"--help"}};
    for (const QStringList &args : jobs) {
        QProcess p;
        p.setStandardOutputFile("/dev/full");
        p.start(QStringLiteral(ORVALIS_CLI), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains("standard output")) << args.join(' ').toStdString();
    }
    // A link to a device: refused, the device left alone.
    ASSERT_TRUE(QFile::link("/dev/full", temp.filePath("out.gpx")));
    const Result r = RunCli("C", {"convert", in, temp.filePath("out.gpx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(Cli, FileNamesAreBytes)
{
    QTemporaryDir temp;
    const QByteArray folder = QFile::encodeName(temp.path());
    WriteOv2File(temp.filePath("a.ov2"), {{"1.00000", "1.00000", "from a"}});
    WriteOv2File(temp.filePath("b.ov2"), {{"2.00000", "2.00000", "from b"}});
    // é and è in Latin-1: two names that once collided as U+FFFD.
    const QByteArray e1 = folder + "/x\xe9.gpx", e2 = folder + "/x\xe8.gpx";
    EXPECT_EQ(RunCliRaw("C", {"convert", QFile::encodeName(temp.filePath("a.ov2")), e1}).code, 0);
    EXPECT_EQ(RunCliRaw("C", {"convert", QFile::encodeName(temp.filePath("b.ov2")), e2}).code, 0);
    EXPECT_TRUE(RunCliRaw("C", {"table", e1}).out.contains("from a"));
    EXPECT_TRUE(RunCliRaw("C", {"table", e2}).out.contains("from b"));
    // Every byte but '/' in a name round-trips.
    for (int b = 1; b < 256; ++b) {
        if (b == '/' || b == '.')
            continue;
        const QByteArray name = folder + "/n" + QByteArray(1, char(b)) + ".csv";
        ASSERT_EQ(RunCliRaw("C", {"convert", QFile::encodeName(temp.filePath("a.ov2")), name}).code, 0) << b;
        struct stat st {};
        EXPECT_EQ(stat(name.constData(), &st), 0) << b;
        ::unlink(name.constData());  // names the folder's removal cannot spell
    }
    ::unlink(e1.constData());
    ::unlink(e2.constData());
}

TEST(Cli, WhatTheCliWritesReadsBackUnchanged)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    WriteFile(in, "<gpx><wpt lat='48.5' lon='2.5'><name>CAFÉ–BAR</name></wpt><wpt lat='47' lon='1'><name>HÔTEL•</name></wpt></gpx>");
    for (const char *format : {"csv", "ov2", "gpx", "kml", "geojson"}) {
        const QString out = temp.filePath(QStringLiteral("out.") + format);
        ASSERT_EQ(RunCli("C", {"convert", in, out}).code, 0) << format;
        const Result back = RunCli("C", {"table", out});
        EXPECT_TRUE(back.out.contains(QStringLiteral("CAFÉ–BAR"))) << format << back.out.toStdString();
        EXPECT_TRUE(back.out.contains(QStringLiteral("HÔTEL•"))) << format;
    }
}

TEST(Cli, Gpx11WritesEveryPoiItCounts)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2"), out = temp.filePath("out.gpx");
    WriteOv2File(in, {{"10.00000", "180.00000", "date line"}, {"-10.00000", "-180.00000", "west"}, {"0.00000", "0.00000", "zero"}});
    Result r = RunCli("C", {"convert", in, out, "--gpx11"});
    EXPECT_EQ(r.out, QStringLiteral("3 POIs\n"));
    const QByteArray gpx = Read(out);
    EXPECT_EQ(gpx.count("<wpt "), 3);
    EXPECT_FALSE(gpx.contains("lon=\"180"));
    // Exponents are written as plain decimals.
    WriteFile(temp.filePath("e.csv"), "lat,lon,name\n25e-1,1.5E1,exp\n");
    r = RunCli("C", {"convert", temp.filePath("e.csv"), out, "--gpx11"});
    EXPECT_EQ(r.out, QStringLiteral("1 POIs\n")) << r.err.toStdString();
    EXPECT_TRUE(Read(out).contains("lat=\"2.5\" lon=\"15\"")) << Read(out).toStdString();
}

namespace {

// A random world: poles, the antimeridian, everywhere in between.
QList<QStringList> RandomWorld(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QList<QStringList> rows;
    for (int i = 0; i < n; ++i) {
        const double lat = rng.bounded(10) == 0 ? (rng.bounded(2) ? 89.99 : -89.99) : -90 + rng.generateDouble() * 180;
        const double lon = rng.bounded(10) == 0 ? (rng.bounded(2) ? 179.99 : -179.99) : -180 + rng.generateDouble() * 360;
        rows << QStringList{QString::number(lat, 'f', 5), QString::number(lon, 'f', 5), QStringLiteral("P%1").arg(i)};
    }
    return rows;
}

}  // namespace

TEST(Cli, NearAgreesWithEveryDistanceUpToTheAntipode)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("world.ov2");
    const QList<QStringList> world = RandomWorld(1500, 25);
    WriteOv2File(in, world);
    const QJsonArray all = QJsonDocument::fromJson(RunCli("C", {"table", in, "--base", "2", "--json"}).out.toUtf8()).array();
    ASSERT_EQ(all.size(), world.size());
    const float la = float(all[0].toObject().value("latitude").toDouble()), lo = float(all[0].toObject().value("longitude").toDouble());
    for (const double km : {0.0, 100.0, 2000.0, 3000.0, 10000.0, 12500.0, 19999.0, 20100.0}) {
        int expected = 0;
        for (const QJsonValue &v : all) {
            const QJsonObject o = v.toObject();
            expected += SphericalDistance(la, lo, float(o.value("latitude").toDouble()), float(o.value("longitude").toDouble())) <= km * 1000;
        }
        const Result r = RunCli("C", {"near", in, temp.filePath("n.ov2"), "--base", "2", "--radius-km", QString::number(km)});
        EXPECT_EQ(r.out, QStringLiteral("%1 POIs\n").arg(expected)) << km;
    }
}

TEST(Cli, AlongTakesEachTrackApartAndARouteFromStandardInput)
{
    QTemporaryDir temp;
    const QByteArray route = "<gpx><trk><trkseg><trkpt lat='45' lon='0'/><trkpt lat='45' lon='1'/></trkseg></trk>"
                             "<trk><trkseg><trkpt lat='45' lon='3'/><trkpt lat='45' lon='4'/></trkseg></trk></gpx>";
    WriteOv2File(temp.filePath("pois.ov2"), {{"45.00000", "2.00000", "gap"}, {"45.00100", "0.50000", "first"}, {"45.00100", "3.50000", "second"}});
    const Result r = RunCliRaw("C", {"along", "-", QFile::encodeName(temp.filePath("pois.ov2")), "-", "--within-km", "1",
                                     "--route-from", "gpx", "--to", "csv"}, route);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("2 POIs\n"));
    EXPECT_FALSE(r.out.contains("gap"));
    EXPECT_LT(r.out.indexOf("first"), r.out.indexOf("second"));
    EXPECT_EQ(RunCliRaw("C", {"along", "-", QFile::encodeName(temp.filePath("pois.ov2")), QFile::encodeName(temp.filePath("o.gpx")),
                              "--within-km", "1", "--from", "gpx"}, route).code, 2);  // pois.ov2 read as GPX: refused
}

TEST(Cli, NumbersAndRecordsThatAreNoCoordinatesStop)
{
    QTemporaryDir temp;
    for (const QStringList &args : {QStringList{"distance", "95", "0", "0", "0"}, QStringList{"distance", "1e3", "0", "0", "0"},
                                    QStringList{"distance", "0", "181", "0", "0"}, QStringList{"destination", "-91", "0", "0", "0"}}) {
        const Result r = RunCli("C", args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"48.85661", "2.35222", "Paris"}});
    EXPECT_EQ(RunCli("C", {"near", in, temp.filePath("n.ov2"), "--base", "1", "--radius-km", "-5"}).code, 2);
    // Random bytes and text named .ov2.
    QByteArray noise(4096, '\0');
    QRandomGenerator rng(3);
    for (char &c : noise)
        c = char(rng.bounded(256));
    WriteFile(temp.filePath("noise.ov2"), noise);
    WriteFile(temp.filePath("text.ov2"), "hello, this is a text file\n");
    for (const char *name : {"noise.ov2", "text.ov2"}) {
        const Result r = RunCli("C", {"table", temp.filePath(name)});
        EXPECT_EQ(r.code, 2) << name;
        EXPECT_TRUE(r.out.isEmpty()) << name;
        EXPECT_TRUE(r.err.contains(name)) << r.err.toStdString();
    }
    // A grid-coordinate CSV, and a record out of range.
    WriteFile(temp.filePath("swiss.csv"), "No,Swiss-East,Swiss-North,Name\n1,2600000,1200000,Bern\n");
    Result r = RunCli("C", {"convert", temp.filePath("swiss.csv"), temp.filePath("s.gpx")});
    EXPECT_EQ(r.code, 2);
    EXPECT_FALSE(QFile::exists(temp.filePath("s.gpx")));
    WriteFile(temp.filePath("far.csv"), "lat,lon,name\n48,2,ok\n559178,7,grid\n");
    r = RunCli("C", {"convert", temp.filePath("far.csv"), temp.filePath("f.gpx")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("record 2")) << r.err.toStdString();
    r = RunCli("C", {"convert", temp.filePath("far.csv"), temp.filePath("f.gpx"), "--skip-invalid"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("1 POIs\n"));
    EXPECT_TRUE(r.err.contains("1 invalid records left out")) << r.err.toStdString();
    EXPECT_TRUE(RunCli("C", {"--help"}).out.contains("[-90, 90]"));
}

TEST(Cli, AnswersScriptsCanUse)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.ov2");
    WriteOv2File(in, {{"48.85310", "2.34912", "Paris"}, {"48.37810", "-4.49448", "Brest"}});
    // JSON numbers with '.', whatever the locale, and the distance in metres.
    const QJsonArray rows = QJsonDocument::fromJson(RunCli("fr_FR.UTF-8", {"table", in, "--base", "2", "--json"}).out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].toObject().value("latitude").isDouble());
    EXPECT_DOUBLE_EQ(rows[0].toObject().value("latitude").toDouble(), 48.8531);
    EXPECT_EQ(rows[1].toObject().value("metres").toInt(), 506242);
    // near to '-' with --json: the JSON alone.
    const Result near = RunCli("fr_FR.UTF-8", {"near", in, "-", "--base", "1", "--radius-km", "600", "--json"});
    EXPECT_EQ(near.code, 0);
    EXPECT_EQ(QJsonDocument::fromJson(near.out.toUtf8()).array().size(), 2) << near.out.toStdString();
    // One language per run.
    const Result fr = RunCli("fr_FR.UTF-8", {"distance", "x", "0", "0", "0"});
    EXPECT_TRUE(fr.err.contains("n'est pas un nombre")) << fr.err.toStdString();
    const Result en = RunCli("C", {"crossing", "0", "5", "1", "5", "0", "1", "1", "2"});
    EXPECT_FALSE(en.err.contains("virgule")) << en.err.toStdString();
    EXPECT_TRUE(RunCli("fr_FR.UTF-8", {"--help"}).out.contains("Codes de sortie"));
    EXPECT_TRUE(RunCli("C", {"--help"}).out.contains("Exit codes: 0"));
    // An empty file prints nothing; a GPX of tracks alone says why it gives no POI.
    WriteFile(temp.filePath("empty.ov2"), "");
    Result r = RunCli("C", {"table", temp.filePath("empty.ov2")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QString());
    WriteFile(temp.filePath("track.gpx"), "<gpx><trk><trkseg><trkpt lat='1' lon='2'/></trkseg></trk></gpx>");
    r = RunCli("C", {"table", temp.filePath("track.gpx")});
    EXPECT_EQ(r.out, QString());
    EXPECT_TRUE(r.err.contains("no waypoints")) << r.err.toStdString();
}

TEST(Cli, ConvertKeepsFileOrderUnlessAskedToSort)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    WriteFile(in, "<gpx><wpt lat='3' lon='3'><name>Zoo</name></wpt><wpt lat='1' lon='1'><name>Aire</name></wpt>"
                  "<wpt lat='2' lon='2'><name>Mairie</name></wpt></gpx>");
    auto order = [&](const QStringList &extra) {
        const QString out = temp.filePath("out.csv");
        EXPECT_EQ(RunCli("C", QStringList{"convert", in, out} + extra).code, 0);
        QStringList names;
        for (const QString &line : QString::fromUtf8(Read(out)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            names << line.section(u',', 2, 2).section(QStringLiteral(" - "), 0, 0);
        names.removeFirst();  // the header
        return names;
    };
    EXPECT_EQ(order({}), (QStringList{"Zoo", "Aire", "Mairie"}));
    EXPECT_EQ(order({"--sort", "name"}), (QStringList{"Aire", "Mairie", "Zoo"}));
    EXPECT_EQ(RunCli("C", {"convert", in, temp.filePath("x.csv"), "--sort", "size"}).code, 2);
}

TEST(Cli, CsvAsScriptsExpectIt)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx"), out = temp.filePath("out.csv");
    WriteFile(in, "<gpx><wpt lat='48.8566' lon='2.3522'><name>Paris, \"centre\"</name></wpt>"
                  "<wpt lat='-33.8688' lon='151.2093'><name>Sydney</name></wpt></gpx>");
    ASSERT_EQ(RunCli("C", {"convert", in, out}).code, 0);
    EXPECT_EQ(Read(out), QByteArray("latitude,longitude,name\r\n48.8566,2.3522,\"Paris, \"\"centre\"\"\"\r\n"
                                    "-33.8688,151.2093,Sydney\r\n"));
    // It reads back as it was.
    const Result back = RunCli("C", {"table", out});
    EXPECT_TRUE(back.out.contains("Paris, \"centre\"")) << back.out.toStdString();
    // Headerless files: a second column beyond 90 can only be a longitude.
    WriteFile(temp.filePath("latlon.csv"), "48.85,2.35,Paris\n-33.87,151.21,Sydney\n");
    EXPECT_TRUE(RunCli("C", {"table", temp.filePath("latlon.csv")}).out.contains("-33.87\t151.21\tSydney"));
    WriteFile(temp.filePath("lonlat.csv"), "2.35,48.85,Paris\n");
    EXPECT_TRUE(RunCli("C", {"table", temp.filePath("lonlat.csv")}).out.contains("48.85\t2.35\tParis"));
    // Degrees and minutes, with hemisphere letters.
    WriteFile(temp.filePath("dm.csv"), "lat,lon,name\nN48 51.123,E2 21.132,a\n\"48\u00B051'07\"\"N\",\"2\u00B020'30\"\"W\",b\n");
    const Result dm = RunCli("C", {"table", temp.filePath("dm.csv"), "--json"});
    const QJsonArray rows = QJsonDocument::fromJson(dm.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 2) << dm.err.toStdString();
    double lats[2], lons[2];
    for (int i = 0; i < 2; ++i) {
        const QJsonObject o = rows[i].toObject();
        const int k = o.value("description").toString() == "a" ? 0 : 1;
        lats[k] = o.value("latitude").toDouble();
        lons[k] = o.value("longitude").toDouble();
    }
    EXPECT_NEAR(lats[0], 48 + 51.123 / 60, 1e-5);
    EXPECT_NEAR(lons[0], 2 + 21.132 / 60, 1e-5);
    EXPECT_NEAR(lats[1], 48 + 51.0 / 60 + 7.0 / 3600, 1e-5);
    EXPECT_NEAR(lons[1], -(2 + 20.0 / 60 + 30.0 / 3600), 1e-5);
}

TEST(Cli, GpxAndOv2ConvertWithoutLoss)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    WriteFile(in, "<gpx><wpt lat='-79.1234567' lon='179.9876543'><ele>12.5</ele><time>2024-01-02T03:04:05Z</time>"
                  "<name>Brest</name><sym>Flag</sym></wpt><wpt lat='1' lon='2'><name>Zoo</name><desc>d</desc></wpt></gpx>");
    const QString once = temp.filePath("once.gpx"), twice = temp.filePath("twice.gpx");
    ASSERT_EQ(RunCli("C", {"convert", in, once}).code, 0);
    ASSERT_EQ(RunCli("C", {"convert", once, twice}).code, 0);
    const QByteArray a = Read(once);
    EXPECT_EQ(a, Read(twice));  // byte-stable
    EXPECT_TRUE(a.contains("lat=\"-79.1234567\" lon=\"179.9876543\""));
    EXPECT_TRUE(a.contains("<ele>12.5</ele>") && a.contains("<time>2024-01-02T03:04:05Z</time>") && a.contains("<sym>Flag</sym>"));
    EXPECT_TRUE(a.contains("<name>Brest</name>"));  // no " - " added, ever
    EXPECT_LT(a.indexOf("Brest"), a.indexOf("Zoo"));  // file order
    // OV2 integers a float cannot hold come back exactly, through GPX too.
    const QString ov2 = temp.filePath("in.ov2");
    WriteOv2File(ov2, {{"16.52091", "179.99999", "a"}});
    QByteArray raw = Read(ov2);
    ASSERT_TRUE(WriteFile(temp.filePath("exact.ov2"), raw));
    ASSERT_EQ(RunCli("C", {"convert", temp.filePath("exact.ov2"), temp.filePath("exact.gpx")}).code, 0);
    EXPECT_TRUE(Read(temp.filePath("exact.gpx")).contains("lon=\"179.99999\"")) << Read(temp.filePath("exact.gpx")).toStdString();
    ASSERT_EQ(RunCli("C", {"convert", temp.filePath("exact.gpx"), temp.filePath("back.ov2")}).code, 0);
    EXPECT_EQ(Read(temp.filePath("back.ov2")), raw);
    // merge and dedupe keep every field too.
    const Result merged = RunCli("C", {"merge", in, temp.filePath("exact.ov2"), temp.filePath("all.gpx")});
    EXPECT_EQ(merged.out, QStringLiteral("3 POIs\n")) << merged.err.toStdString();
    EXPECT_TRUE(Read(temp.filePath("all.gpx")).contains("<ele>12.5</ele>"));
    const Result deduped = RunCli("C", {"dedupe", temp.filePath("all.gpx"), temp.filePath("d.gpx"), "--within-m", "5"});
    EXPECT_EQ(deduped.out, QStringLiteral("0 duplicates removed, 3 POIs\n"));
    EXPECT_TRUE(Read(temp.filePath("d.gpx")).contains("<time>2024-01-02T03:04:05Z</time>"));
}

TEST(Cli, EveryFormatKeepsWhatItCanHold)
{
    // A rich GPX through each format and back to GPX: what the format holds comes back.
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    WriteFile(in, "<gpx><wpt lat='-79.1234567' lon='179.9876543'><ele>12.5</ele><time>2024-01-02T03:04:05Z</time>"
                  "<name>Brest, \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xF0\x9F\x9A\x97</name><cmt>c</cmt>"
                  "<desc>d &amp; e</desc><sym>Flag</sym><type>user</type></wpt></gpx>");
    for (const char *format : {"csv", "geojson", "kml"}) {
        const QString mid = temp.filePath(QStringLiteral("mid.") + format), back = temp.filePath(QStringLiteral("back.gpx"));
        ASSERT_EQ(RunCli("C", {"convert", in, mid}).code, 0) << format;
        const Result r = RunCli("C", {"convert", mid, back});
        ASSERT_EQ(r.code, 0) << format << r.err.toStdString();
        const QByteArray gpx = Read(back);
        EXPECT_TRUE(gpx.contains("lat=\"-79.1234567\" lon=\"179.9876543\"")) << format << gpx.toStdString();
        for (const char *field : {"<ele>12.5</ele>", "<time>2024-01-02T03:04:05Z</time>", "<cmt>c</cmt>", "<desc>d &amp; e</desc>",
                                  "<sym>Flag</sym>", "<type>user</type>"})
            EXPECT_TRUE(gpx.contains(field)) << format << " lost " << field;
        EXPECT_TRUE(gpx.contains("<name>Brest, \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xF0\x9F\x9A\x97</name>")) << format;
        // Same format to same format: byte-stable.
        const QString again = temp.filePath(QStringLiteral("again.") + format);
        ASSERT_EQ(RunCli("C", {"convert", mid, again}).code, 0);
        const QString third = temp.filePath(QStringLiteral("third.") + format);
        ASSERT_EQ(RunCli("C", {"convert", again, third}).code, 0);
        EXPECT_EQ(Read(again), Read(third)) << format;
    }
    // Properties other formats do not name travel between GeoJSON, KML and CSV.
    WriteFile(temp.filePath("p.geojson"), R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2.5,48.5]},"properties":{"name":"a","height":12,"kind":"tower"}}]})");
    ASSERT_EQ(RunCli("C", {"convert", temp.filePath("p.geojson"), temp.filePath("p.csv")}).code, 0);
    EXPECT_EQ(Read(temp.filePath("p.csv")), QByteArray("latitude,longitude,name,height,kind\r\n48.5,2.5,a,12,tower\r\n"));
    ASSERT_EQ(RunCli("C", {"convert", temp.filePath("p.geojson"), temp.filePath("p.kml")}).code, 0);
    EXPECT_TRUE(Read(temp.filePath("p.kml")).contains("<Data name=\"kind\"><value>tower</value></Data>"));
}

TEST(Cli, StreamedConversionsReplaceTheOutputOnlyWhenComplete)
{
    QTemporaryDir temp;
    const QString out = temp.filePath("out.kml");
    ASSERT_TRUE(WriteFile(out, "old"));
    // A record out of range at the end: written records never reach the old file.
    QByteArray gpx = "<gpx>";
    for (int i = 0; i < 20000; ++i)
        gpx += "<wpt lat='45.5' lon='" + QByteArray::number(i % 180) + "'><name>P" + QByteArray::number(i) + "</name></wpt>";
    ASSERT_TRUE(WriteFile(temp.filePath("bad.gpx"), gpx + "<wpt lat='95' lon='1'/></gpx>"));
    const Result bad = RunCli("C", {"convert", temp.filePath("bad.gpx"), out});
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.err.contains("record 20001")) << bad.err.toStdString();
    EXPECT_EQ(Read(out), QByteArray("old"));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary file left
    // The same file whole, to a file and to standard output.
    ASSERT_TRUE(WriteFile(temp.filePath("good.gpx"), gpx + "</gpx>"));
    EXPECT_EQ(RunCli("C", {"convert", temp.filePath("good.gpx"), out}).out, QStringLiteral("20000 POIs\n"));
    EXPECT_EQ(Read(out).count("<Placemark>"), 20000);
    const Result piped = RunCli("C", {"convert", temp.filePath("good.gpx"), "-", "--to", "geojson"});
    EXPECT_EQ(QJsonDocument::fromJson(piped.out.toUtf8()).object().value("features").toArray().size(), 20000);
    EXPECT_EQ(piped.err, QStringLiteral("20000 POIs\n"));
    // OV2 out: its first record, written last, encloses the others with their bounds; the same bytes
    // to a file and to standard output, and an OV2 read and written again is the same file.
    const QString ov2 = temp.filePath("good.ov2");
    ASSERT_EQ(RunCli("C", {"convert", temp.filePath("good.gpx"), ov2}).code, 0);
    QProcess p;
    p.start(QStringLiteral(ORVALIS_CLI), {"convert", temp.filePath("good.gpx"), "-", "--to", "ov2"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput(), Read(ov2));
    PoiTable t;
    EXPECT_EQ(ReadOv2(Read(ov2), t, u'.').counter, 20000);
    EXPECT_FALSE(ReadOv2(Read(ov2), t, u'.').truncated);
    ASSERT_EQ(RunCli("C", {"convert", ov2, temp.filePath("again.ov2")}).code, 0);
    EXPECT_EQ(Read(temp.filePath("again.ov2")), Read(ov2));
}

TEST(Cli, NearAPointStreamsEveryFieldNearestFirst)
{
    // A random world (a tenth at the poles, a tenth at the antimeridian) as GPX with
    // elevations and symbols, from standard input; some POIs share a place.
    const QList<QStringList> world = RandomWorld(1200, 31);
    QByteArray gpx = "<gpx xmlns:x=\"urn:x\">";
    for (qsizetype i = 0; i < world.size(); ++i) {
        const QStringList &w = i % 7 == 3 ? world[i - 1] : world[i];
        gpx += "<wpt lat=\"" + w[0].toLatin1() + "\" lon=\"" + w[1].toLatin1() + "\"><ele>" + QByteArray::number(i) +
               "</ele><name>P" + QByteArray::number(i) + "</name><sym>S</sym><extensions><x:n>" + QByteArray::number(i) +
               "</x:n></extensions></wpt>";
    }
    gpx += "</gpx>";
    const float la = 89.99f, lo = -179.99f;
    QTemporaryDir temp;
    for (const double km : {0.0, 500.0, 5000.0, 15000.0, 20100.0}) {
        // The oracle: every POI within the radius, by distance, equal distances in file order.
        std::vector<std::pair<int32_t, int>> expected;
        for (qsizetype i = 0; i < world.size(); ++i) {
            const QStringList &w = i % 7 == 3 ? world[i - 1] : world[i];
            const int32_t d = SphericalDistance(la, lo, w[0].toFloat(), w[1].toFloat());
            if (d <= km * 1000)
                expected.push_back({d, int(i)});
        }
        std::stable_sort(expected.begin(), expected.end(), [](auto a, auto b) { return a.first < b.first; });
        const QByteArray out = QFile::encodeName(temp.filePath("near.gpx"));
        const Result r = RunCliRaw("C", {"near", "-", out, "--from", "gpx", "--at", "89.99", "-179.99", "--radius-km", QByteArray::number(km)}, gpx);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("%1 POIs\n").arg(expected.size()));
        const PoiRecords got = ReadRecords(Codec("gpx"), Read(temp.filePath("near.gpx")));
        ASSERT_EQ(got.records.size(), expected.size()) << km;
        for (size_t k = 0; k < expected.size(); ++k) {
            const PoiRecord &p = got.records[k];
            EXPECT_EQ(p.name, QStringLiteral("P%1").arg(expected[k].second)) << km << " at " << k;
            EXPECT_EQ(p.ele, QString::number(expected[k].second));
            EXPECT_EQ(p.sym, QStringLiteral("S"));
            EXPECT_EQ(p.extensionsXml, "<x:n>" + QByteArray::number(expected[k].second) + "</x:n>");
        }
        EXPECT_EQ(got.namespaces, (std::vector<std::pair<QByteArray, QByteArray>>{{"x", "urn:x"}}));
    }
    // JSON alone, and the point checked like any coordinate.
    const Result json = RunCliRaw("C", {"near", "-", "-", "--from", "gpx", "--at", "89.99", "-179.99", "--radius-km", "500", "--json"}, gpx);
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows[0].toObject().value("metres").toInt(), 0);
    EXPECT_EQ(rows[0].toObject().value("description").toString().left(1), QStringLiteral("P"));
    EXPECT_EQ(RunCli("C", {"near", "x.gpx", "y.gpx", "--at", "91", "0", "--radius-km", "1"}).code, 2);
    EXPECT_EQ(RunCli("C", {"near", "x.gpx", "y.gpx", "--at", "1", "--radius-km", "1"}).code, 2);
}

TEST(Cli, EndlessInputRunsInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory is not the program's";
#endif
    // 70 MB and more of waypoints and of CSV lines through standard input: memory stays that of a few records.
    QTemporaryDir temp;
    auto peakOf = [&](const QList<QByteArray> &args, const QByteArray &head, const QByteArray &unit, qint64 bytes) {
        const QString input = temp.filePath("input");
        EXPECT_TRUE(WriteRepeated(input, head, unit, bytes));
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = ::open(QFile::encodeName(input).constData(), O_RDONLY), devnull = ::open("/dev/null", O_WRONLY);
            dup2(in, 0);
            dup2(devnull, 1);
            ExecCli(args);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return qint64(usage.ru_maxrss) * 1024;
    };
    const QByteArray out = QFile::encodeName(temp.filePath("out.gpx"));
    EXPECT_LT(peakOf({"convert", "-", out, "--from", "gpx"}, "<gpx>", "<wpt lat=\"48.5\" lon=\"2.5\"><name>Gare</name></wpt>\n", 100 << 20),
              64 << 20);
    EXPECT_LT(peakOf({"convert", "-", "-", "--from", "csv", "--to", "gpx"}, {}, "48.5,2.5,Caf\xC3\xA9 de la gare\n", 70 << 20), 64 << 20);
    EXPECT_LT(peakOf({"convert", "-", "-", "--from", "csv", "--to", "ov2"}, {}, "-33.9,151.2,Sydney,\"a \"\"quoted\"\" note\"\n", 70 << 20),
              64 << 20);
}

TEST(Cli, StreamedInputThatIsNoneOfItsFormatOrFailsStops)
{
    QTemporaryDir temp;
    const QByteArray out = QFile::encodeName(temp.filePath("out.gpx"));
    // Bytes that hold no OV2 record, from a file and from a pipe: no file of 0 POIs.
    const QString text = temp.filePath("text.ov2");
    WriteFile(text, "hello, these are no POIs at all\n");
    const Result file = RunCli("C", {"convert", text, temp.filePath("out.gpx")});
    EXPECT_EQ(file.code, 2);
    EXPECT_EQ(file.err, QStringLiteral("orvalis-cli: %1: not an OV2 file\n").arg(text));
    const Result piped = RunCliRaw("C", {"convert", "-", out, "--from", "ov2"}, "hello, these are no POIs at all\n");
    EXPECT_EQ(piped.code, 2);
    EXPECT_EQ(piped.err, QStringLiteral("orvalis-cli: -: not an OV2 file\n"));
    const Result french = RunCliRaw("fr_FR.UTF-8", {"convert", "-", out, "--from", "ov2"}, "hello");
    EXPECT_EQ(french.err, QStringLiteral("orvalis-cli: - : ce n'est pas un fichier OV2\n"));
    // An input that cannot be read (a folder as the standard input) is a failure while working, not an end.
    const QByteArray folder = QFile::encodeName(temp.path());
    for (const char *format : {"ov2", "gpx", "csv"}) {
        const Result failed = RunCliRaw("C", {"convert", "-", out, "--from", format}, {}, folder.constData());
        EXPECT_EQ(failed.code, 1) << format;
        EXPECT_EQ(failed.err, QStringLiteral("orvalis-cli: -: reading failed\n")) << format;
    }
    EXPECT_FALSE(QFile::exists(temp.filePath("out.gpx")));
}

TEST(Cli, ThePolesAndTheAntimeridianAreCoordinates)
{
    // The bounds of the range are in it, for arguments and for records.
    EXPECT_EQ(RunCli("C", {"distance", "-90", "-180", "90", "180"}).out, QStringLiteral("20037 km and 511 m\n180.00\n"));
    EXPECT_EQ(RunCli("C", {"destination", "-90", "0", "0", "1000"}).code, 0);
    for (const char *lat : {"-90.0001", "90.0001"})
        EXPECT_EQ(RunCli("C", {"distance", lat, "0", "0", "0"}).code, 2) << lat;
    QTemporaryDir temp;
    const QString poles = temp.filePath("poles.csv");
    WriteFile(poles, "lat,lon,name\n-90,-180,South\n90,180,North\n");
    const Result near = RunCli("C", {"near", poles, temp.filePath("near.csv"), "--at", "-90", "0", "--radius-km", "1"});
    EXPECT_EQ(near.code, 0) << near.err.toStdString();
    EXPECT_EQ(near.out, QStringLiteral("1 POIs\n"));
    EXPECT_EQ(Read(temp.filePath("near.csv")), QByteArray("latitude,longitude,name\r\n-90,-180,South\r\n"));
}

TEST(Cli, NearAPointInEveryFormatWritesOnlyWhatIsNear)
{
    // The same three POIs in every format: one within the radius, two far away.
    QTemporaryDir temp;
    const QString csv = temp.filePath("pois.csv");
    WriteFile(csv, "lat,lon,name\n-33.86882,151.2093,Sydney\n48.85661,2.35222,Paris\n64.1355,-21.8954,Reykjavik\n");
    for (const char *format : {"ov2", "gpx", "csv", "geojson", "kml"}) {
        const QString in = temp.filePath(QStringLiteral("pois.%1").arg(QLatin1String(format)));
        if (QByteArray(format) != "csv") {
            ASSERT_EQ(RunCli("C", {"convert", csv, in}).code, 0) << format;
        }
        const Result r = RunCli("C", {"near", in, "-", "--to", "csv", "--at", "48.8", "2.3", "--radius-km", "100"});
        EXPECT_EQ(r.code, 0) << format << r.err.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("1 POIs\n")) << format;
        EXPECT_TRUE(r.out.contains(QStringLiteral(",Paris\r\n"))) << format << r.out.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("Sydney"))) << format;
        EXPECT_FALSE(r.out.contains(QStringLiteral("Reykjavik"))) << format;
    }
}
