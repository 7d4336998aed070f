#include "files/gpx_format.h"
#include "files/ov2_format.h"

#include "support/real_world.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvalis;

namespace {

QByteArray Shared(const char *name)
{
    return orvalis::testing::RealWorldFile(name);
}

struct Expect {
    const char *file;
    int count;
};

// Rows as text, for comparing two tables.
QStringList Dump(const PoiTable &t)
{
    QStringList out;
    for (int r = 1; r <= t.lastRow(); ++r)
        out << QStringList{t.field(r, 0), t.field(r, 1), t.field(r, 2), t.field(r, 3)}.join(u'|');
    return out;
}

}  // namespace

TEST(RealWorld, GpxFilesLoadWithTheirWaypoints)
{
    REQUIRE_REAL_WORLD_FILES();
    for (const Expect e : {Expect{"GC7FA4.gpx", 1}, {"basecamp.gpx", 2}, {"expertgps.gpx", 86}, {"osm-data.gpx", 28},
                           {"spb_metro_norm_ru-gpi.gpx", 83}, {"unicsv_encoding.gpx", 1}}) {
        const QByteArray data = Shared(e.file);
        ASSERT_FALSE(data.isEmpty()) << e.file;
        PoiTable t;
        EXPECT_EQ(ReadGpx(data, t, u',').counter, e.count) << e.file;
        for (int r = 1; r <= t.lastRow(); ++r) {
            EXPECT_FALSE(t.field(r, FieldLatitude).isEmpty()) << e.file << " row " << r;
            EXPECT_TRUE(t.field(r, FieldLatitude).contains(u',') || !t.field(r, FieldLatitude).contains(u'.'));
        }
    }
}

TEST(RealWorld, SpotChecks)
{
    REQUIRE_REAL_WORLD_FILES();
    PoiTable t;
    ReadGpx(Shared("spb_metro_norm_ru-gpi.gpx"), t, u'.');
    EXPECT_TRUE(t.field(1, FieldDescription).startsWith(QStringLiteral("О справочнике Санкт-Петербург Метро")));
    EXPECT_EQ(t.field(1, FieldLatitude), QStringLiteral("59.944070"));

    PoiTable u;
    ReadGpx(Shared("unicsv_encoding.gpx"), u, u'.');
    EXPECT_EQ(u.field(1, FieldDescription), QStringLiteral("α - ξ"));

    PoiTable b;
    ReadGpx(Shared("basecamp.gpx"), b, u'.');
    EXPECT_FALSE(b.field(1, FieldDescription).startsWith(QStringLiteral(" - ")));  // name after <time>

    PoiTable g;
    ReadGpx(Shared("GC7FA4.gpx"), g, u'.');
    EXPECT_TRUE(g.field(1, FieldDescription).startsWith(QStringLiteral("GC7FA4")));
}

TEST(RealWorld, Ov2WithNestedSkippers)
{
    REQUIRE_REAL_WORLD_FILES();
    PoiTable t;
    const ReadResult r = ReadOv2(Shared("gpsbabel-geo-out.ov2"), t, u'.');
    EXPECT_GT(r.counter, 5);
    EXPECT_FALSE(r.truncated);
    EXPECT_EQ(r.unknownBytes, 0);
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Mountain Bike Heaven by susy1313"));
}

TEST(RealWorld, EveryFileWritesBackToTheSameRows)
{
    REQUIRE_REAL_WORLD_FILES();
    for (const char *name : {"GC7FA4.gpx", "basecamp.gpx", "expertgps.gpx", "osm-data.gpx", "spb_metro_norm_ru-gpi.gpx",
                             "unicsv_encoding.gpx", "gpsbabel-geo-out.ov2"}) {
        PoiTable t;
        const QByteArray data = Shared(name);
        if (QByteArray(name).endsWith(".ov2"))
            ReadOv2(data, t, u',');
        else
            ReadGpx(data, t, u',');
        // Through OV2: five decimals both ways.
        PoiTable viaOv2;
        ReadOv2(Ov2FileBytes(t, 1, t.lastRow(), u','), viaOv2, u',');
        PoiTable twice;
        ReadOv2(Ov2FileBytes(viaOv2, 1, viaOv2.lastRow(), u','), twice, u',');
        EXPECT_EQ(Dump(viaOv2), Dump(twice)) << name;
        for (int r = 1; r <= viaOv2.lastRow(); ++r)
            EXPECT_EQ(viaOv2.field(r, FieldDescription), t.field(r, FieldDescription)) << name;
        // Through GPX: the description gains " - ".
        PoiTable viaGpx;
        ReadGpx(GpxFileBytes(t, 1, t.lastRow()), viaGpx, u',');
        ASSERT_EQ(viaGpx.lastRow(), t.lastRow()) << name;
        for (int r = 1; r <= t.lastRow(); ++r) {
            EXPECT_EQ(viaGpx.field(r, FieldDescription), t.field(r, FieldDescription) + QStringLiteral(" - ")) << name;
            EXPECT_EQ(viaGpx.field(r, FieldLatitude), t.field(r, FieldLatitude).left(9)) << name;
        }
    }
}
