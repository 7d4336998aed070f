#include "table/poi_document.h"

#include "support/tables.h"
#include "table/sort_by_field.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace orvalis;

namespace {

// A document holding rows a, b, c, d numbered 1 to 4, loaded and saved.
struct Loaded {
    Loaded()
    {
        doc.resetTable([](PoiTable &t) {
            t = orvalis::testing::TableOfRows({{"1", "1", "a"}, {"2", "2", "b"}, {"3", "3", "c"}, {"4", "4", "d"}});
        });
        doc.setPoiCount(4);
        doc.clearHistory();
    }
    QStringList column(int f) const
    {
        QStringList out;
        for (int r = 1; r <= doc.table().lastRow(); ++r)
            out << doc.table().field(r, f);
        return out;
    }
    // A header sort by description, backwards: rows move, N° stays.
    void reverse()
    {
        doc.rearrange([](PoiTable &t) {
            std::vector<int> order;
            for (int r = t.lastRow(); r >= 1; --r)
                order.push_back(r);
            t.permuteContent(order);
        });
    }
    PoiDocument doc{QStringLiteral("Orvalis")};
};

}  // namespace

TEST(PoiDocument, EveryChangeIsAnnouncedAndMarked)
{
    PoiDocument doc(QStringLiteral("Orvalis"));
    QSignalSpy changed(&doc, &PoiDocument::rowsWereChanged);
    QSignalSpy marked(&doc, &PoiDocument::modifiedChanged);
    // A new POI in an empty table fills its blank row, numbered 1.
    const int first = doc.addPoi(QStringLiteral("48,5"), QStringLiteral("2,5"), QStringLiteral("new"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(doc.table().number(1), 1);
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(marked.size(), 1);
    EXPECT_TRUE(doc.ready());
    EXPECT_EQ(doc.poiCount(), 1);
    EXPECT_EQ(doc.table().number(doc.addPoi("1", "2", "next")), 2);  // after the largest N°
    doc.setModified(false);
    EXPECT_FALSE(doc.modified());
    // The same text is no change; another is.
    EXPECT_FALSE(doc.setCell(1, FieldDescription, QStringLiteral("new")));
    EXPECT_FALSE(doc.modified());
    EXPECT_TRUE(doc.setCell(1, FieldDescription, QStringLiteral("renamed")));
    EXPECT_TRUE(doc.modified());
    EXPECT_FALSE(doc.setCell(9, FieldDescription, QStringLiteral("no such row")));
    EXPECT_FALSE(doc.setCell(1, FieldNumber, QStringLiteral("5")));  // N° is never written as text
    changed.clear();
    doc.movePoi(2, QStringLiteral("3"), QStringLiteral("4"));
    EXPECT_EQ(doc.table().field(2, FieldLatitude), QStringLiteral("3"));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.last(), (QList<QVariant>{2, 2}));
    // Edit mode is the document's too.
    QSignalSpy editing(&doc, &PoiDocument::editModeChanged);
    doc.setEditMode(true);
    doc.setEditMode(true);
    EXPECT_EQ(editing.size(), 1);
}

TEST(PoiDocument, TheBaseIsRowOneAtLeast)
{
    PoiDocument doc(QStringLiteral("Orvalis"));
    doc.setBaseNumber(3);
    for (const int number : {0, -4}) {
        doc.setBaseNumber(number);
        EXPECT_EQ(doc.baseNumber(), 1) << number;
    }
}

// The numbers below a removed row change with it, in the views too.
TEST(PoiDocument, RemovingOrRestoringARowAnnouncesTheNumbersBelow)
{
    Loaded l;
    QSignalSpy changed(&l.doc, &PoiDocument::rowsWereChanged);
    QSignalSpy removed(&l.doc, &PoiDocument::rowWasRemoved);
    l.doc.removeRow(2);
    ASSERT_EQ(removed.size(), 1);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.last(), (QList<QVariant>{2, 3}));
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(l.doc.poiCount(), 3);
    QSignalSpy inserted(&l.doc, &PoiDocument::rowWasInserted);
    l.doc.history().undo();
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.last(), QList<QVariant>{2});
    EXPECT_EQ(changed.last(), (QList<QVariant>{2, 4}));
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(l.doc.poiCount(), 4);
}

