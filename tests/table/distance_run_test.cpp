#include "table/distance_run.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <QRandomGenerator>
#include <numeric>
#include "table/sort_by_field.h"
#include "table/table_search.h"

#include <gtest/gtest.h>

using namespace orvalis;

TEST(DistanceTexts, MetresKilometresAndKeys)
{
    EXPECT_EQ(DistanceText(0), QStringLiteral("0 m"));
    EXPECT_EQ(DistanceKey(0), QStringLiteral("00000000"));
    EXPECT_EQ(DistanceText(999), QStringLiteral("999 m"));
    EXPECT_EQ(DistanceKey(999), QStringLiteral("00000999"));
    EXPECT_EQ(DistanceText(1999), QStringLiteral("1 km"));
    EXPECT_EQ(DistanceKey(1999), QStringLiteral("00001999"));
    EXPECT_EQ(DistanceKey(999999), QStringLiteral("00999999"));
    EXPECT_EQ(DistanceKey(1000000), QStringLiteral("01000000"));
    EXPECT_EQ(DistanceKey(SphericalDistance(90, 0, -90, 0)), QStringLiteral("20037511"));
    EXPECT_EQ(DistanceText(12000000), QStringLiteral("12000 km"));
    EXPECT_EQ(DistanceKey(12000000), QStringLiteral("12000000"));
}

TEST(CompassText, WholeDegreeBoundsBelongToTheLowerSector)
{
    EXPECT_EQ(CompassText(0), QStringLiteral("N"));
    EXPECT_EQ(CompassText(22), QStringLiteral("N"));
    EXPECT_EQ(CompassText(22.5f), QStringLiteral("NE"));
    EXPECT_EQ(CompassText(67), QStringLiteral("NE"));
    EXPECT_EQ(CompassText(67.01f), QStringLiteral("E"));
    EXPECT_EQ(CompassText(157), QStringLiteral("SE"));
    EXPECT_EQ(CompassText(180), QStringLiteral("S"));
    EXPECT_EQ(CompassText(247), QStringLiteral("SW"));
    EXPECT_EQ(CompassText(270), QStringLiteral("W"));
    EXPECT_EQ(CompassText(337), QStringLiteral("NW"));
    EXPECT_EQ(CompassText(337.5f), QStringLiteral("N"));
    EXPECT_EQ(CompassText(360), QStringLiteral("N"));
}

namespace {
PoiTable Cities()
{
    const QStringList rows[] = {{"48,8566", "2,3522", "Paris"},   {"48,3904", "-4,4861", "Brest"},
                                {"45,7640", "4,8357", "Lyon"},    {"", "0", "Null Island"},
                                {"48,8566", "5,0000", "Est de Paris"}, {"40,0000", "2,3522", "Sud de Paris"}};
    PoiTable t;
    t.setRowCount(7);
    for (int r = 1; r <= 6; ++r) {
        t.setNumber(r, r);
        for (int f = 0; f < 3; ++f)
            t.setField(r, f + 1, rows[r - 1][f]);
    }
    return t;
}
QCollator French()
{
    return TableCollator(QLocale(QLocale::French, QLocale::France));
}
}  // namespace

TEST(DistanceRun, BaseComesFirstAndRowsFollowByKey)
{
    PoiTable t = Cities();
    RunDistances(t, 3, u',', French());
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Lyon"));
    EXPECT_EQ(t.field(1, FieldDistance), QStringLiteral("0 m"));
    EXPECT_EQ(t.field(1, FieldKey), QStringLiteral("00000000"));
    EXPECT_EQ(t.field(1, FieldNumber), QStringLiteral("1"));
    for (int r = 2; r <= t.lastRow(); ++r)
        EXPECT_LT(t.field(r - 1, FieldKey), t.field(r, FieldKey));
    EXPECT_EQ(FindBaseRow(t), 1);
}

