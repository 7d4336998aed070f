#include "table/poi_table.h"
#include "table/row_halves.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <algorithm>
#include <numeric>
#include <set>
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

// Fields are stored one byte a character where Windows-1252 can hold them:
// every text must come back exactly, through field(), visitField() and
// copies, on both sides of the inline size and of the stack buffer.
TEST(PoiTable, EveryTextComesBackAsItWasStored)
{
    const QString samples[] = {
        QString(),
        QStringLiteral("48,85320"),
        QStringLiteral("123456789012345"),   // the longest inline text
        QStringLiteral("1234567890123456"),  // the shortest in a block
        QStringLiteral("Œuvre – l’été à 5 € … « fin »"),
        QString(QChar(0x81)) + QChar(0x9D) + QChar(0xA0) + QChar(0xFF),  // unassigned bytes stand for themselves
        QString(QChar(0x80)) + QStringLiteral("x"),                      // a C1 control the code page replaces by €
        QStringLiteral("Москва – Café"),
        QStringLiteral("東京 🗼"),
        QString(600, QChar(u'é')),  // past the view's stack buffer
        QString(600, QChar(u'Ж')),
    };
    PoiTable t;
    t.setRowCount(std::size(samples) + 1);
    int row = 1;
    for (const QString &s : samples) {
        for (int f = FieldLatitude; f < kFieldCount; ++f)
            t.setField(row, f, s);
        ++row;
    }
    const PoiTable copy = t;
    row = 1;
    for (const QString &s : samples) {
        for (int f = FieldLatitude; f < kFieldCount; ++f) {
            EXPECT_EQ(t.field(row, f), s) << row << ' ' << f;
            EXPECT_EQ(copy.field(row, f), s) << row << ' ' << f;
            EXPECT_EQ(t.visitField(row, f, [](QStringView v) { return v.toString(); }), s);
            EXPECT_EQ(t.fieldIsEmpty(row, f), s.isEmpty());
        }
        ++row;
    }
    // Latin-1 bytes keep their meaning, 0x80 included.
    const char latin1[] = "\x80\xE9";
    t.setFieldLatin1(1, FieldLatitude, latin1, 2);
    EXPECT_EQ(t.field(1, FieldLatitude), QString(QChar(0x80)) + QChar(0xE9));
}

TEST(PoiTable, SortingAndDeletingMoveStoredTexts)
{
    PoiTable t;
    t.setRowCount(4);
    t.setField(1, FieldDescription, QString(40, QChar(u'a')));
    t.setField(2, FieldDescription, QStringLiteral("Санкт-Петербург"));
    t.setField(3, FieldDescription, QStringLiteral("court"));
    t.permuteContent({3, 1, 2});
    EXPECT_EQ(t.field(1, FieldDescription), QStringLiteral("court"));
    EXPECT_EQ(t.field(2, FieldDescription), QString(40, QChar(u'a')));
    EXPECT_EQ(t.field(3, FieldDescription), QStringLiteral("Санкт-Петербург"));
    t.deleteRow(2);
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("Санкт-Петербург"));
    t.setField(2, FieldDescription, QStringLiteral("rewritten"));
    EXPECT_EQ(t.field(2, FieldDescription), QStringLiteral("rewritten"));
}

TEST(PoiTable, AppendedRowsFollowOnWithTheirNumbers)
{
    PoiTable empty;
    empty.appendRows(ThreeRows());
    EXPECT_EQ(empty.lastRow(), 3);
    EXPECT_EQ(empty.field(3, FieldDescription), QStringLiteral("POI 3"));
    PoiTable t = ThreeRows();
    t.appendRows(PoiTable());  // an empty table adds nothing
    t.appendRows(ThreeRows());
    EXPECT_EQ(t.lastRow(), 6);
    EXPECT_EQ(t.number(5), 5);
    EXPECT_EQ(t.field(5, FieldDescription), QStringLiteral("POI 2"));

    // A table built a row at a time (near keeps the rows within its radius so)
    // must not move every row at every append: 200,000 rows took six minutes.
    PoiTable grown = ThreeRows();
    std::set<const char *> places;
    for (int i = 0; i < 10000; ++i) {
        grown.appendRows(ThreeRows());
        grown.visitFieldRaw(1, FieldLatitude, [&](const char *bytes, qsizetype) { places.insert(bytes); }, [](QStringView) {});
    }
    EXPECT_EQ(grown.lastRow(), 30003);
    EXPECT_EQ(grown.number(30003), 30003);
    EXPECT_EQ(grown.field(30002, FieldDescription), QStringLiteral("POI 2"));
    EXPECT_LT(places.size(), 40u);  // the first row's place: moved only as the room doubles
}

