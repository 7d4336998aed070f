// What orvalis-cli holds in memory: bounded where the job does not need the
// input, and a message with exit 1 where memory runs out.
#include "support/cli_child.h"
#include "support/poi_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvalis::testing;

namespace {

struct Child {
    int code = -1;  // -1: killed by a signal
    QByteArray err;
    qint64 peakBytes = 0;
};

// The CLI in a child process: standard input from `in` (a file), standard
// output to `out`, at most `addressSpace` bytes of memory when given.
Child RunChild(const QList<QByteArray> &args, const QByteArray &in = "/dev/null", const QByteArray &out = "/dev/null",
               rlim_t addressSpace = 0)
{
    QTemporaryDir temp;
    const QByteArray err = QFile::encodeName(temp.filePath("err"));
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(::open(in.constData(), O_RDONLY), 0);
        dup2(::open(out.constData(), O_WRONLY), 1);
        dup2(::open(err.constData(), O_WRONLY | O_CREAT, 0600), 2);
        setenv("LC_ALL", "C", 1);
        if (addressSpace != 0) {
            const rlimit limit{addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        ExecCli(args);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    QFile e(temp.filePath("err"));
    e.open(QIODevice::ReadOnly);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, e.readAll(), qint64(usage.ru_maxrss) * 1024};
}

// A file of `head` then `line` again and again, by its name as bytes.
QByteArray Csv(const QString &path, const QByteArray &head, const QByteArray &line, qint64 bytes)
{
    EXPECT_TRUE(WriteRepeated(path, head, line, bytes));
    return QFile::encodeName(path);
}

}  // namespace

TEST(CliMemory, RunningOutOfMemoryIsAMessageAndExitOne)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    QTemporaryDir temp;
    // 40 MB of rows loaded whole as the window does: more than 300 MB of address space allows.
    const QByteArray in = Csv(temp.filePath("big.csv"), "latitude,longitude,name\n", "48.85661,2.35222,Paris centre\n", 40 << 20);
    const Child table = RunChild({"table", in}, "/dev/null", "/dev/null", rlim_t(300) << 20);
    EXPECT_EQ(table.code, 1);
    // The allocator may say a word of its own first.
    EXPECT_TRUE(table.err.endsWith("\norvalis-cli: not enough memory for this input\n") ||
                table.err == "orvalis-cli: not enough memory for this input\n")
        << table.err.constData();
}

TEST(CliMemory, AFailedWriteToStandardOutputIsToldOnce)
{
    QTemporaryDir temp;
    const QByteArray in = Csv(temp.filePath("rows.csv"), "latitude,longitude,name\n", "48.85661,2.35222,Paris\n", 1 << 20);
    for (const QList<QByteArray> &args : {QList<QByteArray>{"table", in}, QList<QByteArray>{"distance", "48", "2", "47", "1"},
                                          QList<QByteArray>{"convert", in, "-", "--to", "gpx"}}) {
        const Child c = RunChild(args, "/dev/null", "/dev/full");
        EXPECT_EQ(c.code, 1) << args.first().constData();
        EXPECT_EQ(c.err, "orvalis-cli: cannot write the standard output: No space left on device\n") << args.first().constData();
    }
}

TEST(CliMemory, WhatWaitsForTheEndOfAStreamWaitsOnDisk)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory is not the program's";
#endif
    QTemporaryDir temp;
    // A million POIs through standard input, every one within the radius: they
    // and their order wait in temporary files (about 20 MB at rest; 90 MB when the order was held).
    const QByteArray in = Csv(temp.filePath("near.csv"), "latitude,longitude,name\n", "48.85,2.35,a\n", 13 << 20);
    const QByteArray out = QFile::encodeName(temp.filePath("near.ov2"));
    const Child near = RunChild({"near", "-", out, "--from", "csv", "--at", "48", "2", "--radius-km", "1000"}, in);
    EXPECT_EQ(near.code, 0) << near.err.constData();
    EXPECT_GT(QFileInfo(temp.filePath("near.ov2")).size(), 1000000 * 14);
    EXPECT_LT(near.peakBytes, 48 << 20);
}

