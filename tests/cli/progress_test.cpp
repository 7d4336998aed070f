#include "support/poi_files.h"
#include "support/run_cli.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

// A GPX file of `n` waypoints.
QString GpxOf(const QTemporaryDir &temp, int n)
{
    QByteArray gpx = "<gpx>";
    for (int i = 0; i < n; ++i)
        gpx += "<wpt lat=\"48." + QByteArray::number(i) + "\" lon=\"2.5\"><name>P" + QByteArray::number(i) + "</name></wpt>\n";
    gpx += "</gpx>";
    const QString path = temp.filePath("in.gpx");
    WriteFile(path, gpx);
    return path;
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The line was drawn, and taken away at the end: the last thing on standard
// error blanks it and comes back to the start of the line.
void ExpectDrawnThenCleared(const QString &err, const QString &drawn)
{
    EXPECT_TRUE(err.startsWith(u'\r')) << err.toStdString();
    EXPECT_TRUE(err.contains(drawn)) << err.toStdString();
    ASSERT_TRUE(err.endsWith(u'\r')) << err.toStdString();
    const qsizetype blankStart = err.lastIndexOf(u'\r', err.size() - 2);
    const QString blank = err.mid(blankStart + 1, err.size() - blankStart - 2);
    EXPECT_FALSE(blank.isEmpty());
    EXPECT_EQ(blank.trimmed(), QString());
}

}  // namespace

TEST(Progress, ShownWhenAskedEvenToAPipeAndClearedAtTheEnd)
{
    QTemporaryDir temp;
    const QString in = GpxOf(temp, 2000), out = temp.filePath("out.ov2");
    const Result r = RunCli("C", {"convert", in, out, "--progress"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QStringLiteral("2000 POIs\n"));
    ExpectDrawnThenCleared(r.err, QStringLiteral("% of "));
    EXPECT_TRUE(r.err.contains(QStringLiteral("MiB/s, ")));
    EXPECT_TRUE(r.err.contains(QStringLiteral(" left")));
    // In French, with the locale's decimal comma.
    const Result fr = RunCli("fr_FR.UTF-8", {"near", in, out, "--base", "1", "--radius-km", "50", "--progress"});
    EXPECT_EQ(fr.code, 0);
    ExpectDrawnThenCleared(fr.err, QStringLiteral(" % de 0,"));
    EXPECT_TRUE(fr.err.contains(QStringLiteral(" Mio/s, ")));
    EXPECT_TRUE(fr.err.contains(QStringLiteral("reste 0:0")));
    // Standard input has no size: what was read, and the rate.
    const Result piped = RunCli("C", {"convert", "-", out, "--from", "gpx", "--progress"}, ReadFileBytes(in));
    EXPECT_EQ(piped.code, 0);
    ExpectDrawnThenCleared(piped.err, QStringLiteral(" MiB read, "));
}

TEST(Progress, NothingForScriptsAndNothingWithQuiet)
{
    QTemporaryDir temp;
    const QString in = GpxOf(temp, 50), out = temp.filePath("out.ov2");
    // Standard error is a pipe here, as in a script: not a word more.
    const Result plain = RunCli("C", {"convert", in, out});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.err, QString());
    const Result quiet = RunCli("C", {"near", in, out, "--base", "1", "--radius-km", "500", "--quiet"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, QString());
    EXPECT_EQ(quiet.out, QStringLiteral("50 POIs\n"));
    // Both at once is a usage error, in the user's language.
    const Result both = RunCli("C", {"convert", in, out, "--quiet", "--progress"});
    EXPECT_EQ(both.code, 2);
    EXPECT_EQ(both.err, QStringLiteral("orvalis-cli: --quiet and --progress cannot go together\n"));
    EXPECT_EQ(RunCli("fr_FR.UTF-8", {"convert", in, out, "--progress", "--quiet"}).err,
              QStringLiteral("orvalis-cli: --quiet et --progress ne vont pas ensemble\n"));
}

TEST(Progress, AMessageStartsOnALineOfItsOwn)
{
    QTemporaryDir temp;
    const QString in = GpxOf(temp, 20), out = temp.filePath("out.gpx");
    const Result r = RunCli("C", {"near", in, out, "--base", "21", "--radius-km", "5", "--progress"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("\rorvalis-cli: --base 21: the file has 20 rows\n"))) << r.err.toStdString();
}

TEST(Progress, TheHelpSaysWhenTheLineShows)
{
    for (const char *locale : {"C", "fr_FR.UTF-8"}) {
        const Result r = RunCli(QString::fromLatin1(locale), {"--help"});
        EXPECT_TRUE(r.out.contains(QStringLiteral("--progress"))) << locale;
        EXPECT_TRUE(r.out.contains(QStringLiteral("--quiet"))) << locale;
    }
    EXPECT_TRUE(RunCli("C", {"--help"}).out.contains(QStringLiteral("standard error is a terminal and the input a file")));
    EXPECT_TRUE(RunCli("fr_FR.UTF-8", {"--help"}).out.contains(QStringLiteral("les deux ensemble sont un mauvais usage")));
}
