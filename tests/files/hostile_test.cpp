#include "files/gpx_format.h"
#include "files/poi_file.h"
#include "support/poi_files.h"
#include "support/tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalis;
using orvalis::testing::SamplePois;
using orvalis::testing::WriteOv2File;

namespace {

struct Outcome {
    ReadResult read;
    PoiTable table;
};

Outcome Load(const QString &path)
{
    Outcome o;
    FileBytes bytes;
    EXPECT_TRUE(bytes.open(path)) << path.toStdString();
    o.read = ReadPoiData(WindowCodecOfPath(path), bytes.data(), o.table, u'.');
    return o;
}

QString Hostile(const char *name)
{
    return QStringLiteral(ORVALIS_TEST_DATA "/hostile/") + QString::fromLatin1(name);
}

}  // namespace

// Damaged OV2 files keep the POIs before the damage and stop there.
TEST(HostileFiles, Ov2LengthsThatWouldLoopOrOverrun)
{
    for (const char *name : {"ov2-length-0.ov2", "ov2-length-4.ov2", "ov2-length-max.ov2", "ov2-length-back.ov2",
                             "ov2-name-without-zero.ov2", "ov2-truncated-header.ov2"}) {
        const Outcome o = Load(Hostile(name));
        EXPECT_EQ(o.read.counter, 1) << name;
        EXPECT_TRUE(o.read.truncated) << name;
        EXPECT_EQ(o.table.field(1, FieldDescription), QStringLiteral("Paris")) << name;
    }
    const Outcome nested = Load(Hostile("ov2-nested-skippers.ov2"));
    EXPECT_EQ(nested.read.counter, 2);
    EXPECT_FALSE(nested.read.truncated);
}

TEST(HostileFiles, TenMegabytesOfUnknownBytes)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("beeps.ov2");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(10 * 1024 * 1024, '\x07'));
    f.close();
    const Outcome o = Load(path);
    EXPECT_EQ(o.read.counter, 0);
    EXPECT_EQ(o.read.unknownBytes, 10 * 1024 * 1024);  // counted, and the load beeps once for all
    EXPECT_EQ(o.table.rowCount(), 2);
}

TEST(HostileFiles, GpxCutShort)
{
    // The whole waypoints; the one the end cuts is left out (what it holds may be cut too).
    Outcome o = Load(Hostile("gpx-ends-inside-tag.gpx"));
    EXPECT_EQ(o.read.counter, 1);
    EXPECT_TRUE(o.read.truncated);
    EXPECT_EQ(o.table.field(1, FieldDescription), QStringLiteral("un - "));
    o = Load(Hostile("gpx-ends-inside-quote.gpx"));
    EXPECT_EQ(o.read.counter, 1);
    EXPECT_TRUE(o.read.truncated);
}

TEST(HostileFiles, GpxStartTagsEverywhere)
{
    Outcome o = Load(Hostile("gpx-wpt-every-byte.gpx"));
    EXPECT_LE(o.read.counter, 1);
    QTemporaryDir temp;
    const QString big = temp.filePath("tags.gpx");
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("<wpt ").repeated(200000));
    f.write(QByteArray("<wpt lat=\"1\" lon=\"2\"><name>").repeated(20000));
    f.close();
    o = Load(big);
    EXPECT_LE(o.read.counter, 1);
    EXPECT_LT(o.table.rowCount(), 10);
}

TEST(HostileFiles, GpxHugeNameEntitiesNulsAndBadUtf8)
{
    QTemporaryDir temp;
    const QString big = temp.filePath("name.gpx");
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<gpx><wpt lat=\"1\" lon=\"2\"><name>" + QByteArray(1024 * 1024, 'x') + "</name></wpt></gpx>");
    f.close();
    Outcome o = Load(big);
    EXPECT_EQ(o.table.field(1, FieldDescription).size(), 1024 * 1024 + 3);

    o = Load(Hostile("gpx-entities.gpx"));
    ASSERT_EQ(o.read.counter, 1);
    // Entities are resolved once, never expanded from a DTD.
    EXPECT_TRUE(o.table.field(1, FieldDescription).startsWith(QStringLiteral("&a;&amp;amp;&undefined;&#0;&#xD800;")));
    EXPECT_TRUE(o.table.field(1, FieldDescription).endsWith(QStringLiteral(" - ") + QString(2000, u'&')));

    o = Load(Hostile("gpx-nul-bytes.gpx"));
    EXPECT_EQ(o.read.counter, 1);
    EXPECT_EQ(o.table.field(1, FieldDescription), QString::fromUtf8("n\0ul - \0\0", 9));

    o = Load(Hostile("gpx-invalid-utf8.gpx"));
    EXPECT_EQ(o.read.counter, 1);
    EXPECT_TRUE(o.table.field(1, FieldDescription).startsWith(QStringLiteral("Frères")));  // read as Windows-1252

    o = Load(Hostile("gpx-single-quotes-and-order.gpx"));
    EXPECT_EQ(o.table.field(1, FieldLatitude), QStringLiteral("48.5"));
}

TEST(HostileFiles, DirectoriesAndVanishedFilesAreNotOpened)
{
    QTemporaryDir temp;
    QDir(temp.path()).mkdir("folder.gpx");
    FileBytes bytes;
    EXPECT_FALSE(bytes.open(temp.filePath("folder.gpx")));
    EXPECT_FALSE(bytes.open(temp.filePath("gone.ov2")));
}

