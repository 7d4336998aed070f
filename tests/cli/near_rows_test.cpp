#include "support/poi_files.h"
#include "support/run_cli.h"
#include "support/tables.h"

#include "files/poi_codec.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What the window selects: the whole file loaded, the run from the row, the
// rows up to the last within the limit, written as the window writes them.
QByteArray WindowSelection(const PoiCodec &in, const PoiCodec &out, const QByteArray &file, int base, long double limit,
                           QChar sep, const QCollator &collator)
{
    PoiTable table;
    ReadResult result;
    EXPECT_TRUE(ReadPoiTable(in, file, table, sep, &result));
    QList<QStringList> fields;
    for (const int row : NearSelection(table, base, limit, sep, collator)) {
        fields.append(QStringList());
        for (int f = 1; f < kFieldCount; ++f)
            fields.back() << table.field(row, f);
    }
    const PoiTable selected = TableOfRows(fields);
    WriteOptions options;
    options.separator = sep;
    options.gpxNamespace = true;  // as the CLI writes a table
    return out.tableBytes(selected, 1, selected.lastRow(), options, nullptr);
}

// Waypoints on few places written many ways, names differing in case only.
QByteArray TieHeavyGpx(QRandomGenerator &random, int n)
{
    const QList<QByteArray> lats = {"48.85", "48.850", "4.885e1", "4.885E1", "48.86", "-48.85", "48.9", "48.8", "49"};
    const QList<QByteArray> lons = {"2.35", "2.350", "2.35e0", "2.36", "2.4", "-2.35", "2"};
    const QList<QByteArray> names = {"Gare", "gare", "GARE", "Église", "église", "Poste"};
    QByteArray gpx = "<gpx>\n";
    for (int i = 0; i < n; ++i)
        gpx += "<wpt lat=\"" + lats[random.bounded(lats.size())] + "\" lon=\"" + lons[random.bounded(lons.size())] +
               "\"><name>" + names[random.bounded(names.size())] + "</name></wpt>\n";
    return gpx + "</gpx>\n";
}

}  // namespace

TEST(NearRows, TheWindowsSelectionFromFilesAndStandardInputOnTieHeavyFiles)
{
    QTemporaryDir temp;
    QRandomGenerator random(2026);
    const PoiCodec &gpx = *CodecNamed(u"gpx"), &ov2 = *CodecNamed(u"ov2");
    for (const char *locale : {"C", "fr_FR.UTF-8"}) {
        const QLocale l(QString::fromLatin1(locale).section(u'.', 0, 0));
        const QChar sep = l.decimalPoint().at(0);
        const QCollator collator = TableCollator(l);
        const QString inGpx = temp.filePath("in.gpx"), inOv2 = temp.filePath("in.ov2");
        WriteFile(inGpx, TieHeavyGpx(random, 400));
        ASSERT_EQ(RunCli(locale, {"convert", inGpx, inOv2}).code, 0);
        for (const auto &[in, codec] : {std::pair{inGpx, &gpx}, std::pair{inOv2, &ov2}}) {
            for (const int base : {1, 2, 57, 200, 400}) {
                for (const double km : {0.0, 1.0, 12.0, 300.0}) {
                    SCOPED_TRACE(QStringLiteral("%1 %2 --base %3 --radius-km %4").arg(QLatin1String(locale), in).arg(base).arg(km).toStdString());
                    const QString out = temp.filePath("out.gpx");
                    const Result r = RunCli(locale, {"near", in, out, "--base", QString::number(base), "--radius-km", QString::number(km)});
                    ASSERT_EQ(r.code, 0) << r.err.toStdString();
                    const QByteArray expected = WindowSelection(*codec, gpx, Bytes(in), base, km * 1000.0L, sep, collator);
                    EXPECT_EQ(Bytes(out), expected);
                    if (base == 57) {
                        const Result piped = RunCli(locale, {"near", "-", "-", "--from", QString::fromLatin1(codec->name), "--to", "gpx",
                                                             "--base", QString::number(base), "--radius-km", QString::number(km)},
                                                    Bytes(in));
                        EXPECT_EQ(piped.code, 0);
                        EXPECT_EQ(piped.bytes, expected);
                    }
                }
            }
        }
    }
}

TEST(NearRows, RecordsOutOfRangeAndBasesPastTheEnd)
{
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx"), out = temp.filePath("out.gpx");
    WriteFile(in, "<gpx><wpt lat=\"48.5\" lon=\"2.5\"/><wpt lat=\"95\" lon=\"2.5\"/><wpt lat=\"48.6\" lon=\"2.5\"/>"
                  "<wpt lat=\"\" lon=\"1\"/></gpx>");
    Result r = RunCli("C", {"near", in, out, "--base", "1", "--radius-km", "50"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("record 2 has no valid coordinates (latitude \"95\""))) << r.err.toStdString();
    r = RunCli("C", {"near", in, out, "--base", "2", "--radius-km", "50", "--skip-invalid"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 POIs\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 records")) || r.err.contains(QStringLiteral("left out"))) << r.err.toStdString();
    r = RunCli("C", {"near", in, out, "--base", "3", "--radius-km", "50", "--skip-invalid"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("--base 3: the file has 2 rows\n"))) << r.err.toStdString();
    // OV2 gives its coordinates as numbers: the texts of a bad one are still those shown.
    const QString ov2 = temp.filePath("in.ov2");
    ASSERT_TRUE(WriteOv2File(ov2, {{"48.5", "2.5", "A"}, {"48.6", "200", "B"}, {"48.6", "2.5", "C"}}));
    r = RunCli("fr_FR.UTF-8", {"near", ov2, out, "--base", "1", "--radius-km", "50"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("latitude « 48,60000 », longitude « 200,00000 »"))) << r.err.toStdString();
    r = RunCli("C", {"near", ov2, out, "--base", "2", "--radius-km", "50", "--skip-invalid"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2 POIs\n"));
}

TEST(NearRows, AFileOfAnyLengthInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory is not the program's";
#endif
    // 100 MB of waypoints (two million), a megabyte of them a hundred times, and one far from the others.
    QTemporaryDir temp;
    const QString in = temp.filePath("in.gpx");
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<gpx><wpt lat=\"-60.5\" lon=\"2.5\"><name>Far</name></wpt>\n");
        QByteArray block;
        for (int i = 0; block.size() < (1 << 20); ++i)
            block += "<wpt lat=\"" + QByteArray::number(40 + i * 0.0001, 'f', 4) + "\" lon=\"2.5\"><name>Gare</name></wpt>\n";
        for (qint64 done = 0; done < (100 << 20); done += block.size())
            f.write(block);
        f.write("</gpx>\n");
    }
    const auto peak = [&](const QStringList &args) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int devnull = ::open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            std::vector<QByteArray> bytes{ORVALIS_CLI};
            for (const QString &a : args)
                bytes.push_back(QFile::encodeName(a));
            std::vector<char *> argv;
            for (QByteArray &b : bytes)
                argv.push_back(b.data());
            argv.push_back(nullptr);
            execv(ORVALIS_CLI, argv.data());
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return qint64(usage.ru_maxrss) * 1024;
    };
    const QString out = temp.filePath("out.gpx");
    // The first row, and one past the rows a pass keeps whole.
    EXPECT_LT(peak({"near", in, out, "--base", "1", "--radius-km", "50"}), 64 << 20);
    EXPECT_EQ(Bytes(out).count("<wpt"), 1);
    EXPECT_LT(peak({"near", in, out, "--base", "1500000", "--radius-km", "0"}), 64 << 20);
    EXPECT_EQ(Bytes(out).count("<wpt"), 100);
}