TEST(CliMemory, DedupeKeepsOnlyPlacesAndNameKeys)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory is not the program's";
#endif
    QTemporaryDir temp;
    // 400,000 POIs 111 m apart, every one kept: a place (and a name) each, no record.
    const QString path = temp.filePath("grid.csv");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray text = "latitude,longitude,name\n";
        for (int i = 0; i < 400000; ++i)
            text += QByteArray::number(i / 1000 * 0.001, 'f', 3) + ',' + QByteArray::number(i % 1000 * 0.001, 'f', 3) + ",Place " +
                    QByteArray::number(i) + '\n';
        f.write(text);
    }
    const QByteArray out = QFile::encodeName(temp.filePath("kept.gpx"));
    // Measured: 35 MB and 53 MB with --same-name (57 MB and 99 MB when each kept point had a cell of its own).
    const Child places = RunChild({"dedupe", "-", out, "--from", "csv", "--within-m", "10"}, QFile::encodeName(path));
    EXPECT_EQ(places.code, 0) << places.err.constData();
    EXPECT_LT(places.peakBytes, 44 << 20);
    const Child named = RunChild({"dedupe", "-", out, "--from", "csv", "--within-m", "10", "--same-name"}, QFile::encodeName(path));
    EXPECT_EQ(named.code, 0) << named.err.constData();
    EXPECT_LT(named.peakBytes, 64 << 20);
}

TEST(CliMemory, ALongRouteCostsItsPointsNotTheCellsItCrosses)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    QTemporaryDir temp;
    // Legs of thousands of kilometres, a POI 50 m off each: a grid of cells 0.05° wide put
    // each leg in two million cells (and took 6.5 GB for a route of 200,000 points).
    QByteArray route = "latitude,longitude,name\n", pois = route;
    for (int i = 0; i <= 24; ++i) {
        const double lat = (i % 2 ? 24.0 : -24.0) + i * 0.1, lon = (i % 2 ? 44.0 : -44.0) - i * 0.1;
        route += QByteArray::number(lat, 'f', 6) + ',' + QByteArray::number(lon, 'f', 6) + ",leg " + QByteArray::number(i) + '\n';
        pois += QByteArray::number(lat + 0.00045, 'f', 6) + ',' + QByteArray::number(lon, 'f', 6) + ",near " + QByteArray::number(i) + '\n';
    }
    ASSERT_TRUE(WriteFile(temp.filePath("route.csv"), route));
    ASSERT_TRUE(WriteFile(temp.filePath("pois.csv"), pois));
    const QString out = temp.filePath("along.csv");
    const Child along = RunChild({"along", QFile::encodeName(temp.filePath("route.csv")), QFile::encodeName(temp.filePath("pois.csv")),
                                  QFile::encodeName(out), "--within-km", "0.1"},
                                 "/dev/null", "/dev/null", rlim_t(1) << 30);
    EXPECT_EQ(along.code, 0) << along.err.constData();
    EXPECT_LT(along.peakBytes, 48 << 20);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 27);  // the header, 25 POIs in route order, the end
    EXPECT_TRUE(lines[1].trimmed().endsWith(",near 0")) << lines[1].constData();
    EXPECT_TRUE(lines[25].trimmed().endsWith(",near 24")) << lines[25].constData();
}

TEST(CliMemory, ALineOfCommasCostsItsBytesNotItsFields)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    QTemporaryDir temp;
    // 6 MB of commas on one line: 450 MB when every empty field was kept, 54 MB now.
    const QByteArray in = Csv(temp.filePath("commas.csv"), {}, QByteArray(4096, ','), 6 << 20);
    const Child table = RunChild({"table", in});
    EXPECT_EQ(table.code, 2);
    EXPECT_TRUE(table.err.endsWith(": CSV record 1 has no two numbers for coordinates\n")) << table.err.constData();
    EXPECT_LT(table.peakBytes, 128 << 20);
}