// A POI keeps its identity through sorts; a taken row comes back at its
// place with the N° column as it was, an extended record's empty N° included.
TEST(PoiTable, TakenRowsComeBackAtTheirPlaceAfterSorts)
{
    PoiTable t = ThreeRows();
    t.setRowCount(5);
    t.setNumber(4, 0);  // the row of an OV2 extended record
    t.setField(4, FieldDescription, QStringLiteral("POI 4"));
    const PoiTable::RowId second = t.rowId(2);
    t.permuteContent({4, 3, 2, 1});
    EXPECT_EQ(t.rowOfId(second), 3);
    EXPECT_EQ(t.field(3, FieldDescription), QStringLiteral("POI 2"));
    const PoiTable::TakenRow taken = t.takeRow(3);
    EXPECT_EQ(t.rowOfId(second), 0);
    ASSERT_EQ(t.lastRow(), 3);
    EXPECT_EQ((QStringList{t.field(1, FieldNumber), t.field(2, FieldNumber), t.field(3, FieldNumber)}),
              (QStringList{"1", "2", "3"}));
    t.restoreRow(taken);
    ASSERT_EQ(t.lastRow(), 4);
    EXPECT_EQ(t.rowOfId(second), 3);
    EXPECT_EQ(t.field(3, FieldDescription), QStringLiteral("POI 2"));
    EXPECT_EQ(t.field(3, FieldLatitude), QStringLiteral("2"));
    EXPECT_EQ((QStringList{t.field(1, FieldNumber), t.field(2, FieldNumber), t.field(3, FieldNumber), t.field(4, FieldNumber)}),
              (QStringList{"1", "2", "3", ""}));
    // The only POI: a blank row stands in for it, and it takes that row back.
    PoiTable one;
    one.setNumber(1, 1);
    one.setField(1, FieldDescription, QStringLiteral("seul"));
    const PoiTable::RowId only = one.rowId(1);
    const PoiTable::TakenRow alone = one.takeRow(1);
    EXPECT_TRUE(one.isEmptyForAdd());
    EXPECT_EQ(one.rowOfId(only), 0);
    one.restoreRow(alone);
    EXPECT_EQ(one.rowCount(), 2);
    EXPECT_EQ(one.rowOfId(only), 1);
    EXPECT_EQ(one.field(1, FieldNumber), QStringLiteral("1"));
    EXPECT_EQ(one.field(1, FieldDescription), QStringLiteral("seul"));
}

TEST(PoiTable, RowsAddedFromAnotherTableAreNewPois)
{
    PoiTable t = ThreeRows();
    const PoiTable::RowId first = t.rowId(1);
    t.appendRows(ThreeRows());
    std::set<PoiTable::RowId> ids;
    for (int r = 1; r <= t.lastRow(); ++r)
        ids.insert(t.rowId(r));
    EXPECT_EQ(ids.size(), 6u);
    EXPECT_EQ(t.rowOfId(first), 1);
    // Writers take the rows with both coordinates.
    t.setField(2, FieldLongitude, QStringLiteral("5"));
    t.setField(3, FieldLongitude, QStringLiteral("5"));
    EXPECT_EQ(t.countWithCoordinates(1, 6), 2);
    EXPECT_EQ(t.countWithCoordinates(3, 99), 1);
}