// Searches inside a waypoint stop at its end: each shape, big enough that a
// reader searching to the end of the file each time would take minutes.
TEST(HostileFiles, GpxShapesThatWouldMakeTheReaderQuadratic)
{
    const int n = 8 * 1024 * 1024 / 48;
    const QByteArray comment = "<gpx>" + QByteArray("<wpt lat=\"1\" lon=\"2\"><name>a</name><!-- </wpt>\n").repeated(n);
    PoiTable t;
    ReadResult r = ReadGpx(comment, t, u'.');
    EXPECT_EQ(r.counter, n);
    EXPECT_EQ(t.field(n, FieldDescription), QStringLiteral("a - "));

    const QByteArray cdata = "<gpx>" + QByteArray("<wpt lat=\"1\" lon=\"2\"><name><![CDATA[x</name></wpt>\n").repeated(n);
    PoiTable t2;
    r = ReadGpx(cdata, t2, u'.');
    EXPECT_EQ(r.counter, n);
    EXPECT_EQ(t2.field(1, FieldDescription), QStringLiteral("x</name> - "));

    const QByteArray amps = "<gpx><wpt lat=\"1\" lon=\"2\"><name>" + QByteArray(8 * 1024 * 1024, '&') + "</name></wpt></gpx>";
    PoiTable t3;
    r = ReadGpx(amps, t3, u'.');
    EXPECT_EQ(r.counter, 1);
    EXPECT_EQ(t3.field(1, FieldDescription).size(), 8 * 1024 * 1024 + 3);

    for (const char *name : {"gpx-unclosed-comment-per-wpt.gpx", "gpx-unclosed-cdata-per-wpt.gpx", "gpx-ampersands.gpx"})
        EXPECT_GE(Load(Hostile(name)).read.counter, 1) << name;
}

TEST(HostileFiles, AFileCutWhileItIsReadKeepsWhatWasThere)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("pois.ov2");
    ASSERT_TRUE(WriteOv2File(path, SamplePois()));
    const qint64 full = QFileInfo(path).size();
    FileBytes bytes;
    ASSERT_TRUE(bytes.start(path));
    // Cut inside the third record (21-byte header, then "Paris" and "Brest" records of 19 bytes).
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 21 + 19 + 19 + 6), 0);
    ASSERT_TRUE(bytes.readAll());
    EXPECT_LT(bytes.data().size(), full);
    PoiTable t;
    const ReadResult r = ReadPoiData(CodecNamed(u"ov2"), bytes.data(), t, u'.');
    EXPECT_EQ(r.counter, 2);
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("Brest"));
}

// Big files are read in two halves at once: cut or grown after they were
// opened, they give what is there when they are read, as small ones do.
TEST(HostileFiles, BigFilesCutOrGrownWhileTheyAreReadGiveWhatIsThere)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("big.gpx");
    QByteArray content(12 << 20, '\0');
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>('a' + (i * 7 + i / 4099) % 26);
    auto write = [&](const QByteArray &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    for (const qsizetype now : {qsizetype(3 << 20), qsizetype(10 << 20), qsizetype(12 << 20), qsizetype(13 << 20)}) {
        ASSERT_TRUE(write(content));
        FileBytes bytes;
        ASSERT_TRUE(bytes.start(path));
        QByteArray expected = content.left(now);
        if (now > content.size()) {
            expected += QByteArray(now - content.size(), 'z');
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::Append) && f.write(expected.mid(content.size())) == now - content.size());
        } else {
            ASSERT_EQ(truncate(QFile::encodeName(path).constData(), now), 0);
        }
        ASSERT_TRUE(bytes.readAll());
        EXPECT_TRUE(bytes.data() == QByteArrayView(expected)) << now;
    }
}

TEST(HostileFiles, OnlyRegularFilesAreRead)
{
    QTemporaryDir temp;
    const QString fifo = temp.filePath("x.gpx");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FileBytes bytes;
    EXPECT_FALSE(bytes.open(fifo));  // at once: no writer is waited for
    ASSERT_TRUE(QFile::link("/dev/zero", temp.filePath("zero.gpx")));
    EXPECT_FALSE(bytes.open(temp.filePath("zero.gpx")));  // never read without a bound
    EXPECT_FALSE(bytes.open("/dev/null"));
    QFile::remove(fifo);
    // Files whose size reads as 0: read to their end, and a read error is one.
    ASSERT_TRUE(QFile::link("/proc/self/mem", temp.filePath("mem.ov2")));
    EXPECT_FALSE(bytes.open(temp.filePath("mem.ov2")));
    ASSERT_TRUE(bytes.open("/proc/self/status"));
    EXPECT_TRUE(bytes.data().startsWith("Name:"));
}

TEST(HostileFiles, NamesThatAreNotUtf8AreFound)
{
    QTemporaryDir temp;
    const QByteArray raw = QFile::encodeName(temp.path()) + "/caf\xe9.ov2";  // Latin-1
    {
        PoiTable t = orvalis::testing::TableOfRows({{"48.5", "2.5", "Bar"}});
        QFile out;
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        const QByteArray written = Ov2FileBytes(t, 1, 1, u'.');
        ASSERT_EQ(out.write(written), written.size());
    }
    const QString shown = QFile::decodeName(raw);  // what a dialog or the command line hands over
    FileBytes bytes;
    ASSERT_TRUE(bytes.open(shown));
    PoiTable t;
    EXPECT_EQ(ReadPoiData(WindowCodecOfPath(shown), bytes.data(), t, u'.').counter, 1);
    EXPECT_EQ(NativeFileName(shown), raw);
    EXPECT_TRUE(bytes.openNative(raw));
    ::unlink(raw.constData());  // a name the folder's removal cannot spell
}