TEST(DistanceRun, EmptyCoordinatesCountAsZeroAndDirectionsOnAxes)
{
    PoiTable t = Cities();
    ComputeDistances(t, 1, u',');
    EXPECT_EQ(t.field(4, FieldKey), DistanceKey(SphericalDistance(0, 0, 48.8566f, 2.3522f)));
    EXPECT_EQ(t.field(1, FieldCap), QStringLiteral("N"));  // the base itself
    EXPECT_EQ(t.field(5, FieldCap), QStringLiteral("E"));  // same latitude, to the east
    EXPECT_EQ(t.field(6, FieldCap), QStringLiteral("S"));  // same longitude, to the south
    EXPECT_EQ(t.field(2, FieldCap), QStringLiteral("W"));
}

// The row an OV2 extended record leaves has no place: it is not measured from
// 0,0, and it ends after every POI, whatever the base.
TEST(DistanceRun, RowsWithoutCoordinatesGetNoDistanceAndComeLast)
{
    PoiTable t = Cities();
    const QString nowhere = QStringLiteral("A nulle part");
    t.setField(6, FieldLatitude, QString());
    t.setField(6, FieldLongitude, QString());
    t.setField(6, FieldDescription, nowhere);
    t.setField(6, FieldDistance, QStringLiteral("5 km"));  // from an earlier run
    RunDistances(t, 6, u',', French());  // a base without a place is 0,0, as before
    EXPECT_EQ(t.field(6, FieldDescription), nowhere);
    for (const int f : {FieldDistance, FieldKey, FieldCap})
        EXPECT_EQ(t.field(6, f), QString()) << f;
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("Null Island"));  // 0 m from 0,0
    EXPECT_EQ(FindBaseRow(t), 1);
    // Every other sort leaves it last too; one coordinate is enough to be a POI.
    SortByField(t, FieldDescription, French());
    EXPECT_EQ(t.field(6, FieldDescription), nowhere);
    t.setField(6, FieldLatitude, QStringLiteral("0,0001"));
    SortByField(t, FieldDescription, French());
    EXPECT_EQ(t.field(1, FieldDescription), nowhere);
    // The selection near a base never takes a row without a place.
    t.setField(1, FieldLatitude, QString());
    const std::vector<int> near = NearSelection(t, 2, 1e8L, u',', French());
    EXPECT_EQ(near.size(), 5u);
    for (const int row : near)
        EXPECT_NE(t.field(row, FieldDescription), nowhere);
}

TEST(DistanceRun, FarRowsSortAfterNearOnesUpToTheAntipode)
{
    // Keys of eight digits: 12,000 km and the antipode sort after 2,000 km.
    PoiTable t;
    t.setRowCount(5);
    const char *lons[] = {"0", "180", "108", "18"};
    for (int r = 1; r <= 4; ++r) {
        t.setField(r, FieldLatitude, QStringLiteral("0"));
        t.setField(r, FieldLongitude, QString::fromLatin1(lons[r - 1]));
    }
    RunDistances(t, 1, u',', French());
    EXPECT_EQ(t.field(2, FieldLongitude), QStringLiteral("18"));
    EXPECT_EQ(t.field(3, FieldLongitude), QStringLiteral("108"));
    EXPECT_EQ(t.field(3, FieldDistance), QStringLiteral("12022 km"));
    EXPECT_EQ(t.field(4, FieldLongitude), QStringLiteral("180"));
    EXPECT_EQ(t.field(4, FieldKey).size(), 8);
}

TEST(Search, AsciiCapitalsOverJoinedFields)
{
    PoiTable t = Cities();
    t.setField(1, FieldDescription, QStringLiteral("Tour Eiffel, Paris"));
    t.setField(3, FieldDescription, QStringLiteral("Gare"));
    t.setField(3, FieldDistance, QStringLiteral("12 km"));
    t.setField(2, FieldDescription, QStringLiteral("École"));
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("paris")), 1);
    EXPECT_EQ(RowSearch(t, 2, AsciiUpper("paris")), 5);  // "Est de Paris"
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("12 KM")), 3);
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("GARE12")), 3);
    EXPECT_EQ(AsciiUpper("é"), QStringLiteral("é"));
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("é")), 0);  // "É" is not "é"
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("É")), 2);
    EXPECT_EQ(RowSearch(t, 99, AsciiUpper("paris")), 0);
    t.setField(4, FieldCap, QStringLiteral("NNE"));
    EXPECT_EQ(RowSearch(t, 1, AsciiUpper("nne")), 4);  // the Cap column counts too
}

