// What orvalis-cli writes as GPX passes the published GPX schemas, checked
// with xmllint: files of other programs, the formats between, crafted cases.
#include "support/poi_files.h"
#include "support/real_world.h"
#include "support/run_cli.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis::testing;

namespace {

QString Schema(const char *name)
{
    return QStringLiteral(ORVALIS_SHARED_DATA "/../schemas/") + QLatin1String(name);
}

// xmllint's verdict on a file: empty when it is valid.
QString SchemaErrors(const QString &file, const char *schema)
{
    QProcess p;
    p.start(QStringLiteral("xmllint"), {"--noout", "--schema", Schema(schema), file});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError()).left(2000);
}

}  // namespace

#define REQUIRE_XMLLINT()                                                                       \
    if (QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty())                    \
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";              \
    if (!QFile::exists(Schema("gpx11.xsd")) || !QFile::exists(Schema("gpx10.xsd")))             \
    GTEST_SKIP() << "../shared/schemas is missing: the GPX schemas are not in the repository"

// GPX of other programs (1.0 with <url> and a pocket query's elements, 1.1 with
// extensions, children out of order), straight and through every flat format.
TEST(GpxSchema, EveryGpxWrittenFromTheCorpusValidates)
{
    REQUIRE_XMLLINT();
    REQUIRE_REAL_WORLD_FILES();
    QTemporaryDir temp;
    const QStringList corpus = GpxCorpus();
    ASSERT_GE(corpus.size(), 9);
    for (const QString &in : corpus) {
        const QString base = temp.filePath(QFileInfo(in).completeBaseName());
        for (const QStringList &extra : {QStringList{"--gpx11"}, QStringList{}}) {
            const Result r = RunCli("C", QStringList{"convert", in, base + ".gpx"} + extra);
            ASSERT_EQ(r.code, 0) << in.toStdString() << r.err.toStdString();
            EXPECT_EQ(SchemaErrors(base + ".gpx", "gpx11.xsd"), QString()) << in.toStdString() << ' ' << extra.join(' ').toStdString();
        }
        for (const char *flat : {"csv", "geojson", "kml", "kmz"}) {
            const QString mid = base + '.' + flat, back = base + '.' + flat + ".gpx";
            ASSERT_EQ(RunCli("C", {"convert", in, mid}).code, 0) << in.toStdString() << flat;
            const Result r = RunCli("C", {"convert", mid, back, "--gpx11"});
            ASSERT_EQ(r.code, 0) << in.toStdString() << flat << r.err.toStdString();
            EXPECT_EQ(SchemaErrors(back, "gpx11.xsd"), QString()) << in.toStdString() << " through " << flat;
        }
        // The window's layout, which the table commands write: GPX 1.0 with its namespace.
        ASSERT_EQ(RunCli("C", {"convert", in, base + ".sorted.gpx", "--sort", "distance"}).code, 0);
        EXPECT_EQ(SchemaErrors(base + ".sorted.gpx", "gpx10.xsd"), QString()) << in.toStdString();
    }
}

// What the flat formats hold that GPX types strictly (an elevation "12 m", a
// time "yesterday", a fix "yes") and whatever else they hold: a valid file
// that keeps every value.
TEST(GpxSchema, FieldsOfOtherFormatsStayValid)
{
    REQUIRE_XMLLINT();
    QTemporaryDir temp;
    const QString csv = temp.filePath("odd.csv"), gpx = temp.filePath("odd.gpx"), back = temp.filePath("back.csv");
    WriteFile(csv, "latitude,longitude,name,elevation,time,fix,sat,magvar,dgpsid,link1_href,gpx_extensions,speed,\xC3\xA9tat\r\n"
                   "48.5,2.5,A <&> \"B\",12 m,yesterday,yes,many,400,2000,http://example.org/a b,<b>not xml,fast,ok\r\n"
                   "48.6,180,\x01" "ctl,1e2,2020-02-30T00:00:00Z,3d,8,359.5,1023,,,,\r\n");
    ASSERT_EQ(RunCli("C", {"convert", csv, gpx, "--gpx11"}).code, 0);
    EXPECT_EQ(SchemaErrors(gpx, "gpx11.xsd"), QString()) << FileContents(gpx).toStdString();
    const Result r = RunCli("C", {"convert", gpx, back});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray written = FileContents(back);
    for (const char *value : {"12 m", "yesterday", ",yes,", "many", ",400,", "2000", "http://example.org/a b", "<b>not xml", "fast", ",ok",
                              "2020-02-30T00:00:00Z", ",3d,", "359.5", "1023"})
        EXPECT_TRUE(written.contains(value)) << value << '\n' << written.toStdString();
    // Without --gpx11 only a longitude of 180 stays as written, out of the schema's range.
    const QString plain = temp.filePath("plain.gpx");
    ASSERT_EQ(RunCli("C", {"convert", csv, plain}).code, 0);
    const QString errors = SchemaErrors(plain, "gpx11.xsd");
    EXPECT_TRUE(errors.contains("'180'")) << errors.toStdString();
    EXPECT_EQ(errors.count("fails to validate") + errors.count("is not valid"), 1) << errors.toStdString();
}

// GPX 1.0's link and foreign elements, and children out of the schema's order.
TEST(GpxSchema, Gpx10LinksAndForeignElementsGoWhereGpx11WantsThem)
{
    QTemporaryDir temp;
    const QString out = temp.filePath("out.gpx");
    ASSERT_EQ(RunCli("C", {"convert", ORVALIS_TEST_DATA "/fields/gpx10_links_and_others.gpx", out, "--gpx11"}).code, 0);
    const QByteArray gpx = FileContents(out);
    EXPECT_TRUE(gpx.contains("<link href=\"http://www.geocaching.com/seek/cache_details.aspx?wp=GC7FA4\"><text>Cache by someone</text></link>"))
        << gpx.toStdString();
    EXPECT_FALSE(gpx.contains("<url>"));
    EXPECT_FALSE(gpx.contains("<urlname>"));
    EXPECT_TRUE(gpx.contains("<extensions><course xmlns=\"http://www.topografix.com/GPX/1/0\">12.5</course><gs:cache id=\"32679\""))
        << gpx.toStdString();
    EXPECT_TRUE(gpx.contains("xmlns:gs=\"http://www.groundspeak.com/cache/1/0/1\""));
    EXPECT_TRUE(gpx.contains("<link href=\"\"><text>Only a name</text></link>\n  <sat>4</sat>\n  <hdop>2.5</hdop>")) << gpx.toStdString();
    ASSERT_EQ(RunCli("C", {"convert", ORVALIS_TEST_DATA "/fields/out_of_order_11.gpx", out}).code, 0);
    EXPECT_TRUE(FileContents(out).contains("<wpt lat=\"45.5\" lon=\"-73.5\">\n  <ele>233</ele>\n  <time>2020-01-02T03:04:05.25+01:00</time>\n"
                                   "  <magvar>14.2</magvar>\n  <geoidheight>-32.1</geoidheight>\n  <name>Mont Royal</name>\n"
                                   "  <sym>Summit</sym>\n  <fix>dgps</fix>\n  <sat>7</sat>\n</wpt>"))
        << FileContents(out).toStdString();
}
