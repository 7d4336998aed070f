#include "table/poi_document.h"
#include "table/poi_table.h"

#include <QSignalSpy>
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
}

TEST(PoiDocument, EveryTableWriteIsAnnouncedAndMarked)
{
    PoiDocument doc(QStringLiteral("Orvalis"));
    QSignalSpy changed(&doc, &PoiDocument::rowsWereChanged);
    QSignalSpy marked(&doc, &PoiDocument::modifiedChanged);
    // A new POI in an empty table fills its blank row, numbered 1.
    const int first = doc.addPoi(QStringLiteral("48,5"), QStringLiteral("2,5"), QStringLiteral("new"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(doc.table().number(1), 1);
    EXPECT_TRUE(doc.modified());
    EXPECT_TRUE(doc.ready());
    EXPECT_EQ(doc.poiCount(), 1);
    doc.table().setNumber(1, 7);
    EXPECT_EQ(doc.table().number(doc.addPoi("1", "2", "next")), 8);  // after the largest N°
    EXPECT_EQ(changed.size(), 2);
    doc.setModified(false);
    // The same text is no change; another is.
    EXPECT_FALSE(doc.setCell(1, FieldDescription, QStringLiteral("new")));
    EXPECT_FALSE(doc.modified());
    EXPECT_TRUE(doc.setCell(1, FieldDescription, QStringLiteral("renamed")));
    EXPECT_TRUE(doc.modified());
    EXPECT_FALSE(doc.setCell(9, FieldDescription, QStringLiteral("no such row")));
    EXPECT_FALSE(doc.setCell(1, FieldNumber, QStringLiteral("5")));  // N° is never written as text
    doc.movePoi(2, QStringLiteral("3"), QStringLiteral("4"));
    EXPECT_EQ(doc.table().field(2, FieldLatitude), QStringLiteral("3"));
    EXPECT_EQ(changed.size(), 4);
    EXPECT_EQ(changed.last(), (QList<QVariant>{2, 2}));
    // Edit mode is the document's too.
    QSignalSpy editing(&doc, &PoiDocument::editModeChanged);
    doc.setEditMode(true);
    doc.setEditMode(true);
    EXPECT_EQ(editing.size(), 1);
}
