#include "files/poi_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvalis;

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
    o.read = ReadPoiData(FileKind(path), bytes.data(), o.table, u'.');
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
    Outcome o = Load(Hostile("gpx-ends-inside-tag.gpx"));
    EXPECT_EQ(o.read.counter, 2);
    EXPECT_EQ(o.table.field(1, FieldDescription), QStringLiteral("un - "));
    EXPECT_EQ(o.table.field(2, FieldLatitude), QStringLiteral("47"));  // what was read before the end
    o = Load(Hostile("gpx-ends-inside-quote.gpx"));
    EXPECT_EQ(o.read.counter, 2);
    EXPECT_EQ(o.table.field(2, FieldLatitude), QStringLiteral("47.5"));
    EXPECT_EQ(o.table.field(2, FieldDescription), QStringLiteral("deux - cut here \""));
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