TEST(NearSelection, APoiExactlyAtTheRadiusIsIn)
{
    PoiTable t;
    t.setRowCount(3);
    for (int r = 1; r <= 2; ++r)
        t.setNumber(r, r);
    t.setField(1, FieldLatitude, "48");
    t.setField(1, FieldLongitude, "2");
    t.setField(2, FieldLatitude, "48,5");
    t.setField(2, FieldLongitude, "2,5");
    const int32_t d = SphericalDistance(48.0f, 2.0f, 48.5f, 2.5f);
    PoiTable at = t, below = t;
    EXPECT_EQ(NearSelection(at, 1, d, u',', French()).size(), 2u);
    EXPECT_EQ(NearSelection(below, 1, d - 1, u',', French()).size(), 1u);
}

TEST(NearSelection, SameRowsAsLoadSortRunAndShiftClick)
{
    QRandomGenerator rng(5);
    const QCollator collator = French();
    for (int round = 0; round < 6; ++round) {
        PoiTable t;
        const int n = 400;
        t.setRowCount(n + 1);
        for (int r = 1; r <= n; ++r) {
            // Some far away (8-digit keys sort among the short ones), some duplicates.
            const bool far = rng.bounded(10) == 0;
            const double lat = far ? -40 + rng.bounded(20) : 45 + rng.bounded(1000) / 200.0;
            const double lon = far ? 150 + rng.bounded(20) : 2 + rng.bounded(1000) / 200.0;
            t.setNumber(r, r);
            t.setField(r, FieldLatitude, QString::number(lat, 'f', 5).replace('.', ','));
            t.setField(r, FieldLongitude, QString::number(lon, 'f', 5).replace('.', ','));
            t.setField(r, FieldDescription, QStringLiteral("POI %1").arg(rng.bounded(50)));
        }
        const int base = 1 + rng.bounded(n);
        const long double limit = 1000.0L * (round == 0 ? 12500 : 20 + rng.bounded(400));

        PoiTable full = t;
        SortByField(full, FieldDistance, collator);
        RunDistances(full, base, u',', collator);
        int k = 0;
        for (int r = 1; r <= n; ++r)
            if (ParseDecimal(full.field(r, FieldKey), u'.').value_or(0) <= limit)
                k = r;

        PoiTable quick = t;
        const std::vector<int> rows = NearSelection(quick, base, limit, u',', collator);
        ASSERT_EQ(static_cast<int>(rows.size()), k) << "round " << round;
        for (int i = 0; i < k; ++i)
            for (int f = 1; f < kFieldCount; ++f)
                ASSERT_EQ(quick.field(rows[static_cast<size_t>(i)], f), full.field(i + 1, f)) << "row " << i + 1;
    }
}

// On big tables the distance run measures on two threads: every row must get
// what measuring it alone gives.
TEST(DistanceRun, BigTablesMeasureOnTwoThreadsAsOneByOne)
{
    QRandomGenerator rng(3);
    const int n = 150000;
    PoiTable both, alone;
    for (PoiTable *t : {&both, &alone})
        t->setRowCount(n + 1);
    for (int r = 1; r <= n; ++r) {
        const QString lat = QString::number(rng.bounded(-8900000, 8900000) / 100000.0, 'f', 5).replace(u'.', u',');
        const QString lon = QString::number(rng.bounded(-17900000, 17900000) / 100000.0, 'f', 5).replace(u'.', u',');
        for (PoiTable *t : {&both, &alone}) {
            t->setField(r, FieldLatitude, lat);
            t->setField(r, FieldLongitude, lon);
        }
    }
    ComputeDistances(both, 77, u',');
    std::vector<int> rows(n);
    std::iota(rows.begin(), rows.end(), 1);
    ComputeDistances(alone, 77, u',', rows, DistanceFields::All);
    for (int r = 1; r <= n; ++r)
        for (int f : {FieldDistance, FieldKey, FieldCap})
            ASSERT_EQ(both.field(r, f), alone.field(r, f)) << "row " << r;
}
