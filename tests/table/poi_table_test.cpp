#include "table/poi_table.h"

#include <gtest/gtest.h>

using namespace orvalis;

namespace {
PoiTable ThreeRows()
{
    PoiTable t;
    t.setRowCount(4);
    for (int r = 1; r <= 3; ++r) {
        t.setNumber(r, r);
        t.setField(r, FieldLatitude, QString::number(r));
        t.setField(r, FieldDescription, QStringLiteral("POI %1").arg(r));
    }
    return t;
}
}  // namespace

TEST(PoiTable, EmptyTableIsOneBlankRow)
{
    PoiTable t;
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.lastRow(), 1);
    EXPECT_EQ(t.field(1, FieldNumber), QString());
    EXPECT_TRUE(t.isEmptyForMenu());
    EXPECT_TRUE(t.isEmptyForAdd());
    t.setRowCount(0);
    EXPECT_EQ(t.rowCount(), 2);
}

TEST(PoiTable, OutOfRangeAccessIsHarmless)
{
    PoiTable t;
    EXPECT_EQ(t.field(0, 1), QString());
    EXPECT_EQ(t.field(5, 1), QString());
    EXPECT_EQ(t.field(1, 9), QString());
    t.setField(7, 1, QStringLiteral("x"));  // rows below the last do not exist
    EXPECT_EQ(t.rowCount(), 2);
}

TEST(PoiTable, DeleteShiftsContentAndKeepsNumbering)
{
    PoiTable t = ThreeRows();
    t.deleteRow(2);
    ASSERT_EQ(t.lastRow(), 2);
    EXPECT_EQ(t.field(1, FieldNumber), QStringLiteral("1"));
    EXPECT_EQ(t.field(2, FieldNumber), QStringLiteral("2"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("POI 3"));
}

TEST(PoiTable, DeletingTheOnlyRowLeavesABlankRow)
{
    PoiTable t;
    t.setNumber(1, 1);
    t.setField(1, FieldDescription, QStringLiteral("seul"));
    t.deleteRow(1);
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.field(1, FieldNumber), QString());
    EXPECT_EQ(t.field(1, FieldDescription), QString());
}

TEST(PoiTable, BlankAllKeepsRowCount)
{
    PoiTable t = ThreeRows();
    t.blankAll();
    EXPECT_EQ(t.rowCount(), 4);
    for (int r = 1; r <= 3; ++r)
        for (int f = 0; f < kFieldCount; ++f)
            EXPECT_TRUE(t.field(r, f).isEmpty());
}

TEST(PoiTable, EmptinessRules)
{
    PoiTable t;
    t.setField(1, FieldLatitude, QStringLiteral("48"));
    EXPECT_TRUE(t.isEmptyForMenu());  // longitude still empty
    t.setField(1, FieldLongitude, QStringLiteral("2"));
    EXPECT_FALSE(t.isEmptyForMenu());
    EXPECT_TRUE(t.isEmptyForAdd());  // N° empty
    t.setNumber(1, 1);
    EXPECT_FALSE(t.isEmptyForAdd());
}