// Undo finds its POI wherever a sort put it, and does not sort again.
TEST(PoiDocument, UndoAndRedoFollowThePoiThroughSorts)
{
    Loaded l;
    l.doc.setCell(2, FieldDescription, QStringLiteral("B"));
    l.doc.movePoi(3, QStringLiteral("30"), QStringLiteral("31"));
    l.doc.removeRow(1);  // "a": b, c, d are rows 1 to 3
    l.reverse();         // d, c, B
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"d", "c", "B"}));
    l.doc.history().undo();  // "a" comes back at its place, row 1, with N° 1
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"a", "d", "c", "B"}));
    EXPECT_EQ(l.column(FieldNumber), (QStringList{"1", "2", "3", "4"}));
    l.doc.history().undo();  // "c" goes back to 3, 3 where it stands now
    EXPECT_EQ(l.column(FieldLatitude), (QStringList{"1", "4", "3", "2"}));
    EXPECT_EQ(l.doc.table().field(3, FieldLongitude), QStringLiteral("3"));
    l.doc.history().undo();
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"a", "d", "c", "b"}));
    EXPECT_FALSE(l.doc.modified());
    // Redo after another sort: the same POIs change again.
    l.reverse();  // b, c, d, a
    l.doc.history().redo();
    l.doc.history().redo();
    l.doc.history().redo();
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"B", "c", "d"}));
    EXPECT_EQ(l.column(FieldLatitude), (QStringList{"2", "30", "4"}));
    EXPECT_EQ(l.doc.poiCount(), 3);
    EXPECT_TRUE(l.doc.modified());
}

TEST(PoiDocument, AddedPinsAndTheOnlyPoiComeAndGo)
{
    Loaded l;
    const int row = l.doc.addPoi(QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("pin"));
    EXPECT_EQ(row, 5);
    EXPECT_EQ(l.doc.table().field(5, FieldNumber), QStringLiteral("5"));
    l.reverse();
    l.doc.history().undo();
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"d", "c", "b", "a"}));
    EXPECT_EQ(l.doc.poiCount(), 4);
    l.doc.history().redo();
    EXPECT_EQ(l.column(FieldDescription), (QStringList{"pin", "d", "c", "b", "a"}));
    EXPECT_EQ(l.column(FieldNumber), (QStringList{"1", "2", "3", "4", "5"}));
    // An empty table: the pin fills the blank row and leaves it blank again.
    PoiDocument empty(QStringLiteral("Orvalis"));
    empty.addPoi(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("seul"));
    empty.removeRow(1);
    EXPECT_TRUE(empty.table().isEmptyForAdd());
    EXPECT_EQ(empty.poiCount(), 0);
    empty.history().undo();
    EXPECT_EQ(empty.table().field(1, FieldDescription), QStringLiteral("seul"));
    EXPECT_EQ(empty.table().field(1, FieldNumber), QStringLiteral("1"));
    empty.history().undo();
    EXPECT_TRUE(empty.table().isEmptyForAdd());
    EXPECT_EQ(empty.poiCountText(), QString());  // as before the first load
    EXPECT_FALSE(empty.modified());
}

// The mark is the history away from the saved state, or a change it does not hold.
TEST(PoiDocument, TheMarkFollowsTheSavedState)
{
    Loaded l;
    QSignalSpy marked(&l.doc, &PoiDocument::modifiedChanged);
    l.doc.setCell(1, FieldDescription, QStringLiteral("x"));
    l.doc.setCell(1, FieldDescription, QStringLiteral("y"));
    l.doc.setModified(false);  // saved with "y"
    EXPECT_FALSE(l.doc.modified());
    l.doc.history().undo();
    EXPECT_TRUE(l.doc.modified());
    l.doc.history().redo();
    EXPECT_FALSE(l.doc.modified());
    // Edit mode left without a change marks the table; taking back every change clears it.
    l.doc.setCell(1, FieldDescription, QStringLiteral("z"));
    l.doc.setModified(true);
    l.doc.history().undo();
    EXPECT_FALSE(l.doc.modified());
    l.doc.setModified(true);
    EXPECT_TRUE(l.doc.modified());
    // A change after an undo drops the saved state from the history: marked until saved.
    l.doc.setModified(false);
    l.doc.history().undo();
    l.doc.setCell(1, FieldDescription, QStringLiteral("w"));
    l.doc.history().undo();
    EXPECT_TRUE(l.doc.modified());
    // A load starts a history of its own.
    l.doc.clearHistory();
    EXPECT_FALSE(l.doc.modified());
    EXPECT_FALSE(l.doc.history().canUndo());
    EXPECT_EQ(marked.size() % 2, 0);  // every mark shown was hidden again
}