// Whole-table permutations, as sorts make them: every row lands where the
// order says with all its texts (inline, long, wide) and its identity, rows
// that stay included; short cycles, long cycles and fixed points mixed.
// Big tables are copied into new rows on two cores.
TEST(PoiTable, PermutationsMoveEveryRowWhole)
{
    QRandomGenerator rng(38);
    for (const int n : {1, 2, 3, 16, 17, 33, 2000, 100001}) {
        PoiTable t;
        t.setRowCount(n + 1);
        std::vector<QStringList> texts(static_cast<size_t>(n));
        std::vector<PoiTable::RowId> ids(static_cast<size_t>(n));
        for (int row = 1; row <= n; ++row) {
            QStringList &fields = texts[static_cast<size_t>(row - 1)];
            for (int f = 1; f < kFieldCount; ++f) {
                const int kind = rng.bounded(4);
                const QString s = kind == 0   ? QString()
                                  : kind == 1 ? QStringLiteral("r%1 f%2").arg(row).arg(f)
                                  : kind == 2 ? QStringLiteral("Rue de l'Église numéro %1, champ %2").arg(row).arg(f)
                                              : QStringLiteral("Улица %1 · %2").arg(row).arg(f);
                t.setField(row, f, s);
                fields << s;
            }
            ids[static_cast<size_t>(row - 1)] = t.rowId(row);
        }
        for (int round = 0; round < 5; ++round) {
            std::vector<int> order(static_cast<size_t>(n));
            std::iota(order.begin(), order.end(), 1);
            if (round == 1)
                std::reverse(order.begin(), order.end());
            if (round == 2 || round == 3)  // a few rows swapped (most stay), then anything
                for (int k = 0; k < (round == 2 ? 3 : n); ++k)
                    std::swap(order[static_cast<size_t>(rng.bounded(n))], order[static_cast<size_t>(rng.bounded(n))]);
            if (round == 4)  // many cycles, of one row to forty
                for (auto at = order.begin(); at != order.end();) {
                    const auto end = at + std::min<std::ptrdiff_t>(rng.bounded(1, 41), order.end() - at);
                    std::rotate(at, at + 1, end);
                    at = end;
                }
            t.permuteContent(order);
            std::vector<QStringList> moved(texts.size());
            std::vector<PoiTable::RowId> movedIds(ids.size());
            for (size_t i = 0; i < order.size(); ++i) {
                moved[i] = texts[static_cast<size_t>(order[i] - 1)];
                movedIds[i] = ids[static_cast<size_t>(order[i] - 1)];
            }
            texts = moved;
            ids = movedIds;
            for (int row = 1; row <= n; ++row) {
                ASSERT_EQ(t.rowId(row), ids[static_cast<size_t>(row - 1)]) << n << " " << round << " " << row;
                ASSERT_EQ(t.number(row), 0);  // N° belongs to the position
                for (int f = 1; f < kFieldCount; ++f)
                    ASSERT_EQ(t.field(row, f), texts[static_cast<size_t>(row - 1)][f - 1]) << n << " " << round << " " << row;
            }
        }
    }
}

// A table made for a file keeps its long texts in shared blocks: what leaves
// it (a deleted row, a copy, rows moved to another table) keeps its texts
// when the table is emptied or gone; readers on two threads fill it at once.
TEST(PoiTable, LongTextsOfAFileLiveOnWhereverTheyGo)
{
    auto text = [](int row) { return QStringLiteral("Château d’eau près de l’église, numéro %1").arg(row).toLatin1(); };
    const int n = 3000;
    auto filled = [&] {
        auto t = std::make_unique<PoiTable>();
        t->reserveRows(n + 1);
        t->setRowCount(n + 1);
        ForRowHalves(1, n, [&](int first, int last) {
            for (int r = first; r <= last; ++r) {
                t->setNumber(r, r);
                t->setFieldWindows1252(r, FieldDescription, text(r));
                t->setFieldWindows1252(r, FieldLatitude, "48.5");
            }
        }, 2);
        return t;
    };
    auto t = filled();
    for (int r = 1; r <= n; ++r)
        ASSERT_EQ(t->field(r, FieldDescription), QString::fromLatin1(text(r))) << r;
    const PoiTable copy = *t;
    const PoiTable::TakenRow taken = t->takeRow(10);
    auto other = filled();
    PoiTable joined;
    joined.setRowCount(2);
    joined.setNumber(1, 1);
    joined.appendRows(std::move(*other));
    other.reset();
    t->blankAll();
    t.reset();
    EXPECT_EQ(taken.fields[FieldDescription - 1].toString(), QString::fromLatin1(text(10)));
    for (int r = 1; r <= n; ++r) {
        ASSERT_EQ(copy.field(r, FieldDescription), QString::fromLatin1(text(r))) << r;
        ASSERT_EQ(joined.field(r + 1, FieldDescription), QString::fromLatin1(text(r))) << r;
    }
    // A text put over one of the blocks' texts, and a copy of the row into another place.
    joined.setField(5, FieldDescription, QStringLiteral("Gare"));
    joined.setFieldWindows1252(6, FieldDescription, text(99));
    EXPECT_EQ(joined.field(5, FieldDescription), QStringLiteral("Gare"));
    EXPECT_EQ(joined.field(6, FieldDescription), QString::fromLatin1(text(99)));
    joined.restoreRow(taken);
    EXPECT_EQ(joined.field(10, FieldDescription), QString::fromLatin1(text(10)));
}
